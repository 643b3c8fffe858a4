#pragma once

#include "PasteSequence.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zl {

class LogSink;
class Pasteboard;
class ProcessLauncher;
class Scheduler;
class SyntheticKeys;
class Workspace;
struct ShortcutItem;

/** The platform services an ActionExecutor acts through; each must outlive the executor. */
struct ActionServices
{
    ProcessLauncher &processes;
    Workspace &workspace;
    Pasteboard &pasteboard;
    SyntheticKeys &keys;
    Scheduler &scheduler;
    LogSink &log;
};

/**
 * Carries out the action of one shortcut. The only state is the clipboard coordination of pastes in
 * flight; failures are silent or one log line. Main thread only.
 */
class ActionExecutor final
{
public:
    explicit ActionExecutor(const ActionServices &services);

    /** Ignores isEnabled and the hotkey: callers decide whether a shortcut may run. */
    void run(const ShortcutItem &item);

    /**
     * The line that makes shell run name as one word: single quotes in the quoting of that shell
     * (POSIX shells and fish). Nothing for a shell whose quoting is not known.
     */
    static std::optional<QString> fallbackCommandLine(const QString &name, const QString &shell);

private:
    void runShell(const QString &command);
    void runFallback(const QString &name);
    void start(const QString &program, const QStringList &arguments);
    void launchApp(const QString &path);
    void launchFile(const QString &path);
    void launchInApplicationFolders(const QString &fileName);

    ActionServices m_services;
    PasteSequence m_paste;
};

} // namespace zl
