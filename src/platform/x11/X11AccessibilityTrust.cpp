#include "X11AccessibilityTrust.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace zl {

bool X11AccessibilityTrust::isTrusted()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t *connection = x11->connection();
    static constexpr char kName[] = "XTEST";
    xcb_query_extension_reply_t *reply = xcb_query_extension_reply(
        connection, xcb_query_extension(connection, std::strlen(kName), kName), nullptr);
    const bool present = reply && reply->present;
    std::free(reply);
    return present;
}

// Nothing to prompt for: the X server either offers XTEST or it does not.
void X11AccessibilityTrust::requestTrust() {}

} // namespace zl
