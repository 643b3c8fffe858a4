#pragma once

#include <QtGlobal>

#include <optional>

namespace zl {

/**
 * Stored key codes are the positional virtual key codes (0 is the A position, 36 Return, ...),
 * so that a stored list stays exchangeable. This maps them to the X11 keycode of the same
 * physical key (evdev code + 8) and back. Keys without a virtual code are stored as
 * ExtendedBase + X11 keycode.
 */
class KeyCodes final
{
public:
    static constexpr quint32 ExtendedBase = 0x10000;

    /** The X11 keycode of the physical key; none for a code no key has. */
    static std::optional<quint8> x11KeyCode(quint32 virtualKeyCode);

    /** The stored key code of an X11 keycode; never fails. */
    static quint32 virtualKeyCode(quint8 x11KeyCode);
};

} // namespace zl
