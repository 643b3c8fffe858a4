// What the program keeps for itself stays the user's alone: the one-instance folder and its
// socket, which answers no other user (that it answers its own, a second launch shows in tst_e2e).
#include "SingleInstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zl;

namespace {

constexpr uid_t kNobody = 65534;

// Connects from a forked child as nobody and sends the request to show. The child exits with 0
// when it connected and wrote, 1 when it could not.
pid_t connectFromChild(const QByteArray &socketPath)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // Only plain system calls after fork.
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
        _exit(2);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, socketPath.constData(), static_cast<size_t>(socketPath.size()));
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        _exit(1);
    const char request[] = "show\n";
    if (write(fd, request, sizeof request - 1) != static_cast<ssize_t>(sizeof request - 1))
        _exit(1);
    char byte = 0;
    // The instance hangs up once it has read (or refused) the request.
    [[maybe_unused]] const ssize_t ignored = read(fd, &byte, 1);
    _exit(0);
}

} // namespace

class TestPrivacy : public QObject
{
    Q_OBJECT

private slots:
    void socketAnswersNoOtherUser()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFile::Permissions(0x7755))); // as a umask of 022 leaves it
        SingleInstance instance(folder);
        QVERIFY(instance.claim());
        QCOMPARE(QFile::permissions(folder) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (geteuid() != 0)
            QSKIP("connecting as another user needs root (setuid in a child)");
        QSignalSpy activations(&instance, &SingleInstance::activationRequested);
        // Take the file permissions out of the way (as on a file system that ignores them), so only
        // the instance's own check of who is calling stands.
        const QFile::Permissions everyone = QFile::Permissions(0x7777);
        QVERIFY(QFile::setPermissions(dir.path(), everyone) && QFile::setPermissions(folder, everyone) &&
                QFile::setPermissions(instance.socketPath(), everyone));

        const pid_t child = connectFromChild(QFile::encodeName(instance.socketPath()));
        QVERIFY(child > 0);
        int status = -1;
        bool reaped = false;
        QTRY_VERIFY_WITH_TIMEOUT(reaped || (reaped = waitpid(child, &status, WNOHANG) == child), 10000);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        // The instance answers (or refuses) before it hangs up, so the count is final.
        QCOMPARE(activations.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPrivacy)
#include "tst_privacy.moc"
