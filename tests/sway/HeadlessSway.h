#pragma once

// What the sway and Wayland tests share: a headless sway of this (unprivileged) user.
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTest>

#include <sys/prctl.h>

#include <csignal>

namespace zl::test {

// Starts sway without Xwayland, with config at configPath and its IPC socket at socket; once both
// are up, points SWAYSOCK and WAYLAND_DISPLAY of this process, and so of the children it starts
// later, at it. False when it did not start.
inline bool startSway(QProcess &sway, const QString &configPath, const QByteArray &config, const QString &socket)
{
    QFile::remove(socket);
    // Closed, and so written out, before sway reads it.
    if (QFile file(configPath); !file.open(QIODevice::WriteOnly) || file.write("xwayland disable\n" + config) < 0)
        return false;
    qputenv("SWAYSOCK", QFile::encodeName(socket));
    qunsetenv("WAYLAND_DISPLAY"); // set again below, to sway's own
    // A test that crashes must not leave sway holding the harness's output open.
    sway.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    sway.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sway.setStandardOutputFile(QProcess::nullDevice());
    sway.start(QStringLiteral("sway"), {QStringLiteral("-c"), configPath});
    const QDir runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired() && sway.state() != QProcess::NotRunning;) {
        // Not its lock file, wayland-N.lock.
        const QStringList displays = runtime.entryList({QStringLiteral("wayland-?")}, QDir::System);
        if (QFileInfo::exists(socket) && !displays.isEmpty())
            return qputenv("WAYLAND_DISPLAY", displays.first().toUtf8());
        QTest::qWait(20);
    }
    return false;
}

} // namespace zl::test
