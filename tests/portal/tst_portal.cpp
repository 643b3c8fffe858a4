#include "FakeLogSink.h"
#include "FakeLoginItem.h"
#include "GlobalShortcutsPortal.h"
#include "HotkeyManager.h"
#include "PortalHotkeyService.h"
#include "PortalTrigger.h"
#include "RemoteDesktopKeys.h"
#include "RemoteDesktopTrust.h"
#include "SettingsStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace zl;

namespace {

using Status = PortalBindResult::Status;

const QString kA = QStringLiteral("0b6f3a5e-0c1d-4f4e-9a37-5a1f0e2d7c11");
const QString kB = QStringLiteral("1c7a4b6f-1d2e-4a5f-8b48-6b2a1f3e8d22");
const QString kC = QStringLiteral("2d8b5c7a-2e3f-4b6a-9c59-7c3b2a4f9e33");
const QString kD = QStringLiteral("3e9c6d8b-3f4a-4c7b-8d6a-8d4c3b5a0f44");

// Ctrl+Alt+E, Super+Shift+1, Ctrl+Shift+Return, Super+Ctrl+E
const PortalShortcut kShortcutA{kA, QStringLiteral("Greeting"), 14, 4096 | 2048};
const PortalShortcut kShortcutB{kB, QStringLiteral("Terminal"), 0x12, 256 | 512};
const PortalShortcut kShortcutC{kC, QStringLiteral("Docs"), 36, 4096 | 512};
const PortalShortcut kShortcutD{kD, QStringLiteral("Signature"), 14, 256 | 4096};

} // namespace

class PortalTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        stopStandIn();
        m_standIn.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_standIn.start(QStringLiteral(ZL_PYTHON), {QStringLiteral(ZL_PORTAL_STANDIN)});
        // It says ready once it owns the name.
        QVERIFY(m_standIn.waitForReadyRead());
    }

    void cleanup() { stopStandIn(); }

    // One burst of edits closes the session and binds the last list once, in a new one.
    void bindActivateRebind()
    {
        // What the bound lists below do not show: every modifier in order, punctuation and keys
        // without a virtual code by their keysym names, and a code no key has.
        QCOMPARE(PortalTrigger().format(36, 6912), QStringLiteral("CTRL+ALT+SHIFT+LOGO+Return"));
        QCOMPARE(PortalTrigger().format(0x1B, 4096), QStringLiteral("CTRL+minus"));
        QCOMPARE(PortalTrigger().format(0x100AC, 0), QStringLiteral("XF86AudioPlay"));
        QCOMPARE(PortalTrigger().format(0x7F, 4096), QString());

        // What the client reports, in arrival order; a short response bound, for the dialog left open at the end.
        QList<PortalBindResult> results;
        QStringList activated;
        GlobalShortcutsPortal portal(QDBusConnection::sessionBus(), QStringLiteral(ZL_APP_ID), {10, 20000, 1500});
        connect(&portal, &GlobalShortcutsPortal::bindFinished, this, [&](const PortalBindResult &r) { results << r; });
        connect(&portal, &GlobalShortcutsPortal::activated, this, [&](const QString &id) { activated << id; });
        portal.setShortcuts({kShortcutA, kShortcutB});
        QTRY_COMPARE(results.size(), 1);
        QCOMPARE(results.at(0).status, Status::Bound);
        QCOMPARE(log(),
                 QStringList({QStringLiteral("Register " ZL_APP_ID), QStringLiteral("CreateSession zephyrlatch"),
                              QStringLiteral("BindShortcuts zephyrlatch %1=CTRL+ALT+e;%2=SHIFT+LOGO+1").arg(kA, kB)}));
        QVERIFY(activate(kB));
        QTRY_COMPARE(activated, QStringList{kB});
        QVERIFY(activate(kA));
        QTRY_COMPARE(activated, QStringList({kB, kA}));

        portal.setShortcuts({kShortcutA});
        portal.setShortcuts({kShortcutA, kShortcutC});
        const PortalShortcut renamed{kC, QStringLiteral("Manual"), kShortcutC.keyCode, kShortcutC.modifiers};
        portal.setShortcuts({kShortcutA, renamed});
        QTRY_COMPARE(results.size(), 2);
        QCOMPARE(results.at(1).status, Status::Bound);
        QCOMPARE(
            log().mid(3),
            QStringList({QStringLiteral("Session.Close zephyrlatch"), QStringLiteral("CreateSession zephyrlatch"),
                         QStringLiteral("BindShortcuts zephyrlatch %1=CTRL+ALT+e;%2=CTRL+SHIFT+Return").arg(kA, kC)}));
        QVERIFY(!activate(kB));
        QVERIFY(activate(kC));
        QTRY_COMPARE(activated, QStringList({kB, kA, kC}));

        // The same list again asks the desktop nothing; a timer as long as the debounce, started
        // after it, fires after it.
        portal.setShortcuts({kShortcutA, renamed});
        bool debounced = false;
        QTimer::singleShot(generous().debounceMs, &portal, [&debounced] { debounced = true; });
        QTRY_VERIFY(debounced);
        QCOMPARE(log().size(), 6);
        // An empty list only closes the session.
        portal.setShortcuts({});
        QTRY_COMPARE(results.size(), 3);
        QCOMPARE(results.at(2).status, Status::Bound);
        QCOMPARE(log().mid(6), QStringList{QStringLiteral("Session.Close zephyrlatch")});
        QVERIFY(!activate(kA));

        // Edits while the desktop's dialog is open wait for it, then bind once.
        control(QStringLiteral("Answer"), {QStringLiteral("BindShortcuts"), QStringLiteral("response"), 0u});
        portal.setShortcuts({kShortcutA});
        QTRY_COMPARE(log().size(), 9);
        portal.setShortcuts({kShortcutA, kShortcutB});
        portal.setShortcuts({kShortcutA, kShortcutC});
        control(QStringLiteral("Answer"), {QStringLiteral("BindShortcuts"), QString(), 0u});
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 5, 10000);
        QCOMPARE(results.at(3).status, Status::Unavailable);
        QVERIFY2(results.at(3).detail.contains(u"no response"), qPrintable(results.at(3).detail));
        QCOMPARE(results.at(4).status, Status::Bound);
        QCOMPARE(
            log().mid(9),
            QStringList({QStringLiteral("Request.Close"), QStringLiteral("Session.Close zephyrlatch"),
                         QStringLiteral("CreateSession zephyrlatch"),
                         QStringLiteral("BindShortcuts zephyrlatch %1=CTRL+ALT+e;%2=CTRL+SHIFT+Return").arg(kA, kC)}));
    }

    // The manager's enabled shortcuts reach the desktop as one list named by their ids; a press runs
    // the shortcut through whatever trigger the desktop gave it, and what it left out or bound
    // elsewhere is logged and kept for the windows. Described in the desktop's own words, the same
    // combination is no problem.
    void throughTheHotkeyManager()
    {
        control(QStringLiteral("SetTrigger"), {kB, QString()});
        control(QStringLiteral("SetTrigger"), {kC, QStringLiteral("Ctrl+Shift+X")});
        control(QStringLiteral("SetTrigger"), {kD, QStringLiteral("Meta+Ctrl+E")});
        QTemporaryDir dir;
        FakeLoginItem login;
        SettingsStore store(login, dir.filePath(QStringLiteral("zephyrlatch.conf")));
        auto item = [](const PortalShortcut &s, bool enabled = true) {
            return ShortcutItem{QUuid::fromString(s.id), s.name, enabled, ActionType::RunCommand, {}, s.keyCode,
                                s.modifiers};
        };
        const PortalShortcut off{QUuid::createUuid().toString(QUuid::WithoutBraces), QStringLiteral("Off"), 15, 4096};
        store.setShortcuts({item(kShortcutA), item(kShortcutB), item(kShortcutC), item(kShortcutD), item(off, false)});
        FakeLogSink lines;
        PortalHotkeyService service(QDBusConnection::sessionBus(), QStringLiteral(ZL_APP_ID), &lines, generous());
        QStringList ran;
        HotkeyManager manager(&service, &lines, [&](const ShortcutItem &run) { ran << run.name; });
        manager.bind(store);

        QSignalSpy bound(&service, &PortalHotkeyService::bindingsChanged);
        QTRY_COMPARE(bound.count(), 1);
        QCOMPARE(log().filter(QStringLiteral("BindShortcuts")),
                 QStringList{QStringLiteral("BindShortcuts zephyrlatch %1=CTRL+ALT+e;%2=SHIFT+LOGO+1;"
                                            "%3=CTRL+SHIFT+Return;%4=CTRL+LOGO+e")
                                 .arg(kA, kB, kC, kD)});
        QVERIFY(service.laterProblem(kA).isEmpty());
        QVERIFY(!service.laterProblem(kB).isEmpty());
        QVERIFY2(service.laterProblem(kC).contains(QStringLiteral("Ctrl+Shift+X")),
                 qPrintable(service.laterProblem(kC)));
        QVERIFY2(service.laterProblem(kD).isEmpty(), qPrintable(service.laterProblem(kD)));
        QCOMPARE(lines.lines.filter(QStringLiteral("Terminal")).size(), 1);

        QVERIFY(activate(kA));
        QVERIFY(activate(kC));
        QTRY_COMPARE(ran, (QStringList{QStringLiteral("Greeting"), QStringLiteral("Docs")}));
    }

    void failures_data()
    {
        QTest::addColumn<bool>("keys");
        QTest::addColumn<QString>("method"); // none: no portal at all
        QTest::addColumn<QString>("silence");
        QTest::addColumn<uint>("code");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("detail");
        const Status none = Status::Unavailable;
        QTest::newRow("no portal") << false << "" << "" << 0u << none << "ServiceUnknown";
        QTest::newRow("CreateSession never replies")
            << false << "CreateSession" << "reply" << 0u << none << "CreateSession: ";
        QTest::newRow("user cancels") << false << "BindShortcuts" << "" << 1u << Status::Refused << "response 1";
        QTest::newRow("keys, no portal") << true << "" << "" << 0u << none << "ServiceUnknown";
        QTest::newRow("keys, user cancels the dialog")
            << true << "Start" << "" << 1u << none << "Start: response 1 (cancelled)";
        QTest::newRow("keys, dialog never answered")
            << true << "Start" << "response" << 0u << none << "Start: no response";
    }

    // Each failure ends within its bound without stalling the event loop, and leaves no half-made session.
    void failures()
    {
        QFETCH(bool, keys);
        QFETCH(QString, method);
        QFETCH(QString, silence);
        QFETCH(uint, code);
        QFETCH(Status, status);
        QFETCH(QString, detail);
        if (method.isEmpty())
            stopStandIn();
        else
            control(QStringLiteral("Answer"), {method, silence, code});
        const PortalTimeouts bounds{10, 1500, 2000};
        // A client that blocked on a silent portal would stall the event loop for a whole bound.
        QElapsedTimer sinceTick;
        qint64 longestStall = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
        sinceTick.start();
        ticker.start(10);
        if (keys) {
            FakeLogSink lines;
            RemoteDesktopKeys client(QDBusConnection::sessionBus(), QStringLiteral(ZL_APP_ID), &lines, {}, bounds);
            client.setRestoreToken(QStringLiteral("token-7"));
            QSignalSpy changed(&client, &RemoteDesktopKeys::sessionChanged);
            QSignalSpy tokens(&client, &RemoteDesktopKeys::restoreTokenChanged);
            client.start();
            QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 10000);
            QVERIFY2(!client.trusted() && !client.postPasteChord() && !client.postReturn(), "claims a failed session");
            QCOMPARE(tokens.count(), 0);
            QVERIFY2(lines.lines.size() == 1 && lines.lines.at(0).contains(detail), qPrintable(lines.lines.join(u' ')));
        } else {
            QList<PortalBindResult> results;
            GlobalShortcutsPortal portal(QDBusConnection::sessionBus(), QStringLiteral(ZL_APP_ID), bounds);
            connect(&portal, &GlobalShortcutsPortal::bindFinished, this,
                    [&](const PortalBindResult &r) { results << r; });
            portal.setShortcuts({kShortcutA});
            QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 10000);
            QCOMPARE(results.at(0).status, status);
            QVERIFY2(results.at(0).detail.contains(detail), qPrintable(results.at(0).detail));
        }
        QVERIFY2(longestStall < bounds.callMs / 2, qPrintable(QString::number(longestStall)));
        if (keys && !method.isEmpty()) {
            QTRY_VERIFY(log().contains(QStringLiteral("Session.Close zephyrlatch_keys_1")));
            QVERIFY(log().filter(QStringLiteral("Keysym")).isEmpty());
        } else if (method == u"BindShortcuts") {
            QTRY_VERIFY(log().contains(QStringLiteral("Session.Close zephyrlatch")));
            QVERIFY(!activate(kA));
        }
    }

    // Nothing reaches the portal before the desktop approved; then the chord's keysyms in order,
    // Shift for a terminal, and the next session asks with the token the desktop issued.
    void remoteDesktopKeys()
    {
        FakeLogSink lines;
        QString focused = QStringLiteral("org.gnome.TextEditor");
        QStringList tokens;
        auto keys = std::make_unique<RemoteDesktopKeys>(QDBusConnection::sessionBus(), QStringLiteral(ZL_APP_ID),
                                                        &lines, [&] { return focused; }, generous());
        connect(keys.get(), &RemoteDesktopKeys::restoreTokenChanged, this, [&](const QString &t) { tokens << t; });
        RemoteDesktopTrust trust(*keys);
        QVERIFY(!keys->postPasteChord() && !keys->postReturn());
        trust.requestTrust();
        trust.requestTrust();
        QVERIFY(!trust.isTrusted());
        QVERIFY(!keys->postPasteChord());
        QTRY_VERIFY(trust.isTrusted());
        QCOMPARE(tokens, QStringList{QStringLiteral("token-1")});
        QCOMPARE(log().filter(QStringLiteral("SelectDevices")),
                 QStringList{QStringLiteral("SelectDevices types=1 persist_mode=2 restore_token=")});

        QVERIFY(keys->postPasteChord());
        QVERIFY(keys->postReturn());
        focused = QStringLiteral("org.gnome.Console");
        QVERIFY(keys->postPasteChord());
        // Control+V; Return; Control+Shift+V for the terminal.
        QTRY_COMPARE(log().filter(QStringLiteral("Keysym ")).join(u' ').remove(QStringLiteral("Keysym ")),
                     QStringLiteral("+ffe3 +76 -76 -ffe3 +ff0d -ff0d +ffe3 +ffe1 +76 -76 -ffe1 -ffe3"));

        keys.reset();
        RemoteDesktopKeys again(QDBusConnection::sessionBus(), QStringLiteral(ZL_APP_ID), &lines, {}, generous());
        again.setRestoreToken(tokens.last());
        connect(&again, &RemoteDesktopKeys::restoreTokenChanged, this, [&](const QString &t) { tokens << t; });
        again.start();
        QTRY_VERIFY(again.trusted());
        QCOMPARE(log().filter(QStringLiteral("SelectDevices")).last(),
                 QStringLiteral("SelectDevices types=1 persist_mode=2 restore_token=token-1"));
        QCOMPARE(tokens, QStringList({QStringLiteral("token-1"), QStringLiteral("token-2")}));

        // The user ends the sharing in the desktop's indicator.
        control(QStringLiteral("EndSessions"), {});
        QTRY_VERIFY(!again.trusted());
        QVERIFY(!again.postPasteChord());
        QCOMPARE(lines.lines.filter(QStringLiteral("ended the RemoteDesktop session")).size(), 1);
    }

private:
    void stopStandIn()
    {
        m_standIn.kill();
        m_standIn.waitForFinished();
        QTRY_VERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.portal.Desktop")));
    }

    static PortalTimeouts generous() { return {10, 20000, 20000}; }

    QVariant control(const QString &member, const QVariantList &args)
    {
        QDBusInterface standIn(QStringLiteral("org.freedesktop.portal.Desktop"),
                               QStringLiteral("/org/freedesktop/portal/desktop"),
                               QStringLiteral("io.github.zephyrlatch.PortalStandIn"));
        const QDBusMessage reply = standIn.callWithArgumentList(QDBus::Block, member, args);
        // An error's text must not pass for an answer: it would read as true.
        const bool answered = reply.type() == QDBusMessage::ReplyMessage;
        if (!answered)
            qWarning("stand-in %s failed: %s", qPrintable(member), qPrintable(reply.errorMessage()));
        return answered ? reply.arguments().value(0) : QVariant();
    }

    QStringList log() { return control(QStringLiteral("Log"), {}).toStringList(); }
    bool activate(const QString &id) { return control(QStringLiteral("Activate"), {id}).toBool(); }

    QProcess m_standIn;
};

QTEST_GUILESS_MAIN(PortalTest)
#include "tst_portal.moc"
