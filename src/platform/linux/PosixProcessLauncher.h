#pragma once

#include "ProcessLauncher.h"
#include "WarmLoginShell.h"

#include <QList>
#include <QObject>
#include <QTimer>

namespace zl {

/**
 * Starts children with vfork, which does not copy this process's address space, and reaps
 * them so none stays a zombie for long: those that ended within half a second together, then each
 * remaining one when it ends (through a pidfd watched by the event loop). A waiting login shell is
 * reaped once it has its command or was let go.
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
    std::optional<QString> spawn(const QString &program, const QStringList &arguments, int channel, int &started);
    void reapLater(int pid);
    void sweep();
    void reapWhenDone(int pid);

    // Parent of the pidfd notifiers; children still running when it goes are reaped by init later.
    QObject m_context;
    QList<int> m_unreaped;
    QTimer m_sweep;
    WarmLoginShell m_warm;
    bool m_keepShellReady;
};

} // namespace zl
