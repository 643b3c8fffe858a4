#include "PortalRequest.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace zl {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

PortalRequest::PortalRequest(const QDBusConnection &bus, const QString &token, int callTimeoutMs, int responseTimeoutMs,
                             QObject *parent)
    : QObject(parent), m_bus(bus), m_path(predictedPath(bus, token)), m_callTimeoutMs(callTimeoutMs)
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(responseTimeoutMs);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        // The portal may still show its dialog; closing the request tells it nobody waits any more.
        m_bus.send(QDBusMessage::createMethodCall(kService, m_path, kRequestInterface, QStringLiteral("Close")));
        fail(QStringLiteral("%1: no response within %2 ms").arg(m_member).arg(m_deadline.interval()));
    });
}

PortalRequest::~PortalRequest()
{
    stopListening();
}

QString PortalRequest::predictedPath(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

void PortalRequest::start(const QDBusMessage &call)
{
    m_member = call.member();
    listen(m_path);
    m_deadline.start();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, m_callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (m_done)
            return;
        if (reply.isError()) {
            fail(QStringLiteral("%1: %2: %3").arg(m_member, reply.error().name(), reply.error().message()));
            return;
        }
        // Portals before 0.9 chose the path themselves; follow the one they name.
        const QString path = reply.value().path();
        if (path != m_path) {
            stopListening();
            m_path = path;
            listen(m_path);
        }
    });
}

void PortalRequest::onResponse(uint code, const QVariantMap &results)
{
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    stopListening();
    emit responded(code, results);
}

void PortalRequest::listen(const QString &path)
{
    m_bus.connect(kService, path, kRequestInterface, QStringLiteral("Response"), this,
                  SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::stopListening()
{
    m_bus.disconnect(kService, m_path, kRequestInterface, QStringLiteral("Response"), this,
                     SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::fail(const QString &reason)
{
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    stopListening();
    emit failed(reason);
}

void PortalRequest::registerApp(const QDBusConnection &bus, const QString &appId, int timeoutMs, QObject *context,
                                bool &registered, std::function<void()> then)
{
    if (registered) {
        then();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/portal/desktop"),
                                                      QStringLiteral("org.freedesktop.host.portal.Registry"),
                                                      QStringLiteral("Register"));
    call << appId << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection(bus).asyncCall(call, timeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [&registered, then = std::move(then)](QDBusPendingCallWatcher *w) {
                         w->deleteLater();
                         registered = true;
                         then();
                     });
}

} // namespace zl
