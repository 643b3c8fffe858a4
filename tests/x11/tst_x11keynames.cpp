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
    void cleanupTestCase() { QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }

    void keyNames_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("language");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no hotkey") << "us" << "en" << 0u << 0u << "Not set";
        for (const char *layout : {"us", "de", "fr"})
            QTest::addRow("%s space", layout) << layout << "en" << 49u << 0u << "Space";
        QTest::newRow("us key 0 with command") << "us" << "en" << 0u << 256u << "Super+A";
        QTest::newRow("us other mask bits ignored") << "us" << "en" << 14u << (256u | 1u | 0x10000u) << "Super+E";
        QTest::newRow("us keypad enter") << "us" << "en" << 76u << 0u << "Keypad Return";
        QTest::newRow("us F5") << "us" << "en" << 96u << 512u << "Shift+F5";
        QTest::newRow("us F20") << "us" << "en" << 90u << 4096u << "Ctrl+F20";
        QTest::newRow("de Y position") << "de" << "en" << 16u << 256u << "Super+Z";
        QTest::newRow("fr Q position") << "fr" << "en" << 12u << 256u << "Super+A";
        QTest::newRow("fr A position") << "fr" << "en" << 0u << 256u << "Super+Q";
        QTest::newRow("us all modifiers Return") << "us" << "en" << 36u << 6912u << "Ctrl+Alt+Shift+Super+Return";
        QTest::newRow("us named keys")
            << "us" << "en" << 116u << 4096u << "Ctrl+Page Up";
        QTest::newRow("German words") << "de" << "de" << 36u << 6912u << "Strg+Alt+Umschalt+Super+Eingabe";
        QTest::newRow("German page down") << "de" << "de" << 121u << 0u << "Bild ab";
        QTest::newRow("de sharp s upper-cased") << "de" << "en" << 27u << 4096u << "Ctrl+SS";
        QTest::newRow("de umlaut") << "de" << "en" << 41u << 0u << "Ö";
        QTest::newRow("de dead circumflex") << "de" << "en" << 50u << 256u << "Super+Key50";
        QTest::newRow("fr dead circumflex") << "fr" << "en" << 33u << 256u << "Super+Key33";
        QTest::newRow("us keypad without NumLock") << "us" << "en" << 89u << 256u << "Super+Keypad 7";
        QTest::newRow("German keypad") << "us" << "de" << 69u << 0u << "Ziffernblock +";
        QTest::newRow("us media key") << "us" << "en" << 0x100ACu << 256u << "Super+XF86AudioPlay";
        // Without a layout only the fixed names remain.
        QTest::newRow("no layout, Return") << "" << "en" << 36u << 0u << "Return";
        QTest::newRow("no layout, letter") << "" << "en" << 14u << 0u << "Key14";
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

    void fromKeyEvent_data()
    {
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<int>("qtModifiers");
        QTest::addColumn<std::optional<KeyCombination>>("expected");
        QTest::newRow("super shift E") << 26u << int(Qt::MetaModifier | Qt::ShiftModifier)
                                       << std::optional(KeyCombination{14, 768});
        QTest::newRow("control alt Return") << 36u << int(Qt::ControlModifier | Qt::AltModifier)
                                            << std::optional(KeyCombination{36, 6144});
        QTest::newRow("keypad flag ignored") << 104u << int(Qt::KeypadModifier) << std::optional(KeyCombination{76, 0});
        QTest::newRow("media key") << 172u << 0 << std::optional(KeyCombination{0x100AC, 0});
        QTest::newRow("no scan code") << 0u << int(Qt::MetaModifier) << std::optional<KeyCombination>();
    }

    void fromKeyEvent()
    {
        QFETCH(quint32, scanCode);
        QFETCH(int, qtModifiers);
        QFETCH(std::optional<KeyCombination>, expected);
        QCOMPARE(HotkeyDisplay::fromKeyEvent(scanCode, Qt::KeyboardModifiers(qtModifiers)), expected);
    }

    // The key code table against the XKB names of the physical keys (the server's evdev keycodes).
    void keyCodeTableMatchesPhysicalKeys()
    {
        const QList<std::pair<quint32, const char *>> rows = {
            {0x00, "AC01"}, {0x01, "AC02"}, {0x02, "AC03"}, {0x03, "AC04"}, {0x04, "AC06"}, {0x05, "AC05"},
            {0x06, "AB01"}, {0x07, "AB02"}, {0x08, "AB03"}, {0x09, "AB04"}, {0x0A, "LSGT"}, {0x0B, "AB05"},
            {0x0C, "AD01"}, {0x0D, "AD02"}, {0x0E, "AD03"}, {0x0F, "AD04"}, {0x10, "AD06"}, {0x11, "AD05"},
            {0x12, "AE01"}, {0x13, "AE02"}, {0x14, "AE03"}, {0x15, "AE04"}, {0x16, "AE06"}, {0x17, "AE05"},
            {0x18, "AE12"}, {0x19, "AE09"}, {0x1A, "AE07"}, {0x1B, "AE11"}, {0x1C, "AE08"}, {0x1D, "AE10"},
            {0x1E, "AD12"}, {0x1F, "AD09"}, {0x20, "AD07"}, {0x21, "AD11"}, {0x22, "AD08"}, {0x23, "AD10"},
            {0x24, "RTRN"}, {0x25, "AC09"}, {0x26, "AC07"}, {0x27, "AC11"}, {0x28, "AC08"}, {0x29, "AC10"},
            {0x2A, "BKSL"}, {0x2B, "AB08"}, {0x2C, "AB10"}, {0x2D, "AB06"}, {0x2E, "AB07"}, {0x2F, "AB09"},
            {0x30, "TAB"},  {0x31, "SPCE"}, {0x32, "TLDE"}, {0x33, "BKSP"}, {0x35, "ESC"},  {0x36, "RWIN"},
            {0x37, "LWIN"}, {0x38, "LFSH"}, {0x39, "CAPS"}, {0x3A, "LALT"}, {0x3B, "LCTL"}, {0x3C, "RTSH"},
            {0x3D, "RALT"}, {0x3E, "RCTL"}, {0x40, "FK17"}, {0x41, "KPDL"}, {0x43, "KPMU"}, {0x45, "KPAD"},
            {0x47, "NMLK"}, {0x48, "VOL+"}, {0x49, "VOL-"}, {0x4A, "MUTE"}, {0x4B, "KPDV"}, {0x4C, "KPEN"},
            {0x4E, "KPSU"}, {0x4F, "FK18"}, {0x50, "FK19"}, {0x51, "KPEQ"}, {0x52, "KP0"},  {0x53, "KP1"},
            {0x54, "KP2"},  {0x55, "KP3"},  {0x56, "KP4"},  {0x57, "KP5"},  {0x58, "KP6"},  {0x59, "KP7"},
            {0x5A, "FK20"}, {0x5B, "KP8"},  {0x5C, "KP9"},  {0x60, "FK05"}, {0x61, "FK06"}, {0x62, "FK07"},
            {0x63, "FK03"}, {0x64, "FK08"}, {0x65, "FK09"}, {0x67, "FK11"}, {0x69, "FK13"}, {0x6A, "FK16"},
            {0x6B, "FK14"}, {0x6D, "FK10"}, {0x6E, "COMP"}, {0x6F, "FK12"}, {0x71, "FK15"}, {0x72, "INS"},
            {0x73, "HOME"}, {0x74, "PGUP"}, {0x75, "DELE"}, {0x76, "FK04"}, {0x77, "END"},  {0x78, "FK02"},
            {0x79, "PGDN"}, {0x7A, "FK01"}, {0x7B, "LEFT"}, {0x7C, "RGHT"}, {0x7D, "DOWN"}, {0x7E, "UP"},
        };
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
        for (const auto &[virtualCode, name] : rows) {
            const std::optional<quint8> keycode = KeyCodes::x11KeyCode(virtualCode);
            QVERIFY2(keycode, name);
            QCOMPARE(QByteArray(xkb_keymap_key_get_name(keymap.get(), *keycode)), QByteArray(name));
            QCOMPARE(KeyCodes::virtualKeyCode(*keycode), virtualCode);
        }
        for (int x11Code = 8; x11Code <= 255; ++x11Code)
            QCOMPARE(KeyCodes::x11KeyCode(KeyCodes::virtualKeyCode(quint8(x11Code))), std::optional(quint8(x11Code)));
        for (const quint32 unknown : {0x34u, 0x3Fu, 0xFFFFu, 0x10003u, 0x10100u})
            QVERIFY(!KeyCodes::x11KeyCode(unknown));
    }

    // WM_CLASS as these programs set it (instance, class): a terminal missed gets Control+V, a literal-next.
    void terminalWindowClasses_data()
    {
        QTest::addColumn<QString>("wmClass");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("instance name") << "urxvt\nURxvt" << true;
        QTest::newRow("reverse-DNS name") << "ghostty\ncom.mitchellh.ghostty" << true;
        QTest::newRow("upper-case") << "Alacritty\nAlacritty" << true;
        QTest::newRow("firefox") << "Navigator\nfirefox" << false;
        QTest::newRow("kate") << "kate\nkate" << false;
    }
    void terminalWindowClasses()
    {
        QFETCH(QString, wmClass);
        QFETCH(bool, terminal);
        QCOMPARE(X11SyntheticKeys::isTerminal(wmClass), terminal);
    }
};

QTEST_MAIN(X11KeyNamesTest)
#include "tst_x11keynames.moc"
