#pragma once

namespace zl {

/** Whether this program may post synthetic input. */
class AccessibilityTrust
{
public:
    virtual ~AccessibilityTrust() = default;

    /** Asks afresh on every call; never cached. On X11 true exactly when the display offers XTEST. */
    virtual bool isTrusted() = 0;

    /** Asks the system to prompt the user for the permission if it has such a prompt; may do nothing. */
    virtual void requestTrust() = 0;
};

} // namespace zl
