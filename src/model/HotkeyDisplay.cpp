#include "HotkeyDisplay.h"

#include "KeyCodes.h"
#include "KeyboardLayout.h"
#include "ShortcutItem.h"
#include "Strings.h"

#include <iterator>

namespace zl {

namespace {

struct FixedName
{
    quint32 keyCode;
    const char16_t *name;
};

// Keys that print nothing, or whose character would mislead, have fixed names.
constexpr FixedName kFixedNames[] = {
    {36, u"\u21A9"},  {49, u"Space"}, {48, u"\u21E5"},  {53, u"\u238B"},  {51, u"\u232B"},
    {117, u"\u2326"}, {123, u"\u2190"}, {124, u"\u2192"}, {126, u"\u2191"}, {125, u"\u2193"},
    {122, u"F1"},     {120, u"F2"},   {99, u"F3"},      {118, u"F4"},     {96, u"F5"},
    {97, u"F6"},      {98, u"F7"},    {100, u"F8"},     {101, u"F9"},     {109, u"F10"},
    {103, u"F11"},    {111, u"F12"},  {76, u"\u2305"},
};
static_assert(std::size(kFixedNames) == 23);

constexpr quint64 kShiftFlag = 1u << 17;
constexpr quint64 kControlFlag = 1u << 18;
constexpr quint64 kOptionFlag = 1u << 19;
constexpr quint64 kCommandFlag = 1u << 20;

} // namespace

QString HotkeyDisplay::keyName(quint32 keyCode, const KeyboardLayout *layout)
{
    for (const FixedName &fixed : kFixedNames) {
        if (fixed.keyCode == keyCode)
            return QString::fromUtf16(fixed.name);
    }
    if (layout) {
        // QString::toUpper applies the full, locale-independent mapping ("ß" becomes "SS").
        if (const std::optional<QString> character = layout->character(keyCode); character && !character->isEmpty())
            return character->toUpper();
        if (keyCode >= KeyCodes::ExtendedBase) {
            if (const std::optional<QString> symbol = layout->symbolName(keyCode); symbol && !symbol->isEmpty())
                return *symbol;
        }
    }
    return QStringLiteral("Key") + QString::number(keyCode);
}

QString HotkeyDisplay::string(quint32 keyCode, quint32 modifiers, const KeyboardLayout *layout)
{
    if (keyCode == 0 && modifiers == 0)
        return text("hotkey.notSet");
    QString result;
    if (modifiers & Modifier::Control)
        result += QChar(0x2303);
    if (modifiers & Modifier::Option)
        result += QChar(0x2325);
    if (modifiers & Modifier::Shift)
        result += QChar(0x21E7);
    if (modifiers & Modifier::Command)
        result += QChar(0x2318);
    return result + keyName(keyCode, layout);
}

quint32 HotkeyDisplay::carbonModifiers(quint64 eventFlags)
{
    quint32 mask = 0;
    if (eventFlags & kControlFlag)
        mask |= Modifier::Control;
    if (eventFlags & kOptionFlag)
        mask |= Modifier::Option;
    if (eventFlags & kShiftFlag)
        mask |= Modifier::Shift;
    if (eventFlags & kCommandFlag)
        mask |= Modifier::Command;
    return mask;
}

quint32 HotkeyDisplay::modifierMask(Qt::KeyboardModifiers modifiers)
{
    quint32 mask = 0;
    if (modifiers & Qt::ControlModifier)
        mask |= Modifier::Control;
    if (modifiers & Qt::AltModifier)
        mask |= Modifier::Option;
    if (modifiers & Qt::ShiftModifier)
        mask |= Modifier::Shift;
    if (modifiers & Qt::MetaModifier)
        mask |= Modifier::Command;
    return mask;
}

std::optional<KeyCombination> HotkeyDisplay::fromKeyEvent(quint32 nativeScanCode, Qt::KeyboardModifiers modifiers)
{
    // X11 keycodes run from 8 to 255; anything else did not come from a physical key.
    if (nativeScanCode < 8 || nativeScanCode > 255)
        return std::nullopt;
    return KeyCombination{KeyCodes::virtualKeyCode(static_cast<quint8>(nativeScanCode)), modifierMask(modifiers)};
}

} // namespace zl
