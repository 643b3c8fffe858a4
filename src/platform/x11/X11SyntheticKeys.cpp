#include "X11SyntheticKeys.h"

#include <QGuiApplication>
#include <QSet>
#include <QStringList>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

namespace zl {

namespace {

// Keysyms and, for keyboards that lack them, the keycodes of the same keys on a standard evdev map.
constexpr xcb_keysym_t kControlL = 0xffe3;
constexpr xcb_keysym_t kShiftL = 0xffe1;
constexpr xcb_keysym_t kLowerV = 0x0076;
constexpr xcb_keysym_t kReturn = 0xff0d;
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

quint8 keycodeFor(xcb_connection_t *connection, xcb_keysym_t keysym, quint8 fallback)
{
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(connection);
    if (!symbols)
        return fallback;
    quint8 result = fallback;
    if (xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym)) {
        if (codes[0] != XCB_NO_SYMBOL)
            result = codes[0];
        std::free(codes);
    }
    xcb_key_symbols_free(symbols);
    return result;
}

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

void X11SyntheticKeys::postPasteChord()
{
    if (!m_connection)
        return;
    const bool terminal = isTerminal(focusedWindowClass());
    const quint16 held = logicalModifiers();
    // A modifier the user still holds is neither pressed again nor released: releasing it would
    // leave the user's key logically up while it is physically down.
    const bool pressControl = !(held & XCB_MOD_MASK_CONTROL);
    const bool pressShift = terminal && !(held & XCB_MOD_MASK_SHIFT);
    const quint8 control = keycodeFor(m_connection, kControlL, kControlLCode);
    const quint8 shift = keycodeFor(m_connection, kShiftL, kShiftLCode);
    const quint8 v = keycodeFor(m_connection, kLowerV, kVCode);

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
}

void X11SyntheticKeys::postReturn()
{
    if (!m_connection)
        return;
    const quint8 code = keycodeFor(m_connection, kReturn, kReturnCode);
    press(code, true);
    press(code, false);
    xcb_flush(m_connection);
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
    static const QSet<QString> terminals{
        QStringLiteral("alacritty"),     QStringLiteral("blackbox"),      QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("cool-retro-term"), QStringLiteral("ghostty"),     QStringLiteral("io.elementary.terminal"),
        QStringLiteral("rxvt"),          QStringLiteral("urxvt"),
        QStringLiteral("deepin-terminal"), QStringLiteral("foot"),        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"), QStringLiteral("guake"), QStringLiteral("kgx"),
        QStringLiteral("kitty"),         QStringLiteral("konsole"),       QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"), QStringLiteral("org.gnome.console"), QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("org.wezfurlong.wezterm"), QStringLiteral("ptyxis"), QStringLiteral("qterminal"),
        QStringLiteral("sakura"),        QStringLiteral("st"),            QStringLiteral("st-256color"),
        QStringLiteral("terminator"),    QStringLiteral("terminology"),   QStringLiteral("tilda"),
        QStringLiteral("tilix"),         QStringLiteral("wezterm"),       QStringLiteral("xfce4-terminal"),
        QStringLiteral("yakuake"),
    };
    const QStringList names = wmClass.split(u'\n', Qt::SkipEmptyParts);
    for (const QString &name : names) {
        if (terminals.contains(name.toLower()))
            return true;
    }
    return false;
}

} // namespace zl
