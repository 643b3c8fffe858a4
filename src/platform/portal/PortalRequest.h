#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>

namespace zl {

/**
 * One portal call that answers through an org.freedesktop.portal.Request object: listens for the
 * Response on the path the portal will use before sending the call, then waits a bounded time.
 * Emits exactly one of responded() or failed(), never before start() returns; the owner deletes it.
 */
class PortalRequest final : public QObject
{
    Q_OBJECT

public:
    /** token must be the call's handle_token; callTimeoutMs bounds the reply, responseTimeoutMs the Response. */
    PortalRequest(const QDBusConnection &bus, const QString &token, int callTimeoutMs, int responseTimeoutMs,
                  QObject *parent = nullptr);
    ~PortalRequest() override;

    /** The Request path the portal derives from this connection's unique name and token. */
    static QString predictedPath(const QDBusConnection &bus, const QString &token);

    /**
     * Tells a host portal which desktop file we are, then calls then on context's thread whatever
     * the answer (portals without the registry answer with an error, which changes nothing). It
     * must come before any other portal call on the connection. Once registered is set (by this
     * call, on context's owner), then runs at once.
     */
    static void registerApp(const QDBusConnection &bus, const QString &appId, int timeoutMs, QObject *context,
                            bool &registered, std::function<void()> then);

    void start(const QDBusMessage &call);

signals:
    /** The portal's answer: 0 success, 1 cancelled by the user, 2 any other end. */
    void responded(uint code, const QVariantMap &results);
    /** An error reply, or no answer within the bound; reason is one line for the log. */
    void failed(const QString &reason);

private slots:
    void onResponse(uint code, const QVariantMap &results);

private:
    void listen(const QString &path);
    void stopListening();
    void fail(const QString &reason);

    QDBusConnection m_bus;
    QString m_path;
    QString m_member;
    int m_callTimeoutMs;
    QTimer m_deadline;
    bool m_done = false;
};

} // namespace zl
