#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace zl {

/** Platform status of a hotkey operation: 0 is success, anything else a refusal. */
using HotkeyStatus = qint32;
/** Opaque handle of one registration; 0 is never a valid handle. */
using HotkeyRef = quint64;
/** Opaque handle of an installed event handler; 0 is never a valid handle. */
using EventHandlerRef = quint64;

/** Refusals every service means alike, so the windows can say why; a service may return others. */
namespace HotkeyRefusal {
/** No service, or no connection to it. */
constexpr HotkeyStatus Unavailable = -1;
/** The key does not exist on this keyboard. */
constexpr HotkeyStatus UnknownKey = -2;
/** Another registration of this process holds the combination. */
constexpr HotkeyStatus HeldHere = -3;
/** Another program holds the combination (X11's BadAccess). */
constexpr HotkeyStatus TakenElsewhere = 10;
} // namespace HotkeyRefusal

/** What a registration is known by when its press comes back. */
struct HotkeyIdentifier
{
    quint32 signature = 0;
    quint32 id = 0;
    /**
     * The shortcut's stable name for services that keep bindings outside this process (a portal
     * remembers the user's choices by it) and its description for the user; X11 needs neither.
     */
    QString key = {};
    QString description = {};
};

/** A hotkey-pressed event as delivered by a service; only that service can read it. */
class HotkeyEvent
{
public:
    virtual ~HotkeyEvent() = default;
};

/**
 * System-wide hotkeys. Every call and every delivery happens on the main thread. Key codes are
 * the stored virtual key codes, modifiers the stored mask (command 256, shift 512, option 2048,
 * control 4096).
 */
class HotkeyService
{
public:
    /** Called for every hotkey press; the event lives only for the duration of the call. */
    using Handler = std::function<HotkeyStatus(const HotkeyEvent *event)>;

    virtual ~HotkeyService() = default;

    /** Installs handler for hotkey-pressed events for the rest of the run; 0 and *ref set on success. */
    virtual HotkeyStatus installEventHandler(Handler handler, EventHandlerRef *ref) = 0;

    /**
     * Registers one combination; 0 and *ref set on success. A combination held by another client,
     * or already held by this process, is refused with a non-zero status and leaves nothing behind.
     */
    virtual HotkeyStatus registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                        HotkeyRef *ref) = 0;

    /**
     * Releases a registration; unknown or already released handles are ignored. The platform's hold
     * on the combination may last until the event loop turns, for a registration of it to take over;
     * a press in between is delivered to no registration.
     */
    virtual void unregisterHotkey(HotkeyRef ref) = 0;

    /** Reads the identifier a delivered event carries; non-zero when event is not one of this service's. */
    virtual HotkeyStatus eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const = 0;

    /**
     * What went wrong after a registration was accepted (a desktop that bound it to another key,
     * or not at all), found by its key; empty when nothing did. Services that decide at once have
     * nothing to add.
     */
    virtual QString laterProblem(const QString &key) const
    {
        Q_UNUSED(key);
        return {};
    }
};

} // namespace zl
