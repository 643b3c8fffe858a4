#include "X11KeyboardLayout.h"

#include "KeyCodes.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace zl {

namespace {

struct KeymapDeleter
{
    void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
};

struct StateDeleter
{
    void operator()(xkb_state *state) const { xkb_state_unref(state); }
};

} // namespace

X11KeyboardLayout::X11KeyboardLayout()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    // Qt has set the extension up on its connection already; doing it again is harmless.
    if (!xkb_x11_setup_xkb_extension(x11->connection(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        return;
    }
    m_deviceId = xkb_x11_get_core_keyboard_device_id(x11->connection());
    m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (m_deviceId >= 0 && m_context)
        m_connection = x11->connection();
}

X11KeyboardLayout::~X11KeyboardLayout()
{
    if (m_context)
        xkb_context_unref(m_context);
}

std::optional<quint32> X11KeyboardLayout::levelZeroKeysym(quint32 virtualKeyCode) const
{
    if (!m_connection)
        return std::nullopt;
    const std::optional<quint8> keycode = KeyCodes::x11KeyCode(virtualKeyCode);
    if (!keycode)
        return std::nullopt;
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_x11_keymap_new_from_device(m_context, m_connection, m_deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    const std::unique_ptr<xkb_state, StateDeleter> state(
        xkb_x11_state_new_from_device(keymap.get(), m_connection, m_deviceId));
    if (!state)
        return std::nullopt;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap.get(), *keycode);
    if (layouts == 0)
        return std::nullopt;
    // A key with fewer groups than the keymap wraps around, as the server does.
    const xkb_layout_index_t layout = xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) % layouts;
    const xkb_keysym_t *symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap.get(), *keycode, layout, 0, &symbols) < 1 || !symbols)
        return std::nullopt;
    if (symbols[0] == XKB_KEY_NoSymbol)
        return std::nullopt;
    return symbols[0];
}

std::optional<QString> X11KeyboardLayout::character(quint32 virtualKeyCode) const
{
    const std::optional<quint32> keysym = levelZeroKeysym(virtualKeyCode);
    if (!keysym)
        return std::nullopt;
    // Dead keys and function keys have no code point; control characters print nothing.
    const char32_t codePoint = xkb_keysym_to_utf32(*keysym);
    if (codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint < 0xA0))
        return std::nullopt;
    return QString::fromUcs4(&codePoint, 1);
}

std::optional<QString> X11KeyboardLayout::symbolName(quint32 virtualKeyCode) const
{
    const std::optional<quint32> keysym = levelZeroKeysym(virtualKeyCode);
    if (!keysym)
        return std::nullopt;
    char name[64] = {};
    if (xkb_keysym_get_name(*keysym, name, sizeof name) <= 0)
        return std::nullopt;
    return QString::fromUtf8(name);
}

} // namespace zl
