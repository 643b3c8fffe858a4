#include "EventLoopScheduler.h"
#include "FakeLogSink.h"
#include "PasteSequence.h"
#include "TestSupport.h"
#include "X11AccessibilityTrust.h"
#include "X11HotkeyService.h"
#include "X11Pasteboard.h"
#include "X11SyntheticKeys.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace zl {

// The event loop's timers, counted: with no step pending, the paste sequence has ended.
struct CountingScheduler final : Scheduler
{
    void schedule(std::chrono::milliseconds delay, std::function<void()> task) override
    {
        ++pending;
        m_loop.schedule(delay, [this, task = std::move(task)] {
            --pending;
            ++ran;
            task();
        });
    }
    std::chrono::milliseconds now() const override { return m_loop.now(); }

    int pending = 0;
    int ran = 0;
    EventLoopScheduler m_loop;
};

// The real clipboard and XTest against a separate X client, with xclip and xdotool as other peers.
class TestPaste : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Control+Super+X runs the paste of m_hotkeyText from the event loop, as the program's dispatch does.
    void initTestCase()
    {
        if (!X11AccessibilityTrust().isTrusted())
            return; // only withoutXtest runs here
        const auto pressed = [this](const HotkeyEvent *) {
            m_scheduler->schedule({}, [this] { m_sequence->paste(m_hotkeyText, true); });
            return 0;
        };
        EventHandlerRef handler = 0;
        HotkeyRef ref = 0;
        QCOMPARE(m_hotkeys.installEventHandler(pressed, &handler), 0);
        QCOMPARE(m_hotkeys.registerHotkey(7, 4096 | 256, {1, 1}, &ref), 0);
    }

    void init()
    {
        m_sequence.reset();
        m_scheduler.emplace();
        m_sequence.emplace(m_pasteboard, m_keys, *m_scheduler, m_log);
        startTarget(false);
    }

    // Leaves keyboard and layout as the next test expects them even after a failure.
    void cleanup()
    {
        m_log.lines.clear();
        QCOMPARE(QProcess::execute("setxkbmap", {"-layout", "us"}), 0);
        const bool held = m_keys.modifiersHeld();
        if (held)
            test::runToolServing("xdotool", {"keyup", "ctrl", "alt", "super"});
        QVERIFY(!held);
    }

    // The hotkey rows: xdotool releases every key of the hotkey within a millisecond, while the target
    // still sees the end of our grab. The layout rows: the Dvorak group types v on the key that is . in
    // the US group; either group may be the one in force. The held rows: the sequence waits while the
    // hotkey's modifiers are down, and a copy made meanwhile is the user's latest word: the restore must
    // not overwrite it.
    void targetReceivesTextAndReturn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("how"); // "terminal", "hotkey", variants of a layout of two US groups, held
        QTest::addColumn<QString>("keys"); // none: any, as long as the one paste chord is Control+V alone
        const QString chord = u"Ctrl+Control\nCtrl+V\nReturn\n"_s;
        QTest::newRow("non-ASCII, several lines") << u"Grüße, 日本語 ✓\n  line\t tab\nthird 🙂"_s << "" << chord;
        QString big;
        while (big.size() < 100 * 1024)
            big += u"line %1 with some ascii and ümlauts\n"_s.arg(big.size());
        QTest::newRow("100 KB") << big << "" << chord;
        QTest::newRow("terminal gets Control+Shift+V")
            << "in a terminal" << "terminal" << "Ctrl+Control\nCtrl+Shift+Shift\nCtrl+Shift+V\nReturn\n";
        QTest::newRow("hotkey released at once, Return alone") << "" << "hotkey" << "";
        QTest::newRow("hotkey released at once, text and Return") << "quick" << "hotkey" << "";
        QTest::newRow("us, dvorak active") << "grouped" << ",dvorak" << "";
        QTest::newRow("dvorak, us active") << "grouped" << "dvorak," << "";
        QTest::newRow("held, released while the chord waits") << "held" << "held" << "";
        // Control+Alt+V is an editor command, not a paste.
        QTest::newRow("held past the wait") << "held" << "held past the wait" << "";
        QTest::newRow("held, the user copies while the chord waits") << "held" << "held, copy" << "";
    }

    void targetReceivesTextAndReturn()
    {
        QFETCH(QString, text);
        QFETCH(QString, how);
        QFETCH(QString, keys);
        const bool held = how.startsWith("held"_L1), gaveUp = how == "held past the wait"_L1;
        const QByteArray copy = how == "held, copy"_L1 ? "copied" : "mine"; // the clipboard at the end
        if (how == "terminal"_L1)
            startTarget(true);
        if (how.contains("dvorak"_L1)) {
            QCOMPARE(QProcess::execute("setxkbmap", {"-layout", "us,us", "-variant", how}), 0);
            targetCommand("group 1");
        }
        if (held) {
            copyWithXclip("mine");
            test::runToolServing("xdotool", {"keydown", "ctrl", "alt", "super"});
            QTRY_VERIFY(m_keys.modifiersHeld());
        }
        m_hotkeyText = text;
        if (how == "hotkey"_L1)
            test::runToolServing("xdotool", {"key", "ctrl+super+x"});
        else
            m_sequence->paste(text, true);
        if (held) {
            if (copy != "mine")
                copyWithXclip(copy);
            // Released once the sequence has polled the keys for 0.2 s, or once it gave up.
            if (gaveUp)
                QTRY_COMPARE_WITH_TIMEOUT(m_log.lines.size(), 1, 5000);
            else
                QTRY_VERIFY(m_scheduler->ran >= 20);
            test::runToolServing("xdotool", {"keyup", "ctrl", "alt", "super"});
            QTRY_COMPARE_WITH_TIMEOUT(m_scheduler->pending, 0, 5000);
            QCOMPARE(clipboardText(), copy);
            // xdotool's Escape arrives after every key of ours.
            test::runToolServing("xdotool", {"key", "Escape"});
            QTRY_VERIFY(targetFile(".keys").endsWith(u"Esc\n"_s));
        }
        const QString typed = gaveUp ? QString() : (copy == "mine" ? text : u"copied"_s) + u'\n';
        QTRY_COMPARE_WITH_TIMEOUT(targetFile(), typed, 10000);
        QCOMPARE(targetFile(".keys").count(u"Return"_s), gaveUp ? 0 : 1);
        if (!keys.isEmpty())
            QCOMPARE(targetFile(".keys"), keys);
        else
            QCOMPARE(targetFile(".keys").split(u'\n').filter(u"V"_s),
                     gaveUp || text.isEmpty() ? QStringList() : QStringList{"Ctrl+V"});
        QCOMPARE(m_log.lines.size(), gaveUp ? 1 : 0);
    }

    void clipboardIsRestoredByteForByte_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<PasteboardSnapshot>("formats");
        // What the target's "own" command offers.
        QTest::newRow("Qt client, three formats") << "qt"
            << PasteboardSnapshot{{"UTF8_STRING", "pläin\n"},
                                  {"text/html", "<p>h\xc3\xa4</p>"},
                                  {"image/png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\0IEND", 16)}};
        // This process's own windows answer only from its event loop, which a blocking read would stall.
        QTest::newRow("this process") << "here" << PasteboardSnapshot{{"UTF8_STRING", "our own ✓"}};
        const QByteArray html = QByteArray("\xff\xfe<\0b\0>\0\xfc\0<\0/\0b\0>\0", 18);
        QTest::newRow("raw: bytes that are no UTF-8, trailing NUL, UTF-16 HTML, own type, empty, 32-bit units") << "raw"
            << PasteboardSnapshot{{"UTF8_STRING", "\xff\xfe" "ab"},
                                  {"STRING", QByteArray("abc\0", 4)},
                                  {"text/html", html},
                                  {"TEXT", "t", "UTF8_STRING"},
                                  {"application/x-empty", ""},
                                  {"x-zl/units", QByteArray("\1\0\0\0\2\0\0\0", 8), "INTEGER", 32}};
        QByteArray image(3 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < image.size(); ++i)
            image[i] = char((i * 7919) >> 3);
        // xclip hands out more than 1 MB in chunks (INCR).
        QTest::newRow("xclip image in chunks") << "xclip" << PasteboardSnapshot{{"image/png", image}};
    }

    void clipboardIsRestoredByteForByte()
    {
        QFETCH(QString, owner);
        QFETCH(PasteboardSnapshot, formats);

        QProcess peer;
        if (owner == QLatin1StringView("xclip")) {
            const PasteboardFormat &f = formats.first();
            QVERIFY(QProcess::startDetached("xclip", {"-selection", "clipboard", "-t", f.type, "-i", writeFile(f.data)}));
        } else if (owner == QLatin1StringView("here")) {
            QGuiApplication::clipboard()->setText(QString::fromUtf8(formats.first().data));
        } else if (owner == QLatin1StringView("qt")) {
            targetCommand("own");
        } else {
            QStringList args{"own"};
            for (const PasteboardFormat &f : formats)
                args << f.type << (f.dataType.isEmpty() ? f.type : f.dataType) << QString::number(f.unitBits)
                     << writeFile(f.data);
            peer.start(QStringLiteral(ZL_CLIP_PEER), args);
            QVERIFY(peer.waitForReadyRead(10000));
        }
        QList<std::pair<QString, QByteArray>> expected;
        for (const PasteboardFormat &f : formats) {
            const QByteArray type = f.dataType.isEmpty() ? f.type.toUtf8() : f.dataType;
            const QByteArray head = type + ' ' + QByteArray::number(f.unitBits) + '\n';
            expected.append({f.type, (f.type == QLatin1StringView("image/png") ? QByteArray() : head) + f.data});
            // One read per try: each is a peer process (QTRY_COMPARE would start it five times).
            QByteArray read;
            if (!QTest::qWaitFor([&] { return (read = readBack(f.type)) == expected.last().second; }, 10000))
                QCOMPARE(read, expected.last().second);
        }
        expected.append({u"TARGETS"_s, readBack(u"TARGETS"_s)});

        // The second paste must not replace the first one's text before the target has read it.
        m_sequence->paste(u"tempo"_s, false);
        QTest::qWait(5);
        m_sequence->paste(u"rary"_s, false);
        QTRY_COMPARE_WITH_TIMEOUT(targetFile(), u"temporary"_s, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_scheduler->pending, 0, 5000);
        for (const auto &[target, bytes] : expected)
            QCOMPARE(readBack(target), bytes);
    }

    // A display without XTEST (ctest runs this function alone as tst_paste_without_xtest): a fake-input
    // request there would break the connection and end the program.
    void withoutXtest()
    {
        if (X11AccessibilityTrust().isTrusted())
            QSKIP("needs a display without XTEST");
        copyWithXclip("mine");
        m_sequence->paste(u"temporary"_s, true);
        m_sequence->paste(QString(), true);
        QTRY_COMPARE_WITH_TIMEOUT(m_scheduler->pending, 0, 5000);
        QCOMPARE(m_log.lines.size(), 2);
        QCOMPARE(clipboardText(), QByteArray("mine"));
        QCOMPARE(targetFile(".keys"), QString());
    }

private:
    // Property type, unit size and bytes as an independent raw X client reads them. xclip reads the large
    // image, which comes in chunks (INCR), and the list of targets.
    QByteArray readBack(const QString &target)
    {
        if (target == QLatin1StringView("TARGETS")) {
            QByteArrayList targets = clipboardText(target).split('\n');
            targets.removeIf([](const QByteArray &t) { return t.isEmpty() || X11Pasteboard::isBookkeeping(t); });
            return targets.join(' ');
        }
        if (target == QLatin1StringView("image/png"))
            return clipboardText(target);
        return test::runToolServing(QStringLiteral(ZL_CLIP_PEER), {"read", target});
    }

    QString writeFile(const QByteArray &bytes)
    {
        QFile file(m_dir.filePath(QString::number(++m_files)));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
    }

    // The target before, if any, quits when its input ends; the last one goes with the test object.
    void startTarget(bool terminal)
    {
        m_target.closeWriteChannel();
        m_target.waitForFinished(5000);
        QFile::remove(m_out);
        m_target.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const QString name = terminal ? u"konsole"_s : u"zl_paste_target"_s;
        m_target.start(QStringLiteral(ZL_PASTE_TARGET),
                       terminal ? QStringList{m_out, "-name", name, "--terminal"} : QStringList{m_out});
        QVERIFY(m_target.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(m_keys.focusedWindowClass().startsWith(name + u'\n'), 10000);
    }

    // The target's text field (none before the first change), ".keys" its key presses one a line.
    QString targetFile(const QString &suffix = {}) const
    {
        QFile file(m_out + suffix);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // The target echoes each command it has carried out.
    void targetCommand(const QByteArray &line)
    {
        m_target.write(line + '\n');
        QTRY_VERIFY(m_target.canReadLine());
        QCOMPARE(m_target.readLine(), line + '\n');
    }
    void copyWithXclip(const QByteArray &bytes)
    {
        QVERIFY(QProcess::startDetached("xclip", {"-selection", "clipboard", "-i", writeFile(bytes)}));
        QTRY_COMPARE_WITH_TIMEOUT(clipboardText(), bytes, 10000);
    }

    QByteArray clipboardText(const QString &target = u"UTF8_STRING"_s)
    {
        return test::runToolServing("xclip", {"-selection", "clipboard", "-o", "-t", target});
    }

    QString m_hotkeyText;
    QTemporaryDir m_dir;
    QString m_out = m_dir.filePath(u"target.txt"_s);
    int m_files = 0;
    QProcess m_target;
    X11Pasteboard m_pasteboard;
    X11SyntheticKeys m_keys;
    FakeLogSink m_log;
    X11HotkeyService m_hotkeys;
    // New for each test: a sequence still running from the test before is dropped, not finished.
    std::optional<CountingScheduler> m_scheduler;
    std::optional<PasteSequence> m_sequence;
};
} // namespace zl

QTEST_MAIN(zl::TestPaste)
#include "tst_paste.moc"
