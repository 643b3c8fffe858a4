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

bool XdgAutostart::registerApp()
{
    if (!QDir().mkpath(QFileInfo(m_entryPath).absolutePath()))
        return false;
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Zephyrlatch\n"
                                         "Exec=%1\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(quoteExecArgument(m_executable));
    file.write(entry.toUtf8());
    return file.commit();
}

bool XdgAutostart::unregisterApp()
{
    return !QFileInfo::exists(m_entryPath) || QFile::remove(m_entryPath);
}

} // namespace zl
