#include "ActionExecutor.h"
#include "EventLoopScheduler.h"
#include "FakeLogSink.h"
#include "FakeProcessLauncher.h"
#include "FakeWorkspace.h"
#include "ShortcutItem.h"
#include "X11AccessibilityTrust.h"
#include "X11Pasteboard.h"
#include "X11SyntheticKeys.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace zl {

namespace {

// Forwards to the real keys and notes when each press started and ended, for the timing report.
class TimedKeys final : public SyntheticKeys
{
public:
    explicit TimedKeys(SyntheticKeys &keys) : m_keys(keys) { clock.start(); }
    bool modifiersHeld() override { return m_keys.modifiersHeld(); }
    void postPasteChord() override { timed(chord, [this] { m_keys.postPasteChord(); }); }
    void postReturn() override { timed(ret, [this] { m_keys.postReturn(); }); }

    template<typename F>
    void timed(QList<std::pair<qint64, qint64>> &into, F call)
    {
        const qint64 start = clock.nsecsElapsed();
        call();
        into.append({start, clock.nsecsElapsed()});
    }

    QElapsedTimer clock;
    QList<std::pair<qint64, qint64>> chord, ret;

private:
    SyntheticKeys &m_keys;
};

class TimedPasteboard final : public Pasteboard
{
public:
    TimedPasteboard(Pasteboard &pasteboard, const QElapsedTimer &clock) : m_pasteboard(pasteboard), m_clock(clock) {}
    std::optional<PasteboardSnapshot> snapshot() override
    {
        const qint64 start = m_clock.nsecsElapsed();
        auto result = m_pasteboard.snapshot();
        snapshots.append({start, m_clock.nsecsElapsed()});
        return result;
    }
    void clear() override { m_pasteboard.clear(); }
    void setSecretText(const QString &text) override { m_pasteboard.setSecretText(text); }
    void write(const PasteboardSnapshot &formats) override
    {
        const qint64 start = m_clock.nsecsElapsed();
        m_pasteboard.write(formats);
        writes.append({start, m_clock.nsecsElapsed()});
    }

    QList<std::pair<qint64, qint64>> snapshots, writes;

private:
    Pasteboard &m_pasteboard;
    const QElapsedTimer &m_clock;
};

double medianMs(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2) / 1e6;
}

} // namespace

// The real clipboard and XTest against a separate X client, with xclip and xdotool as other peers.
class TestPaste : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void trustedWithXtest();
    void targetReceivesTextAndReturn_data();
    void targetReceivesTextAndReturn();
    void clipboardIsRestoredByteForByte_data();
    void clipboardIsRestoredByteForByte();
    void pasteWaitsForHeldModifiers();
    void terminalGetsControlShiftV();
    void timing();

private:
    void startTarget(const QStringList &extra = {});
    void command(const QByteArray &line);
    QString targetText() const;
    QStringList targetKeys() const;
    QByteArray runTool(const QString &program, const QStringList &args);
    void paste(ActionType type, const QString &text);

    QTemporaryDir m_dir;
    QString m_out;
    std::unique_ptr<QProcess> m_target;
    EventLoopScheduler m_scheduler;
    X11Pasteboard m_pasteboard;
    std::unique_ptr<X11SyntheticKeys> m_keys;
    std::unique_ptr<FakeJournal> m_journal;
    std::unique_ptr<FakeProcessLauncher> m_processes;
    std::unique_ptr<FakeWorkspace> m_workspace;
    FakeLogSink m_log;
    std::unique_ptr<ActionExecutor> m_executor;
};

void TestPaste::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_out = m_dir.filePath(QStringLiteral("target.txt"));
    m_keys = std::make_unique<X11SyntheticKeys>();
    m_journal = std::make_unique<FakeJournal>(m_scheduler);
    m_processes = std::make_unique<FakeProcessLauncher>(*m_journal);
    m_workspace = std::make_unique<FakeWorkspace>(*m_journal);
    m_executor = std::make_unique<ActionExecutor>(
        ActionServices{*m_processes, *m_workspace, m_pasteboard, *m_keys, m_scheduler, m_log});
}

void TestPaste::init()
{
    startTarget();
}

void TestPaste::cleanup()
{
    QTest::qWait(400); // lets a pending restore finish before the next test owns the clipboard
    if (m_target) {
        m_target->closeWriteChannel();
        m_target->waitForFinished(5000);
        m_target.reset();
    }
    QVERIFY(!m_keys->modifiersHeld());
}

void TestPaste::startTarget(const QStringList &extra)
{
    cleanup();
    QFile::remove(m_out);
    m_target = std::make_unique<QProcess>();
    m_target->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_target->start(QStringLiteral(ZL_PASTE_TARGET), QStringList{m_out} + extra);
    QVERIFY(m_target->waitForStarted());
    const QString name = extra.contains(QStringLiteral("-name")) ? extra.at(extra.indexOf(QStringLiteral("-name")) + 1)
                                                                  : QStringLiteral("zl_paste_target");
    QTRY_VERIFY_WITH_TIMEOUT(m_keys->focusedWindowClass().startsWith(name + u'\n'), 10000);
    QTRY_VERIFY(QFile::exists(m_out));
}

void TestPaste::command(const QByteArray &line)
{
    QFile::remove(m_out + QStringLiteral(".ack"));
    m_target->write(line + '\n');
    QTRY_VERIFY(QFile::exists(m_out + QStringLiteral(".ack")));
}

QString TestPaste::targetText() const
{
    QFile file(m_out);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList TestPaste::targetKeys() const
{
    QFile file(m_out + QStringLiteral(".keys"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

// Runs a peer while our event loop keeps serving the clipboard it may ask us for.
QByteArray TestPaste::runTool(const QString &program, const QStringList &args)
{
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForStarted())
        return QByteArrayLiteral("<not started>");
    QElapsedTimer timer;
    timer.start();
    while (tool.state() != QProcess::NotRunning && timer.elapsed() < 10000)
        QTest::qWait(5);
    return tool.readAllStandardOutput();
}

void TestPaste::paste(ActionType type, const QString &text)
{
    ShortcutItem item;
    item.actionType = type;
    item.payload = text;
    m_executor->run(item);
}

void TestPaste::trustedWithXtest()
{
    X11AccessibilityTrust trust;
    QVERIFY(trust.isTrusted());
}

void TestPaste::targetReceivesTextAndReturn_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("non-ASCII, several lines") << QStringLiteral("Grüße, 日本語 ✓\n  second line\t tab\nthird 🙂");
    QString big;
    while (big.size() < 100 * 1024)
        big += QStringLiteral("line %1 with some ascii and ümlauts\n").arg(big.size());
    QTest::newRow("100 KB") << big;
}

void TestPaste::targetReceivesTextAndReturn()
{
    QFETCH(QString, text);
    paste(ActionType::PasteTextAndEnter, text);
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), text + u'\n', 10000);
    QCOMPARE(targetKeys(),
             (QStringList{QStringLiteral("Ctrl+Control"), QStringLiteral("Ctrl+V"), QStringLiteral("Return")}));
}

void TestPaste::clipboardIsRestoredByteForByte_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QList<QByteArray>>("bytes");

    QTest::newRow("xclip text") << QStringLiteral("xclip") << QStringList{QStringLiteral("UTF8_STRING")}
                                << QList<QByteArray>{QStringLiteral("plain ü text\nline 2").toUtf8()};
    QTest::newRow("xclip html") << QStringLiteral("xclip") << QStringList{QStringLiteral("text/html")}
                                << QList<QByteArray>{QStringLiteral("<b>Grüße</b>\n<i>x</i>").toUtf8()};
    QTest::newRow("xclip png") << QStringLiteral("xclip") << QStringList{QStringLiteral("image/png")}
                               << QList<QByteArray>{QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\xff", 18)};
    QTest::newRow("one owner, three formats")
        << QStringLiteral("target")
        << QStringList{QStringLiteral("UTF8_STRING"), QStringLiteral("text/html"), QStringLiteral("image/png")}
        << QList<QByteArray>{QStringLiteral("pläin\n").toUtf8(), QByteArrayLiteral("<p>h\xc3\xa4</p>"),
                             QByteArray("\x89PNG\r\n\x1a\n\0\0\0\0IEND", 16)};
}

void TestPaste::clipboardIsRestoredByteForByte()
{
    QFETCH(QString, owner);
    QFETCH(QStringList, types);
    QFETCH(QList<QByteArray>, bytes);

    if (owner == QLatin1StringView("xclip")) {
        const QString source = m_dir.filePath(QStringLiteral("source"));
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.first());
        file.close();
        QStringList args{QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i"), source};
        if (types.first() != QLatin1StringView("UTF8_STRING"))
            args << QStringLiteral("-t") << types.first();
        QVERIFY(QProcess::startDetached(QStringLiteral("xclip"), args));
    } else {
        command("own");
    }
    const QStringList clip{QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"),
                           QStringLiteral("-t")};
    QTRY_COMPARE_WITH_TIMEOUT(runTool(QStringLiteral("xclip"), clip + QStringList{types.first()}), bytes.first(), 10000);

    paste(ActionType::PasteText, QStringLiteral("temporary"));
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), QStringLiteral("temporary"), 10000);
    QTest::qWait(300); // past the restore
    for (qsizetype i = 0; i < types.size(); ++i)
        QCOMPARE(runTool(QStringLiteral("xclip"), clip + QStringList{types.at(i)}), bytes.at(i));
    const QByteArray targets = runTool(QStringLiteral("xclip"), clip + QStringList{QStringLiteral("TARGETS")});
    QVERIFY2(!targets.contains("x-kde-passwordManagerHint"), targets.constData());
}

void TestPaste::pasteWaitsForHeldModifiers()
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("super"), QStringLiteral("alt"),
                                        QStringLiteral("shift")});
    QTRY_VERIFY(m_keys->modifiersHeld());
    paste(ActionType::PasteText, QStringLiteral("held"));
    QTest::qWait(400);
    QCOMPARE(targetText(), QString());
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("super"), QStringLiteral("alt"),
                                        QStringLiteral("shift")});
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), QStringLiteral("held"), 5000);
    QCOMPARE(targetKeys().filter(QStringLiteral("V")), QStringList{QStringLiteral("Ctrl+V")});
}

void TestPaste::terminalGetsControlShiftV()
{
    startTarget({QStringLiteral("-name"), QStringLiteral("konsole"), QStringLiteral("--terminal")});
    paste(ActionType::PasteText, QStringLiteral("in a terminal"));
    QTRY_COMPARE_WITH_TIMEOUT(targetText(), QStringLiteral("in a terminal"), 5000);
    QCOMPARE(targetKeys(), (QStringList{QStringLiteral("Ctrl+Control"), QStringLiteral("Ctrl+Shift+Shift"),
                                        QStringLiteral("Ctrl+Shift+V")}));
}

// Reports the median cost of each step over 20 pastes; asserts only that every paste arrived.
void TestPaste::timing()
{
    TimedKeys keys(*m_keys);
    TimedPasteboard pasteboard(m_pasteboard, keys.clock);
    ActionExecutor executor(ActionServices{*m_processes, *m_workspace, pasteboard, keys, m_scheduler, m_log});
    QList<qint64> snapshot, chordAt, chordCost, returnAt, restoreAt, restoreCost;
    command("own");
    for (int i = 0; i < 20; ++i) {
        command("clear");
        const QString text = QStringLiteral("run %1").arg(i);
        const qint64 start = keys.clock.nsecsElapsed();
        ShortcutItem item;
        item.actionType = ActionType::PasteTextAndEnter;
        item.payload = text;
        executor.run(item);
        // A plain event loop: QTRY's polling sleeps between passes and would distort the figures.
        QEventLoop loop;
        QTimer::singleShot(400, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(targetText(), text + u'\n');
        QCOMPARE(pasteboard.writes.size(), i + 1);
        snapshot.append(pasteboard.snapshots.last().second - pasteboard.snapshots.last().first);
        chordAt.append(keys.chord.last().first - start);
        chordCost.append(keys.chord.last().second - keys.chord.last().first);
        returnAt.append(keys.ret.last().first - start);
        restoreAt.append(pasteboard.writes.last().first - start);
        restoreCost.append(pasteboard.writes.last().second - pasteboard.writes.last().first);
    }
    qInfo("first snapshot (another client's three formats) %.2f ms", snapshot.first() / 1e6);
    qInfo("median over 20 pastes (ms): snapshot %.2f, chord at %.1f (posting %.2f), Return at %.1f, restore at %.1f "
          "(writing %.2f)",
          medianMs(snapshot), medianMs(chordAt), medianMs(chordCost), medianMs(returnAt), medianMs(restoreAt),
          medianMs(restoreCost));
}

} // namespace zl

QTEST_MAIN(zl::TestPaste)
#include "tst_paste.moc"
