#include "X11HotkeyService.h"

#include "KeyCodes.h"
#include "ShortcutItem.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
// xkb.h names a field "explicit"; it is never used here.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace zl {

namespace {

class X11HotkeyEvent final : public HotkeyEvent
{
public:
    explicit X11HotkeyEvent(HotkeyIdentifier identifier) : m_identifier(identifier) {}
    HotkeyIdentifier identifier() const { return m_identifier; }

private:
    HotkeyIdentifier m_identifier;
};

// Keyboard mapping changes come in storms (one per device and per part of the map).
constexpr int kRegrabDelayMs = 100;
constexpr quint16 kCoreModifierBits = 0xFF;

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};

template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

} // namespace

X11HotkeyService::X11HotkeyService(QObject *parent) : QObject(parent)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    m_connection = x11->connection();
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    if (const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(m_connection, &xcb_xkb_id);
        xkb && xkb->present) {
        m_xkbFirstEvent = xkb->first_event;
        enableDetectableRepeat();
    }
    readModifierMap();
    m_regrabTimer.setSingleShot(true);
    m_regrabTimer.setInterval(kRegrabDelayMs);
    connect(&m_regrabTimer, &QTimer::timeout, this, &X11HotkeyService::regrabAll);
    // The end of a re-registration pass: the manager unregisters and registers in one turn.
    m_releaseTimer.setSingleShot(true);
    m_releaseTimer.setInterval(0);
    connect(&m_releaseTimer, &QTimer::timeout, this, &X11HotkeyService::releasePending);
    qGuiApp->installNativeEventFilter(this);
}

X11HotkeyService::~X11HotkeyService()
{
    if (!m_connection)
        return;
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
    for (auto &[ref, registration] : m_registrations)
        ungrab(registration.keycode, registration.grabbedStates);
    releasePending();
    xcb_flush(m_connection);
}

HotkeyStatus X11HotkeyService::installEventHandler(Handler handler, EventHandlerRef *ref)
{
    if (!m_connection)
        return NoDisplay;
    if (m_handler)
        return HandlerInstalled;
    m_handler = std::move(handler);
    if (ref)
        *ref = 1;
    return 0;
}

HotkeyStatus X11HotkeyService::registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                              HotkeyRef *ref)
{
    if (!m_connection)
        return NoDisplay;
    const std::optional<quint8> keycode = KeyCodes::x11KeyCode(keyCode);
    if (!keycode)
        return UnknownKey;
    const Combination combination{*keycode, modifiers & Modifier::All};
    if (m_held.contains(combination))
        return AlreadyHeld;
    Registration registration{combination.first, combination.second, identifier, {}};
    const QList<quint16> states = grabStates(combination.second);
    if (const auto kept = m_releasing.find(combination); kept != m_releasing.end() && kept->second == states) {
        // Taken over without a request, so no other client can take the combination in between.
        registration.grabbedStates = std::move(kept->second);
        m_releasing.erase(kept);
    } else {
        // Our own grab of a key and state would be replaced silently, then lost at the release.
        releaseOverlapping(combination.first, states);
        if (const HotkeyStatus status = grab(registration); status != 0)
            return status;
    }
    const HotkeyRef newRef = m_nextRef++;
    m_registrations.emplace(newRef, std::move(registration));
    m_held.emplace(combination, newRef);
    if (ref)
        *ref = newRef;
    return 0;
}

void X11HotkeyService::unregisterHotkey(HotkeyRef ref)
{
    const auto it = m_registrations.find(ref);
    if (it == m_registrations.end())
        return;
    Registration &registration = it->second;
    const Combination combination{registration.keycode, registration.modifiers};
    m_held.erase(combination);
    if (!registration.grabbedStates.isEmpty()) {
        m_releasing.insert_or_assign(combination, std::move(registration.grabbedStates));
        if (!m_releaseTimer.isActive())
            m_releaseTimer.start();
    }
    m_registrations.erase(it);
}

HotkeyStatus X11HotkeyService::eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const
{
    const auto *ours = dynamic_cast<const X11HotkeyEvent *>(event);
    if (!ours)
        return ForeignEvent;
    if (identifier)
        *identifier = ours->identifier();
    return 0;
}

bool X11HotkeyService::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    Q_UNUSED(result);
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & ~0x80;
    switch (type) {
    case XCB_KEY_PRESS: {
        const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
        if (press->event != m_root)
            return false;
        return handleKeyPress(press->detail, press->state, press->time);
    }
    case XCB_KEY_RELEASE: {
        const auto *release = reinterpret_cast<const xcb_key_release_event_t *>(event);
        if (release->event == m_root) {
            m_keysDown.removeAll(release->detail);
            m_lastReleasedKey = release->detail;
            m_lastReleaseTime = release->time;
        }
        return false;
    }
    case XCB_MAPPING_NOTIFY:
        m_regrabTimer.start();
        return false;
    default:
        break;
    }
    if (m_xkbFirstEvent != 0 && type == m_xkbFirstEvent) {
        // Every XKB event shares one core event code; the second byte says which it is.
        const auto *xkb = reinterpret_cast<const xcb_xkb_new_keyboard_notify_event_t *>(event);
        if (xkb->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkb->xkbType == XCB_XKB_MAP_NOTIFY)
            m_regrabTimer.start();
    }
    return false;
}

bool X11HotkeyService::handleKeyPress(quint8 keycode, quint16 state, quint32 time)
{
    const quint16 pressed = state & kCoreModifierBits & ~lockBits();
    const Registration *match = nullptr;
    for (const auto &[ref, registration] : m_registrations) {
        if (registration.keycode == keycode && !registration.grabbedStates.isEmpty()
            && coreState(registration.modifiers) == pressed) {
            match = &registration;
            break;
        }
    }
    bool released = false;
    if (!match) {
        for (const auto &[combination, states] : m_releasing) {
            if (combination.first == keycode && coreState(combination.second) == pressed) {
                released = true;
                break;
            }
        }
        if (!released)
            return false;
    }
    // With detectable auto-repeat a held key sends presses only; without it, each repeat is a
    // release and a press with one timestamp. That test is not used when it is not needed: a
    // quick release and press again (scripted input) can share a millisecond too.
    const bool repeat = m_keysDown.contains(keycode)
                        || (!m_detectableRepeat && keycode == m_lastReleasedKey && time == m_lastReleaseTime);
    if (!m_keysDown.contains(keycode))
        m_keysDown.append(keycode);
    // A press on a released grab belongs to no registration; its identifier may not be reused.
    if (repeat || released || !m_handler)
        return true;
    const X11HotkeyEvent hotkeyEvent(match->identifier);
    m_handler(&hotkeyEvent);
    return true;
}

void X11HotkeyService::enableDetectableRepeat()
{
    constexpr quint32 flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    const xcb_xkb_per_client_flags_cookie_t cookie =
        xcb_xkb_per_client_flags(m_connection, XCB_XKB_ID_USE_CORE_KBD, flag, flag, 0, 0, 0);
    const XcbReply<xcb_xkb_per_client_flags_reply_t> reply(
        xcb_xkb_per_client_flags_reply(m_connection, cookie, nullptr));
    m_detectableRepeat = reply && (reply->supported & flag) && (reply->value & flag);
}

void X11HotkeyService::readModifierMap()
{
    m_bits = ModifierBits{};
    const xcb_get_modifier_mapping_cookie_t cookie = xcb_get_modifier_mapping(m_connection);
    const XcbReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(m_connection, cookie, nullptr));
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
    if (reply && symbols) {
        const xcb_keycode_t *map = xcb_get_modifier_mapping_keycodes(reply.get());
        const int perModifier = reply->keycodes_per_modifier;
        // The bit of the modifier (0 = Shift ... 7 = Mod5) that carries keysym, or 0.
        auto bitOf = [&](xcb_keysym_t keysym) -> quint16 {
            const XcbReply<xcb_keycode_t> keycodes(xcb_key_symbols_get_keycode(symbols, keysym));
            if (!keycodes)
                return 0;
            for (int modifier = 0; modifier < 8; ++modifier) {
                for (int i = 0; i < perModifier; ++i) {
                    const xcb_keycode_t mapped = map[modifier * perModifier + i];
                    if (mapped == XCB_NO_SYMBOL)
                        continue;
                    for (const xcb_keycode_t *k = keycodes.get(); *k != XCB_NO_SYMBOL; ++k) {
                        if (*k == mapped)
                            return quint16(1u << modifier);
                    }
                }
            }
            return 0;
        };
        m_bits.numLock = bitOf(XKB_KEY_Num_Lock);
        m_bits.scrollLock = bitOf(XKB_KEY_Scroll_Lock);
        m_bits.alt = bitOf(XKB_KEY_Alt_L);
        if (!m_bits.alt)
            m_bits.alt = bitOf(XKB_KEY_Alt_R);
        m_bits.super = bitOf(XKB_KEY_Super_L);
        if (!m_bits.super)
            m_bits.super = bitOf(XKB_KEY_Super_R);
    }
    if (symbols)
        xcb_key_symbols_free(symbols);
    // The usual assignment when the map names no key for them.
    if (!m_bits.alt)
        m_bits.alt = XCB_MOD_MASK_1;
    if (!m_bits.super)
        m_bits.super = XCB_MOD_MASK_4;
}

quint16 X11HotkeyService::coreState(quint32 modifiers) const
{
    quint16 state = 0;
    if (modifiers & Modifier::Shift)
        state |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Modifier::Control)
        state |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Modifier::Option)
        state |= m_bits.alt;
    if (modifiers & Modifier::Command)
        state |= m_bits.super;
    return state;
}

quint16 X11HotkeyService::lockBits() const
{
    return quint16(XCB_MOD_MASK_LOCK | m_bits.numLock | m_bits.scrollLock);
}

QList<quint16> X11HotkeyService::grabStates(quint32 modifiers) const
{
    const quint16 base = coreState(modifiers);
    const quint16 locks[] = {quint16(XCB_MOD_MASK_LOCK), m_bits.numLock, m_bits.scrollLock};
    QList<quint16> states;
    for (int subset = 0; subset < 8; ++subset) {
        quint16 state = base;
        for (int i = 0; i < 3; ++i) {
            if (subset & (1 << i))
                state |= locks[i];
        }
        if (!states.contains(state))
            states.append(state);
    }
    return states;
}

HotkeyStatus X11HotkeyService::grab(Registration &registration)
{
    const QList<quint16> states = grabStates(registration.modifiers);
    QList<xcb_void_cookie_t> cookies;
    for (const quint16 state : std::as_const(states)) {
        cookies.append(xcb_grab_key_checked(m_connection, 0, m_root, state, registration.keycode,
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    HotkeyStatus status = 0;
    registration.grabbedStates.clear();
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        const XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookies[i]));
        if (error) {
            if (status == 0)
                status = error->error_code;
        } else {
            registration.grabbedStates.append(states[i]);
        }
    }
    if (status != 0) {
        ungrab(registration.keycode, registration.grabbedStates);
        xcb_flush(m_connection);
    }
    return status;
}

void X11HotkeyService::ungrab(quint8 keycode, QList<quint16> &states)
{
    for (const quint16 state : std::as_const(states))
        xcb_ungrab_key(m_connection, keycode, m_root, state);
    states.clear();
}

void X11HotkeyService::releaseOverlapping(quint8 keycode, const QList<quint16> &states)
{
    for (auto it = m_releasing.begin(); it != m_releasing.end();) {
        const bool overlaps = it->first.first == keycode
                              && std::any_of(states.begin(), states.end(),
                                             [&](quint16 state) { return it->second.contains(state); });
        if (overlaps) {
            ungrab(keycode, it->second);
            it = m_releasing.erase(it);
        } else {
            ++it;
        }
    }
}

void X11HotkeyService::releasePending()
{
    m_releaseTimer.stop();
    if (m_releasing.empty())
        return;
    for (auto &[combination, states] : m_releasing)
        ungrab(combination.first, states);
    m_releasing.clear();
    xcb_flush(m_connection);
}

void X11HotkeyService::regrabAll()
{
    releasePending();
    readModifierMap();
    // Only grabs whose modifier states moved are renewed: a press between the ungrab and the grab
    // is lost, and the keyboard sends these notifications with nothing moved every time input
    // switches between devices (a synthetic key after a typed one). All are let go before any is
    // taken again, since one combination's new states may be another's old ones.
    std::vector<Registration *> moved;
    for (auto &[ref, registration] : m_registrations) {
        if (registration.grabbedStates != grabStates(registration.modifiers)) {
            ungrab(registration.keycode, registration.grabbedStates);
            moved.push_back(&registration);
        }
    }
    // A grab lost here (another client took the combination meanwhile) stays lost until the
    // list is registered anew or the mapping changes again; the registration keeps its handle so
    // unregistering still works.
    for (Registration *registration : moved)
        grab(*registration);
    xcb_flush(m_connection);
    if (!moved.empty())
        Q_EMIT grabsRenewed();
}

} // namespace zl
