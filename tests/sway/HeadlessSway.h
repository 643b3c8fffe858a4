#pragma once

// What the sway and Wayland tests share: a headless sway of this (unprivileged) user.
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/prctl.h>

#include <csignal>

namespace zl::test {

// Starts sway with config at configPath and its IPC socket at socket; the name of its Wayland
// display once both are up, empty when it did not start.
inline QString startSway(QProcess &sway, const QString &configPath, const QByteArray &config, const QString &socket)
{
    QFile::remove(socket);
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config) < 0)
        return {};
    file.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SWAYSOCK"), socket);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    sway.setProcessEnvironment(env);
    // A test that crashes must not leave sway holding the harness's output open.
    sway.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    sway.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sway.setStandardOutputFile(QProcess::nullDevice());
    sway.start(QStringLiteral("sway"), {QStringLiteral("-c"), configPath});
    const QDir runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    for (QDeadlineTimer deadline(20000); !deadline.hasExpired() && sway.state() != QProcess::NotRunning;) {
        const QStringList displays = runtime.entryList({QStringLiteral("wayland-*")}, QDir::System)
                                         .filter(QRegularExpression(QStringLiteral("^wayland-\\d+$")));
        if (QFileInfo::exists(socket) && !displays.isEmpty())
            return displays.first();
        QTest::qWait(20);
    }
    return {};
}

} // namespace zl::test
