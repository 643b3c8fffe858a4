// The virtual keyboard, the data-control clipboard and the trust rule against a real headless
// sway of this (unprivileged) user: wl-copy and wl-paste are the independent clipboard clients,
// the paste target runs as a native Wayland window.
#include "EventLoopScheduler.h"
#include "FakeLogSink.h"
#include "HeadlessSway.h"
#include "PasteSequence.h"
#include "TestSupport.h"
#include "WaylandAccessibilityTrust.h"
#include "WaylandPasteboard.h"
#include "WaylandSyntheticKeys.h"

#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace zl;

namespace {

// Keys held on another keyboard must not reach the target with our chord; repeats would only add noise.
const char kConfig[] = "input type:keyboard repeat_delay 60000\n";

using Types = QMap<QString, QByteArray>;

PasteboardSnapshot severalTypes()
{
    const QString html = QStringLiteral("<p>Grüße 🙂</p>");
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png.resize(3 * 1024 * 1024);
    QRandomGenerator random(11);
    random.fillRange(reinterpret_cast<quint32 *>(png.data() + 8), (png.size() - 8) / 4);
    return {{QStringLiteral("text/plain"), QByteArray("caf\xe9 \xff\xfe\x00 end", 12)},
            {QStringLiteral("text/html"),
             QByteArray("\xff\xfe", 2) + QByteArray(reinterpret_cast<const char *>(html.utf16()), html.size() * 2)},
            {QStringLiteral("image/png"), png},
            {QStringLiteral("application/x-empty"), QByteArray()}};
}

} // namespace

class WaylandPasteTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Without a compositor nothing is claimed and nothing hangs.
        qputenv("WAYLAND_DISPLAY", "wayland-none");
        WaylandPasteboard pasteboard;
        WaylandSyntheticKeys keys;
        QVERIFY(!WaylandAccessibilityTrust().isTrusted() && !keys.available() && !pasteboard.available()
                && !keys.postReturn() && !pasteboard.snapshot().has_value());

        QVERIFY2(test::startSway(m_sway, m_dir.filePath(QStringLiteral("sway.config")), kConfig,
                                 m_dir.filePath(QStringLiteral("sway.sock"))),
                 "sway did not start");
        qputenv("QT_QPA_PLATFORM", "wayland"); // for the paste target
        QVERIFY(WaylandAccessibilityTrust().isTrusted());
        QVERIFY(m_pasteboard.available());
        // Headless sway has no keyboard: its seat then has no keyboard capability, and a window mapped
        // meanwhile gets its wl_keyboard only after our first keys went out. Real seats have a keyboard.
        QVERIFY(m_keys.available());
    }

    void cleanupTestCase()
    {
        m_sway.terminate();
        m_sway.waitForFinished(5000);
    }

    // Each row also restores what another client owned: wl-copy with one type, or a process of
    // ours with several, one of them empty.
    void pasteArrives_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("holdAlt");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("owned");
        const QString chord = QStringLiteral("Ctrl+Control\nCtrl+V\nReturn\n");
        QTest::newRow("text and Return, 3 MB image owned")
            << QStringLiteral("zl_paste_target") << false << false << chord << QStringLiteral("image/png");
        QTest::newRow("terminal gets Control+Shift+V, HTML owned")
            << QStringLiteral("foot") << true << false << "Ctrl+Control\nCtrl+Shift+Shift\nCtrl+Shift+V\nReturn\n"
            << QStringLiteral("text/html");
        QTest::newRow("Alt still held on another keyboard, several types owned")
            << QString() << false << true << chord << QString();
    }

    void pasteArrives()
    {
        QFETCH(QString, appId);
        QFETCH(bool, terminal);
        QFETCH(bool, holdAlt);
        QFETCH(QString, keys);
        QFETCH(QString, owned);
        const QString text = QStringLiteral("Grüße\t日本語 🙂\nsecond line");
        QProcess target;
        startTarget(target, terminal);
        m_appId = appId;
        QProcess owner;
        const PasteboardSnapshot types = severalTypes();
        if (owned.isEmpty()) {
            owner.start(QCoreApplication::applicationFilePath(), {QStringLiteral("own")});
            QTRY_COMPARE_WITH_TIMEOUT(clipboard().keys().size(), types.size(), 10000);
        }
        for (const PasteboardFormat &format : types) {
            if (format.type == owned)
                copyWithWlCopy(owned, format.data);
        }
        const Types before = clipboard();
        for (const PasteboardFormat &format : types) {
            if (owned.isEmpty() || format.type == owned)
                QCOMPARE(before.value(format.type), format.data);
        }
        QProcess holder;
        if (holdAlt) {
            // wtype is a keyboard of its own, as the user's real one is: Alt+X stays down meanwhile.
            holder.start(QStringLiteral("wtype"), QStringLiteral("-M alt -P x -s 20000 -p x -m alt").split(u' '));
            QTRY_VERIFY_WITH_TIMEOUT(targetFile(QStringLiteral(".keys")).contains(QStringLiteral("Alt+X")), 10000);
        }
        // A sequence of its own, so that no restore still due reaches the next row.
        PasteSequence paste(m_pasteboard, m_keys, m_scheduler, m_log);
        paste.paste(text, true);
        QTRY_VERIFY2_WITH_TIMEOUT(targetFile().endsWith(text + u'\n'), qPrintable(targetFile(QStringLiteral(".keys"))),
                                  10000);
        // Exactly the chord's modifiers, none of the other keyboard's.
        QVERIFY2(targetFile(QStringLiteral(".keys")).endsWith(keys), qPrintable(targetFile(QStringLiteral(".keys"))));
        QTRY_COMPARE_WITH_TIMEOUT(clipboard(), before, 10000);
        target.closeWriteChannel();
        target.waitForFinished(5000);
    }

    // What the paste sequence asks between chord and restore: a copy made meanwhile, who read the text,
    // and what a stalled owner holds.
    void otherClientsCopyReadAndStall()
    {
        m_pasteboard.setSecretText(QStringLiteral("secret ✓"));
        const Types offered = clipboard();
        QCOMPARE(offered.value(QStringLiteral("x-kde-passwordManagerHint")), "secret");
        QCOMPARE(offered.value(QStringLiteral("text/plain;charset=utf-8")), QStringLiteral("secret ✓").toUtf8());
        // One read per text type; the hint is no read of the text.
        QTRY_COMPARE(m_pasteboard.textReads(), offered.size() - 1);
        QVERIFY(!m_pasteboard.takenByOther());

        copyWithWlCopy(QStringLiteral("text/plain"), "copied meanwhile");
        QVERIFY(m_pasteboard.takenByOther());
        std::optional<PasteboardSnapshot> snapshot = m_pasteboard.snapshot();
        QVERIFY(snapshot);
        QVERIFY(snapshot->contains(PasteboardFormat{QStringLiteral("text/plain"), "copied meanwhile"}));

        m_pasteboard.write(*snapshot);
        QVERIFY(!m_pasteboard.takenByOther());
        m_pasteboard.clear();
        QVERIFY(!m_pasteboard.takenByOther());
        QVERIFY(!m_pasteboard.snapshot());

        // An owner that never answers (here: one served by our own blocked event loop) ends the snapshot
        // within its bound, and answering a reader that left later does not kill the process (SIGPIPE).
        // Qt may leave SIGPIPE ignored once it started a child process; the program has it fatal.
        std::signal(SIGPIPE, SIG_DFL);
        WaylandPasteboard owner;
        owner.setSecretText(QStringLiteral("stalled"));
        QTRY_VERIFY(m_pasteboard.takenByOther());
        snapshot = m_pasteboard.snapshot();
        QVERIFY(snapshot && snapshot->isEmpty());
        // Counted as the owner answers the reader that left.
        QTRY_VERIFY(owner.textReads() > 0);
        QCOMPARE(clipboard().value(QStringLiteral("text/plain;charset=utf-8")), QByteArray("stalled"));
    }

private:
    void startTarget(QProcess &target, bool terminal)
    {
        QFile::remove(m_out);
        QFile::remove(m_out + QStringLiteral(".keys"));
        target.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        target.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zl_paste_target"),
                     terminal ? QStringList{m_out, QStringLiteral("--terminal")} : QStringList{m_out});
        QVERIFY(target.waitForStarted());
        const QString focus = QStringLiteral("[pid=%1] focus").arg(target.processId());
        QTRY_VERIFY_WITH_TIMEOUT(
            test::runToolServing(QStringLiteral("swaymsg"), {QStringLiteral("-r"), focus}).contains("true"), 10000);
    }

    // The target's text field; ".keys" its key presses one a line.
    QString targetFile(const QString &suffix = {}) const
    {
        QFile file(m_out + suffix);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Every type of the clipboard with its bytes, as wl-paste sees them.
    Types clipboard()
    {
        Types types;
        const QString names =
            QString::fromUtf8(test::runToolServing(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")}));
        for (const QString &type : names.split(u'\n', Qt::SkipEmptyParts))
            types.insert(type, test::runToolServing(QStringLiteral("wl-paste"),
                                                    {QStringLiteral("--no-newline"), QStringLiteral("--type"), type}));
        return types;
    }

    void copyWithWlCopy(const QString &type, const QByteArray &bytes)
    {
        QProcess copy;
        copy.start(QStringLiteral("wl-copy"), {QStringLiteral("--type"), type});
        copy.write(bytes);
        copy.closeWriteChannel();
        QVERIFY(copy.waitForFinished(10000));
        QTRY_COMPARE_WITH_TIMEOUT(clipboard().value(type), bytes, 10000);
    }

    QTemporaryDir m_dir;
    QString m_out = m_dir.filePath(QStringLiteral("target.txt"));
    QProcess m_sway;
    QString m_appId;
    EventLoopScheduler m_scheduler;
    FakeLogSink m_log;
    WaylandPasteboard m_pasteboard;
    WaylandSyntheticKeys m_keys{[this] { return m_appId; }};
};

// "own": this program as a clipboard owner of its own with several types, until it is ended.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "own") == 0) {
        WaylandPasteboard pasteboard;
        pasteboard.write(severalTypes());
        return app.exec();
    }
    WaylandPasteTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_waylandpaste.moc"
