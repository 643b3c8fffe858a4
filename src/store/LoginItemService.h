#pragma once

namespace zl {

/** Starting the program at login. Called on the main thread; failures are reported as false only. */
class LoginItemService
{
public:
    virtual ~LoginItemService() = default;
    /** Makes the session start the program at login; false when that could not be arranged. */
    virtual bool registerApp() = 0;
    /** Stops the session from starting the program; true also when nothing was registered. */
    virtual bool unregisterApp() = 0;
};

} // namespace zl
