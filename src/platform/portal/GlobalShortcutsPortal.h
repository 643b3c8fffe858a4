#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <memory>

namespace zl {

class PortalTrigger;

/** One shortcut to bind: id is its stable identifier (the shortcut's UUID), name its description. */
struct PortalShortcut
{
    QString id;
    QString name;
    /** The stored virtual key code and modifier mask (command 256, shift 512, option 2048, control 4096). */
    quint32 keyCode = 0;
    quint32 modifiers = 0;

    friend bool operator==(const PortalShortcut &, const PortalShortcut &) = default;
};

/** What the desktop made of one shortcut. */
struct PortalBinding
{
    enum class Outcome
    {
        Bound,      ///< bound to the preferred trigger
        Reassigned, ///< bound, to the trigger the desktop describes in trigger
        Unbound,    ///< left out of the answer, or given no trigger
    };

    QString id;
    Outcome outcome = Outcome::Unbound;
    QString preferredTrigger;
    /** The desktop's trigger_description; empty when it gave none. */
    QString trigger;
};

/** The end of one bind: per-shortcut bindings when status is Bound, a log line in detail otherwise. */
struct PortalBindResult
{
    enum class Status
    {
        Bound,       ///< the session holds the list; see shortcuts
        Unavailable, ///< no portal, no GlobalShortcuts, an error reply, or no answer in time
        Refused,     ///< the portal answered with a non-zero response code (user cancelled, or failed)
    };

    Status status = Status::Unavailable;
    QString detail;
    QList<PortalBinding> shortcuts;
};

/** Bounds of the waits, in milliseconds. */
struct PortalTimeouts
{
    /** Changes arriving within this time are bound together. */
    int debounceMs = 250;
    /** Any method reply, and Responses that need no user. */
    int callMs = 5000;
    /** The BindShortcuts Response, which may wait for the user in a dialog. */
    int dialogMs = 25000;
};

/**
 * Global shortcuts through org.freedesktop.portal.GlobalShortcuts (version 1) on the given bus.
 * A session binds once, so each new list closes the current session and binds the list in a new
 * one; a list equal to the bound one asks nothing. Everything is asynchronous on the calling
 * thread's event loop, every wait is bounded, and no call blocks.
 */
class GlobalShortcutsPortal final : public QObject
{
    Q_OBJECT

public:
    /** appId is the desktop-file id the host registry is told before the first portal call. */
    GlobalShortcutsPortal(const QDBusConnection &bus, const QString &appId, PortalTimeouts timeouts = {},
                          QObject *parent = nullptr);
    /** Closes the session without waiting for the portal. */
    ~GlobalShortcutsPortal() override;

    /** The list to bind, replacing the previous one; bound after the debounce, one bind at a time. */
    void setShortcuts(const QList<PortalShortcut> &shortcuts);

signals:
    /** The portal reports a press of a bound shortcut of the current session. */
    void activated(const QString &id);
    /** One bind has ended; one emission per bind attempt. */
    void bindFinished(const PortalBindResult &result);

private slots:
    void onActivated(const QDBusMessage &message);
    void onSessionClosed(const QVariantMap &details);

private:
    void startBind();
    void closeSession();
    void createSession();
    void bindShortcuts();
    void finish(PortalBindResult result);
    void forgetSession();
    QString nextToken();
    QList<PortalBinding> readBindings(const QVariantMap &results) const;

    QDBusConnection m_bus;
    QString m_appId;
    PortalTimeouts m_timeouts;
    std::unique_ptr<PortalTrigger> m_trigger;
    QTimer m_debounce;

    QList<PortalShortcut> m_wanted;
    QList<PortalShortcut> m_binding;
    QList<PortalShortcut> m_bound;
    QString m_session;
    quint32 m_tokenCounter = 0;
    bool m_registered = false;
    bool m_running = false;
    bool m_closing = false;
    bool m_changedWhileRunning = false;
};

} // namespace zl

Q_DECLARE_METATYPE(zl::PortalBindResult)
