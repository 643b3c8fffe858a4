// The sway/i3 IPC hotkey back end against a real headless sway of this (unprivileged) user:
// key_presser presses physical keys through a virtual keyboard, swaymsg watches sway's binding
// events as the independent other side.
#include "FakeLogSink.h"
#include "FakeLoginItem.h"
#include "HotkeyManager.h"
#include "KeyCodes.h"
#include "SettingsStore.h"
#include "SwayHotkeyService.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace zl;

namespace {

constexpr quint32 kKeyW = 13, kKeyE = 14, kKeyR = 15, kKeyO = 31, kKeyU = 32;
constexpr quint32 kCtrlAlt = Modifier::Control | Modifier::Option;
const QString kSentinel = QStringLiteral("125+20"); // Super+T, bound in the configuration below
const QString kOurs = QStringLiteral("nop zephyrlatch:");

// Ctrl+Alt+R is the configuration's: a shortcut on it must be refused.
const char kConfig[] = "xwayland disable\n"
                       "set $mod Mod4\n"
                       "bindsym $mod+t nop sentinel\n"
                       "bindcode Ctrl+Mod1+27 nop configured\n";

QString chord(quint32 keyCode, quint32 modifiers)
{
    QStringList codes;
    if (modifiers & Modifier::Control)
        codes << QStringLiteral("29");
    if (modifiers & Modifier::Option)
        codes << QStringLiteral("56");
    codes << QString::number(*KeyCodes::x11KeyCode(keyCode) - 8);
    return codes.join(u'+');
}

ShortcutItem shortcut(const QString &name, quint32 keyCode, bool enabled = true)
{
    return ShortcutItem{QUuid::createUuid(),    name,    enabled, ActionType::RunCommand,
                        QStringLiteral("true"), keyCode, kCtrlAlt};
}

// A compositor stand-in that answers every request with reply and keeps the connection open.
class FakeCompositor
{
public:
    FakeCompositor(const QString &path, QByteArray reply) : m_reply(std::move(reply))
    {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof(address));
        ::listen(m_listener, 16);
        m_server = std::thread([this] { serve(); });
    }
    ~FakeCompositor()
    {
        m_stop = true;
        m_server.join();
        for (std::thread &thread : m_clients)
            thread.join();
        ::close(m_listener);
    }
    int connections() const { return m_connections; }

private:
    void serve()
    {
        while (!m_stop) {
            pollfd listener{m_listener, POLLIN, 0};
            if (::poll(&listener, 1, 50) <= 0)
                continue;
            const int fd = ::accept(m_listener, nullptr, nullptr);
            ++m_connections;
            m_clients.emplace_back([this, fd] {
                char buffer[4096];
                pollfd peer{fd, POLLIN, 0};
                for (bool answered = false; !m_stop && ::poll(&peer, 1, 50) >= 0;) {
                    if (!(peer.revents & POLLIN))
                        continue;
                    if (::read(fd, buffer, sizeof(buffer)) <= 0)
                        break;
                    if (!answered && ::write(fd, m_reply.constData(), size_t(m_reply.size())) > 0)
                        answered = true;
                }
                ::close(fd);
            });
        }
    }

    QByteArray m_reply;
    int m_listener = -1;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_connections = 0;
    std::thread m_server;
    std::vector<std::thread> m_clients; // the server thread's alone until it ends
};

QByteArray frame(const char *magic, quint32 length, quint32 type, const QByteArray &payload)
{
    QByteArray bytes(magic, 6);
    bytes.append(reinterpret_cast<const char *>(&length), 4);
    bytes.append(reinterpret_cast<const char *>(&type), 4);
    return bytes + payload;
}

} // namespace

class SwayHotkeysTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void enabledShortcutsFireOncePerPress();
    void editsRegisterAgain();
    void compositorRestartAndReload();
    void quitLeavesNoBinding();
    void realProgramServesHotkeys();
    void badPeers_data();
    void badPeers();

private:
    bool startSway();
    QStringList press(const QStringList &chords);
    static int ours(const QStringList &commands);
    void edit(const QList<ShortcutItem> &list);
    void startManager();

    QTemporaryDir m_dir;
    QString m_socket;
    QString m_wayland;
    QProcess m_sway;
    QProcess m_watch;
    QByteArray m_watchBuffer;
    QStringList m_seen;
    FakeLoginItem m_loginItem;
    std::unique_ptr<SettingsStore> m_store;
    FakeLogSink m_log;
    std::unique_ptr<SwayHotkeyService> m_service;
    std::unique_ptr<HotkeyManager> m_manager;
    QStringList m_runs;
};

bool SwayHotkeysTest::startSway()
{
    QFile::remove(m_socket);
    QFile config(m_dir.filePath(QStringLiteral("sway.config")));
    if (!config.open(QIODevice::WriteOnly) || config.write(kConfig) < 0)
        return false;
    config.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SWAYSOCK"), m_socket);
    m_sway.setProcessEnvironment(env);
    m_sway.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_sway.setStandardOutputFile(QProcess::nullDevice());
    m_sway.start(QStringLiteral("sway"), {QStringLiteral("-c"), config.fileName()});
    const QDir runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && m_sway.state() != QProcess::NotRunning) {
        const QStringList displays = runtime.entryList({QStringLiteral("wayland-*")}, QDir::System)
                                         .filter(QRegularExpression(QStringLiteral("^wayland-\\d+$")));
        if (QFileInfo(m_socket).exists() && !displays.isEmpty()) {
            m_wayland = displays.first();
            break;
        }
        QTest::qWait(20);
    }
    if (m_wayland.isEmpty())
        return false;
    m_watchBuffer.clear();
    m_watch.setProcessEnvironment(env);
    m_watch.start(QStringLiteral("swaymsg"), {QStringLiteral("-r"), QStringLiteral("-m"), QStringLiteral("-t"),
                                              QStringLiteral("subscribe"), QStringLiteral("[\"binding\"]")});
    // Once a press reaches the watcher, no later binding event is missed.
    m_seen.clear();
    for (QDeadlineTimer watching(10000); !m_seen.contains(QStringLiteral("nop sentinel")) && !watching.hasExpired();)
        press({});
    return m_seen.contains(QStringLiteral("nop sentinel"));
}

QStringList SwayHotkeysTest::press(const QStringList &chords)
{
    const qsizetype before = m_seen.size();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_wayland);
    QProcess presser;
    presser.setProcessEnvironment(env);
    presser.setProcessChannelMode(QProcess::ForwardedChannels);
    presser.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zl_key_presser"),
                  chords + QStringList{kSentinel});
    presser.waitForFinished(10000);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && !m_seen.mid(before).contains(QStringLiteral("nop sentinel")))
        QTest::qWait(10);
    QStringList seen = m_seen.mid(before);
    return seen.mid(0, seen.indexOf(QStringLiteral("nop sentinel")));
}

int SwayHotkeysTest::ours(const QStringList &commands)
{
    return int(std::count_if(commands.begin(), commands.end(), [](const QString &c) { return c.startsWith(kOurs); }));
}

// The manager hears of a change on the next turn and the service lets go of a removed binding at
// the end of that one; a press must come after both.
void SwayHotkeysTest::edit(const QList<ShortcutItem> &list)
{
    m_store->setShortcuts(list);
    QTest::qWait(20);
}

void SwayHotkeysTest::startManager()
{
    m_service = std::make_unique<SwayHotkeyService>(m_socket, &m_log);
    m_manager = std::make_unique<HotkeyManager>(m_service.get(), &m_log,
                                                [this](const ShortcutItem &item) { m_runs.append(item.name); });
    m_manager->bind(*m_store);
    QCoreApplication::processEvents();
}

void SwayHotkeysTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/sway-test.sock");
    connect(&m_watch, &QProcess::readyReadStandardOutput, this, [this] {
        m_watchBuffer.append(m_watch.readAllStandardOutput());
        for (qsizetype end; (end = m_watchBuffer.indexOf('\n')) >= 0; m_watchBuffer.remove(0, end + 1)) {
            const QJsonObject event = QJsonDocument::fromJson(m_watchBuffer.left(end)).object();
            if (event.contains(u"binding"))
                m_seen.append(event.value(u"binding").toObject().value(u"command").toString());
        }
    });
    QVERIFY(startSway());
    m_store = std::make_unique<SettingsStore>(m_loginItem, m_dir.filePath(QStringLiteral("z.conf")));
    m_store->setShortcuts({shortcut(QStringLiteral("Enabled"), kKeyE),
                           shortcut(QStringLiteral("Disabled"), kKeyO, false),
                           shortcut(QStringLiteral("Taken"), kKeyR)});
    startManager();
    QVERIFY(m_service->isConnected());
}

void SwayHotkeysTest::cleanupTestCase()
{
    m_manager.reset();
    m_service.reset();
    m_watch.kill();
    m_watch.waitForFinished();
    m_sway.terminate();
    m_sway.waitForFinished();
}

void SwayHotkeysTest::enabledShortcutsFireOncePerPress()
{
    QVERIFY(m_log.lines.contains(QStringLiteral("Zephyrlatch: RegisterEventHotKey failed for Taken: 10")));
    const QStringList seen =
        press({chord(kKeyE, kCtrlAlt), chord(kKeyE, kCtrlAlt), chord(kKeyO, kCtrlAlt), chord(kKeyR, kCtrlAlt)});
    QCOMPARE(ours(seen), 2);
    QVERIFY(seen.contains(QStringLiteral("nop configured")));
    QTRY_COMPARE(m_runs, (QStringList{QStringLiteral("Enabled"), QStringLiteral("Enabled")}));
}

void SwayHotkeysTest::editsRegisterAgain()
{
    QList<ShortcutItem> list = m_store->shortcuts();
    list[0].keyCode = kKeyW;
    list[1].isEnabled = true;
    list.removeLast();
    edit(list);
    QCOMPARE(ours(press({chord(kKeyE, kCtrlAlt), chord(kKeyW, kCtrlAlt), chord(kKeyO, kCtrlAlt)})), 2);
    QTRY_COMPARE(m_runs.mid(2), (QStringList{QStringLiteral("Enabled"), QStringLiteral("Disabled")}));

    // The deleted shortcut's binding is gone from sway, not merely ignored here.
    list.removeFirst();
    edit(list);
    QCOMPARE(ours(press({chord(kKeyW, kCtrlAlt)})), 0);
    QCOMPARE(ours(press({chord(kKeyO, kCtrlAlt)})), 1);
    QTRY_COMPARE(m_runs.size(), 5);
}

void SwayHotkeysTest::compositorRestartAndReload()
{
    QSignalSpy connected(m_service.get(), &SwayHotkeyService::connected);
    m_sway.terminate();
    QVERIFY(m_sway.waitForFinished(10000));
    m_watch.waitForFinished(10000);
    QTRY_VERIFY(!m_service->isConnected());
    QVERIFY(startSway());
    QTRY_VERIFY_WITH_TIMEOUT(!connected.isEmpty(), 15000);
    QCOMPARE(ours(press({chord(kKeyO, kCtrlAlt)})), 1);
    QTRY_COMPARE(m_runs.size(), 6);

    // A configuration reload drops runtime bindings; they come back.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SWAYSOCK"), m_socket);
    QProcess reload;
    reload.setProcessEnvironment(env);
    reload.start(QStringLiteral("swaymsg"), {QStringLiteral("reload")});
    QVERIFY(reload.waitForFinished(10000));
    QCOMPARE(reload.exitCode(), 0);
    QDeadlineTimer deadline(10000);
    int fired = 0;
    while (fired == 0 && !deadline.hasExpired())
        fired = ours(press({chord(kKeyO, kCtrlAlt)}));
    QCOMPARE(fired, 1);
    QTRY_COMPARE(m_runs.size(), 7);
}

void SwayHotkeysTest::quitLeavesNoBinding()
{
    m_manager->reregister({});
    m_manager.reset();
    m_service.reset();
    QCOMPARE(ours(press({chord(kKeyO, kCtrlAlt)})), 0);
}

void SwayHotkeysTest::realProgramServesHotkeys()
{
    const QString config = m_dir.filePath(QStringLiteral("program/config"));
    const QString ran = m_dir.filePath(QStringLiteral("program/ran.log"));
    QVERIFY(QDir().mkpath(config + QStringLiteral("/zephyrlatch")));
    {
        QSettings seed(config + QStringLiteral("/zephyrlatch/zephyrlatch.conf"), QSettings::NativeFormat);
        ShortcutItem item = shortcut(QStringLiteral("Log"), kKeyU);
        item.payload = QStringLiteral("echo ran >> '%1'").arg(ran);
        seed.setValue(QStringLiteral("shortcuts.v1"), ShortcutItem::encodeList({item}));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), m_wayland);
    env.insert(QStringLiteral("SWAYSOCK"), m_socket);
    env.insert(QStringLiteral("SHELL"), QStringLiteral("/bin/sh"));
    // Qt 6.4's Wayland plugin leaves protocol objects behind at exit; leaks of the program are
    // checked by the X11 end-to-end tests.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    QProcess program;
    QByteArray errors;
    connect(&program, &QProcess::readyReadStandardError, this, [&] { errors += program.readAllStandardError(); });
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zephyrlatch"), {});
    QTRY_VERIFY2_WITH_TIMEOUT(errors.contains("served by the sway/i3 IPC"), errors.constData(), 15000);
    // The program binds its hotkeys once its window has shown; until then a press finds nothing.
    for (int attempt = 0; attempt < 15 && !QFileInfo::exists(ran); ++attempt) {
        press({chord(kKeyU, kCtrlAlt)});
        for (QDeadlineTimer wait(1000); !QFileInfo::exists(ran) && !wait.hasExpired();)
            QTest::qWait(10);
    }
    QVERIFY(QFileInfo::exists(ran));
    // With no X server at all, pasting still has sway's virtual keyboard.
    QVERIFY2(!errors.contains("unavailable"), errors.constData());
    const auto runs = [&] {
        QFile file(ran);
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
    };
    const qsizetype before = runs();

    // The trigger command, as a desktop's own binding would run it.
    QProcess trigger;
    trigger.setProcessEnvironment(env);
    trigger.start(program.program(), {QStringLiteral("--run"), QStringLiteral("Log")});
    QVERIFY(trigger.waitForFinished(10000));
    QCOMPARE(trigger.exitCode(), 0);
    QTRY_COMPARE(runs(), before + 1);

    program.terminate();
    QVERIFY(program.waitForFinished(10000));
    QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0, errors.right(4000).constData());
    QCOMPARE(ours(press({chord(kKeyU, kCtrlAlt)})), 0);
}

void SwayHotkeysTest::badPeers_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("logged");
    QTest::newRow("another user's socket") << QByteArray() << QStringLiteral("belongs to another user");
    QTest::newRow("oversized") << frame("i3-ipc", 0xFFFFFFF0u, 2, "{") << QStringLiteral("4294967280 bytes");
    QTest::newRow("no magic") << frame("i3-xyz", 2, 2, "{}") << QStringLiteral("magic");
    QTest::newRow("not JSON") << frame("i3-ipc", 3, 2, "{{{") << QStringLiteral("subscription");
}

void SwayHotkeysTest::badPeers()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, logged);
    std::unique_ptr<FakeCompositor> fake;
    QString path = qEnvironmentVariable("ZL_FOREIGN_SOCKET");
    if (reply.isEmpty() && path.isEmpty())
        QSKIP("needs the harness to run as root");
    if (!reply.isEmpty()) {
        path = m_dir.filePath(QStringLiteral("fake.sock"));
        QFile::remove(path);
        fake = std::make_unique<FakeCompositor>(path, reply);
    }
    FakeLogSink log;
    SwayHotkeyService service(path, &log);
    QVERIFY(!service.isConnected());
    HotkeyRef ref = 0;
    QCOMPARE(service.registerHotkey(kKeyE, kCtrlAlt, HotkeyIdentifier{1, 1}, &ref), 0);
    QVERIFY(log.lines.join(u'\n').contains(logged));
    if (fake) {
        // It keeps trying, with growing pauses rather than a busy loop.
        QTRY_VERIFY_WITH_TIMEOUT(fake->connections() >= 6, 10000);
        QVERIFY(fake->connections() < 40);
        QVERIFY(!service.isConnected());
    }
}

QTEST_GUILESS_MAIN(SwayHotkeysTest)
#include "tst_swayhotkeys.moc"
