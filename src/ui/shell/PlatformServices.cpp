#include "PlatformServices.h"

#include "I3IpcConnection.h"
#include "SwayHotkeyService.h"
#include "X11HotkeyService.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <sys/stat.h>
#include <xcb/xcb.h>

namespace zl {

namespace {

bool waylandReachable()
{
    QString path = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (path.isEmpty())
        return false;
    if (!QDir::isAbsolutePath(path))
        path = qEnvironmentVariable("XDG_RUNTIME_DIR") + u'/' + path;
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

} // namespace

PlatformServices::PlatformServices()
{
    if (QGuiApplication::platformName() != QLatin1StringView("xcb")) {
        log.log(QStringLiteral("Zephyrlatch: pasting needs X11; this session runs on \"") +
                QGuiApplication::platformName() + QStringLiteral("\", so it is unavailable"));
    }
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                                qEnvironmentVariable("XDG_SESSION_TYPE") != QLatin1StringView("x11");
    if (!waylandSession) {
        auto x11 = std::make_unique<X11HotkeyService>();
        log.log(x11->isAvailable() ? QStringLiteral("Zephyrlatch: hotkeys are served by X11 key grabs")
                                   : QStringLiteral("Zephyrlatch: no hotkeys: no X11 connection"));
        hotkeys = std::move(x11);
        return;
    }
    // X11 grabs see keys only while an X11 window has the focus, so a Wayland session needs the
    // compositor's own way.
    for (const char *variable : {"SWAYSOCK", "I3SOCK"}) {
        const QString path = qEnvironmentVariable(variable);
        if (path.isEmpty())
            continue;
        if (const QString why = I3IpcConnection::refusal(path); !why.isEmpty()) {
            log.log(QStringLiteral("Zephyrlatch: not using ") + QLatin1StringView(variable) + QStringLiteral(" ") + path +
                    QStringLiteral(": ") + why);
            continue;
        }
        auto sway = std::make_unique<SwayHotkeyService>(path, &log);
        if (sway->isConnected()) {
            log.log(QStringLiteral("Zephyrlatch: hotkeys are served by the sway/i3 IPC at ") + path);
            hotkeys = std::move(sway);
            return;
        }
    }
    // The GlobalShortcuts portal goes here, before giving up.
    log.log(QStringLiteral("Zephyrlatch: no hotkeys: this Wayland session offers no way to bind them that "
                           "Zephyrlatch knows; bind a command in the desktop's keyboard settings instead"));
}

PlatformServices::~PlatformServices() = default;

bool PlatformServices::displayReachable()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

const char *PlatformServices::windowPlatform()
{
    if (displayReachable())
        return "xcb";
    return waylandReachable() ? "wayland" : nullptr;
}

} // namespace zl
