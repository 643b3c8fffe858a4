#pragma once

#include "EventLoopScheduler.h"
#include "GioWorkspace.h"
#include "PosixProcessLauncher.h"
#include "SystemLog.h"
#include "X11AccessibilityTrust.h"
#include "X11HotkeyService.h"
#include "X11KeyboardLayout.h"
#include "X11Pasteboard.h"
#include "X11SyntheticKeys.h"

namespace zl {

/**
 * Owns the real platform services for the program's lifetime. Made after the QApplication; on a
 * platform other than X11 the X11 services answer "unavailable" and one log line says why.
 */
class PlatformServices final
{
public:
    PlatformServices();

    /** Whether an X server can be reached before any QGuiApplication exists. */
    static bool displayReachable();

    SystemLog log;
    PosixProcessLauncher processes;
    GioWorkspace workspace;
    EventLoopScheduler scheduler;
    X11HotkeyService hotkeys;
    X11KeyboardLayout layout;
    X11Pasteboard pasteboard;
    X11SyntheticKeys keys;
    X11AccessibilityTrust trust;
};

} // namespace zl
