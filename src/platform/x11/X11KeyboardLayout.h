#pragma once

#include "KeyboardLayout.h"

#include <optional>

struct xcb_connection_t;
struct xkb_context;

namespace zl {

/**
 * The keyboard layout as the X server's XKB keymap and state say, fetched afresh on every call
 * so that a layout switch shows at once. Uses the running application's X connection; without
 * one every key has no character.
 */
class X11KeyboardLayout final : public KeyboardLayout
{
public:
    X11KeyboardLayout();
    ~X11KeyboardLayout() override;
    X11KeyboardLayout(const X11KeyboardLayout &) = delete;
    X11KeyboardLayout &operator=(const X11KeyboardLayout &) = delete;

    std::optional<QString> character(quint32 virtualKeyCode) const override;
    std::optional<QString> symbolName(quint32 virtualKeyCode) const override;

private:
    /** The keysym at shift level 0 of the key in the current group. */
    std::optional<quint32> levelZeroKeysym(quint32 virtualKeyCode) const;

    xcb_connection_t *m_connection = nullptr;
    xkb_context *m_context = nullptr;
    qint32 m_deviceId = -1;
};

} // namespace zl
