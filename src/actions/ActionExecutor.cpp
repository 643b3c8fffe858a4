#include "ActionExecutor.h"

#include "LogSink.h"
#include "ProcessLauncher.h"
#include "ShortcutItem.h"
#include "Workspace.h"

#include <QStringList>
#include <QUrl>

namespace zl {

namespace {

const QLatin1StringView kDesktopSuffix(".desktop");

} // namespace

ActionExecutor::ActionExecutor(const ActionServices &services)
    : m_services(services), m_paste(services.pasteboard, services.keys, services.scheduler, services.log)
{
}

void ActionExecutor::run(const ShortcutItem &item)
{
    switch (item.actionType.kind()) {
    case ActionType::PasteText:
        m_paste.paste(item.payload, false);
        break;
    case ActionType::PasteTextAndEnter:
        m_paste.paste(item.payload, true);
        break;
    case ActionType::RunCommand:
        runShell(item.payload);
        break;
    case ActionType::LaunchApp:
        launchApp(item.payload);
        break;
    case ActionType::OpenURL: {
        const QList<QUrl> urls = item.urls();
        if (!urls.isEmpty())
            m_services.workspace.openUrl(urls.first());
        break;
    }
    case ActionType::OpenURLs:
        for (const QUrl &url : item.urls())
            m_services.workspace.openUrl(url);
        break;
    }
}

QString ActionExecutor::fallbackCommandLine(const QString &name)
{
    QString quoted = name;
    quoted.replace(u'\'', QLatin1StringView("'\\''"));
    return u'\'' + quoted + u'\'';
}

// QString::trimmed strips exactly the whitespace-and-newline set: Zs, Zl, Zp, U+0009..U+000D, U+0085.
void ActionExecutor::runShell(const QString &command)
{
    const QString trimmed = command.trimmed();
    if (trimmed.isEmpty())
        return;
    const auto error = m_services.processes.startDetached(m_services.processes.userShell(),
                                                          {QStringLiteral("-lc"), trimmed});
    if (error)
        m_services.log.log(QStringLiteral("Zephyrlatch: failed to run command: ") + *error);
}

void ActionExecutor::launchApp(const QString &path)
{
    const QString name = path.trimmed();
    if (name.isEmpty())
        return;

    if (name.startsWith(u'/')) {
        if (m_services.workspace.fileExists(name))
            launchFile(name);
        else
            runShell(fallbackCommandLine(name));
        return;
    }
    if (name.endsWith(kDesktopSuffix)) {
        launchInApplicationFolders(name);
        return;
    }

    // A desktop-file ID names a file below an application folder with each "/" turned into "-".
    const QString desktopId = QString(name).replace(u'/', u'-') + kDesktopSuffix;
    auto entry = m_services.workspace.findApplicationById(desktopId);
    if (!entry)
        entry = m_services.workspace.findApplicationByName(name);
    if (entry)
        m_services.workspace.launchDesktopEntry(*entry);
    else
        runShell(fallbackCommandLine(name));
}

void ActionExecutor::launchFile(const QString &path)
{
    if (path.endsWith(kDesktopSuffix))
        m_services.workspace.launchDesktopEntry(path);
    else if (m_services.workspace.isExecutableFile(path))
        m_services.processes.startDetached(path, {});
    else
        m_services.workspace.openUrl(QUrl::fromLocalFile(path));
}

void ActionExecutor::launchInApplicationFolders(const QString &fileName)
{
    for (const QString &folder : m_services.workspace.applicationFolders()) {
        const QString candidate = folder + u'/' + fileName;
        if (m_services.workspace.fileExists(candidate)) {
            m_services.workspace.launchDesktopEntry(candidate);
            return;
        }
    }
    runShell(fallbackCommandLine(fileName));
}

} // namespace zl
