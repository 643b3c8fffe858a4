#pragma once

#include <QtGlobal>

typedef struct _GAppLaunchContext GAppLaunchContext;

namespace zl {

/**
 * A new GIO launch context (the caller owns the reference) that gives each launch of an entry with
 * StartupNotify=true a startup-notification ID carrying the X server time of the launch, and
 * announces it on the X display; window managers use that time to let the new window take the
 * focus. Without an X display it adds nothing. sequence makes IDs of one process unique.
 */
GAppLaunchContext *newStartupNotifyContext(quint64 sequence);

} // namespace zl
