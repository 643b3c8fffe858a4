#include "PortalHotkeyService.h"

#include "LogSink.h"

#include <QTimer>

namespace zl {

namespace {

class PortalHotkeyEvent final : public HotkeyEvent
{
public:
    explicit PortalHotkeyEvent(HotkeyIdentifier identifier) : identifier(std::move(identifier)) {}
    HotkeyIdentifier identifier;
};

constexpr HotkeyStatus kForeignEvent = -4;
constexpr HotkeyStatus kHandlerInstalled = -5;

} // namespace

PortalHotkeyService::PortalHotkeyService(const QDBusConnection &bus, const QString &appId, LogSink *log,
                                         PortalTimeouts timeouts, QObject *parent)
    : QObject(parent), m_portal(bus, appId, timeouts), m_log(log)
{
    connect(&m_portal, &GlobalShortcutsPortal::activated, this, &PortalHotkeyService::activated);
    connect(&m_portal, &GlobalShortcutsPortal::bindFinished, this, &PortalHotkeyService::bindFinished);
}

HotkeyStatus PortalHotkeyService::installEventHandler(Handler handler, EventHandlerRef *ref)
{
    if (m_handler)
        return kHandlerInstalled;
    m_handler = std::move(handler);
    *ref = 1;
    return 0;
}

HotkeyStatus PortalHotkeyService::registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                                 HotkeyRef *ref)
{
    // The same combination twice would make the desktop choose; the first shortcut keeps it.
    for (const auto &[other, registration] : m_registrations) {
        if (registration.keyCode == keyCode && registration.modifiers == modifiers)
            return HotkeyRefusal::HeldHere;
    }
    const HotkeyRef handle = m_nextRef++;
    m_registrations.emplace(handle, Registration{keyCode, modifiers, std::move(identifier)});
    *ref = handle;
    scheduleBind();
    return 0;
}

void PortalHotkeyService::unregisterHotkey(HotkeyRef ref)
{
    if (m_registrations.erase(ref))
        scheduleBind();
}

HotkeyStatus PortalHotkeyService::eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const
{
    const auto *ours = dynamic_cast<const PortalHotkeyEvent *>(event);
    if (!ours)
        return kForeignEvent;
    *identifier = ours->identifier;
    return 0;
}

QString PortalHotkeyService::laterProblem(const QString &key) const
{
    const auto it = m_problems.find(key);
    return it == m_problems.end() ? QString() : it->second;
}

// A re-registration unregisters and registers every shortcut in one turn: bind the result once.
void PortalHotkeyService::scheduleBind()
{
    if (std::exchange(m_bindScheduled, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_bindScheduled = false;
        QList<PortalShortcut> list;
        for (const auto &[ref, registration] : m_registrations)
            list << PortalShortcut{registration.identifier.key, registration.identifier.description,
                                   registration.keyCode, registration.modifiers};
        m_portal.setShortcuts(list);
    });
}

void PortalHotkeyService::bindFinished(const PortalBindResult &result)
{
    m_problems.clear();
    m_available = result.status != PortalBindResult::Status::Unavailable;
    if (result.status != PortalBindResult::Status::Bound) {
        log(QStringLiteral("Zephyrlatch: global shortcuts portal: ") + result.detail);
        for (const auto &[ref, registration] : m_registrations)
            m_problems[registration.identifier.key] = result.detail;
    }
    for (const PortalBinding &binding : result.shortcuts) {
        if (binding.outcome == PortalBinding::Outcome::Bound)
            continue;
        QString name = binding.id;
        for (const auto &[ref, registration] : m_registrations) {
            if (registration.identifier.key == binding.id)
                name = registration.identifier.description;
        }
        const QString problem = binding.outcome == PortalBinding::Outcome::Reassigned
                                    ? QStringLiteral("bound to %1 instead of %2").arg(binding.trigger, binding.preferredTrigger)
                                    : QStringLiteral("not bound by the desktop (asked for %1)").arg(binding.preferredTrigger);
        m_problems[binding.id] = problem;
        log(QStringLiteral("Zephyrlatch: global shortcut ") + name + QStringLiteral(": ") + problem);
    }
    emit bindingsChanged();
}

void PortalHotkeyService::activated(const QString &key)
{
    if (!m_handler)
        return;
    for (const auto &[ref, registration] : m_registrations) {
        if (registration.identifier.key == key) {
            const PortalHotkeyEvent event(registration.identifier);
            m_handler(&event);
            return;
        }
    }
}

void PortalHotkeyService::log(const QString &line)
{
    if (m_log)
        m_log->log(line);
}

} // namespace zl
