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
     * terminal emulators) on the keys that type it in the active layout. Presses only modifiers not
     * already down and releases only those it pressed. False when this display takes no synthetic
     * keys; nothing was posted then.
     */
    virtual bool postPasteChord() = 0;

    /** Presses and releases Return, adding no modifier; false, posting nothing, as postPasteChord. */
    virtual bool postReturn() = 0;
};

} // namespace zl
