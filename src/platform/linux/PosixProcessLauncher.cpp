#include "PosixProcessLauncher.h"

#include <QByteArray>
#include <QSocketNotifier>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

extern char **environ;

namespace zl {

namespace {

class SpawnAttributes final
{
public:
    SpawnAttributes()
    {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnAttributes()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnAttributes(const SpawnAttributes &) = delete;
    SpawnAttributes &operator=(const SpawnAttributes &) = delete;

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
};

QString errorText(const QString &program, int error)
{
    return program + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

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
    const QByteArray file = program.toLocal8Bit();
    QList<QByteArray> encoded;
    for (const QString &argument : arguments)
        encoded.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(file.constData()));
    for (QByteArray &argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    SpawnAttributes spawn;
    // Own session: the child survives us and gets no signals meant for our terminal's process group.
    // Signal mask and dispositions are reset because Qt and GLib change ours.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&spawn.attributes, &none);
    posix_spawnattr_setsigdefault(&spawn.attributes, &all);
    posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&spawn.actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&spawn.actions, 3);

    pid_t pid = 0;
    const int error = posix_spawnp(&pid, file.constData(), &spawn.actions, &spawn.attributes, argv.data(), environ);
    if (error != 0)
        return errorText(program, error);
    reapWhenDone(pid);
    return std::nullopt;
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
