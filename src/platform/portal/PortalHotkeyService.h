#pragma once

#include "GlobalShortcutsPortal.h"
#include "HotkeyService.h"

#include <QObject>

#include <map>

namespace zl {

class LogSink;

/**
 * Hotkeys through the desktop's GlobalShortcuts portal. Registrations are collected and bound as
 * one list on a later turn (a portal session binds once), so a registration is accepted at once
 * and what the desktop made of it is reported afterwards: a log line for each shortcut left
 * unbound or put on another trigger, and bindingProblem() for the windows.
 */
class PortalHotkeyService final : public QObject, public HotkeyService
{
    Q_OBJECT

public:
    PortalHotkeyService(const QDBusConnection &bus, const QString &appId, LogSink *log,
                        PortalTimeouts timeouts = {}, QObject *parent = nullptr);

    HotkeyStatus installEventHandler(Handler handler, EventHandlerRef *ref) override;
    HotkeyStatus registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                HotkeyRef *ref) override;
    void unregisterHotkey(HotkeyRef ref) override;
    HotkeyStatus eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const override;

    /** The desktop's word on a shortcut key after the last bind: empty when bound as asked. */
    QString laterProblem(const QString &key) const override;
    /** Whether the last bind reached a portal at all. */
    bool available() const { return m_available; }

signals:
    /** A bind ended; bindingProblem() and available() now tell its outcome. */
    void bindingsChanged();

private:
    void scheduleBind();
    void bindFinished(const PortalBindResult &result);
    void activated(const QString &key);
    void log(const QString &line);

    struct Registration
    {
        quint32 keyCode;
        quint32 modifiers;
        HotkeyIdentifier identifier;
    };

    GlobalShortcutsPortal m_portal;
    LogSink *m_log;
    Handler m_handler;
    std::map<HotkeyRef, Registration> m_registrations;
    std::map<QString, QString> m_problems;
    HotkeyRef m_nextRef = 1;
    bool m_bindScheduled = false;
    bool m_available = true;
};

} // namespace zl
