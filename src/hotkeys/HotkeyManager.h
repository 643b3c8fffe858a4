#pragma once

#include "HotkeyService.h"
#include "SettingsStore.h"
#include "ShortcutItem.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUuid>

#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace zl {

class KeyboardLayout;
class LogSink;

/**
 * Keeps one system-wide hotkey registration per enabled shortcut that has a hotkey, redone
 * whenever the store's list changes, and runs the shortcut whose hotkey is pressed. Main thread.
 */
class HotkeyManager final : public QObject
{
    Q_OBJECT

public:
    /** Runs one shortcut's action; the executor's entry point. */
    using ActionRunner = std::function<void(const ShortcutItem &)>;

    /** Every registration carries this signature; it is not checked when a press comes back. */
    static constexpr quint32 Signature = 0x005A4C48;

    /** The process-wide manager, created on first use; configure() plugs in the platform. */
    static HotkeyManager &shared();

    /**
     * Gives shared() its hotkey service, log and action entry point; main calls it once before
     * the first bind. Without a service every registration is refused. service and log must
     * outlive every later use of the manager.
     */
    static void configure(HotkeyService *service, LogSink *log, ActionRunner run);

    /** A manager of one's own (tests); service and log must outlive it. */
    HotkeyManager(HotkeyService *service, LogSink *log, ActionRunner run, QObject *parent = nullptr);
    ~HotkeyManager() override;

    /**
     * Follows store (held weakly): installs the press handler once, replaces the list
     * subscription and registers the current list at once. May be called again.
     */
    void bind(SettingsStore &store);

    /** Drops every registration and registers each enabled shortcut of shortcuts that has a hotkey. */
    void reregister(const QList<ShortcutItem> &shortcuts);

    /** A delivered press: queues its shortcut to run on a later event-loop turn; the service's status. */
    HotkeyStatus handle(const HotkeyEvent *event);

    /**
     * Why the hotkey of item does not work, for the user ("Ctrl+Alt+T is taken by another
     * program"); empty when it is registered (or has none). layout names the keys; may be null.
     */
    QString problem(const ShortcutItem &item, const KeyboardLayout *layout) const;

signals:
    /** Registrations were redone, or the service changed its word on them: problem() may differ. */
    void registrationsChanged();

public:
    /** The service reports news on registrations it had accepted. */
    void serviceChanged() { emit registrationsChanged(); }

private:
    void installHandlerIfNeeded();
    void unregisterAllLocked();
    void registerLocked(const ShortcutItem &item);
    void run(const QUuid &shortcutId);
    void log(const QString &line);

    HotkeyService *m_service = nullptr;
    LogSink *m_log = nullptr;
    ActionRunner m_run;

    std::map<quint32, HotkeyRef> m_hotKeyRefs;
    std::map<quint32, QUuid> m_idToShortcut;
    std::map<QUuid, HotkeyStatus> m_refused;
    std::optional<EventHandlerRef> m_eventHandler;
    QPointer<SettingsStore> m_store;
    SettingsStore::Subscription m_subscription;
    quint32 m_nextHotKeyID = 1;
    bool m_idsExhausted = false;
    // Not recursive on purpose: the *Locked functions run with it held and must never take it.
    mutable std::mutex m_lock;
};

} // namespace zl
