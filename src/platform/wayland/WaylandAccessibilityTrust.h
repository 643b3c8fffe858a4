#pragma once

#include "AccessibilityTrust.h"

namespace zl {

/**
 * Trusted when a synthetic-key path reaches the focused window: here, when the compositor offers
 * the virtual keyboard protocol. An approved RemoteDesktop portal session is the other such path;
 * it is not judged here.
 */
class WaylandAccessibilityTrust final : public AccessibilityTrust
{
public:
    WaylandAccessibilityTrust() = default;

    /** Asks the compositor on a short-lived connection of its own; false without a compositor. */
    bool isTrusted() override;
    /** Nothing to prompt for: the compositor either offers the protocol or it does not. */
    void requestTrust() override;
};

} // namespace zl
