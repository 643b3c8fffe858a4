// The sway/i3 IPC hotkey back end against a real headless sway of this (unprivileged) user:
// key_presser presses physical keys through a virtual keyboard, swaymsg watches sway's binding
// events as the independent other side.
#include "FakeLogSink.h"
#include "FakeLoginItem.h"
#include "HeadlessSway.h"
#include "HotkeyManager.h"
#include "KeyCodes.h"
#include "SettingsStore.h"
#include "SwayHotkeyService.h"
#include "TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace zl;

namespace {

constexpr quint32 kKeyW = 13, kKeyE = 14, kKeyR = 15, kKeyO = 31, kKeyU = 32;
constexpr quint32 kCtrlAlt = Modifier::Control | Modifier::Option;
const QString kSentinel = QStringLiteral("125+20"); // Super+T, bound in the configuration below
const QString kOurs = QStringLiteral("nop zephyrlatch:");

// Ctrl+Alt+R is the configuration's: a shortcut on it must be refused.
const char kConfig[] = "set $mod Mod4\n"
                       "bindsym $mod+t nop sentinel\n"
                       "bindcode Ctrl+Mod1+27 nop configured\n";

// Ctrl+Alt+key as key_presser's evdev codes.
QString chord(quint32 keyCode)
{
    return QStringLiteral("29+56+%1").arg(*KeyCodes::x11KeyCode(keyCode) - 8);
}

ShortcutItem shortcut(const QString &name, quint32 keyCode, bool enabled = true)
{
    return test::shortcut(name, ActionType::RunCommand, QStringLiteral("true"), keyCode, kCtrlAlt, enabled);
}

// A compositor stand-in: answers the first request of every connection with the hex bytes of
// argv[2], keeps the connection open and prints a line per connection.
const char kFakeCompositor[] = R"(
import socket, sys, threading
server = socket.socket(socket.AF_UNIX)
server.bind(sys.argv[1])
server.listen(16)
def serve(peer):
    if peer.recv(4096):
        peer.sendall(bytes.fromhex(sys.argv[2]))
    while peer.recv(4096):
        pass
while True:
    peer = server.accept()[0]
    print(flush=True)
    threading.Thread(target=serve, args=(peer,), daemon=True).start()
)";

} // namespace

class SwayHotkeysTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/sway-test.sock");
        connect(&m_watch, &QProcess::readyReadStandardOutput, this, [this] {
            while (m_watch.canReadLine()) {
                const QJsonObject event = QJsonDocument::fromJson(m_watch.readLine()).object();
                if (event.contains(u"binding"))
                    m_seen.append(event.value(u"binding").toObject().value(u"command").toString());
            }
        });
        QVERIFY(startSway());
        m_store = std::make_unique<SettingsStore>(m_loginItem, m_dir.filePath(QStringLiteral("z.conf")));
        m_store->setShortcuts({shortcut(QStringLiteral("Enabled"), kKeyE),
                               shortcut(QStringLiteral("Disabled"), kKeyO, false),
                               shortcut(QStringLiteral("Taken"), kKeyR)});
        m_service = std::make_unique<SwayHotkeyService>(m_socket, &m_log);
        m_manager = std::make_unique<HotkeyManager>(m_service.get(), &m_log,
                                                    [this](const ShortcutItem &item) { m_runs.append(item.name); });
        m_manager->bind(*m_store);
        QCoreApplication::processEvents();
        QVERIFY(m_service->isConnected());
    }

    // The watcher ends with sway.
    void cleanupTestCase()
    {
        m_sway.terminate();
        m_sway.waitForFinished();
        m_watch.waitForFinished();
    }

    // One scenario, each step building on the bindings the one before left in sway.
    void enabledEditedRestartedReloadedProgram()
    {
        QVERIFY(m_log.lines.contains(QStringLiteral("Zephyrlatch: RegisterEventHotKey failed for Taken: 10")));
        QCOMPARE(press({chord(kKeyE), chord(kKeyE), chord(kKeyO), chord(kKeyR)}), 2);
        QCOMPARE(press({chord(kKeyR)}, QStringLiteral("nop configured")), 1);
        QTRY_COMPARE(m_runs, (QStringList{QStringLiteral("Enabled"), QStringLiteral("Enabled")}));

        QList<ShortcutItem> list = m_store->shortcuts();
        list[0].keyCode = kKeyW;
        list[1].isEnabled = true;
        list.removeLast();
        edit(list);
        QCOMPARE(press({chord(kKeyE), chord(kKeyW), chord(kKeyO)}), 2);
        QTRY_COMPARE(m_runs.mid(2), (QStringList{QStringLiteral("Enabled"), QStringLiteral("Disabled")}));

        // The deleted shortcut's binding is gone from sway, not merely ignored here.
        list.removeFirst();
        edit(list);
        QCOMPARE(press({chord(kKeyW)}), 0);
        QCOMPARE(press({chord(kKeyO)}), 1);
        QTRY_COMPARE(m_runs.size(), 5);

        QSignalSpy connected(m_service.get(), &SwayHotkeyService::connected);
        m_sway.terminate();
        QVERIFY(m_sway.waitForFinished(10000));
        m_watch.waitForFinished(10000);
        QTRY_VERIFY(!m_service->isConnected());
        QVERIFY(startSway());
        QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), 15000);
        QCOMPARE(press({chord(kKeyO)}), 1);
        QTRY_COMPARE(m_runs.size(), 6);

        // A configuration reload drops runtime bindings; they come back.
        QCOMPARE(QProcess::execute(QStringLiteral("swaymsg"), {QStringLiteral("reload")}), 0);
        // Pressed until they are back; a second run would show in the count below.
        QVERIFY(QTest::qWaitFor([this] { return press({chord(kKeyO)}) >= 1; }, 10000));
        QTRY_COMPARE(m_runs.size(), 7);

        // The program picks the sway back end, binds once its window has shown, runs the shortcut with
        // no X server at all, and leaves no binding behind when it ends.
        const QString config = m_dir.filePath(QStringLiteral("program/config"));
        const QString ran = m_dir.filePath(QStringLiteral("program/ran.log"));
        QVERIFY(QDir().mkpath(config + QStringLiteral("/zephyrlatch")));
        ShortcutItem item = shortcut(QStringLiteral("Log"), kKeyU);
        item.payload = QStringLiteral("echo ran >> '%1'").arg(ran);
        QSettings(config + QStringLiteral("/zephyrlatch/zephyrlatch.conf"), QSettings::NativeFormat)
            .setValue(QStringLiteral("shortcuts.v1"), ShortcutItem::encodeList({item}));
        // Inherited by the program, the last child started. Qt 6.4's Wayland plugin leaves protocol
        // objects behind at exit; leaks of the program are checked by the X11 end-to-end tests.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        qputenv("SHELL", "/bin/sh");
        qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=0");
        QProcess program;
        QByteArray errors;
        connect(&program, &QProcess::readyReadStandardError, this, [&] { errors += program.readAllStandardError(); });
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zephyrlatch"), {});
        QTRY_VERIFY2_WITH_TIMEOUT(errors.contains("served by the sway/i3 IPC"), errors.constData(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(press({chord(kKeyU)}), 1, 15000);
        QTRY_VERIFY(QFileInfo::exists(ran));
        QVERIFY2(!errors.contains("unavailable"), errors.constData());

        program.terminate();
        QVERIFY(program.waitForFinished(10000));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
                 errors.right(4000).constData());
        QCOMPARE(press({chord(kKeyU)}), 0);
    }

    void badPeers_data()
    {
        // The reply's bytes in hex: magic, payload length and type (little-endian), payload.
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("logged");
        QTest::newRow("another user's socket") << QString() << QStringLiteral("belongs to another user");
        QTest::newRow("oversized") << "69332d697063 f0ffffff 02000000 7b" << QStringLiteral("4294967280 bytes");
        QTest::newRow("no magic") << "69332d78797a 02000000 02000000 7b7d" << QStringLiteral("magic");
        QTest::newRow("not JSON") << "69332d697063 03000000 02000000 7b7b7b" << QStringLiteral("subscription");
    }

    void badPeers()
    {
        QFETCH(QString, reply);
        QFETCH(QString, logged);
        QString path = qEnvironmentVariable("ZL_FOREIGN_SOCKET");
        if (reply.isEmpty() && path.isEmpty())
            QSKIP("needs the harness to run as root");
        QProcess fake;
        if (!reply.isEmpty()) {
            path = m_dir.filePath(QStringLiteral("fake.sock"));
            QFile::remove(path);
            fake.start(QStringLiteral("python3"), {QStringLiteral("-c"), kFakeCompositor, path, reply});
            QTRY_VERIFY(QFileInfo::exists(path));
        }
        FakeLogSink log;
        SwayHotkeyService service(path, &log);
        QVERIFY(!service.isConnected());
        HotkeyRef ref = 0;
        QCOMPARE(service.registerHotkey(kKeyE, kCtrlAlt, HotkeyIdentifier{1, 1}, &ref), 0);
        QVERIFY2(log.lines.join(u'\n').contains(logged), qPrintable(log.lines.join(u'\n')));
        if (!reply.isEmpty()) {
            // It keeps trying, with growing pauses rather than a busy loop.
            QByteArray connections;
            QTRY_VERIFY_WITH_TIMEOUT((connections += fake.readAllStandardOutput()).count('\n') >= 6, 10000);
            QVERIFY(connections.count('\n') < 40);
            QVERIFY(!service.isConnected());
            fake.kill();
            fake.waitForFinished();
        }
    }

private:
    // Sway and a watcher of its binding events; the children started later find both in the environment.
    bool startSway()
    {
        if (!test::startSway(m_sway, m_dir.filePath(QStringLiteral("sway.config")), kConfig, m_socket))
            return false;
        m_watch.start(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-m"), QStringLiteral("-t"),
                                                  QStringLiteral("subscribe"), QStringLiteral("[\"binding\"]")});
        // Once a press reaches the watcher, no later binding event is missed.
        return QTest::qWaitFor([this] { return press({}) == 0; }, 10000);
    }

    // How many binding events starting with command the chords caused; -1 when the sentinel pressed
    // after them never arrived, so a press that did not happen cannot pass for one that ran nothing.
    int press(const QStringList &chords, const QString &command = kOurs)
    {
        const qsizetype before = m_seen.size();
        QProcess::execute(QCoreApplication::applicationDirPath() + QStringLiteral("/zl_key_presser"),
                          chords + QStringList{kSentinel});
        const auto seen = [&] { return m_seen.mid(before); };
        if (!QTest::qWaitFor([&] { return seen().contains(QStringLiteral("nop sentinel")); }, 5000))
            return -1;
        const QStringList events = seen();
        const auto end = events.begin() + events.indexOf(QStringLiteral("nop sentinel"));
        return int(std::count_if(events.begin(), end, [&](const QString &c) { return c.startsWith(command); }));
    }

    // The manager hears of a change on the next turn and the service lets go of a removed binding at
    // the end of that one; a press must come after both.
    void edit(const QList<ShortcutItem> &list)
    {
        m_store->setShortcuts(list);
        QTest::qWait(20);
    }

    QTemporaryDir m_dir;
    QString m_socket;
    QProcess m_sway;
    QProcess m_watch;
    QStringList m_seen;
    FakeLoginItem m_loginItem;
    std::unique_ptr<SettingsStore> m_store;
    FakeLogSink m_log;
    std::unique_ptr<SwayHotkeyService> m_service;
    std::unique_ptr<HotkeyManager> m_manager;
    QStringList m_runs;
};

QTEST_GUILESS_MAIN(SwayHotkeysTest)
#include "tst_swayhotkeys.moc"
