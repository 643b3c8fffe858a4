#pragma once

#include "HotkeyService.h"

#include <QList>

#include <map>
#include <utility>

namespace zl {

/**
 * Records registrations and delivers presses like the platform: a combination is refused when
 * it is listed in refused or already registered here.
 */
class FakeHotkeyService final : public HotkeyService
{
public:
    struct Attempt
    {
        quint32 keyCode;
        quint32 modifiers;
        HotkeyIdentifier identifier;
    };

    class Event final : public HotkeyEvent
    {
    public:
        explicit Event(quint32 id) : id(id) {}
        quint32 id;
    };

    static constexpr HotkeyStatus ExistsStatus = HotkeyRefusal::HeldHere;
    static constexpr HotkeyStatus ForeignEventStatus = -11;

    HotkeyStatus installEventHandler(Handler newHandler, EventHandlerRef *ref) override
    {
        ++installCalls;
        if (installStatus != 0)
            return installStatus;
        handler = std::move(newHandler);
        *ref = 77;
        return 0;
    }

    HotkeyStatus registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                HotkeyRef *ref) override
    {
        attempts.append({keyCode, modifiers, identifier});
        for (const auto &[combination, status] : refused) {
            if (combination == std::pair{keyCode, modifiers})
                return status;
        }
        for (const auto &[oldRef, attempt] : active) {
            if (attempt.keyCode == keyCode && attempt.modifiers == modifiers)
                return ExistsStatus;
        }
        *ref = m_nextRef++;
        active.emplace(*ref, Attempt{keyCode, modifiers, identifier});
        return 0;
    }

    void unregisterHotkey(HotkeyRef ref) override { active.erase(ref); }

    HotkeyStatus eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const override
    {
        const auto *ours = dynamic_cast<const Event *>(event);
        if (!ours)
            return ForeignEventStatus;
        *identifier = HotkeyIdentifier{0, ours->id};
        return 0;
    }

    /** Delivers an event carrying id to the installed handler; -1 when there is none. */
    HotkeyStatus deliver(quint32 id) const
    {
        if (!handler)
            return -1;
        const Event event(id);
        return handler(&event);
    }

    /** Presses a combination: delivers the identifier it is registered under, if it is. */
    HotkeyStatus press(quint32 keyCode, quint32 modifiers) const
    {
        for (const auto &[ref, attempt] : active) {
            if (attempt.keyCode == keyCode && attempt.modifiers == modifiers)
                return deliver(attempt.identifier.id);
        }
        return -1;
    }

    Handler handler;
    int installCalls = 0;
    HotkeyStatus installStatus = 0;
    QList<std::pair<std::pair<quint32, quint32>, HotkeyStatus>> refused;
    QList<Attempt> attempts;
    std::map<HotkeyRef, Attempt> active;

private:
    HotkeyRef m_nextRef = 1;
};

} // namespace zl
