// What the program keeps for itself stays the user's alone: the one-instance folder and its
// socket, which answers no other user (that it answers its own, a second launch shows in tst_e2e).
#include "SingleInstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace zl;

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
            QSKIP("connecting as another user needs root");
        QSignalSpy activations(&instance, &SingleInstance::activationRequested);
        // Take the file permissions out of the way (as on a file system that ignores them), so only
        // the instance's own check of who is calling stands.
        const QFile::Permissions everyone = QFile::Permissions(0x7777);
        QVERIFY(QFile::setPermissions(dir.path(), everyone) && QFile::setPermissions(folder, everyone) &&
                QFile::setPermissions(instance.socketPath(), everyone));

        // Nobody connects and asks to be shown; it exits with 0 once the instance hung up after reading
        // (or refusing) the request, 1 when it could not connect or write.
        QProcess nobody;
        nobody.start(QStringLiteral("setpriv"),
                     {"--reuid=65534", "--regid=65534", "--clear-groups", "perl", "-MIO::Socket::UNIX", "-e",
                      "$s = IO::Socket::UNIX->new(Peer => $ARGV[0]) or exit 1; syswrite($s, \"show\\n\") == 5 or exit 1;"
                      " sysread($s, $b, 1); exit 0", instance.socketPath()});
        QTRY_COMPARE_WITH_TIMEOUT(nobody.state(), QProcess::NotRunning, 10000);
        QCOMPARE(nobody.exitStatus(), QProcess::NormalExit);
        QCOMPARE(nobody.exitCode(), 0);
        // The instance answers (or refuses) before it hangs up, so the count is final.
        QCOMPARE(activations.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPrivacy)
#include "tst_privacy.moc"
