#include "HotkeyDisplay.h"
#include "KeyCodes.h"
#include "Translations.h"
#include "X11KeyboardLayout.h"
#include "X11SyntheticKeys.h"

#include <QGuiApplication>
#include <QProcess>
#include <QtTest>

#include <xkbcommon/xkbcommon-x11.h>

#include <memory>

using namespace zl;

class X11KeyNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void keyNames_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("language");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no hotkey") << "us" << "en" << 0u << 0u << "Not set";
        QTest::newRow("us space") << "us" << "en" << 49u << 0u << "Space";
        QTest::newRow("us key 0 with command") << "us" << "en" << 0u << 256u << "Super+A";
        QTest::newRow("us other mask bits ignored") << "us" << "en" << 14u << (256u | 1u | 0x10000u) << "Super+E";
        QTest::newRow("fr A position") << "fr" << "en" << 0u << 256u << "Super+Q";
        QTest::newRow("us all modifiers Return") << "us" << "en" << 36u << 6912u << "Ctrl+Alt+Shift+Super+Return";
        QTest::newRow("German words") << "de" << "de" << 36u << 6912u << "Strg+Alt+Umschalt+Super+Eingabe";
        QTest::newRow("German page down") << "de" << "de" << 121u << 0u << "Bild ab";
        QTest::newRow("de sharp s upper-cased") << "de" << "en" << 27u << 4096u << "Ctrl+SS";
        QTest::newRow("de umlaut") << "de" << "en" << 41u << 0u << "Ö";
        QTest::newRow("fr dead circumflex") << "fr" << "en" << 33u << 256u << "Super+Key33";
        QTest::newRow("us keypad without NumLock") << "us" << "en" << 89u << 256u << "Super+Keypad 7";
        QTest::newRow("German keypad") << "us" << "de" << 69u << 0u << "Ziffernblock +";
        QTest::newRow("us media key") << "us" << "en" << 0x100ACu << 256u << "Super+XF86AudioPlay";
        // Without a layout only the fixed names remain.
        QTest::newRow("no layout, Return") << "" << "en" << 36u << 0u << "Return";
        QTest::newRow("no layout, media key") << "" << "en" << 0x100ACu << 0u << "Key65708";
    }

    void keyNames()
    {
        QFETCH(QString, layout);
        QFETCH(QString, language);
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(QString, expected);
        if (!layout.isEmpty())
            QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {layout}), 0);
        Translations translations;
        translations.setLanguage(language);
        const X11KeyboardLayout keyboard;
        QCOMPARE(HotkeyDisplay::string(keyCode, modifiers, layout.isEmpty() ? nullptr : &keyboard), expected);
    }

    // The key code table against the XKB names of the physical keys (the server's evdev keycodes).
    void keyCodeTableMatchesPhysicalKeys()
    {
        // The names in virtual-code order from 0; "-" where the test leaves a code out.
        const QList<QByteArray> names = QByteArray(
            "AC01 AC02 AC03 AC04 AC06 AC05 AB01 AB02 AB03 AB04 LSGT AB05 AD01 AD02 AD03 AD04 AD06 AD05 AE01 "
            "AE02 AE03 AE04 AE06 AE05 AE12 AE09 AE07 AE11 AE08 AE10 AD12 AD09 AD07 AD11 AD08 AD10 RTRN AC09 "
            "AC07 AC11 AC08 AC10 BKSL AB08 AB10 AB06 AB07 AB09 TAB SPCE TLDE BKSP - ESC RWIN LWIN LFSH CAPS "
            "LALT LCTL RTSH RALT RCTL - FK17 KPDL - KPMU - KPAD - NMLK - - MUTE KPDV KPEN - KPSU FK18 FK19 "
            "KPEQ KP0 KP1 KP2 KP3 KP4 KP5 KP6 KP7 FK20 KP8 KP9 - - - FK05 FK06 FK07 FK03 FK08 FK09 - FK11 - "
            "FK13 FK16 FK14 - FK10 COMP FK12 - FK15 INS HOME PGUP DELE FK04 END FK02 PGDN FK01 LEFT RGHT DOWN "
            "UP").split(' ');
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        QVERIFY(x11);
        const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                                   &xkb_context_unref);
        const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
            xkb_x11_keymap_new_from_device(context.get(), x11->connection(),
                                           xkb_x11_get_core_keyboard_device_id(x11->connection()),
                                           XKB_KEYMAP_COMPILE_NO_FLAGS),
            &xkb_keymap_unref);
        QVERIFY(keymap);
        for (quint32 virtualCode = 0; virtualCode < quint32(names.size()); ++virtualCode) {
            const QByteArray &name = names.at(virtualCode);
            if (name == "-")
                continue;
            const std::optional<quint8> keycode = KeyCodes::x11KeyCode(virtualCode);
            QVERIFY2(keycode, name.constData());
            QCOMPARE(QByteArray(xkb_keymap_key_get_name(keymap.get(), *keycode)), name);
            QCOMPARE(KeyCodes::virtualKeyCode(*keycode), virtualCode);
        }
        for (int x11Code = 8; x11Code <= 255; ++x11Code)
            QCOMPARE(KeyCodes::x11KeyCode(KeyCodes::virtualKeyCode(quint8(x11Code))), std::optional(quint8(x11Code)));
        for (const quint32 unknown : {0x34u, 0x3Fu, 0xFFFFu, 0x10003u, 0x10100u})
            QVERIFY(!KeyCodes::x11KeyCode(unknown));
        // A key event: the keypad flag is no modifier; a key past the X11 range keeps its own code; no scan
        // code, no key.
        QCOMPARE(HotkeyDisplay::fromKeyEvent(104, Qt::KeypadModifier), std::optional(KeyCombination{76, 0}));
        QCOMPARE(HotkeyDisplay::fromKeyEvent(172, {}), std::optional(KeyCombination{0x100AC, 0}));
        QCOMPARE(HotkeyDisplay::fromKeyEvent(0, Qt::MetaModifier), std::optional<KeyCombination>());
    }

    // WM_CLASS as these programs set it (instance, class): a terminal missed gets Control+V, a literal-next.
    void terminalWindowClasses()
    {
        for (const char *terminal : {"urxvt\nURxvt", "ghostty\ncom.mitchellh.ghostty", "Alacritty\nAlacritty"})
            QVERIFY2(X11SyntheticKeys::isTerminal(QString::fromLatin1(terminal)), terminal);
        QVERIFY(!X11SyntheticKeys::isTerminal(QStringLiteral("Navigator\nfirefox")));
    }
};

QTEST_MAIN(X11KeyNamesTest)
#include "tst_x11keynames.moc"
