#pragma once

#include "ProcessLauncher.h"

#include <QObject>

namespace zl {

/**
 * Starts children with posix_spawn, which does not copy this process's address space, and reaps
 * each one when it ends (through a pidfd watched by the event loop) so none stays a zombie.
 */
class PosixProcessLauncher final : public ProcessLauncher
{
public:
    PosixProcessLauncher() = default;

    QString userShell() const override;
    std::optional<QString> startDetached(const QString &program, const QStringList &arguments) override;

private:
    void reapWhenDone(int pid);

    // Parent of the pidfd notifiers; children still running when it goes are reaped by init later.
    QObject m_context;
};

} // namespace zl
