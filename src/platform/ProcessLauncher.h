#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zl {

/** Starts child processes that live on their own; the caller never waits for them. */
class ProcessLauncher
{
public:
    virtual ~ProcessLauncher() = default;

    /** The user's shell: $SHELL, else the password database's entry, else /bin/sh. Never empty. */
    virtual QString userShell() const = 0;

    /**
     * Starts program with exactly these arguments in a session of its own, stdin/stdout/stderr on
     * /dev/null, inheriting environment and working directory; never leaves a zombie. Main thread.
     * `userShell() -lc COMMAND` may be served by a login shell started earlier in the same
     * environment, which runs COMMAND as that start would. Returns nothing on success, else a
     * human-readable error text.
     */
    virtual std::optional<QString> startDetached(const QString &program, const QStringList &arguments) = 0;
};

} // namespace zl
