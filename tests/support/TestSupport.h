#pragma once

// What several tests need alike: a shortcut to store, a tool to run, the children of a process.
#include "ShortcutItem.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTimer>

namespace zl::test {

inline ShortcutItem shortcut(const QString &name, ActionType type = ActionType::RunCommand,
                             const QString &payload = QStringLiteral("true"), quint32 keyCode = 0,
                             quint32 modifiers = 0, bool enabled = true)
{
    return ShortcutItem{QUuid::createUuid(), name, enabled, type, payload, keyCode, modifiers};
}

inline QStringList names(const QList<ShortcutItem> &items)
{
    QStringList result;
    for (const ShortcutItem &item : items)
        result << item.name;
    return result;
}

// The stored list's bytes as the settings file at path holds them.
inline QByteArray storedBytes(const QString &path)
{
    return QSettings(path, QSettings::NativeFormat).value(QStringLiteral("shortcuts.v1")).toByteArray();
}

struct ToolResult
{
    int exitCode = -1; // -1: did not start, crashed or timed out
    QByteArray output;
};

// Runs an outside tool (xdotool, xclip, wl-paste...) to its end; its standard output.
inline ToolResult runTool(const QString &program, const QStringList &arguments, int timeoutMs = 10000)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs) || tool.exitStatus() != QProcess::NormalExit) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return {tool.exitCode(), tool.readAllStandardOutput()};
}

// The same while our event loop keeps running: the tool may be asking us for the clipboard.
inline QByteArray runToolServing(const QString &program, const QStringList &arguments, int timeoutMs = 10000)
{
    QProcess tool;
    QEventLoop loop;
    QObject::connect(&tool, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&tool, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    tool.start(program, arguments);
    if (tool.state() != QProcess::NotRunning)
        loop.exec();
    return tool.readAllStandardOutput();
}

struct ChildProcess
{
    qint64 pid;
    char state; // the state letter of /proc/PID/stat: 'R', 'S', 'Z', ...
};

// The processes whose parent is pid, from /proc.
inline QList<ChildProcess> childrenOf(qint64 pid)
{
    QList<ChildProcess> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 child = entry.toLongLong(&isPid);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            children.append({child, fields.at(0).isEmpty() ? '?' : fields.at(0).at(0)});
    }
    return children;
}

} // namespace zl::test
