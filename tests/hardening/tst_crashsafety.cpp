// SIGKILL at random moments during a burst of saves: the file must always load, holding the last
// acknowledged list or the one being written, and what a killed write leaves beside it is the
// owner's alone.
#include "HardeningLists.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace zl;

class TestCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killDuringBurstKeepsOldOrNewList()
    {
        constexpr int kKills = 250;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zephyrlatch/zephyrlatch.conf"));
        QSettings(path, QSettings::NativeFormat)
            .setValue(QStringLiteral("shortcuts.v1"), ShortcutItem::encodeList(hardening::series(0)));
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("random seed %u", seed);
        QRandomGenerator random(seed);

        int interruptedBursts = 0;
        for (int round = 0; round < kKills; ++round) {
            QProcess driver;
            driver.start(QStringLiteral(ZL_STORE_DRIVER), {QStringLiteral("burst"), path});
            QVERIFY(driver.waitForStarted());
            // A save syncs to disk and takes a few tens of milliseconds: a quarter of the kills land
            // during start-up and the first load, the rest somewhere in a burst after its first save.
            QByteArray output;
            if (random.bounded(4) == 0) {
                ::usleep(random.bounded(30000u));
            } else {
                while (!output.contains("saved ") && driver.waitForReadyRead(10000))
                    output += driver.readAllStandardOutput();
                QVERIFY2(output.contains("saved "),
                         qPrintable(QStringLiteral("round %1: the first save after a kill blocked").arg(round)));
                ::usleep(random.bounded(60000u));
            }
            driver.kill();
            QVERIFY(driver.waitForFinished(10000));

            int acknowledged = -1;
            int started = -1;
            output += driver.readAllStandardOutput();
            for (const QByteArray &line : output.split('\n')) {
                if (line.startsWith("at "))
                    started = acknowledged = line.mid(3).toInt();
                else if (line.startsWith("saved "))
                    acknowledged = line.mid(6).toInt();
            }

            QCOMPARE(QSettings(path, QSettings::NativeFormat).status(), QSettings::NoError);
            QString error;
            const auto list = ShortcutItem::decodeList(test::storedBytes(path), &error);
            QVERIFY2(list.has_value(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(error)));
            const int onDisk = hardening::seriesStep(*list);
            QVERIFY2(onDisk >= 0, qPrintable(QStringLiteral("round %1: a list outside the series").arg(round)));
            if (started >= 0) {
                QVERIFY2(onDisk == acknowledged || onDisk == acknowledged + 1,
                         qPrintable(QStringLiteral("round %1: saved %2, on disk %3").arg(round).arg(acknowledged)
                                        .arg(onDisk)));
                interruptedBursts += acknowledged > started;
            }
        }
        QVERIFY2(interruptedBursts >= kKills / 2, "too few kills landed during a burst to mean anything");

        // A write killed between Qt's link of its temporary copy and the rename leaves that copy (same
        // secrets) beside the file. Start-up cannot tell it from a user's file of that name, so it
        // stays: it must be the owner's alone. Lock files of killed writers hold only a process id.
        const QDir folder(QFileInfo(path).absolutePath());
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden)) {
            if (!name.endsWith(QLatin1StringView("lock")))
                QCOMPARE(QFile::permissions(folder.filePath(name)) & ~(QFile::ReadUser | QFile::WriteUser),
                         QFile::ReadOwner | QFile::WriteOwner);
        }
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
