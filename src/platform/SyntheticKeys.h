#pragma once

namespace zl {

/** Synthetic key presses delivered to whatever window has the keyboard focus. Main thread only. */
class SyntheticKeys
{
public:
    virtual ~SyntheticKeys() = default;

    /** True while the user holds Control, Shift, Alt or Super; never blocks for long. */
    virtual bool modifiersHeld() = 0;

    /**
     * Presses and releases the focused window's paste chord (Control+V, Control+Shift+V in
     * terminal emulators). Presses only modifiers not already down and releases only those it pressed.
     */
    virtual void postPasteChord() = 0;

    /** Presses and releases Return, adding no modifier. */
    virtual void postReturn() = 0;
};

} // namespace zl
