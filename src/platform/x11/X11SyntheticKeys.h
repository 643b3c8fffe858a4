#pragma once

#include "SyntheticKeys.h"

#include <QString>

struct xcb_connection_t;
struct xkb_context;

namespace zl {

/**
 * XTest key presses on Qt's own X connection (never SendEvent: many clients ignore sent events).
 * Without an X connection, or on a server without XTEST, nothing is posted.
 */
class X11SyntheticKeys final : public SyntheticKeys
{
public:
    X11SyntheticKeys();
    ~X11SyntheticKeys() override;
    X11SyntheticKeys(const X11SyntheticKeys &) = delete;
    X11SyntheticKeys &operator=(const X11SyntheticKeys &) = delete;

    bool modifiersHeld() override;
    bool postPasteChord() override;
    bool postReturn() override;

    /** WM_CLASS instance and class of the window that receives keys now, joined by a newline. */
    QString focusedWindowClass() const;

    /** Whether a window of this WM_CLASS is a terminal emulator, which pastes on Control+Shift+V. */
    static bool isTerminal(const QString &wmClass);

private:
    bool canPost() const;
    quint16 logicalModifiers() const;
    void press(quint8 keycode, bool down);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    xkb_context *m_xkb = nullptr;
    qint32 m_deviceId = -1;
};

} // namespace zl
