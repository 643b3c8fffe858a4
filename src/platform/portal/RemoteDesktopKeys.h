#pragma once

#include "GlobalShortcutsPortal.h"
#include "SyntheticKeys.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace zl {

class LogSink;

/**
 * Key presses through a keyboard-only session of the desktop's org.freedesktop.portal.RemoteDesktop
 * (GNOME 45+, Plasma 6+), for Wayland desktops that offer no virtual keyboard. The desktop asks the
 * user once; the session persists (persist_mode 2) through the restore token, which the owner keeps
 * with the settings and hands back at the next start. Nothing is posted until the session has
 * started. Everything is asynchronous on the calling thread's event loop and every wait is bounded.
 *
 * The desktop merges these keys with the real keyboard's state, so a modifier the user still holds
 * reaches the target too; a Wayland client cannot read that state, so modifiersHeld() cannot tell.
 */
class RemoteDesktopKeys final : public QObject, public SyntheticKeys
{
    Q_OBJECT

public:
    /**
     * log must outlive this object. focusedAppId names the focused window so terminals get
     * Control+Shift+V; without it, or when it says nothing, Control+V.
     */
    RemoteDesktopKeys(const QDBusConnection &bus, const QString &appId, LogSink *log,
                      std::function<QString()> focusedAppId = {}, PortalTimeouts timeouts = {},
                      QObject *parent = nullptr);
    /** Closes the session without waiting for the portal. */
    ~RemoteDesktopKeys() override;

    /** Always false: no Wayland client can read the keyboard's state (see the class comment). */
    bool modifiersHeld() override;
    /** False, posting nothing, until the session has started. */
    bool postPasteChord() override;
    bool postReturn() override;

    /** Whether the desktop approved the session and it still runs. */
    bool trusted() const { return m_started; }
    /** The token of an earlier approval (empty: none), sent at the next start. */
    void setRestoreToken(const QString &token) { m_restoreToken = token; }
    /** Begins a session, unless one runs or is starting; the desktop may show its dialog. */
    void start();

signals:
    /** A start ended or the desktop closed the session; trusted() tells which way. */
    void sessionChanged();
    /** The desktop issued a new restore token: store it, the old one is spent. */
    void restoreTokenChanged(const QString &token);

private slots:
    void onSessionClosed(const QVariantMap &details);

private:
    void createSession();
    void selectDevices();
    void startSession();
    void fail(const QString &reason);
    void forgetSession();
    void keysym(quint32 sym, bool down);
    QString nextToken();

    QDBusConnection m_bus;
    QString m_appId;
    QString m_restoreToken;
    LogSink *m_log;
    std::function<QString()> m_focusedAppId;
    PortalTimeouts m_timeouts;
    QString m_session;
    quint32 m_tokenCounter = 0;
    bool m_registered = false;
    bool m_starting = false;
    bool m_started = false;
};

} // namespace zl
