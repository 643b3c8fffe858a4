#pragma once

#include "AccessibilityTrust.h"

namespace zl {

/** X11 has no permission for synthetic input: trusted exactly when the display offers XTEST. */
class X11AccessibilityTrust final : public AccessibilityTrust
{
public:
    X11AccessibilityTrust() = default;

    bool isTrusted() override;
    void requestTrust() override;
};

} // namespace zl
