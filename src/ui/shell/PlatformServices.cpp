#include "PlatformServices.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

namespace zl {

PlatformServices::PlatformServices()
{
    if (QGuiApplication::platformName() != QLatin1StringView("xcb")) {
        log.log(QStringLiteral("Zephyrlatch: global hotkeys and pasting need X11; this session runs on \"") +
                QGuiApplication::platformName() + QStringLiteral("\", so they are unavailable"));
    }
}

bool PlatformServices::displayReachable()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

} // namespace zl
