// The real program under a private Xvfb takes 1,000 presses of five shortcuts as fast as xdotool
// can send them: every press runs its command exactly once, and afterwards no child is left a
// zombie and neither descriptors nor memory have grown.
#include "ProgramUnderTest.h"

#include <QtTest>

using namespace zl;
using hardening::xdotool;

namespace {

constexpr int kShortcuts = 5;
constexpr int kPresses = 1000;
// Mac virtual key codes of A, S, D, F, G and the letters xdotool types for them.
constexpr quint32 kKeyCodes[kShortcuts] = {0, 1, 2, 3, 5};
const char *const kLetters[kShortcuts] = {"a", "s", "d", "f", "g"};

QString chord(int shortcut)
{
    return QStringLiteral("ctrl+alt+") + QLatin1StringView(kLetters[shortcut]);
}

qint64 statusKiB(qint64 pid, const char *field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

int openDescriptors(qint64 pid)
{
    return static_cast<int>(QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// The login shell the program keeps ready: it still holds the pipe its command comes through.
bool waitingShell(const QString &pid)
{
    QFile command(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return command.open(QIODevice::ReadOnly) && command.readAll().contains("__zl_c") &&
           QFileInfo::exists(QStringLiteral("/proc/%1/fd/3").arg(pid));
}

// Children of pid in each state letter of /proc/<child>/stat ("R", "S", "Z", ...), but for the
// waiting login shell.
QStringList childStates(qint64 pid)
{
    QStringList states;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        entry.toLongLong(&isPid);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // The command name may hold spaces and parentheses; the fields after it do not.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid && !waitingShell(entry))
            states << QString::fromLatin1(fields.at(0));
    }
    return states;
}

} // namespace

class TestStorm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPressRunsExactlyOnce();

private:
    int runs(int shortcut) const;

    QTemporaryDir m_dir;
    QProcess m_app;
};

int TestStorm::runs(int shortcut) const
{
    return hardening::lineCount(m_dir.filePath(QStringLiteral("runs-%1.log").arg(shortcut)));
}

void TestStorm::initTestCase()
{
    QList<ShortcutItem> list;
    for (int i = 0; i < kShortcuts; ++i) {
        const QString command = QStringLiteral("echo ran >> '%1'").arg(m_dir.filePath(QStringLiteral("runs-%1.log").arg(i)));
        list << ShortcutItem{QUuid::createUuid(), QStringLiteral("Storm %1").arg(i), true, ActionType::RunCommand,
                             command, kKeyCodes[i], Modifier::Control | Modifier::Option};
    }
    m_app.setProcessChannelMode(QProcess::ForwardedChannels);
    QVERIFY(hardening::startProgram(m_app, m_dir, list));

    // The grabs follow the window's first appearance: press until each shortcut has run once.
    for (int i = 0; i < kShortcuts; ++i) {
        for (int attempt = 0; attempt < 100 && runs(i) == 0; ++attempt) {
            xdotool({QStringLiteral("key"), chord(i)});
            QTest::qWait(100);
        }
        QVERIFY2(runs(i) > 0, qPrintable(chord(i)));
    }
}

void TestStorm::cleanupTestCase()
{
    if (m_app.state() != QProcess::NotRunning) {
        m_app.kill();
        m_app.waitForFinished();
    }
}

void TestStorm::everyPressRunsExactlyOnce()
{
    const qint64 pid = m_app.processId();
    QTRY_COMPARE_WITH_TIMEOUT(childStates(pid), QStringList(), 10000);
    int before[kShortcuts];
    for (int i = 0; i < kShortcuts; ++i)
        before[i] = runs(i);
    const int descriptorsBefore = openDescriptors(pid);
    const qint64 rssBefore = statusKiB(pid, "VmRSS:");
    const qint64 anonBefore = statusKiB(pid, "RssAnon:");

    QStringList storm{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("0")};
    for (int press = 0; press < kPresses; ++press)
        storm << chord(press % kShortcuts);
    QElapsedTimer clock;
    clock.start();
    xdotool(storm, 120000);
    const qint64 sent = clock.elapsed();

    auto all = [&] {
        int total = 0;
        for (int i = 0; i < kShortcuts; ++i)
            total += runs(i) - before[i];
        return total;
    };
    QTRY_VERIFY_WITH_TIMEOUT(all() >= kPresses, 90000);
    qInfo("%d presses sent in %lld ms, all commands ran after %lld ms", kPresses, sent, clock.elapsed());
    QTRY_COMPARE_WITH_TIMEOUT(childStates(pid), QStringList(), 10000);
    for (int i = 0; i < kShortcuts; ++i)
        QCOMPARE(runs(i) - before[i], kPresses / kShortcuts);

    QCOMPARE(childStates(pid).count(QStringLiteral("Z")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(openDescriptors(pid) <= descriptorsBefore, 5000);
    const qint64 rssAfter = statusKiB(pid, "VmRSS:");
    const qint64 anonAfter = statusKiB(pid, "RssAnon:");
    qInfo("VmRSS %lld -> %lld KiB, RssAnon %lld -> %lld KiB, descriptors %d -> %d", rssBefore, rssAfter, anonBefore,
          anonAfter, descriptorsBefore, openDescriptors(pid));
#ifdef ZL_SANITIZED
    // The sanitizer's allocator keeps freed memory in quarantine; only a runaway shows.
    constexpr qint64 kToleranceKiB = 96 * 1024;
#else
    constexpr qint64 kToleranceKiB = 4 * 1024;
#endif
    QVERIFY2(anonAfter - anonBefore <= kToleranceKiB, qPrintable(QString::number(anonAfter - anonBefore)));
    QVERIFY2(rssAfter - rssBefore <= kToleranceKiB, qPrintable(QString::number(rssAfter - rssBefore)));
    QCOMPARE(m_app.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestStorm)
#include "tst_storm.moc"
