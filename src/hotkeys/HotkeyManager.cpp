#include "HotkeyManager.h"

#include "LogSink.h"
#include "HotkeyDisplay.h"
#include "LogText.h"
#include "Strings.h"

#include <QMetaObject>

#include <cstdio>
#include <limits>

namespace zl {

namespace {

// What a registration is refused with when there is no hotkey service or no identifier left.
constexpr HotkeyStatus kUnavailable = -1;

} // namespace

HotkeyManager &HotkeyManager::shared()
{
    static HotkeyManager manager(nullptr, nullptr, {});
    return manager;
}

void HotkeyManager::configure(HotkeyService *service, LogSink *log, ActionRunner run)
{
    HotkeyManager &manager = shared();
    manager.m_service = service;
    manager.m_log = log;
    manager.m_run = std::move(run);
}

HotkeyManager::HotkeyManager(HotkeyService *service, LogSink *log, ActionRunner run, QObject *parent)
    : QObject(parent), m_service(service), m_log(log), m_run(std::move(run))
{
}

// Registrations and the handler stay with the platform: the manager lives as long as the process.
HotkeyManager::~HotkeyManager() = default;

void HotkeyManager::bind(SettingsStore &store)
{
    m_store = &store;
    installHandlerIfNeeded();
    // The subscription's context is this manager, so a delivery after its end does nothing.
    m_subscription = store.subscribeShortcuts(this, [this](const QList<ShortcutItem> &list) { reregister(list); });
    reregister(store.shortcuts());
}

void HotkeyManager::reregister(const QList<ShortcutItem> &shortcuts)
{
    {
        const std::lock_guard guard(m_lock);
        unregisterAllLocked();
        m_refused.clear();
        for (const ShortcutItem &item : shortcuts) {
            if (item.isEnabled && item.hasHotkey())
                registerLocked(item);
        }
    }
    emit registrationsChanged();
}

QString HotkeyManager::problem(const ShortcutItem &item, const KeyboardLayout *layout) const
{
    if (!item.isEnabled || !item.hasHotkey())
        return {};
    const QString combination = HotkeyDisplay::string(item.keyCode, item.modifiers, layout);
    std::optional<HotkeyStatus> refused;
    {
        const std::lock_guard guard(m_lock);
        if (const auto it = m_refused.find(item.id); it != m_refused.end())
            refused = it->second;
    }
    if (!refused) {
        const QString later = m_service ? m_service->laterProblem(item.id.toString(QUuid::WithoutBraces)) : QString();
        return later.isEmpty() ? QString() : text("hotkey.problem.later").arg(combination, later);
    }
    switch (*refused) {
    case HotkeyRefusal::TakenElsewhere:
        return text("hotkey.problem.takenElsewhere").arg(combination);
    case HotkeyRefusal::HeldHere:
        return text("hotkey.problem.heldHere").arg(combination);
    case HotkeyRefusal::UnknownKey:
        return text("hotkey.problem.unknownKey").arg(combination);
    case HotkeyRefusal::Unavailable:
        return text("hotkey.problem.unavailable").arg(combination);
    default:
        return text("hotkey.problem.other").arg(combination, QString::number(*refused));
    }
}

void HotkeyManager::installHandlerIfNeeded()
{
    if (m_eventHandler)
        return;
    HotkeyStatus status = kUnavailable;
    EventHandlerRef ref = 0;
    if (m_service) {
        const QPointer<HotkeyManager> self(this);
        status = m_service->installEventHandler(
            [self](const HotkeyEvent *event) -> HotkeyStatus { return self ? self->handle(event) : 0; }, &ref);
    }
    if (status == 0)
        m_eventHandler = ref;
    else
        log(QStringLiteral("Zephyrlatch: InstallEventHandler failed: ") + QString::number(status));
}

void HotkeyManager::unregisterAllLocked()
{
    if (m_service) {
        for (const auto &[id, ref] : m_hotKeyRefs)
            m_service->unregisterHotkey(ref);
    }
    m_hotKeyRefs.clear();
    m_idToShortcut.clear();
}

void HotkeyManager::registerLocked(const ShortcutItem &item)
{
    HotkeyStatus status = kUnavailable;
    HotkeyRef ref = 0;
    if (!m_idsExhausted) {
        const quint32 id = m_nextHotKeyID;
        // The last identifier is used once; after it nothing registers, so none is ever reused.
        if (m_nextHotKeyID == std::numeric_limits<quint32>::max())
            m_idsExhausted = true;
        else
            ++m_nextHotKeyID;
        if (m_service)
            status = m_service->registerHotkey(
                item.keyCode, item.modifiers,
                HotkeyIdentifier{Signature, id, item.id.toString(QUuid::WithoutBraces), item.name}, &ref);
        if (status == 0 && ref != 0) {
            m_hotKeyRefs.emplace(id, ref);
            m_idToShortcut.emplace(id, item.id);
            return;
        }
    }
    m_refused[item.id] = status;
    log(QStringLiteral("Zephyrlatch: RegisterEventHotKey failed for ") + item.name + QStringLiteral(": ")
        + QString::number(status));
}

HotkeyStatus HotkeyManager::handle(const HotkeyEvent *event)
{
    if (!event || !m_service)
        return 0;
    HotkeyIdentifier identifier;
    if (const HotkeyStatus status = m_service->eventIdentifier(event, &identifier); status != 0)
        return status;
    std::optional<QUuid> shortcutId;
    {
        const std::lock_guard guard(m_lock);
        if (const auto it = m_idToShortcut.find(identifier.id); it != m_idToShortcut.end())
            shortcutId = it->second;
    }
    if (!shortcutId)
        return 0;
    // Never inside the platform's callback: the action gets a turn of the event loop of its own.
    QMetaObject::invokeMethod(this, [this, id = *shortcutId] { run(id); }, Qt::QueuedConnection);
    return 0;
}

void HotkeyManager::run(const QUuid &shortcutId)
{
    if (!m_store)
        return;
    for (const ShortcutItem &item : m_store->shortcuts()) {
        if (item.id != shortcutId)
            continue;
        if (item.isEnabled && m_run)
            m_run(item);
        return;
    }
}

void HotkeyManager::log(const QString &line)
{
    if (m_log) {
        m_log->log(line);
        return;
    }
    // Not configured yet: the line still reaches standard error, as data.
    const QByteArray bytes = logSafe(line).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

} // namespace zl
