#include "HotkeyManager.h"
#include "X11HotkeyService.h"

#include <QProcess>
#include <QtTest>

#include <memory>

using namespace zl;

namespace {

// Command + Shift + the E position; X11 keycode 26.
constexpr quint32 kE = 14;
constexpr quint32 kCommandShift = 768;
const QString kPress = QStringLiteral("super+shift+26");
// A second combination pressed after the one under test: once its press has arrived, every
// earlier event has arrived too, so "nothing fired" needs no waiting.
constexpr quint32 kMarkerId = 999;
const QString kMarker = QStringLiteral("super+96");

void run(const QString &program, const QStringList &arguments)
{
    QCOMPARE(QProcess::execute(program, arguments), 0);
}

/** Another X client (grab_helper.py) holding one grab on the root window while it lives. */
struct Grabber
{
    Grabber(int keycode, int state)
    {
        process.start(QStringLiteral(ZL_GRAB_HELPER), {QString::number(keycode), QString::number(state)});
        process.waitForReadyRead();
        answer = process.readLine().trimmed();
    }
    ~Grabber()
    {
        process.closeWriteChannel();
        process.waitForFinished();
    }
    QProcess process;
    QByteArray answer;
};

} // namespace

class X11HotkeysTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_pressed.clear();
        m_service = std::make_unique<X11HotkeyService>();
        QVERIFY(m_service->isAvailable());
        const auto record = [this](const HotkeyEvent *event) {
            HotkeyIdentifier identifier;
            const HotkeyStatus read = m_service->eventIdentifier(event, &identifier);
            if (read == 0)
                m_pressed.append(identifier.id);
            return read;
        };
        QCOMPARE(m_service->installEventHandler(record, nullptr), 0);
        QCOMPARE(m_service->registerHotkey(111, 256, {HotkeyManager::Signature, kMarkerId}, nullptr), 0);
    }

    void cleanup()
    {
        m_service.reset();
        for (const QString &lock : std::as_const(m_locksOn))
            run(QStringLiteral("xdotool"), {QStringLiteral("key"), lock});
        m_locksOn.clear();
        run(QStringLiteral("setxkbmap"), {QStringLiteral("us")});
    }

    void pressesCounted_data()
    {
        QTest::addColumn<QStringList>("locks");
        // A change of the keyboard mapping before the presses, and whether it moves a modifier the
        // grabs use: only then are they renewed, since a press in between would be lost.
        QTest::addColumn<QStringList>("remap");
        QTest::addColumn<bool>("renewed");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("fired");
        const QStringList twice{"key", kPress, kPress};
        const QStringList numLockToMod3{
            "/usr/bin/python3", "-c",
            "from Xlib import display, X, XK\n"
            "d = display.Display(); n = d.keysym_to_keycode(XK.XK_Num_Lock)\n"
            "m = [[k for k in mod if k not in (0, n)] for mod in d.get_modifier_mapping()]\n"
            "m[X.Mod3MapIndex].append(n); raise SystemExit(d.set_modifier_mapping(m))"};
        const auto row = [](const char *name, const QStringList &locks, const QStringList &keys, int fired,
                            const QStringList &remap = {}, bool renewed = false) {
            QTest::newRow(name) << locks << remap << renewed << keys << fired;
        };
        row("no lock", {}, twice, 2);
        row("CapsLock", {"Caps_Lock"}, twice, 2);
        row("NumLock and CapsLock", {"Num_Lock", "Caps_Lock"}, twice, 2);
        row("layout switched to fr, NumLock", {"Num_Lock"}, twice, 2, {"setxkbmap", "fr"});
        row("NumLock moved to Mod3", {"Num_Lock"}, twice, 2, numLockToMod3, true);
        row("held key repeating", {}, {"keydown", kPress, "sleep", "1.5", "keyup", "26", "keyup", "super+shift"}, 1);
        row("with one modifier missing", {}, {"key", "super+26"}, 0);
        row("with an extra modifier", {}, {"key", "ctrl+" + kPress}, 0);
    }

    void pressesCounted()
    {
        QFETCH(QStringList, locks);
        QFETCH(QStringList, remap);
        QFETCH(bool, renewed);
        QFETCH(QStringList, keys);
        QFETCH(int, fired);
        HotkeyRef ref = 0;
        QCOMPARE(m_service->registerHotkey(kE, kCommandShift, {HotkeyManager::Signature, 7}, &ref), 0);
        QVERIFY(ref != 0);
        if (!remap.isEmpty()) {
            QSignalSpy spy(m_service.get(), &X11HotkeyService::grabsRenewed);
            run(remap.first(), remap.mid(1));
            // The renewal follows the mapping's notifications by a tenth of a second.
            QCOMPARE(spy.wait(renewed ? 5000 : 300), renewed);
        }
        for (const QString &lock : locks) {
            run(QStringLiteral("xdotool"), {QStringLiteral("key"), lock});
            m_locksOn.append(lock);
        }
        QCOMPARE(pressed(keys), QList<quint32>(fired, 7) << kMarkerId);
    }

    // Nothing half-grabbed after a refusal, and no grab kept after removal: a third client then gets the
    // plain variant, and a press runs nothing. A re-registration pass unregisters everything, then
    // registers the list again in one turn: the grab lasts until the loop turns and is kept.
    void grabReleased()
    {
        const auto plainGrab = [] { return Grabber(26, 64 | 1).answer; };
        const QStringList press{QStringLiteral("key"), kPress};
        HotkeyRef ref = 0;
        {
            // The other client holds only the NumLock variant, so some variants are taken before the refusal.
            const Grabber other(26, 64 | 1 | 16);
            QCOMPARE(other.answer, QByteArray("ok"));
            QCOMPARE(m_service->registerHotkey(kE, kCommandShift, {HotkeyManager::Signature, 7}, &ref), 10);
        }
        QCOMPARE(plainGrab(), QByteArray("ok"));
        QCOMPARE(pressed(press), QList<quint32>{kMarkerId});

        QCOMPARE(m_service->registerHotkey(kE, kCommandShift, {HotkeyManager::Signature, 1}, &ref), 0);
        m_service->unregisterHotkey(ref);
        QCOMPARE(plainGrab(), QByteArray("refused 10"));
        QCOMPARE(m_service->registerHotkey(kE, kCommandShift, {HotkeyManager::Signature, 2}, &ref), 0);
        HotkeyRef second = 0;
        QCOMPARE(m_service->registerHotkey(kE, kCommandShift, {HotkeyManager::Signature, 3}, &second),
                 X11HotkeyService::AlreadyHeld);
        QCoreApplication::processEvents();
        QCOMPARE(plainGrab(), QByteArray("refused 10"));
        QCOMPARE(pressed(press), (QList<quint32>{2, kMarkerId}));

        // Removed: held until the loop turns, then let go.
        m_service->unregisterHotkey(ref);
        QCOMPARE(plainGrab(), QByteArray("refused 10"));
        QCoreApplication::processEvents();
        QCOMPARE(plainGrab(), QByteArray("ok"));
        QCOMPARE(pressed(press), QList<quint32>{kMarkerId});
    }

private:
    // The ids the keys fired, then the marker's: pressed last, it bounds the wait.
    QList<quint32> pressed(const QStringList &keys)
    {
        run(QStringLiteral("xdotool"), keys + QStringList{QStringLiteral("key"), kMarker});
        (void)QTest::qWaitFor([this] { return m_pressed.contains(kMarkerId); });
        return std::exchange(m_pressed, {});
    }

    std::unique_ptr<X11HotkeyService> m_service;
    QList<quint32> m_pressed;
    QStringList m_locksOn;
};

QTEST_MAIN(X11HotkeysTest)
#include "tst_x11hotkeys.moc"
