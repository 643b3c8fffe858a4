#include "WaylandSyntheticKeys.h"

#include "TerminalEmulators.h"
#include "WaylandConnection.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <ctime>

namespace zl {

namespace {

// evdev codes of the keys of our own keymap (the standard pc105 us layout).
constexpr quint32 kControlL = 29;
constexpr quint32 kShiftL = 42;
constexpr quint32 kV = 47;
constexpr quint32 kReturn = 28;

// The compositor only orders key events by this; its base is free.
quint32 nowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return quint32(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

// Our keymap as text in a memory file, and the modifier bits it gives Control and Shift.
struct WaylandSyntheticKeys::Keymap
{
    int fd = -1;
    quint32 size = 0;
    quint32 control = 0;
    quint32 shift = 0;

    Keymap()
    {
        xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (!context)
            return;
        const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
        xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        char *text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
        if (text) {
            const size_t length = strlen(text) + 1;
            fd = memfd_create("zephyrlatch-keymap", MFD_CLOEXEC);
            if (fd >= 0 && ::write(fd, text, length) == ssize_t(length)) {
                size = quint32(length);
                control = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
                shift = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
            }
            free(text);
        }
        if (keymap)
            xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }

    ~Keymap()
    {
        if (fd >= 0)
            ::close(fd);
    }

    bool ok() const { return size != 0; }
};

WaylandSyntheticKeys::WaylandSyntheticKeys(std::function<QString()> focusedAppId)
    : m_focusedAppId(std::move(focusedAppId))
{
}

WaylandSyntheticKeys::~WaylandSyntheticKeys()
{
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_connection)
        m_connection->pump();
}

bool WaylandSyntheticKeys::available()
{
    if (m_keyboard && m_connection->ok())
        return true;
    // The compositor went away (or never was): start over on a fresh connection.
    m_keyboard = nullptr;
    m_connection = std::make_unique<WaylandConnection>();
    if (!m_connection->ok())
        return false;
    if (!m_keymap)
        m_keymap = std::make_unique<Keymap>();
    auto *seat = static_cast<wl_seat *>(m_connection->bind(&wl_seat_interface, 1));
    auto *manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
        m_connection->bind(&zwp_virtual_keyboard_manager_v1_interface, 1));
    if (seat && manager && m_keymap->ok()) {
        m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, m_keymap->fd, m_keymap->size);
    }
    // The keyboard lives on without them.
    if (manager)
        zwp_virtual_keyboard_manager_v1_destroy(manager);
    if (seat)
        wl_seat_destroy(seat);
    // A compositor that refuses us (unauthorized) says so with a protocol error.
    if (m_keyboard && (!m_connection->roundtrip(1000) || !m_connection->ok())) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        m_keyboard = nullptr;
    }
    return m_keyboard != nullptr;
}

bool WaylandSyntheticKeys::modifiersHeld()
{
    return false;
}

void WaylandSyntheticKeys::key(quint32 evdevCode, bool down)
{
    zwp_virtual_keyboard_v1_key(m_keyboard, nowMs(), evdevCode,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

// The compositor derives no modifier state from our key events: it takes what we send here.
void WaylandSyntheticKeys::modifiers(quint32 depressed)
{
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, depressed, 0, 0, 0);
}

bool WaylandSyntheticKeys::postPasteChord()
{
    if (!available())
        return false;
    const bool terminal = m_focusedAppId && isTerminalEmulator(m_focusedAppId());
    quint32 held = m_keymap->control;
    key(kControlL, true);
    modifiers(held);
    if (terminal) {
        held |= m_keymap->shift;
        key(kShiftL, true);
        modifiers(held);
    }
    key(kV, true);
    key(kV, false);
    if (terminal) {
        key(kShiftL, false);
        modifiers(m_keymap->control);
    }
    key(kControlL, false);
    modifiers(0);
    m_connection->pump();
    return true;
}

bool WaylandSyntheticKeys::postReturn()
{
    if (!available())
        return false;
    modifiers(0);
    key(kReturn, true);
    key(kReturn, false);
    m_connection->pump();
    return true;
}

} // namespace zl
