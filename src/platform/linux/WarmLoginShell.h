#pragma once

#include <QByteArray>
#include <QList>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace zl {

/**
 * One login shell started ahead of time: it has read the profile and waits for its command on an
 * inherited pipe (its descriptor 3), so a command hotkey does not wait for the profile. The command
 * travels as data and the shell evaluates it, closing the pipe first, so it runs as `SHELL -lc
 * COMMAND` would. Only shells whose reading of the pipe is known are served. A waiting shell older
 * than a few minutes, or whose shell, environment, working folder or profile files changed since
 * it started, is never used. Main thread.
 */
class WarmLoginShell final
{
public:
    /** Starts program detached with channel as its descriptor 3; its process id, or -1 when it could not start. */
    using Spawn = std::function<int(const QString &program, const QStringList &arguments, int channel)>;
    /** Told the process id of a waiting shell once it has its command or was let go: it ends soon. */
    using Release = std::function<void(int pid)>;

    WarmLoginShell(Spawn spawn, Release release);
    ~WarmLoginShell();
    WarmLoginShell(const WarmLoginShell &) = delete;
    WarmLoginShell &operator=(const WarmLoginShell &) = delete;

    /** Whether shell's way of reading a command from the pipe is one this class knows. */
    static bool knows(const QString &shell);

    /** Starts a waiting shell for shell unless a current one waits or shell is not known. */
    void prepare(const QString &shell);

    /**
     * Hands command to the waiting shell of shell when that one is current. False when there was
     * none: the caller starts the command itself. Either way the next waiting shell is started on a
     * later event-loop turn, off the caller's path.
     */
    bool run(const QString &shell, const QByteArray &command);

private:
    void start(const QString &shell, const QByteArray &now);
    QByteArray fingerprint(const QString &shell) const;
    bool send(const QByteArray &command);
    void discard();

    Spawn m_spawn;
    Release m_release;
    int m_channel = -1; // write end of the waiting shell's pipe
    int m_pid = -1;
    QString m_shell;
    QByteArray m_fingerprint;
    QElapsedTimer m_age;
    // A shell that went away before its command came would go away again: no more for the same state.
    QByteArray m_failed;
    QString m_next;
    QByteArray m_nextFingerprint;
    QTimer m_refill;
    QTimer m_expiry;
};

} // namespace zl
