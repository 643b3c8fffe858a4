#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace zl {

class KeyboardLayout;

/** A stored hotkey: virtual key code plus modifier mask. */
struct KeyCombination
{
    quint32 keyCode = 0;
    quint32 modifiers = 0;

    friend bool operator==(const KeyCombination &, const KeyCombination &) = default;
};

/** Hotkeys as text, and key events as stored hotkeys. Stateless; nothing is cached. */
class HotkeyDisplay final
{
public:
    HotkeyDisplay() = delete;

    /**
     * The name of one key: the translated name of a non-printing key, else the upper-cased character
     * of the key in layout, else (for keys without a virtual code) its symbol name, else
     * "Key" + the decimal code. Never empty; layout may be null.
     */
    static QString keyName(quint32 keyCode, const KeyboardLayout *layout);

    /** "Ctrl+Alt+Shift+Super+" as set in modifiers, then the key name; the "not set" text for 0 and 0. */
    static QString string(quint32 keyCode, quint32 modifiers, const KeyboardLayout *layout);

    /** The mask of Qt's modifiers: Meta (Super) is command, Alt is option. */
    static quint32 modifierMask(Qt::KeyboardModifiers modifiers);

    /** The hotkey of a key event, from its native scan code (the X11 keycode); none when it has none. */
    static std::optional<KeyCombination> fromKeyEvent(quint32 nativeScanCode, Qt::KeyboardModifiers modifiers);
};

} // namespace zl
