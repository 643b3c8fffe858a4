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
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

namespace zl {

char *toString(const PasteboardFormat &format)
{
    const QByteArray shown = format.data.size() > 64 ? format.data.left(64) + "..." : format.data;
    return QTest::toString(QStringLiteral("%1 [%2/%3] %4 bytes: %5")
                               .arg(format.type, QString::fromUtf8(format.dataType))
                               .arg(format.unitBits)
                               .arg(format.data.size())
                               .arg(QString::fromLatin1(shown.toHex(' '))));
}

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
    void userCopyDuringPasteSurvives();
    void pastesInQuickSuccessionEachDeliverTheirText();
    void heldModifiers_data();
    void heldModifiers();
    void withoutXtest();

private:
    PasteboardFormat readBack(const PasteboardFormat &format);
    QByteArrayList contentTargets();
    QString writeFile(const QByteArray &bytes, const QString &name = QStringLiteral("source"));
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

QString TestPaste::writeFile(const QByteArray &bytes, const QString &name)
{
    QFile file(m_dir.filePath(QString(name).replace(u'/', u'_')));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
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
    QVERIFY(QProcess::startDetached("xclip", {"-selection", "clipboard", "-i", writeFile(bytes)}));
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

// Targets, property types, unit sizes and bytes as an independent raw X client reads them.
PasteboardFormat TestPaste::readBack(const PasteboardFormat &format)
{
    const QByteArray out = runTool(QStringLiteral(ZL_CLIP_PEER), {"read", format.type});
    const qsizetype newline = out.indexOf('\n');
    const QList<QByteArray> head = out.left(newline).split(' ');
    const QByteArray type = head.value(0);
    return {format.type, out.mid(newline + 1), type == format.type.toUtf8() ? QByteArray() : type,
            head.value(1).toInt()};
}

QByteArrayList TestPaste::contentTargets()
{
    QByteArrayList targets = runTool(QStringLiteral(ZL_CLIP_PEER), {"read", "TARGETS"}).split('\n');
    targets.removeIf([](const QByteArray &t) { return t.isEmpty() || X11Pasteboard::isBookkeeping(t); });
    return targets;
}

void TestPaste::clipboardIsRestoredByteForByte_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<PasteboardSnapshot>("formats");
    QTest::newRow("xclip text") << "xclip" << PasteboardSnapshot{{"UTF8_STRING", "plain ü text\nline 2"}};
    // What the target's "own" command offers.
    QTest::newRow("Qt client, three formats")
        << "qt"
        << PasteboardSnapshot{{"UTF8_STRING", "pläin\n"},
                              {"text/html", "<p>h\xc3\xa4</p>"},
                              {"image/png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\0IEND", 16)}};
    // This process's own windows answer only from its event loop, which a blocking read would stall.
    QTest::newRow("this process") << "here" << PasteboardSnapshot{{"UTF8_STRING", "our own ✓"}};
    const QByteArray html = QByteArray("\xff\xfe<\0b\0>\0\xfc\0<\0/\0b\0>\0", 18);
    QTest::newRow("raw: bytes that are no UTF-8, trailing NUL, UTF-16 HTML, a type of its own")
        << "raw"
        << PasteboardSnapshot{{"UTF8_STRING", "\xff\xfe" "ab"},
                              {"STRING", QByteArray("abc\0", 4)},
                              {"text/html", html},
                              {"TEXT", "t", "UTF8_STRING"}};
    QByteArray image(3 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < image.size(); ++i)
        image[i] = char((i * 7919) >> 3);
    QTest::newRow("raw: image in chunks, empty format, 32-bit units")
        << "raw"
        << PasteboardSnapshot{{"image/png", image},
                              {"application/x-empty", ""},
                              {"x-zl/units", QByteArray("\1\0\0\0\2\0\0\0", 8), "INTEGER", 32}};
}

void TestPaste::clipboardIsRestoredByteForByte()
{
    QFETCH(QString, owner);
    QFETCH(PasteboardSnapshot, formats);

    QProcess peer;
    if (owner == QLatin1StringView("xclip")) {
        QVERIFY(QProcess::startDetached("xclip", {"-selection", "clipboard", "-i", writeFile(formats.first().data)}));
    } else if (owner == QLatin1StringView("here")) {
        QGuiApplication::clipboard()->setText(QString::fromUtf8(formats.first().data));
    } else if (owner == QLatin1StringView("qt")) {
        QFile::remove(m_out + ".ack");
        m_target->write("own\n");
        QTRY_VERIFY(QFile::exists(m_out + ".ack"));
    } else {
        QStringList args{"own"};
        for (const PasteboardFormat &f : formats)
            args << f.type << (f.dataType.isEmpty() ? f.type : f.dataType) << QString::number(f.unitBits)
                 << writeFile(f.data, f.type);
        peer.start(QStringLiteral(ZL_CLIP_PEER), args);
        QVERIFY(peer.waitForReadyRead(10000));
    }
    for (const PasteboardFormat &f : formats)
        QTRY_COMPARE_WITH_TIMEOUT(readBack(f), f, 10000);
    const QByteArrayList targets = contentTargets();

    paste(ActionType::PasteText, QStringLiteral("temporary"));
    QTRY_COMPARE_WITH_TIMEOUT(targetFile(), QStringLiteral("temporary"), 10000);
    QTest::qWait(300); // past the restore
    for (const PasteboardFormat &f : formats)
        QCOMPARE(readBack(f), f);
    QCOMPARE(contentTargets(), targets);
}

// A copy made while a paste runs is the user's latest word: the restore must not overwrite it.
void TestPaste::userCopyDuringPasteSurvives()
{
    copyWithXclip("before");
    paste(ActionType::PasteText, QStringLiteral("temporary"));
    QVERIFY(QProcess::startDetached("xclip", {"-selection", "clipboard", "-i", writeFile("mine")}));
    QTRY_VERIFY_WITH_TIMEOUT(!targetFile().isEmpty(), 10000);
    QTest::qWait(300); // past the restore
    QCOMPARE(clipboardText(), QByteArray("mine"));
}

// The second paste must not replace the first one's text before the target has read it.
void TestPaste::pastesInQuickSuccessionEachDeliverTheirText()
{
    paste(ActionType::PasteText, QStringLiteral("first "));
    QTest::qWait(5);
    paste(ActionType::PasteText, QStringLiteral("second"));
    QTRY_COMPARE_WITH_TIMEOUT(targetFile(), QStringLiteral("first second"), 10000);
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
