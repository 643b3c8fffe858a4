#pragma once

#include "HotkeyService.h"
#include "I3IpcConnection.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <map>
#include <set>
#include <utility>

namespace zl {

class LogSink;

/**
 * Hotkeys as sway/i3 key bindings made over the compositor's IPC socket: each registration is a
 * `bindcode --no-repeat` binding (the X11 keycode, so it follows the physical key) whose `nop`
 * command carries a token of its own, and its presses come back as binding events on a second
 * connection. A combination the compositor's configuration binds, or that sway refuses, is
 * refused. When the compositor goes away the registrations are kept and bound again after a
 * reconnect with growing delays; so is a configuration reload, which drops runtime bindings.
 * Destruction removes every binding.
 */
class SwayHotkeyService final : public QObject, public HotkeyService
{
    Q_OBJECT

public:
    static constexpr HotkeyStatus UnknownKey = -2;
    static constexpr HotkeyStatus AlreadyHeld = -3;
    static constexpr HotkeyStatus ForeignEvent = -4;
    static constexpr HotkeyStatus HandlerInstalled = -5;
    /** sway answered the binding command with an error. */
    static constexpr HotkeyStatus Refused = -6;
    /** The compositor's configuration binds the combination to something else. */
    static constexpr HotkeyStatus BoundElsewhere = HotkeyRefusal::TakenElsewhere;

    /** Connects to the socket at path now (bounded wait); logSink gets the connection's ups and downs. */
    SwayHotkeyService(const QString &path, LogSink *logSink, QObject *parent = nullptr);
    ~SwayHotkeyService() override;

    bool isConnected() const { return m_commands.isOpen() && m_events.isOpen(); }

    /** The focused window's app_id (or an X11 window's class), so a paste can tell terminals; empty when unknown. */
    QString focusedAppId();

    HotkeyStatus installEventHandler(Handler handler, EventHandlerRef *ref) override;
    /** While the compositor is away the registration is kept and made at the reconnect. */
    HotkeyStatus registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                HotkeyRef *ref) override;
    void unregisterHotkey(HotkeyRef ref) override;
    HotkeyStatus eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const override;

Q_SIGNALS:
    /** Both connections are up and every kept registration was bound again. */
    void connected();

private:
    using Combination = std::pair<quint8, quint32>;

    struct Registration
    {
        Combination combination;
        HotkeyIdentifier identifier;
        QString token;
    };

    bool connectNow();
    void lost(const QString &reason);
    void bindAll();
    HotkeyStatus bind(const Registration &registration);
    void unbind(const Combination &combination);
    void releasePending();
    void handleEvent(quint32 type, const QByteArray &payload);
    bool runCommand(const QString &command, QString *error);
    void log(const QString &line) const;

    QString m_path;
    LogSink *m_log = nullptr;
    I3IpcConnection m_commands;
    I3IpcConnection m_events;
    Handler m_handler;
    std::map<HotkeyRef, Registration> m_registrations;
    std::map<Combination, HotkeyRef> m_held;
    std::set<Combination> m_configured;
    // Unregistered combinations and their tokens, unbound at the end of the turn unless
    // registered again in it.
    std::map<Combination, QString> m_releasing;
    QTimer m_releaseTimer;
    QTimer m_reconnectTimer;
    int m_backoffMs = 0;
    HotkeyRef m_nextRef = 1;
};

} // namespace zl
