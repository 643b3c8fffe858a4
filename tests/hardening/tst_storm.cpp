// The real program under a private Xvfb. Hostile shortcuts (launch names that try to break out of
// their quoting, hostile names, 1 MB texts) run nothing extra and are not lost; 1,000 presses of
// five shortcuts as fast as xdotool can send them each run their command exactly once and leave no
// child and no descriptor behind.
#include "ProgramUnderTest.h"

#include <QtTest>

using namespace zl;
using hardening::lineCount;
using hardening::xdotool;

namespace {

constexpr int kStorm = 5;
constexpr int kSentinel = 9;
constexpr int kPresses = 1000;
// Mac virtual key codes and the letters xdotool types for them: the storm's five shortcuts, four
// hostile ones and the sentinel pressed after them.
constexpr quint32 kKeyCodes[] = {0, 1, 2, 3, 5, 6, 7, 8, 9, 11};
const char kLetters[] = "asdfgzxcvb";

QString chord(int key)
{
    return QStringLiteral("ctrl+alt+") + QLatin1Char(kLetters[key]);
}

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

qsizetype openDescriptors(qint64 pid)
{
    return QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
}

} // namespace

class TestStorm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const auto keyed = [](const QString &name, ActionType type, const QString &payload, int key) {
            return test::shortcut(name, type, payload, kKeyCodes[key], Modifier::Control | Modifier::Option);
        };
        for (int i = 0; i < kStorm; ++i)
            m_list << keyed(QStringLiteral("Storm %1").arg(i), ActionType::RunCommand,
                            QStringLiteral("echo ran >> '%1'").arg(file(QStringLiteral("runs-%1.log").arg(i))), i);
        const QString pwned = file(QStringLiteral("pwned"));
        const QString done = file(QStringLiteral("done.log"));
        QString control;
        for (char16_t c = 1; c < 0x20; ++c)
            control += QChar(c);
        const QString megabyte(1024 * 1024, u'\u00e9');
        m_list << keyed(QStringLiteral("%n%s%x%n"), ActionType::LaunchApp,
                        QStringLiteral("nosuchapp'; touch '%1-quote'; '").arg(pwned), 5)
               << keyed(control, ActionType::LaunchApp,
                        QStringLiteral("/no/such/$(touch %1-subst)`touch %1-tick`").arg(pwned), 6)
               << keyed(QStringLiteral("%s%s%s%s"), ActionType::LaunchApp,
                        QStringLiteral("x.desktop\ntouch %1-newline; echo ran >> %2").arg(pwned, done), 7)
               << keyed(megabyte, ActionType::LaunchApp,
                        QStringLiteral("\"; touch %1-semi; # && touch %1-and | tee %1-pipe").arg(pwned), 8)
               << test::shortcut(QStringLiteral("long paste"), ActionType::PasteText, megabyte)
               << keyed(QStringLiteral("sentinel"), ActionType::RunCommand,
                        QStringLiteral("echo ran >> '%1'").arg(done), kSentinel);
        m_app.setProcessChannelMode(QProcess::ForwardedChannels);
        QVERIFY(hardening::startProgram(m_app, m_dir, m_list));

        // The grabs follow the window's first appearance: press until each storm shortcut has run once.
        for (int i = 0; i < kStorm; ++i) {
            for (int attempt = 0; attempt < 100 && runs(i) == 0; ++attempt) {
                xdotool({QStringLiteral("key"), chord(i)});
                QTest::qWait(100);
            }
            QVERIFY2(runs(i) > 0, qPrintable(chord(i)));
        }
    }

    void cleanupTestCase()
    {
        m_app.kill();
        m_app.waitForFinished();
    }

    void hostileShortcutsRunNothingExtra()
    {
        for (int key = kStorm; key <= kSentinel; ++key)
            xdotool({QStringLiteral("key"), chord(key)});
        // The sentinel's command starts after the hostile ones: once it ran and no child is left, all did.
        QTRY_COMPARE_WITH_TIMEOUT(lineCount(file(QStringLiteral("done.log"))), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(busyChildren(m_app.processId()), 0, 10000);
        QCOMPARE(lineCount(file(QStringLiteral("done.log"))), 1);
        const QStringList extra =
            QDir(m_dir.path()).entryList({QStringLiteral("pwned*")}, QDir::AllEntries | QDir::Hidden);
        QVERIFY2(extra.isEmpty(), qPrintable(extra.join(u' ')));

        QCOMPARE(m_app.state(), QProcess::Running);
        QVERIFY(ShortcutItem::decodeList(test::storedBytes(hardening::settingsPath(m_dir)), nullptr) == m_list);
    }

    void everyPressRunsExactlyOnce()
    {
        const qint64 pid = m_app.processId();
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
        QCOMPARE(m_app.state(), QProcess::Running);
    }

private:
    QString file(const QString &name) const { return m_dir.filePath(name); }
    int runs(int key) const { return lineCount(file(QStringLiteral("runs-%1.log").arg(key))); }

    QTemporaryDir m_dir;
    QProcess m_app;
    QList<ShortcutItem> m_list;
};

QTEST_GUILESS_MAIN(TestStorm)
#include "tst_storm.moc"
