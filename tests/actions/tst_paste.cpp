#include "ActionExecutor.h"
#include "EventLoopScheduler.h"
#include "FakeLogSink.h"
#include "FakeProcessLauncher.h"
#include "FakeWorkspace.h"
#include "ShortcutItem.h"
#include "X11AccessibilityTrust.h"
#include "X11HotkeyService.h"
#include "X11Pasteboard.h"
#include "X11SyntheticKeys.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

namespace zl {

// The real clipboard and XTest against a separate X client, with xclip and xdotool as other peers.
class TestPaste : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init() { startTarget(false); }
    void cleanup();
    void targetReceivesTextAndReturn_data();
    void targetReceivesTextAndReturn();
    void hotkeyReleasedAtOnce_data();
    void hotkeyReleasedAtOnce();
    void chordFollowsActiveLayoutGroup_data();
    void chordFollowsActiveLayoutGroup();
    void clipboardIsRestoredByteForByte_data();
    void clipboardIsRestoredByteForByte();
    void heldModifiers_data();
    void heldModifiers();
    void withoutXtest();

private:
    void startTarget(bool terminal);
    QString targetFile(const QString &suffix = {}) const;
    QByteArray runTool(const QString &program, const QStringList &args);
    void targetCommand(const QByteArray &line)
    {
        QFile::remove(m_out + ".ack");
        m_target->write(line + '\n');
        QTRY_VERIFY(QFile::exists(m_out + ".ack"));
    }
    void copyWithXclip(const QByteArray &bytes);
    QByteArray clipboardText() { return runTool("xclip", {"-selection", "clipboard", "-o"}); }
    void paste(ActionType type, const QString &text)
    {
        ShortcutItem item;
        item.actionType = type;
        item.payload = text;
        m_executor.run(item);
    }

    QString m_hotkeyText;
    bool m_layoutChanged = false;
    QTemporaryDir m_dir;
    QString m_out = m_dir.filePath(QStringLiteral("target.txt"));
    std::unique_ptr<QProcess> m_target;
    EventLoopScheduler m_scheduler;
    X11Pasteboard m_pasteboard;
    X11SyntheticKeys m_keys;
    FakeJournal m_journal{m_scheduler};
    FakeProcessLauncher m_processes{m_journal};
    FakeWorkspace m_workspace{m_journal};
    FakeLogSink m_log;
    X11HotkeyService m_hotkeys;
    ActionExecutor m_executor{ActionServices{m_processes, m_workspace, m_pasteboard, m_keys, m_scheduler, m_log}};
};

// Control+Super+X runs the paste of m_hotkeyText from the event loop, as the program's dispatch does.
void TestPaste::initTestCase()
{
    if (!X11AccessibilityTrust().isTrusted())
        return; // only withoutXtest runs here
    EventHandlerRef handler = 0;
    QCOMPARE(m_hotkeys.installEventHandler(
                 [this](const HotkeyEvent *) {
                     m_scheduler.schedule(std::chrono::milliseconds(0),
                                          [this] { paste(ActionType::PasteTextAndEnter, m_hotkeyText); });
                     return 0;
                 },
                 &handler),
             0);
    HotkeyRef ref = 0;
    QCOMPARE(m_hotkeys.registerHotkey(7, 4096 | 256, {1, 1}, &ref), 0);
}

void TestPaste::cleanup()
{
    QTest::qWait(400); // lets a pending restore finish before the next test owns the clipboard
    if (m_target) {
        m_target->closeWriteChannel();
        m_target->waitForFinished(5000);
        m_target.reset();
    }
    QVERIFY(!m_keys.modifiersHeld());
    m_log.lines.clear();
    if (std::exchange(m_layoutChanged, false))
        QCOMPARE(QProcess::execute("setxkbmap", {"-layout", "us"}), 0);
}

void TestPaste::startTarget(bool terminal)
{
    cleanup();
    QFile::remove(m_out);
    m_target = std::make_unique<QProcess>();
    m_target->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString name = terminal ? QStringLiteral("konsole") : QStringLiteral("zl_paste_target");
    m_target->start(QStringLiteral(ZL_PASTE_TARGET),
                    terminal ? QStringList{m_out, "-name", name, "--terminal"} : QStringList{m_out});
    QVERIFY(m_target->waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_keys.focusedWindowClass().startsWith(name + u'\n'), 10000);
    QTRY_VERIFY(QFile::exists(m_out));
}

// The target's text field, ".keys" its key presses one a line, ".ack" its answered commands.
QString TestPaste::targetFile(const QString &suffix) const
{
    QFile file(m_out + suffix);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
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

void TestPaste::targetReceivesTextAndReturn_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("keys");
    const QString chord = QStringLiteral("Ctrl+Control\nCtrl+V\nReturn\n");
    QTest::newRow("non-ASCII, several lines")
        << QStringLiteral("Grüße, 日本語 ✓\n  second line\t tab\nthird 🙂") << false << chord;
    QString big;
    while (big.size() < 100 * 1024)
        big += QStringLiteral("line %1 with some ascii and ümlauts\n").arg(big.size());
    QTest::newRow("100 KB") << big << false << chord;
    QTest::newRow("terminal gets Control+Shift+V")
        << "in a terminal" << true << "Ctrl+Control\nCtrl+Shift+Shift\nCtrl+Shift+V\nReturn\n";
}

void TestPaste::targetReceivesTextAndReturn()
{
    QFETCH(QString, text);
    QFETCH(bool, terminal);
    QFETCH(QString, keys);
    if (terminal)
        startTarget(true);
    paste(ActionType::PasteTextAndEnter, text);
    QTRY_COMPARE_WITH_TIMEOUT(targetFile(), text + u'\n', 10000);
    QCOMPARE(targetFile(".keys"), keys);
}

void TestPaste::copyWithXclip(const QByteArray &bytes)
{
    QFile source(m_dir.filePath(QStringLiteral("source")));
    QVERIFY(source.open(QIODevice::WriteOnly | QIODevice::Truncate));
    source.write(bytes);
    source.close();
    QVERIFY(QProcess::startDetached("xclip", {"-selection", "clipboard", "-i", source.fileName()}));
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), bytes, 10000);
}

// xdotool releases every key of the hotkey within a millisecond, while the target still sees
// the end of our grab.
void TestPaste::hotkeyReleasedAtOnce_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("Return alone") << QString();
    QTest::newRow("text and Return") << QStringLiteral("quick");
}

void TestPaste::hotkeyReleasedAtOnce()
{
    QFETCH(QString, text);
    m_hotkeyText = text;
    runTool("xdotool", {"key", "ctrl+super+x"});
    QTRY_COMPARE_WITH_TIMEOUT(targetFile(), text + u'\n', 5000);
    QCOMPARE(targetFile(".keys").count(QStringLiteral("Return")), 1);
}

// The Dvorak group types v on the key that is . in the US group; either group may be the one in force.
void TestPaste::chordFollowsActiveLayoutGroup_data()
{
    QTest::addColumn<QStringList>("layout");
    QTest::newRow("us, dvorak active") << QStringList{"-layout", "us,us", "-variant", ",dvorak"};
    QTest::newRow("dvorak, us active") << QStringList{"-layout", "us,us", "-variant", "dvorak,"};
}

void TestPaste::chordFollowsActiveLayoutGroup()
{
    QFETCH(QStringList, layout);
    m_layoutChanged = true;
    QCOMPARE(QProcess::execute("setxkbmap", layout), 0);
    targetCommand("group 1");
    paste(ActionType::PasteTextAndEnter, QStringLiteral("grouped"));
    QTRY_COMPARE_WITH_TIMEOUT(targetFile(), QStringLiteral("grouped\n"), 5000);
}

void TestPaste::clipboardIsRestoredByteForByte_data()
{
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QList<QByteArray>>("bytes");
    QTest::newRow("xclip text") << QStringList{"UTF8_STRING"} << QList<QByteArray>{"plain ü text\nline 2"};
    QTest::newRow("xclip html") << QStringList{"text/html"} << QList<QByteArray>{"<b>Grüße</b>\n<i>x</i>"};
    QTest::newRow("xclip png") << QStringList{"image/png"}
                               << QList<QByteArray>{QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\xff", 18)};
    // What the target's "own" command offers.
    QTest::newRow("Qt client, three formats")
        << QStringList{"UTF8_STRING", "text/html", "image/png"}
        << QList<QByteArray>{"pläin\n", "<p>h\xc3\xa4</p>", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\0IEND", 16)};
}

void TestPaste::clipboardIsRestoredByteForByte()
{
    QFETCH(QStringList, types);
    QFETCH(QList<QByteArray>, bytes);

    if (types.size() == 1) {
        QFile source(m_dir.filePath(QStringLiteral("source")));
        QVERIFY(source.open(QIODevice::WriteOnly | QIODevice::Truncate));
        source.write(bytes.first());
        source.close();
        QStringList args{"-selection", "clipboard", "-i", source.fileName()};
        if (types.first() != QLatin1StringView("UTF8_STRING")) // plain text keeps xclip's usual set of targets
            args << "-t" << types.first();
        QVERIFY(QProcess::startDetached("xclip", args));
    } else {
        targetCommand("own");
    }
    const QStringList clip{"-selection", "clipboard", "-o", "-t"};
    QTRY_COMPARE_WITH_TIMEOUT(runTool("xclip", clip + QStringList{types.first()}), bytes.first(), 10000);

    paste(ActionType::PasteText, QStringLiteral("temporary"));
    QTRY_COMPARE_WITH_TIMEOUT(targetFile(), QStringLiteral("temporary"), 10000);
    QTest::qWait(300); // past the restore
    for (qsizetype i = 0; i < types.size(); ++i)
        QCOMPARE(runTool("xclip", clip + QStringList{types.at(i)}), bytes.at(i));
    const QByteArray targets = runTool("xclip", clip + QStringList{"TARGETS"});
    QVERIFY2(!targets.contains("x-kde-passwordManagerHint"), targets.constData());
}

void TestPaste::heldModifiers_data()
{
    QTest::addColumn<int>("releaseAfterMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("released after 400 ms") << 400 << QStringLiteral("held");
    // Control+Alt+V is an editor command, not a paste.
    QTest::newRow("held past the wait") << 1500 << QString();
}

void TestPaste::heldModifiers()
{
    QFETCH(int, releaseAfterMs);
    QFETCH(QString, text);
    copyWithXclip("mine");
    runTool("xdotool", {"keydown", "ctrl", "alt", "super"});
    QTRY_VERIFY(m_keys.modifiersHeld());
    paste(ActionType::PasteText, QStringLiteral("held"));
    QTest::qWait(releaseAfterMs);
    QCOMPARE(targetFile(), QString());
    runTool("xdotool", {"keyup", "ctrl", "alt", "super"});
    QTRY_COMPARE_WITH_TIMEOUT(targetFile(), text, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QByteArray("mine"), 5000);
    QTest::qWait(300); // a late key would arrive meanwhile
    QCOMPARE(targetFile(), text);
    QCOMPARE(targetFile(".keys").split(u'\n').filter(QStringLiteral("V")),
             text.isEmpty() ? QStringList() : QStringList{"Ctrl+V"});
    QCOMPARE(m_log.lines.size(), text.isEmpty() ? 1 : 0);
}

// A display without XTEST (ctest runs this function alone as tst_paste_without_xtest): a fake-input
// request there would break the connection and end the program.
void TestPaste::withoutXtest()
{
    if (X11AccessibilityTrust().isTrusted())
        QSKIP("needs a display without XTEST");
    copyWithXclip("mine");
    paste(ActionType::PasteTextAndEnter, QStringLiteral("temporary"));
    paste(ActionType::PasteTextAndEnter, QString());
    QTRY_COMPARE_WITH_TIMEOUT(m_log.lines.size(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), QByteArray("mine"), 5000);
    QTest::qWait(300);
    QCOMPARE(m_log.lines.size(), 2);
    QCOMPARE(targetFile(), QString());
    QCOMPARE(targetFile(".keys"), QString());
}

} // namespace zl

QTEST_MAIN(zl::TestPaste)
#include "tst_paste.moc"
