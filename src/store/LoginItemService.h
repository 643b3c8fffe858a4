#pragma once

#include <QString>

#include <optional>

namespace zl {

/** Starting the program at login. Called on the main thread; a failure comes back as a one-line reason. */
class LoginItemService
{
public:
    virtual ~LoginItemService() = default;
    /** Makes the session start the program at login; the reason when that could not be arranged. */
    virtual std::optional<QString> registerApp() = 0;
    /** Stops the session from starting the program (nothing registered counts as done); the reason when not. */
    virtual std::optional<QString> unregisterApp() = 0;
};

} // namespace zl
