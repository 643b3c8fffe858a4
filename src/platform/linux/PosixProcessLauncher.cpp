#include "PosixProcessLauncher.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace zl {

namespace {

QString errorText(const QString &program, int error)
{
    return program + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

// vfork, not posix_spawn: the child borrows our stack, where glibc maps and unmaps one per start,
// and the unmapping interrupts every other thread of ours. Kept apart so that no caller's variable
// lives across the vfork. *error is set (and the process id, if any, is that of an ended child) when
// the start failed.
[[gnu::noinline]] pid_t forkExec(const char *file, char *const *argv, int channel, int *error)
{
    // Every signal stays blocked until the child has reset the handlers: until it execs it runs on
    // our memory, where one of our handlers must not run.
    sigset_t all;
    sigfillset(&all);
    sigset_t previous;
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    volatile int childError = 0;
    const pid_t pid = vfork();
    if (pid == 0) {
        struct sigaction byDefault = {};
        byDefault.sa_handler = SIG_DFL;
        for (int signal = 1; signal < NSIG; ++signal)
            sigaction(signal, &byDefault, nullptr);
        // Own session: the child survives us and gets no signals meant for our terminal's process group.
        const int null = open("/dev/null", O_RDWR);
        const bool ready = setsid() >= 0 && null >= 0 && dup2(null, 0) == 0 && dup2(null, 1) == 1
                           && dup2(null, 2) == 2 && (channel < 0 || dup2(channel, 3) == 3);
        const int firstToClose = channel >= 0 ? 4 : 3;
        if (ready && close_range(unsigned(firstToClose), ~0U, 0) != 0) {
            // Kernels before 5.9; ours are opened close-on-exec anyway.
            for (int fd = firstToClose; fd < 1024; ++fd)
                close(fd);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (ready)
            execvp(file, argv);
        childError = errno;
        _exit(127);
    }
    *error = pid < 0 ? errno : childError;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return pid;
}

// On the event loop's first turn, once the start-up has bound the hotkeys: the shell reads its
// profile while the window is first drawn, so even the first press finds it waiting.
constexpr int kWarmUpDelayMs = 0;
// Children are reaped in batches: waking for each one as it ends would cost every press a second wakeup.
constexpr int kReapDelayMs = 500;

} // namespace

PosixProcessLauncher::PosixProcessLauncher(bool keepShellReady)
    : m_warm(
          [this](const QString &program, const QStringList &arguments, int channel) {
              int pid = -1;
              return spawn(program, arguments, channel, pid) ? -1 : pid;
          },
          [this](int pid) { reapLater(pid); }),
      m_keepShellReady(keepShellReady)
{
    m_sweep.setSingleShot(true);
    m_sweep.setInterval(kReapDelayMs);
    QObject::connect(&m_sweep, &QTimer::timeout, &m_context, [this] { sweep(); });
    if (m_keepShellReady)
        QTimer::singleShot(kWarmUpDelayMs, &m_context, [this] { warmUp(); });
}

void PosixProcessLauncher::warmUp()
{
    if (m_keepShellReady)
        m_warm.prepare(userShell());
}

QString PosixProcessLauncher::userShell() const
{
    const QByteArray fromEnvironment = qgetenv("SHELL");
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_shell &&
        found->pw_shell[0] != '\0')
        return QString::fromLocal8Bit(found->pw_shell);
    return QStringLiteral("/bin/sh");
}

std::optional<QString> PosixProcessLauncher::startDetached(const QString &program, const QStringList &arguments)
{
    const bool loginShellCommand =
        arguments.size() == 2 && arguments.first() == QLatin1StringView("-lc") && program == userShell();
    if (m_keepShellReady && loginShellCommand && m_warm.run(program, arguments.last().toLocal8Bit()))
        return std::nullopt;
    int pid = -1;
    std::optional<QString> error = spawn(program, arguments, -1, pid);
    if (!error)
        reapLater(pid);
    return error;
}

std::optional<QString> PosixProcessLauncher::spawn(const QString &program, const QStringList &arguments, int channel,
                                                   int &started)
{
    const QByteArray file = program.toLocal8Bit();
    QList<QByteArray> encoded;
    for (const QString &argument : arguments)
        encoded.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(file.constData()));
    for (QByteArray &argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int childError = 0;
    const pid_t pid = forkExec(file.constData(), argv.data(), channel, &childError);
    if (childError != 0) {
        if (pid > 0)
            waitpid(pid, nullptr, 0);
        return errorText(program, childError);
    }
    started = pid;
    return std::nullopt;
}

void PosixProcessLauncher::reapLater(int pid)
{
    m_unreaped.append(pid);
    if (!m_sweep.isActive())
        m_sweep.start();
}

// A child still running by now is a long command: it gets a watch of its own.
void PosixProcessLauncher::sweep()
{
    for (const int pid : std::exchange(m_unreaped, {}))
        if (waitpid(pid, nullptr, WNOHANG) == 0)
            reapWhenDone(pid);
}

void PosixProcessLauncher::reapWhenDone(int pid)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        // Kernels before 5.3: a thread that sleeps in waitpid costs less than a zombie per command.
        std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
        return;
    }
    fcntl(pidfd, F_SETFD, FD_CLOEXEC);
    auto *notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, &m_context);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pid, pidfd] {
        if (waitpid(pid, nullptr, WNOHANG) == 0)
            return;
        notifier->setEnabled(false);
        notifier->deleteLater();
        close(pidfd);
    });
}

} // namespace zl
