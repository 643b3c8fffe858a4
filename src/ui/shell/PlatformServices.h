#pragma once

#include "EventLoopScheduler.h"
#include "GioWorkspace.h"
#include "PosixProcessLauncher.h"
#include "SystemLog.h"
#include "X11AccessibilityTrust.h"
#include "X11KeyboardLayout.h"
#include "X11Pasteboard.h"
#include "X11SyntheticKeys.h"

#include <memory>

namespace zl {

class HotkeyService;

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

    SystemLog log;
    PosixProcessLauncher processes;
    GioWorkspace workspace;
    EventLoopScheduler scheduler;
    /** X11 grabs, or the sway/i3 IPC in a Wayland session; null when nothing serves hotkeys. */
    std::unique_ptr<HotkeyService> hotkeys;
    X11KeyboardLayout layout;
    X11Pasteboard pasteboard;
    X11SyntheticKeys keys;
    X11AccessibilityTrust trust;
};

} // namespace zl
