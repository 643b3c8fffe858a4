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

// Quoting is the reading shell's: fish also escapes \\ and \' inside single quotes, so the POSIX
// form ('\'') would let a name such as  x\'; touch p; echo \'  run touch there.
std::optional<QString> ActionExecutor::fallbackCommandLine(const QString &name, const QString &shell)
{
    static const QStringList posixShells{"sh",  "ash",  "dash",  "bash", "rbash", "zsh",   "rzsh",  "ksh", "ksh93",
                                         "rksh", "mksh", "rmksh", "lksh", "rlksh", "pdksh", "oksh", "posh", "yash"};
    const QString base = shell.mid(shell.lastIndexOf(u'/') + 1);
    QString quoted = name;
    if (posixShells.contains(base)) {
        quoted.replace(u'\'', QLatin1StringView("'\\''"));
    } else if (base == QLatin1StringView("fish")) {
        quoted.replace(u'\\', QLatin1StringView("\\\\"));
        quoted.replace(u'\'', QLatin1StringView("\\'"));
    } else {
        return std::nullopt;
    }
    return u'\'' + quoted + u'\'';
}

void ActionExecutor::start(const QString &program, const QStringList &arguments)
{
    if (const auto error = m_services.processes.startDetached(program, arguments))
        m_services.log.log(QStringLiteral("Zephyrlatch: failed to run command: ") + *error);
}

// QString::trimmed strips exactly the whitespace-and-newline set: Zs, Zl, Zp, U+0009..U+000D, U+0085.
void ActionExecutor::runShell(const QString &command)
{
    const QString trimmed = command.trimmed();
    if (trimmed.isEmpty())
        return;
    start(m_services.processes.userShell(), {QStringLiteral("-lc"), trimmed});
}

// A shell whose quoting is not known (csh, nushell, xonsh, ...) never reads the name: /bin/sh runs it
// as an argument, on the PATH that login shell reports (its last output line), else on the inherited one.
void ActionExecutor::runFallback(const QString &name)
{
    const QString shell = m_services.processes.userShell();
    if (const auto line = fallbackCommandLine(name, shell)) {
        start(shell, {QStringLiteral("-lc"), *line});
        return;
    }
    static const QString script = QStringLiteral("p=$(\"$1\" -lc 'printenv PATH' </dev/null 2>/dev/null)\n"
                                                 "p=${p##*'\n'}\n"
                                                 "[ -n \"$p\" ] && PATH=$p && export PATH\n"
                                                 "\"$2\"\n");
    start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral("zephyrlatch"), shell, name});
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
            runFallback(name);
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
        runFallback(name);
}

void ActionExecutor::launchFile(const QString &path)
{
    if (path.endsWith(kDesktopSuffix))
        m_services.workspace.launchDesktopEntry(path);
    else if (m_services.workspace.isExecutableFile(path))
        start(path, {});
    else
        m_services.workspace.openUrl(QUrl::fromLocalFile(path));
}

void ActionExecutor::launchInApplicationFolders(const QString &fileName)
{
    for (const QString &folder : m_services.workspace.applicationFolders()) {
        const QString candidate = folder + u'/' + fileName;
        if (m_services.workspace.fileExists(candidate)) {
            if (m_services.workspace.isHiddenEntry(candidate))
                break;
            m_services.workspace.launchDesktopEntry(candidate);
            return;
        }
    }
    runFallback(fileName);
}

} // namespace zl
