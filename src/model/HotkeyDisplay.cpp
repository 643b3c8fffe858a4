#include "HotkeyDisplay.h"

#include "KeyCodes.h"
#include "KeyboardLayout.h"
#include "ShortcutItem.h"
#include "Strings.h"

#include <QStringList>

namespace zl {

namespace {

struct NamedKey
{
    quint32 keyCode;
    const char *id; // string-table id; null for names that are the same in every language
    const char *name;
};

// Keys that print nothing, or whose character would mislead, are named in the desktop's words.
constexpr NamedKey kNamedKeys[] = {
    {36, "key.return", nullptr},     {49, "key.space", nullptr},     {48, "key.tab", nullptr},
    {53, "key.escape", nullptr},     {51, "key.backspace", nullptr}, {117, "key.delete", nullptr},
    {114, "key.insert", nullptr},    {115, "key.home", nullptr},     {119, "key.end", nullptr},
    {116, "key.pageUp", nullptr},    {121, "key.pageDown", nullptr}, {123, "key.left", nullptr},
    {124, "key.right", nullptr},     {126, "key.up", nullptr},       {125, "key.down", nullptr},
    {110, "key.menu", nullptr},      {71, "key.numLock", nullptr},   {122, nullptr, "F1"},
    {120, nullptr, "F2"},            {99, nullptr, "F3"},            {118, nullptr, "F4"},
    {96, nullptr, "F5"},             {97, nullptr, "F6"},            {98, nullptr, "F7"},
    {100, nullptr, "F8"},            {101, nullptr, "F9"},           {109, nullptr, "F10"},
    {103, nullptr, "F11"},           {111, nullptr, "F12"},          {105, nullptr, "F13"},
    {107, nullptr, "F14"},           {113, nullptr, "F15"},          {106, nullptr, "F16"},
    {64, nullptr, "F17"},            {79, nullptr, "F18"},           {80, nullptr, "F19"},
    {90, nullptr, "F20"},
};

// Keypad keys: "Keypad" plus the key's own label, so they read apart from the main block's.
constexpr NamedKey kKeypadKeys[] = {
    {76, "key.return", nullptr}, {75, nullptr, "/"}, {67, nullptr, "*"}, {78, nullptr, "-"},
    {69, nullptr, "+"},          {65, nullptr, "."}, {81, nullptr, "="}, {82, nullptr, "0"},
    {83, nullptr, "1"},          {84, nullptr, "2"}, {85, nullptr, "3"}, {86, nullptr, "4"},
    {87, nullptr, "5"},          {88, nullptr, "6"}, {89, nullptr, "7"}, {91, nullptr, "8"},
    {92, nullptr, "9"},
};

QString nameOf(const NamedKey &key)
{
    return key.id ? text(key.id) : QString::fromLatin1(key.name);
}

} // namespace

QString HotkeyDisplay::keyName(quint32 keyCode, const KeyboardLayout *layout)
{
    for (const NamedKey &named : kNamedKeys) {
        if (named.keyCode == keyCode)
            return nameOf(named);
    }
    for (const NamedKey &keypad : kKeypadKeys) {
        if (keypad.keyCode == keyCode)
            return text("key.keypad").arg(nameOf(keypad));
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
    QStringList parts;
    if (modifiers & Modifier::Control)
        parts << text("modifier.control");
    if (modifiers & Modifier::Option)
        parts << text("modifier.alt");
    if (modifiers & Modifier::Shift)
        parts << text("modifier.shift");
    if (modifiers & Modifier::Command)
        parts << text("modifier.super");
    parts << keyName(keyCode, layout);
    return parts.join(QLatin1Char('+'));
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
