#pragma once

#include "SyntheticKeys.h"

#include <QString>

struct xcb_connection_t;

namespace zl {

/**
 * XTest key presses on Qt's own X connection (never SendEvent: many clients ignore sent events).
 * Without an X connection every call does nothing.
 */
class X11SyntheticKeys final : public SyntheticKeys
{
public:
    X11SyntheticKeys();

    bool modifiersHeld() override;
    void postPasteChord() override;
    void postReturn() override;

    /** WM_CLASS instance and class of the window that receives keys now, joined by a newline. */
    QString focusedWindowClass() const;

    /** Whether a window of this WM_CLASS is a terminal emulator, which pastes on Control+Shift+V. */
    static bool isTerminal(const QString &wmClass);

private:
    quint16 logicalModifiers() const;
    void press(quint8 keycode, bool down);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
};

} // namespace zl
