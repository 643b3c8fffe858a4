#pragma once

#include "EventLoopScheduler.h"
#include "GioWorkspace.h"
#include "PosixProcessLauncher.h"
#include "SystemLog.h"
#include "X11KeyboardLayout.h"

#include <QString>

#include <memory>

namespace zl {

class AccessibilityTrust;
class HotkeyService;
class Pasteboard;
class PortalHotkeyService;
class RemoteDesktopKeys;
class SwayHotkeyService;
class SyntheticKeys;

/**
 * Owns the real platform services for the program's lifetime. Made after the QApplication; on a
 * platform other than X11 the X11 services answer "unavailable" and one log line says why. The
 * hotkey back end is chosen from the session, and one log line names it.
 */
class PlatformServices final
{
public:
    PlatformServices();
    ~PlatformServices();

    /** Whether an X server can be reached before any QGuiApplication exists. */
    static bool displayReachable();

    /**
     * The Qt platform for the program's window: "xcb" wherever an X server answers (XWayland
     * included, for the X11 clipboard and synthetic keys), "wayland" where only a Wayland
     * compositor does; null without either.
     */
    static const char *windowPlatform();

    /** Which way hotkeys and synthetic keys work in this session, in the user's words. */
    QString hotkeyPath() const;
    QString pastePath() const;
    /** The portal back end when it serves hotkeys (it reports its binds later), else null. */
    PortalHotkeyService *portal() const { return m_portal; }
    /** The RemoteDesktop portal's keys when they are the paste path, else null. */
    RemoteDesktopKeys *remoteDesktop() const { return m_remoteDesktop; }

    SystemLog log;
    PosixProcessLauncher processes;
    GioWorkspace workspace;
    EventLoopScheduler scheduler;
    /** X11 grabs, the sway/i3 IPC or the GlobalShortcuts portal; null when nothing serves hotkeys. */
    std::unique_ptr<HotkeyService> hotkeys;
    X11KeyboardLayout layout;
    /** The Wayland virtual keyboard and data-control clipboard where offered, else X11 (XWayland's bridge). */
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<SyntheticKeys> keys;
    std::unique_ptr<AccessibilityTrust> trust;

private:
    void chooseHotkeys();
    void choosePaste();

    SwayHotkeyService *m_sway = nullptr;
    PortalHotkeyService *m_portal = nullptr;
    RemoteDesktopKeys *m_remoteDesktop = nullptr;
    bool m_waylandKeys = false;
};

} // namespace zl
