#include "HotkeyDisplay.h"
#include "KeyCodes.h"
#include "KeyboardLayout.h"
#include "Translations.h"

#include <QHash>
#include <QtTest>

using namespace zl;

namespace {

class FakeLayout final : public KeyboardLayout
{
public:
    std::optional<QString> character(quint32 keyCode) const override { return characters.value(keyCode); }
    std::optional<QString> symbolName(quint32 keyCode) const override { return symbols.value(keyCode); }

    QHash<quint32, std::optional<QString>> characters;
    QHash<quint32, std::optional<QString>> symbols;
};

} // namespace

class HotkeyDisplayTest : public QObject
{
    Q_OBJECT

private slots:
    void string_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<bool>("withLayout");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no hotkey") << 0u << 0u << true << "Not set";
        QTest::newRow("key 0 with command") << 0u << 256u << true << "⌘A";
        QTest::newRow("all modifiers and Return") << 36u << 6912u << true << "⌃⌥⇧⌘↩";
        QTest::newRow("option shift command E") << 14u << 2816u << true << "⌥⇧⌘E";
        QTest::newRow("other mask bits ignored") << 14u << (256u | 1u | 0x10000u) << true << "⌘E";
        QTest::newRow("full upper-casing") << 27u << 4096u << true << "⌃SS";
        QTest::newRow("space is fixed") << 49u << 0u << true << "Space";
        QTest::newRow("keypad enter is fixed") << 76u << 0u << true << "⌅";
        QTest::newRow("F5 is fixed") << 96u << 512u << true << "⇧F5";
        QTest::newRow("dead key") << 50u << 256u << true << "⌘Key50";
        QTest::newRow("empty character") << 33u << 256u << true << "⌘Key33";
        QTest::newRow("extended key by symbol") << 0x100ACu << 256u << true << "⌘XF86AudioPlay";
        QTest::newRow("extended key with a character") << 0x100B0u << 0u << true << "Ä";
        QTest::newRow("no layout") << 14u << 256u << false << "⌘Key14";
        QTest::newRow("extended key without layout") << 0x100ACu << 0u << false << "Key65708";
    }

    void string()
    {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(bool, withLayout);
        QFETCH(QString, expected);
        Translations translations;
        translations.setLanguage(QStringLiteral("en"));
        FakeLayout layout;
        layout.characters = {{0, QStringLiteral("a")},      {14, QStringLiteral("e")},  {27, QStringLiteral("ß")},
                             {49, QStringLiteral(" ")},     {36, QStringLiteral("\r")}, {50, std::nullopt},
                             {33, QString()},               {0x100B0, QStringLiteral("ä")}};
        layout.symbols = {{0x100AC, QStringLiteral("XF86AudioPlay")}, {0x100B0, QStringLiteral("adiaeresis")}};
        QCOMPARE(HotkeyDisplay::string(keyCode, modifiers, withLayout ? &layout : nullptr), expected);
    }

    void carbonModifiers_data()
    {
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<quint32>("mask");
        QTest::newRow("caps lock only") << quint64(0x10000) << 0u;
        QTest::newRow("shift and command") << quint64(0x20000 | 0x100000) << 768u;
        QTest::newRow("all four with pad, help, function and device bits")
            << quint64(0x1E0000 | 0x200000 | 0x400000 | 0x800000 | 0x1FF) << 6912u;
        QTest::newRow("control") << quint64(0x40000) << 4096u;
        QTest::newRow("option") << quint64(0x80000) << 2048u;
    }

    void carbonModifiers()
    {
        QFETCH(quint64, flags);
        QFETCH(quint32, mask);
        QCOMPARE(HotkeyDisplay::carbonModifiers(flags), mask);
    }

    void fromKeyEvent_data()
    {
        QTest::addColumn<quint32>("scanCode");
        QTest::addColumn<Qt::KeyboardModifiers>("qtModifiers");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::newRow("super shift E") << 26u << Qt::KeyboardModifiers(Qt::MetaModifier | Qt::ShiftModifier) << true
                                       << 14u << 768u;
        QTest::newRow("control alt Return") << 36u << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier)
                                            << true << 36u << 6144u;
        QTest::newRow("keypad flag ignored") << 104u << Qt::KeyboardModifiers(Qt::KeypadModifier) << true << 76u << 0u;
        QTest::newRow("media key") << 172u << Qt::KeyboardModifiers() << true << 0x100ACu << 0u;
        QTest::newRow("no scan code") << 0u << Qt::KeyboardModifiers(Qt::MetaModifier) << false << 0u << 0u;
    }

    void fromKeyEvent()
    {
        QFETCH(quint32, scanCode);
        QFETCH(Qt::KeyboardModifiers, qtModifiers);
        QFETCH(bool, valid);
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        const std::optional<KeyCombination> combination = HotkeyDisplay::fromKeyEvent(scanCode, qtModifiers);
        QCOMPARE(combination.has_value(), valid);
        if (valid)
            QCOMPARE(*combination, (KeyCombination{keyCode, modifiers}));
    }

    void keyCodesRoundTrip()
    {
        for (int x11 = 8; x11 <= 255; ++x11) {
            const quint32 code = KeyCodes::virtualKeyCode(quint8(x11));
            QCOMPARE(KeyCodes::x11KeyCode(code), std::optional<quint8>(quint8(x11)));
        }
        for (const quint32 unknown : {0x34u, 0x3Fu, 0x7Fu, 0xFFFFu, 0x10003u, 0x10100u})
            QVERIFY2(!KeyCodes::x11KeyCode(unknown), qPrintable(QString::number(unknown)));
    }
};

QTEST_GUILESS_MAIN(HotkeyDisplayTest)
#include "tst_hotkeydisplay.moc"
