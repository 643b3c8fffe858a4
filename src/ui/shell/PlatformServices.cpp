#include "PlatformServices.h"

#include "FallbackSyntheticKeys.h"
#include "I3IpcConnection.h"
#include "PortalHotkeyService.h"
#include "RemoteDesktopKeys.h"
#include "RemoteDesktopTrust.h"
#include "Strings.h"
#include "SwayHotkeyService.h"
#include "WaylandAccessibilityTrust.h"
#include "WaylandPasteboard.h"
#include "WaylandSyntheticKeys.h"
#include "X11AccessibilityTrust.h"
#include "X11HotkeyService.h"
#include "X11Pasteboard.h"
#include "X11SyntheticKeys.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
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

// The portal is usually started on demand by the bus, so an activatable name counts too.
bool portalOnBus(const QDBusConnection &bus)
{
    const QString name = QStringLiteral("org.freedesktop.portal.Desktop");
    if (!bus.isConnected())
        return false;
    QDBusConnectionInterface *interface = bus.interface();
    return interface->isServiceRegistered(name) || interface->activatableServiceNames().value().contains(name);
}

} // namespace

PlatformServices::PlatformServices()
{
    chooseHotkeys();
    choosePaste();
}

void PlatformServices::chooseHotkeys()
{
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
            log.log(QStringLiteral("Zephyrlatch: not using ") + QLatin1StringView(variable) + u' ' + path +
                    QStringLiteral(": ") + why);
            continue;
        }
        auto sway = std::make_unique<SwayHotkeyService>(path, &log);
        if (sway->isConnected()) {
            log.log(QStringLiteral("Zephyrlatch: hotkeys are served by the sway/i3 IPC at ") + path);
            m_sway = sway.get();
            hotkeys = std::move(sway);
            return;
        }
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (portalOnBus(bus)) {
        // Whether this portal has GlobalShortcuts shows at the first bind; until then it is the way.
        auto portal = std::make_unique<PortalHotkeyService>(bus, QStringLiteral(ZL_APP_ID), &log);
        log.log(QStringLiteral("Zephyrlatch: hotkeys are served by the desktop's GlobalShortcuts portal"));
        m_portal = portal.get();
        hotkeys = std::move(portal);
        return;
    }
    log.log(QStringLiteral("Zephyrlatch: no hotkeys: this Wayland session offers no way to bind them that "
                           "Zephyrlatch knows; bind each shortcut's trigger command in the desktop's keyboard settings"));
}

void PlatformServices::choosePaste()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariable("XDG_SESSION_TYPE") != QLatin1StringView("x11")) {
        SwayHotkeyService *sway = m_sway;
        auto waylandKeys = std::make_unique<WaylandSyntheticKeys>(
            [sway] { return sway ? sway->focusedAppId() : QString(); });
        // Made now rather than at the first paste: a compositor may drop the first key after a new keymap.
        if (waylandKeys->available()) {
            keys = std::move(waylandKeys);
            trust = std::make_unique<WaylandAccessibilityTrust>();
            m_waylandKeys = true;
        }
        if (auto board = std::make_unique<WaylandPasteboard>(); board->available())
            pasteboard = std::move(board);
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (!keys && portalOnBus(bus)) {
            // GNOME and Plasma: keys through the desktop once the user approved them (asked at start).
            auto remote = std::make_unique<RemoteDesktopKeys>(bus, QStringLiteral(ZL_APP_ID), &log,
                                                              [sway] { return sway ? sway->focusedAppId() : QString(); });
            trust = std::make_unique<RemoteDesktopTrust>(*remote);
            m_remoteDesktop = remote.get();
            RemoteDesktopKeys *approved = m_remoteDesktop;
            keys = std::make_unique<FallbackSyntheticKeys>(std::move(remote), [approved] { return approved->trusted(); },
                                                           std::make_unique<X11SyntheticKeys>());
        }
    }
    if (!keys) {
        keys = std::make_unique<X11SyntheticKeys>();
        trust = std::make_unique<X11AccessibilityTrust>();
    }
    if (!pasteboard)
        pasteboard = std::make_unique<X11Pasteboard>();
    if (QGuiApplication::platformName() != QLatin1StringView("xcb") && !m_waylandKeys && !m_remoteDesktop)
        log.log(QStringLiteral("Zephyrlatch: pasting is unavailable: no X11 connection and no virtual keyboard"));
}

QString PlatformServices::hotkeyPath() const
{
    if (m_sway)
        return text("settings.hotkeys.sway");
    if (m_portal)
        return text(m_portal->available() ? "settings.hotkeys.portal" : "settings.hotkeys.none");
    if (auto *x11 = dynamic_cast<X11HotkeyService *>(hotkeys.get()); x11 && x11->isAvailable())
        return text("settings.hotkeys.x11");
    return text("settings.hotkeys.none");
}

QString PlatformServices::pastePath() const
{
    if (m_waylandKeys)
        return text("settings.paste.virtualKeyboard");
    if (m_remoteDesktop)
        return text(m_remoteDesktop->trusted() ? "settings.paste.remoteDesktop" : "settings.paste.remoteDesktopPending");
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariable("XDG_SESSION_TYPE") != QLatin1StringView("x11"))
        return text("settings.paste.x11Only");
    return text("settings.paste.xtest");
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
