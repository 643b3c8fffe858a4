#include "XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace zl {

XdgAutostart::XdgAutostart(const QString &appId, const QString &executable, const QString &configHome)
    : m_executable(QFileInfo(executable).absoluteFilePath())
{
    const QString home =
        configHome.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) : configHome;
    m_entryPath = home + QStringLiteral("/autostart/") + appId + QStringLiteral(".desktop");
}

QString XdgAutostart::quoteExecArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=");
    QString word = argument;
    word.replace(u'%', QStringLiteral("%%"));
    bool needsQuotes = word.isEmpty();
    for (QChar c : word)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (needsQuotes) {
        QString quoted;
        for (QChar c : word) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        word = u'"' + quoted + u'"';
    }
    // The Exec value is itself a desktop-entry string, whose own escapes come on top.
    word.replace(u'\\', QStringLiteral("\\\\"));
    return word;
}

std::optional<QString> XdgAutostart::registerApp()
{
    const QString folder = QFileInfo(m_entryPath).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write %1: %2").arg(m_entryPath, file.errorString());
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Zephyrlatch\n"
                                         "Exec=%1\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(quoteExecArgument(m_executable));
    file.write(entry.toUtf8());
    if (!file.commit())
        return QStringLiteral("cannot write %1: %2").arg(m_entryPath, file.errorString());
    return std::nullopt;
}

std::optional<QString> XdgAutostart::unregisterApp()
{
    QFile entry(m_entryPath);
    if (!entry.exists() || entry.remove())
        return std::nullopt;
    return QStringLiteral("cannot remove %1: %2").arg(m_entryPath, entry.errorString());
}

} // namespace zl
