#include "X11SyntheticKeys.h"

#include "TerminalEmulators.h"

#include <QGuiApplication>
#include <QStringList>

#include <xcb/xcb.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>

namespace zl {

namespace {

// For keyboards that lack these keysyms, the keycodes of the same keys on a standard evdev map.
constexpr quint8 kControlLCode = 37;
constexpr quint8 kShiftLCode = 50;
constexpr quint8 kVCode = 55;
constexpr quint8 kReturnCode = 36;

// The modifiers a hotkey can hold; lock bits (CapsLock, NumLock) and AltGr do not disturb a paste.
constexpr quint16 kHotkeyModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template<typename T>
Reply<T> reply(T *raw)
{
    return Reply<T>(raw, &std::free);
}

struct KeymapDeleter
{
    void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
};

struct StateDeleter
{
    void operator()(xkb_state *state) const { xkb_state_unref(state); }
};

// The keyboard as the server maps it at this moment, with the layout group in force. The core
// keymap would do for one group only: with a second layout active, its first key for v types
// another letter.
class ActiveKeymap
{
public:
    ActiveKeymap(xcb_connection_t *connection, xkb_context *context, qint32 deviceId)
    {
        if (!context || deviceId < 0)
            return;
        m_keymap.reset(xkb_x11_keymap_new_from_device(context, connection, deviceId, XKB_KEYMAP_COMPILE_NO_FLAGS));
        if (m_keymap)
            m_state.reset(xkb_x11_state_new_from_device(m_keymap.get(), connection, deviceId));
    }

    // The key giving keysym unshifted in the group in force; else one giving it in another group
    // (toolkits match Control shortcuts of a non-Latin group against a Latin one); else fallback.
    quint8 keycode(xkb_keysym_t keysym, quint8 fallback) const
    {
        if (!m_state)
            return fallback;
        xkb_keymap *keymap = m_keymap.get();
        std::optional<quint8> inOtherGroup;
        const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap), 255);
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; ++code) {
            const xkb_layout_index_t active = xkb_state_key_get_layout(m_state.get(), code);
            const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap, code);
            for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
                const xkb_keysym_t *symbols = nullptr;
                if (xkb_keymap_key_get_syms_by_level(keymap, code, layout, 0, &symbols) != 1 || symbols[0] != keysym)
                    continue;
                if (layout == active)
                    return static_cast<quint8>(code);
                if (!inOtherGroup)
                    inOtherGroup = static_cast<quint8>(code);
            }
        }
        return inOtherGroup.value_or(fallback);
    }

private:
    std::unique_ptr<xkb_keymap, KeymapDeleter> m_keymap;
    std::unique_ptr<xkb_state, StateDeleter> m_state;
};

QString wmClassOf(xcb_connection_t *connection, xcb_window_t window)
{
    auto property = reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
    if (!property || property->value_len == 0)
        return {};
    const QByteArray raw(static_cast<const char *>(xcb_get_property_value(property.get())),
                         xcb_get_property_value_length(property.get()));
    QList<QByteArray> parts = raw.split('\0');
    while (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QStringList names;
    for (const QByteArray &part : parts)
        names.append(QString::fromLocal8Bit(part));
    return names.join(u'\n');
}

// The focus is often a child of the client window (toolkits focus an inner window) or, with a
// window manager, the client is a child of the frame that holds the focus: look up, then down.
QString classAround(xcb_connection_t *connection, xcb_window_t window, xcb_window_t root, int depthBelow)
{
    for (xcb_window_t up = window; up != XCB_WINDOW_NONE && up != root;) {
        const QString wmClass = wmClassOf(connection, up);
        if (!wmClass.isEmpty())
            return wmClass;
        auto tree = reply(xcb_query_tree_reply(connection, xcb_query_tree(connection, up), nullptr));
        if (!tree)
            break;
        up = tree->parent;
    }
    if (depthBelow == 0)
        return {};
    auto tree = reply(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!tree)
        return {};
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        const QString wmClass = wmClassOf(connection, children[i]);
        if (!wmClass.isEmpty())
            return wmClass;
        const QString below = classAround(connection, children[i], window, depthBelow - 1);
        if (!below.isEmpty())
            return below;
    }
    return {};
}

} // namespace

X11SyntheticKeys::X11SyntheticKeys()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    m_connection = x11->connection();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    // Qt has set the extension up on its connection already; doing it again is harmless.
    if (xkb_x11_setup_xkb_extension(m_connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
        m_deviceId = xkb_x11_get_core_keyboard_device_id(m_connection);
        m_xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    }
}

X11SyntheticKeys::~X11SyntheticKeys()
{
    if (m_xkb)
        xkb_context_unref(m_xkb);
}

// A fake-input request to a server without XTEST shuts the whole connection down, and Qt with it.
bool X11SyntheticKeys::canPost() const
{
    if (!m_connection)
        return false;
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_connection, &xcb_test_id);
    return xtest && xtest->present;
}

quint16 X11SyntheticKeys::logicalModifiers() const
{
    auto pointer =
        reply(xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
    return pointer ? pointer->mask & kHotkeyModifiers : 0;
}

bool X11SyntheticKeys::modifiersHeld()
{
    return m_connection && logicalModifiers() != 0;
}

void X11SyntheticKeys::press(quint8 keycode, bool down)
{
    xcb_test_fake_input(m_connection, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME,
                        XCB_WINDOW_NONE, 0, 0, 0);
}

bool X11SyntheticKeys::postPasteChord()
{
    if (!canPost())
        return false;
    const bool terminal = isTerminal(focusedWindowClass());
    const quint16 held = logicalModifiers();
    // A modifier the user still holds is neither pressed again nor released: releasing it would
    // leave the user's key logically up while it is physically down.
    const bool pressControl = !(held & XCB_MOD_MASK_CONTROL);
    const bool pressShift = terminal && !(held & XCB_MOD_MASK_SHIFT);
    const ActiveKeymap keymap(m_connection, m_xkb, m_deviceId);
    const quint8 control = keymap.keycode(XKB_KEY_Control_L, kControlLCode);
    const quint8 shift = keymap.keycode(XKB_KEY_Shift_L, kShiftLCode);
    const quint8 v = keymap.keycode(XKB_KEY_v, kVCode);

    if (pressControl)
        press(control, true);
    if (pressShift)
        press(shift, true);
    press(v, true);
    press(v, false);
    if (pressShift)
        press(shift, false);
    if (pressControl)
        press(control, false);
    xcb_flush(m_connection);
    return true;
}

bool X11SyntheticKeys::postReturn()
{
    if (!canPost())
        return false;
    const quint8 code = ActiveKeymap(m_connection, m_xkb, m_deviceId).keycode(XKB_KEY_Return, kReturnCode);
    press(code, true);
    press(code, false);
    xcb_flush(m_connection);
    return true;
}

QString X11SyntheticKeys::focusedWindowClass() const
{
    if (!m_connection)
        return {};
    auto focus = reply(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    if (!focus)
        return {};
    xcb_window_t window = focus->focus;
    // PointerRoot focus (no window manager, focus follows the mouse): keys go to the window below the pointer.
    if (window == XCB_INPUT_FOCUS_POINTER_ROOT || window == XCB_WINDOW_NONE || window == m_root) {
        auto pointer =
            reply(xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr));
        if (!pointer || pointer->child == XCB_WINDOW_NONE)
            return {};
        window = pointer->child;
    }
    return classAround(m_connection, window, m_root, 2);
}

bool X11SyntheticKeys::isTerminal(const QString &wmClass)
{
    return isTerminalEmulator(wmClass);
}

} // namespace zl
