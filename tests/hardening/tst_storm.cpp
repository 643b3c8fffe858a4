// The real program under a private Xvfb, holding shortcuts with hostile names and 1 MB texts: 1,000
// presses of five shortcuts as fast as xdotool can send them each run their command exactly once and
// leave no child and no descriptor behind; the stored list stays as it was.
#include "ProgramUnderTest.h"

#include <QtTest>

using namespace zl;
using hardening::lineCount;
using hardening::xdotool;

namespace {

constexpr int kStorm = 5;
constexpr int kPresses = 1000;
// Mac virtual key codes and the letters xdotool types for them: the storm's five, then two hostile ones.
constexpr quint32 kKeyCodes[] = {0, 1, 2, 3, 5, 8, 9};
const char kLetters[] = "asdfgcv";

QString chord(int key) { return QStringLiteral("ctrl+alt+") + QLatin1Char(kLetters[key]); }

// Children of pid still running a command or not yet reaped: all but the login shell the program
// keeps ready, which holds the pipe its command comes through.
qsizetype busyChildren(qint64 pid)
{
    qsizetype busy = 0;
    for (const test::ChildProcess &child : test::childrenOf(pid)) {
        QFile command(QStringLiteral("/proc/%1/cmdline").arg(child.pid));
        busy += !(command.open(QIODevice::ReadOnly) && command.readAll().contains("__zl_c") &&
                  QFileInfo::exists(QStringLiteral("/proc/%1/fd/3").arg(child.pid)));
    }
    return busy;
}

// With . and .., as a count that is only compared.
qsizetype openDescriptors(qint64 pid) { return QDir(QStringLiteral("/proc/%1/fd").arg(pid)).count(); }

} // namespace

class TestStorm : public QObject
{
    Q_OBJECT

private slots:
    void everyPressRunsExactlyOnce()
    {
        const auto keyed = [](const QString &name, ActionType type, const QString &payload, int key) {
            return test::shortcut(name, type, payload, kKeyCodes[key], Modifier::Control | Modifier::Option);
        };
        QList<ShortcutItem> list;
        for (int i = 0; i < kStorm; ++i)
            list << keyed(QStringLiteral("Storm %1").arg(i), ActionType::RunCommand,
                          QStringLiteral("echo ran >> '%1'").arg(file(QStringLiteral("runs-%1.log").arg(i))), i);
        QString control;
        for (char16_t c = 1; c < 0x20; ++c)
            control += QChar(c);
        const QString megabyte(1024 * 1024, u'\u00e9');
        list << keyed(QStringLiteral("%n%s%x%n") + control, ActionType::LaunchApp, QStringLiteral("/no/such/app"), 5)
             << keyed(megabyte, ActionType::LaunchApp, QStringLiteral("no such app %n%s"), 6)
             << test::shortcut(QStringLiteral("long paste"), ActionType::PasteText, megabyte);
        // Destroying the process kills it.
        QProcess app;
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        QVERIFY(hardening::startProgram(app, m_dir, list));

        // The grabs follow the window's first appearance: press until each storm shortcut has run once.
        for (int i = 0; i < kStorm; ++i) {
            for (int attempt = 0; attempt < 100 && runs(i) == 0; ++attempt) {
                xdotool({QStringLiteral("key"), chord(i)});
                QTest::qWait(100);
            }
            QVERIFY2(runs(i) > 0, qPrintable(chord(i)));
        }
        // The hostile ones fail to launch, their names reaching the log as data; launching opens for
        // good what the storm's count of descriptors must not see as a leak. The first storm shortcut,
        // pressed after them, runs once they have been handled.
        const int first = runs(0);
        xdotool({QStringLiteral("key"), chord(5), chord(6), chord(0)});
        QTRY_COMPARE_WITH_TIMEOUT(runs(0), first + 1, 10000);

        const qint64 pid = app.processId();
        QTRY_COMPARE_WITH_TIMEOUT(busyChildren(pid), 0, 10000);
        int before[kStorm];
        for (int i = 0; i < kStorm; ++i)
            before[i] = runs(i);
        const qsizetype descriptorsBefore = openDescriptors(pid);

        QStringList storm{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("0")};
        for (int press = 0; press < kPresses; ++press)
            storm << chord(press % kStorm);
        xdotool(storm, 120000);
        // The last press's command has run: every press before it has started its command, and once no
        // child is left, all ran. A zombie or a command that never ends stays counted.
        QTRY_VERIFY_WITH_TIMEOUT(runs(kStorm - 1) - before[kStorm - 1] >= kPresses / kStorm, 90000);
        QTRY_COMPARE_WITH_TIMEOUT(busyChildren(pid), 0, 10000);
        for (int i = 0; i < kStorm; ++i)
            QCOMPARE(runs(i) - before[i], kPresses / kStorm);
        QTRY_VERIFY_WITH_TIMEOUT(openDescriptors(pid) <= descriptorsBefore, 5000);
        QCOMPARE(app.state(), QProcess::Running);
        QVERIFY(ShortcutItem::decodeList(test::storedBytes(hardening::settingsPath(m_dir)), nullptr) == list);
    }

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    int runs(int key) const { return lineCount(file(QStringLiteral("runs-%1.log").arg(key))); }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestStorm)
#include "tst_storm.moc"
