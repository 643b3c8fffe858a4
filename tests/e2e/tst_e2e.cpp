// The real program under a private Xvfb, driven from outside the way a user would: xdotool
// presses keys, a window-manager close request closes the main window, a second launch
// asks for the running instance.
#include "ProgramUnderTest.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <xcb/xcb.h>

using namespace zl;
using hardening::xdotool;

namespace {

constexpr quint32 kKeyE = 14, kKeyR = 15, kKeyO = 31;
constexpr quint32 kCtrlAlt = Modifier::Control | Modifier::Option;

// What a window manager does when the user clicks the close button.
void requestClose(xcb_connection_t *connection, quint32 window)
{
    auto atom = [&](const char *name) {
        const QScopedPointer<xcb_intern_atom_reply_t, QScopedPointerPodDeleter> reply(
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, strlen(name), name), nullptr));
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    };
    const xcb_client_message_event_t event{.response_type = XCB_CLIENT_MESSAGE, .format = 32, .sequence = 0,
                                           .window = window, .type = atom("WM_PROTOCOLS"),
                                           .data = {.data32 = {atom("WM_DELETE_WINDOW"), XCB_CURRENT_TIME}}};
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
}

// Whether another client holds the keyboard grab; a free keyboard is let go at once.
bool keyboardGrabbed(xcb_connection_t *connection)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const QScopedPointer<xcb_grab_keyboard_reply_t, QScopedPointerPodDeleter> reply(xcb_grab_keyboard_reply(
        connection,
        xcb_grab_keyboard(connection, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr));
    if (reply && reply->status == XCB_GRAB_STATUS_SUCCESS)
        xcb_ungrab_keyboard(connection, XCB_CURRENT_TIME);
    xcb_flush(connection);
    return reply && reply->status == XCB_GRAB_STATUS_ALREADY_GRABBED;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    // One start of the program serves every step; each step leaves it as the next one needs it.
    void programAsAUserMeetsIt()
    {
        const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> x(xcb_connect(nullptr, nullptr),
                                                                             &xcb_disconnect);
        QVERIFY(!xcb_connection_has_error(x.get()));
        // The log's name says what the command saw of QT_QPA_PLATFORM, which the user left unset.
        const QString command = QStringLiteral("echo >> \"%1/fired-${QT_QPA_PLATFORM-unset}.log\"").arg(m_dir.path());
        const QUuid logId = QUuid::createUuid();
        const ShortcutItem shortcut{logId, QStringLiteral("Log"), true, ActionType::RunCommand, command,
                                    kKeyE, kCtrlAlt};
        const QString otherLog = m_dir.filePath(QStringLiteral("other.log"));
        const ShortcutItem other{QUuid::createUuid(), QStringLiteral("Other"), true, ActionType::RunCommand,
                                 QStringLiteral("echo other >> '%1'").arg(otherLog), kKeyO, kCtrlAlt};
        m_app.setProcessChannelMode(QProcess::ForwardedChannels);
        QVERIFY(hardening::startProgram(m_app, m_dir, {shortcut, other}));
        QTRY_VERIFY_WITH_TIMEOUT(mainWindow() != 0, 15000);

        // The hotkey runs its command, without the platform this test forces on Qt.
        QVERIFY(pressUntilFired(QStringLiteral("ctrl+alt+e")));

        // A second launch runs a shortcut by name or id; an unknown one is reported on one line.
        int before = 0;
        for (const QString &run : {QStringLiteral("Log"), logId.toString(QUuid::WithoutBraces)}) {
            before = fired();
            QCOMPARE(trigger({QStringLiteral("--run"), run}), 0);
            QTRY_COMPARE(fired(), before + 1);
        }
        QByteArray output, errors;
        QCOMPARE(trigger({QStringLiteral("--run"), QStringLiteral("Log\" 'x'\nLog")}, nullptr, &errors), 1);
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("Log\" 'x'\\nLog"), errors.constData());
        QCOMPARE(trigger({QStringLiteral("--run"), QUuid::createUuid().toString()}), 1);
        QCOMPARE(trigger({QStringLiteral("--list")}, &output), 0);
        QCOMPARE(output.count('\n'), 2);
        QVERIFY2(output.contains("\tLog\tCtrl+Alt+E\tRun Shell Command\ton\n") && output.contains("\tOther\t"),
                 output.constData());
        QCOMPARE(fired(), before + 1);

        // Closing the window keeps the hotkeys; a second launch shows the running instance's window again.
        // Qt drops a close request that arrives before the window's first expose, as a user's too early
        // click would be; ask again like a user would.
        bool closed = false;
        for (int attempt = 0, window = int(mainWindow()); attempt < 80 && !closed; ++attempt) {
            requestClose(x.get(), quint32(window));
            closed = QTest::qWaitFor([&] { return mainWindow() == 0; }, 250);
        }
        QVERIFY(closed);
        QCOMPARE(m_app.state(), QProcess::Running);
        before = fired();
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+e")});
        QTRY_COMPARE(fired(), before + 1);
        QCOMPARE(trigger({}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(mainWindow() != 0, 5000);
        QCOMPARE(m_app.state(), QProcess::Running);

        const QString focused = QString::number(mainWindow());
        auto stored = [&](quint32 keyCode, quint32 modifiers) {
            const auto list = ShortcutItem::decodeList(test::storedBytes(hardening::settingsPath(m_dir)), nullptr);
            return list && !list->isEmpty() && list->first().keyCode == keyCode && list->first().modifiers == modifiers;
        };
        // The record button's mnemonic starts recording, which grabs the keyboard; the chord goes out
        // only once that grab is seen, or it would reach the other shortcut's grab. Under load the
        // mnemonic can still go astray (focus not there yet, or a key arriving during the grab probe);
        // then the recording is ended and made again, as a user would.
        auto record = [&](const QString &chord, quint32 keyCode, quint32 modifiers) {
            for (int attempt = 0; attempt < 3; ++attempt) {
                xdotool({QStringLiteral("windowfocus"), focused});
                if (QTest::qWaitFor([&] { return xdotool({QStringLiteral("getwindowfocus")}) == focused; }, 5000)) {
                    xdotool({QStringLiteral("key"), QStringLiteral("alt+r")});
                    if (QTest::qWaitFor([&] { return keyboardGrabbed(x.get()); }, 5000)) {
                        xdotool({QStringLiteral("key"), chord});
                        if (QTest::qWaitFor([&] { return stored(keyCode, modifiers); }, 5000))
                            return true;
                    }
                }
                xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            }
            return false;
        };
        // A combination another shortcut holds is recorded; its own grab does not fire meanwhile (the
        // later run of the recorded shortcut's command marks that earlier key events were handled).
        QVERIFY(record(QStringLiteral("ctrl+alt+o"), kKeyO, kCtrlAlt));
        QVERIFY(record(QStringLiteral("ctrl+shift+r"), kKeyR, Modifier::Control | Modifier::Shift));
        QVERIFY(pressUntilFired(QStringLiteral("ctrl+shift+r")));
        QCOMPARE(hardening::lineCount(otherLog), 0);
        // The recording moved the hotkey: the old chord runs nothing, the freed one its owner.
        before = fired();
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+e")});
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+o")});
        QTRY_COMPARE(hardening::lineCount(otherLog), 1);
        QCOMPARE(fired(), before);

        // Quit ends cleanly; a later --run finds no instance.
        m_app.terminate();
        QVERIFY(m_app.waitForFinished(10000));
        QCOMPARE(m_app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_app.exitCode(), 0);
        QCOMPARE(trigger({QStringLiteral("--run"), QStringLiteral("Log")}), 2);
    }

private:
    int fired() const { return hardening::lineCount(m_dir.filePath(QStringLiteral("fired-unset.log"))); }

    // A grab becomes active some time after the program asked for it: press until the command ran.
    bool pressUntilFired(const QString &chord)
    {
        const int before = fired();
        for (int attempt = 0; attempt < 40; ++attempt) {
            xdotool({QStringLiteral("key"), chord});
            if (QTest::qWaitFor([&] { return fired() > before; }, 250))
                return true;
        }
        return false;
    }

    quint32 mainWindow() const
    {
        const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--name"), QStringLiteral("^Zephyrlatch$")})
                                    .split(u'\n', Qt::SkipEmptyParts);
        return ids.isEmpty() ? 0 : ids.last().toUInt();
    }

    int trigger(const QStringList &arguments, QByteArray *output = nullptr, QByteArray *errors = nullptr) const
    {
        QProcess process;
        process.setProcessEnvironment(m_app.processEnvironment());
        process.start(QStringLiteral(ZL_PROGRAM), arguments);
        if (!process.waitForFinished(10000))
            return -1;
        if (output)
            *output = process.readAllStandardOutput();
        if (errors)
            *errors = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QTemporaryDir m_dir;
    QProcess m_app;
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
