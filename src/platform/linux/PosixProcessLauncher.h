#pragma once

#include "ProcessLauncher.h"
#include "WarmLoginShell.h"

#include <QObject>

namespace zl {

/**
 * Starts children with posix_spawn, which does not copy this process's address space, and reaps
 * each one when it ends (through a pidfd watched by the event loop) so none stays a zombie.
 * `SHELL -lc COMMAND` with the user's shell is handed to a login shell started ahead of time when
 * one is ready (WarmLoginShell), which runs it as that start would, without reading the profile then.
 */
class PosixProcessLauncher final : public ProcessLauncher
{
public:
    /** Without keepShellReady every command starts its login shell when it runs. */
    explicit PosixProcessLauncher(bool keepShellReady = true);

    QString userShell() const override;
    std::optional<QString> startDetached(const QString &program, const QStringList &arguments) override;

    /** Starts a waiting login shell of the user's shell now, if it is a known one and none is current. */
    void warmUp();

private:
    std::optional<QString> spawn(const QString &program, const QStringList &arguments, int channel);
    void reapWhenDone(int pid);

    // Parent of the pidfd notifiers; children still running when it goes are reaped by init later.
    QObject m_context;
    WarmLoginShell m_warm;
    bool m_keepShellReady;
};

} // namespace zl
