#include "WarmLoginShell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <utility>

extern char **environ;

namespace zl {

namespace {

// A waiting shell's profile may have read state that changes without touching a file (the clock,
// other programs' files); a few minutes bounds how stale it can be.
constexpr int kMaxAgeMs = 3 * 60 * 1000;

// Reads the pipe line by line (no shell has a portable whole-file read) and joins the lines again,
// so the text arrives byte for byte; the variables are gone before the command's first word runs.
const QString kPosixReader = QStringLiteral("__zl_c=;while IFS= read -r __zl_l <&3;do __zl_c=$__zl_c$__zl_l'\n"
                                            "';done;__zl_c=$__zl_c$__zl_l;exec 3<&-;unset __zl_l;"
                                            "eval \"unset __zl_c\n$__zl_c\"");
// fish cannot redirect from a descriptor number it did not open itself, but can open /dev/fd/3;
// it has no way to close a descriptor for good, so the eval closes it for everything it starts.
const QString kFishReader =
    QStringLiteral("builtin read -z -l __zl_c </dev/fd/3;eval \"set -e __zl_c\n$__zl_c\" 3>&-");

// The shells whose reading of the pipe the tests cover.
const QStringList kPosixShells{"sh", "dash", "bash", "zsh", "ksh", "ksh93", "mksh", "mksh-static"};

QString baseName(const QString &shell)
{
    return shell.mid(shell.lastIndexOf(u'/') + 1);
}

QByteArray environmentValue(const char *name, const QByteArray &fallback)
{
    const QByteArray value = qgetenv(name);
    return value.isEmpty() ? fallback : value;
}

// Raw bytes, not text: the fingerprint is only ever compared, and it is taken on every press.
void appendStat(QByteArray &out, const QByteArray &path)
{
    struct stat info = {};
    const bool found = stat(path.constData(), &info) == 0;
    const qint64 fields[] = {found,
                             qint64(info.st_dev),
                             qint64(info.st_ino),
                             qint64(info.st_size),
                             qint64(info.st_mtim.tv_sec),
                             qint64(info.st_mtim.tv_nsec),
                             qint64(info.st_ctim.tv_sec),
                             qint64(info.st_ctim.tv_nsec)};
    out.append(path).append(reinterpret_cast<const char *>(fields), sizeof fields);
}

} // namespace

WarmLoginShell::WarmLoginShell(Spawn spawn, Release release)
    : m_spawn(std::move(spawn)),
      m_release(std::move(release))
{
    m_refill.setSingleShot(true);
    m_refill.setInterval(0);
    QObject::connect(&m_refill, &QTimer::timeout, &m_refill, [this] { start(m_next, m_nextFingerprint); });
    m_expiry.setSingleShot(true);
    m_expiry.setInterval(kMaxAgeMs);
    // An old shell is let go, not replaced: a profile with side effects would otherwise run every few
    // minutes all day. The next press runs cold and starts a fresh one.
    QObject::connect(&m_expiry, &QTimer::timeout, &m_expiry, [this] { discard(); });
}

// The waiting shell reads an empty command, does nothing and ends.
WarmLoginShell::~WarmLoginShell()
{
    discard();
}

bool WarmLoginShell::knows(const QString &shell)
{
    const QString base = baseName(shell);
    return kPosixShells.contains(base) || base == QLatin1StringView("fish");
}

void WarmLoginShell::prepare(const QString &shell)
{
    if (knows(shell))
        start(shell, fingerprint(shell));
}

// now may be a little older than the start: a change in between only makes the next press go cold.
void WarmLoginShell::start(const QString &shell, const QByteArray &now)
{
    if (!knows(shell))
        return;
    if (m_channel >= 0 && m_shell == shell && m_fingerprint == now && m_age.elapsed() < kMaxAgeMs)
        return;
    discard();
    if (now == m_failed)
        return;

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return;
    // The child's descriptors 0 to 3 are set up in order, so the read end must not be one of them.
    int readEnd = ends[0];
    if (readEnd <= 3) {
        readEnd = fcntl(ends[0], F_DUPFD_CLOEXEC, 4);
        close(ends[0]);
    }
    const bool fish = baseName(shell) == QLatin1StringView("fish");
    const QString reader = fish ? kFishReader : kPosixReader;
    const int pid = readEnd >= 0 ? m_spawn(shell, {QStringLiteral("-lc"), reader}, readEnd) : -1;
    if (readEnd >= 0)
        close(readEnd);
    if (pid < 0) {
        close(ends[1]);
        return;
    }
    // Never blocks: a command is at most PIPE_BUF bytes, which an empty pipe takes whole.
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    m_channel = ends[1];
    m_pid = pid;
    m_shell = shell;
    m_fingerprint = now;
    m_age.start();
    m_expiry.start();
}

bool WarmLoginShell::run(const QString &shell, const QByteArray &command)
{
    // Longer commands could reach the shell in parts; a NUL byte would end an argument early.
    if (command.size() > PIPE_BUF || command.contains('\0'))
        return false;
    const QByteArray now = knows(shell) ? fingerprint(shell) : QByteArray();
    m_next = shell;
    m_nextFingerprint = now;
    m_refill.start();
    if (m_channel < 0)
        return false;
    if (m_shell != shell || m_fingerprint != now || m_age.elapsed() >= kMaxAgeMs) {
        discard();
        return false;
    }
    const bool sent = send(command);
    if (!sent)
        m_failed = now;
    discard();
    return sent;
}

QByteArray WarmLoginShell::fingerprint(const QString &shell) const
{
    QByteArray out = shell.toLocal8Bit() + '\n';
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder))
        out += folder;
    out += '\n';
    for (char **entry = environ; entry && *entry; ++entry)
        out.append(*entry, qsizetype(std::strlen(*entry) + 1));
    // The files each family of shells reads at a login start, and what they commonly source.
    const QByteArray home = qgetenv("HOME");
    const QString base = baseName(shell);
    QList<QByteArray> files{"/etc/profile", "/etc/profile.d", home + "/.profile", qgetenv("ENV")};
    if (base == QLatin1StringView("bash")) {
        files << "/etc/bash.bashrc" << home + "/.bash_profile" << home + "/.bash_login" << home + "/.bashrc";
    } else if (base == QLatin1StringView("zsh")) {
        const QByteArray zdot = environmentValue("ZDOTDIR", home);
        files = {"/etc/profile",  "/etc/profile.d", "/etc/zsh/zshenv", "/etc/zsh/zprofile", "/etc/zsh/zlogin",
                 "/etc/zshenv",   "/etc/zprofile",  "/etc/zlogin",     zdot + "/.zshenv",   zdot + "/.zprofile",
                 zdot + "/.zlogin"};
    } else if (base == QLatin1StringView("fish")) {
        const QByteArray config = environmentValue("XDG_CONFIG_HOME", home + "/.config");
        files = {"/etc/fish/config.fish", "/etc/fish/conf.d", config + "/fish/config.fish", config + "/fish/conf.d"};
    } else if (base.contains(QLatin1StringView("ksh"))) {
        files << "/etc/mkshrc" << "/etc/ksh.kshrc" << home + "/.mkshrc" << home + "/.kshrc";
    }
    for (const QByteArray &file : files)
        if (!file.isEmpty())
            appendStat(out, file);
    return out;
}

// SIGPIPE is held back for this thread while writing: a shell that went away must not end us.
bool WarmLoginShell::send(const QByteArray &command)
{
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    ssize_t written = -1;
    do
        written = write(m_channel, command.constData(), static_cast<size_t>(command.size()));
    while (written < 0 && errno == EINTR);
    if (written < 0 && errno == EPIPE && !sigismember(&previous, SIGPIPE)) {
        const timespec none = {};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return written == command.size();
}

void WarmLoginShell::discard()
{
    m_expiry.stop();
    if (m_channel < 0)
        return;
    close(m_channel);
    m_channel = -1;
    m_release(std::exchange(m_pid, -1));
}

} // namespace zl
