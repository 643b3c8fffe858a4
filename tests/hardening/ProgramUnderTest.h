#pragma once

// The real program in a private configuration, driven from outside with xdotool.
#include "TestSupport.h"

#include <QTemporaryDir>

namespace zl::hardening {

inline QString xdotool(const QStringList &arguments, int timeoutMs = 10000)
{
    return QString::fromUtf8(test::runTool(QStringLiteral("xdotool"), arguments, timeoutMs).output).trimmed();
}

inline QString settingsPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("config/zephyrlatch/zephyrlatch.conf"));
}

// Seeds the settings with list and starts the program on them; false when it cannot start.
inline bool startProgram(QProcess &app, const QTemporaryDir &dir, const QList<ShortcutItem> &list)
{
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    if (!QDir().mkpath(QFileInfo(settingsPath(dir)).absolutePath()) || !QDir().mkpath(runtime))
        return false;
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QSettings(settingsPath(dir), QSettings::NativeFormat)
        .setValue(QStringLiteral("shortcuts.v1"), ShortcutItem::encodeList(list));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(ZL_PROGRAM), {});
    return app.waitForStarted();
}

inline int lineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? static_cast<int>(file.readAll().count('\n')) : 0;
}

} // namespace zl::hardening
