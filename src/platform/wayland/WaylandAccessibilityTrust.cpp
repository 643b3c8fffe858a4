#include "WaylandAccessibilityTrust.h"

#include "WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace zl {

bool WaylandAccessibilityTrust::isTrusted()
{
    const WaylandConnection connection(500);
    return connection.ok() && connection.offers(zwp_virtual_keyboard_manager_v1_interface.name);
}

void WaylandAccessibilityTrust::requestTrust() {}

} // namespace zl
