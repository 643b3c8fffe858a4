#pragma once

#include "HotkeyService.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QTimer>

#include <map>
#include <utility>

struct xcb_connection_t;

namespace zl {

/**
 * Hotkeys as passive key grabs on the root window, made through checked requests on the X
 * connection Qt already holds, so that a refusal is reported to the registration that caused
 * it. Presses reach the handler through a native event filter on the main thread. An unregistered
 * combination keeps its grab until the event loop turns, so a re-registration of an unchanged list
 * costs the server nothing. Must be destroyed before the application object; destruction releases
 * every grab.
 */
class X11HotkeyService final : public QObject, public HotkeyService, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    // Refusals of the X server are its error code (BadAccess, 10, when another client holds the
    // combination); the service's own refusals are negative.
    static constexpr HotkeyStatus NoDisplay = HotkeyRefusal::Unavailable;
    static constexpr HotkeyStatus UnknownKey = HotkeyRefusal::UnknownKey;
    static constexpr HotkeyStatus AlreadyHeld = HotkeyRefusal::HeldHere;
    static constexpr HotkeyStatus ForeignEvent = -4;
    static constexpr HotkeyStatus HandlerInstalled = -5;

    /** Uses the running application's X connection; without one every call reports NoDisplay. */
    explicit X11HotkeyService(QObject *parent = nullptr);
    ~X11HotkeyService() override;

    bool isAvailable() const { return m_connection != nullptr; }

    HotkeyStatus installEventHandler(Handler handler, EventHandlerRef *ref) override;
    HotkeyStatus registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                HotkeyRef *ref) override;
    void unregisterHotkey(HotkeyRef ref) override;
    HotkeyStatus eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    /** The grabs were renewed after the keyboard mapping moved a modifier they use. */
    void grabsRenewed();

private:
    struct Registration
    {
        quint8 keycode = 0;
        quint32 modifiers = 0; // the stored mask; translated at every grab
        HotkeyIdentifier identifier;
        QList<quint16> grabbedStates;
    };

    // A keycode and the stored modifier mask.
    using Combination = std::pair<quint8, quint32>;

    struct ModifierBits
    {
        quint16 alt = 0;
        quint16 super = 0;
        quint16 numLock = 0;
        quint16 scrollLock = 0;
    };

    void enableDetectableRepeat();
    void readModifierMap();
    quint16 coreState(quint32 modifiers) const;
    quint16 lockBits() const;
    QList<quint16> grabStates(quint32 modifiers) const;
    HotkeyStatus grab(Registration &registration);
    void ungrab(quint8 keycode, QList<quint16> &states);
    void releaseOverlapping(quint8 keycode, const QList<quint16> &states);
    void releasePending();
    void regrabAll();
    bool handleKeyPress(quint8 keycode, quint16 state, quint32 time);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    quint8 m_xkbFirstEvent = 0;
    bool m_detectableRepeat = false;
    ModifierBits m_bits;
    Handler m_handler;
    std::map<HotkeyRef, Registration> m_registrations;
    std::map<Combination, HotkeyRef> m_held;
    // Grabs of unregistered combinations, kept for a registration of the same combination later
    // in the same event-loop turn; no press on them is delivered.
    std::map<Combination, QList<quint16>> m_releasing;
    QTimer m_releaseTimer;
    HotkeyRef m_nextRef = 1;
    QList<quint8> m_keysDown;
    quint8 m_lastReleasedKey = 0;
    quint32 m_lastReleaseTime = 0;
    QTimer m_regrabTimer;
};

} // namespace zl
