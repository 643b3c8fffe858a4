#include "GlobalShortcutsPortal.h"

#include "PortalRequest.h"
#include "PortalTrigger.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QHash>

namespace zl {

/** One element of the a(sa{sv}) shortcut lists the portal takes and returns. */
struct PortalShortcutEntry
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

} // namespace zl

Q_DECLARE_METATYPE(zl::PortalShortcutEntry)

namespace zl {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString kSessionPrefix = QStringLiteral("/org/freedesktop/portal/desktop/session/");
// Stable, so that the session path is the same on every start; the old session is closed
// (and its Close answered) before a new one takes the name.
const QString kSessionToken = QStringLiteral("zephyrlatch");

QString responseText(const QString &member, uint code)
{
    const char *meaning = code == 1 ? "cancelled" : "failed";
    return QStringLiteral("%1: response %2 (%3)").arg(member).arg(code).arg(QLatin1String(meaning));
}

QString sessionHandle(const QVariant &value)
{
    const QString path = value.metaType() == QMetaType::fromType<QDBusObjectPath>()
                             ? value.value<QDBusObjectPath>().path()
                             : value.toString();
    return path.startsWith(kSessionPrefix) ? path : QString();
}

} // namespace

GlobalShortcutsPortal::GlobalShortcutsPortal(const QDBusConnection &bus, const QString &appId, PortalTimeouts timeouts,
                                             QObject *parent)
    : QObject(parent), m_bus(bus), m_appId(appId), m_timeouts(timeouts), m_trigger(std::make_unique<PortalTrigger>())
{
    qDBusRegisterMetaType<PortalShortcutEntry>();
    qDBusRegisterMetaType<QList<PortalShortcutEntry>>();
    m_debounce.setSingleShot(true);
    m_debounce.setInterval(m_timeouts.debounceMs);
    connect(&m_debounce, &QTimer::timeout, this, [this] {
        if (m_running) {
            m_changedWhileRunning = true;
            return;
        }
        const bool held = m_session.isEmpty() ? m_wanted.isEmpty() : m_wanted == m_bound;
        if (!held)
            startBind();
    });
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
}

GlobalShortcutsPortal::~GlobalShortcutsPortal()
{
    m_bus.disconnect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(onActivated(QDBusMessage)));
    if (!m_session.isEmpty())
        m_bus.send(QDBusMessage::createMethodCall(kService, m_session, kSessionInterface, QStringLiteral("Close")));
    forgetSession();
}

void GlobalShortcutsPortal::setShortcuts(const QList<PortalShortcut> &shortcuts)
{
    m_wanted = shortcuts;
    m_debounce.start();
}

void GlobalShortcutsPortal::onActivated(const QDBusMessage &message)
{
    // Read by hand: a signal of another shape is ignored instead of failing the subscription.
    const QVariantList args = message.arguments();
    if (m_session.isEmpty() || args.size() < 2 || args.at(0).metaType() != QMetaType::fromType<QDBusObjectPath>()
        || args.at(0).value<QDBusObjectPath>().path() != m_session
        || args.at(1).metaType() != QMetaType::fromType<QString>()) {
        return;
    }
    const QString id = args.at(1).toString();
    for (const PortalShortcut &shortcut : std::as_const(m_bound)) {
        if (shortcut.id == id) {
            emit activated(id);
            return;
        }
    }
}

void GlobalShortcutsPortal::onSessionClosed(const QVariantMap &)
{
    forgetSession();
    m_bound.clear();
    if (!m_running)
        emit bindFinished({PortalBindResult::Status::Unavailable, QStringLiteral("the portal closed the session"), {}});
}

void GlobalShortcutsPortal::startBind()
{
    m_running = true;
    m_binding = m_wanted;
    PortalRequest::registerApp(m_bus, m_appId, m_timeouts.callMs, this, m_registered, [this] { createSession(); });
}

void GlobalShortcutsPortal::closeSession()
{
    if (m_session.isEmpty())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, m_session, kSessionInterface, QStringLiteral("Close"));
    forgetSession();
    m_bound.clear();
    m_closing = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, m_timeouts.callMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_closing = false;
        if (m_running)
            createSession();
    });
}

void GlobalShortcutsPortal::createSession()
{
    closeSession();
    // The new session takes the old one's path, so it waits until the old one is gone.
    if (m_closing)
        return;
    if (m_binding.isEmpty()) {
        finish({PortalBindResult::Status::Bound, {}, {}});
        return;
    }
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), kSessionToken}};
    auto *request = new PortalRequest(m_bus, token, m_timeouts.callMs, m_timeouts.callMs, this);
    connect(request, &PortalRequest::responded, this, [this, request](uint code, const QVariantMap &results) {
        request->deleteLater();
        if (code != 0) {
            finish({PortalBindResult::Status::Refused, responseText(QStringLiteral("CreateSession"), code), {}});
            return;
        }
        m_session = sessionHandle(results.value(QStringLiteral("session_handle")));
        if (m_session.isEmpty()) {
            finish(
                {PortalBindResult::Status::Unavailable, QStringLiteral("CreateSession: no valid session_handle"), {}});
            return;
        }
        m_bus.connect(kService, m_session, kSessionInterface, QStringLiteral("Closed"), this,
                      SLOT(onSessionClosed(QVariantMap)));
        bindShortcuts();
    });
    connect(request, &PortalRequest::failed, this, [this, request](const QString &reason) {
        request->deleteLater();
        finish({PortalBindResult::Status::Unavailable, reason, {}});
    });
    request->start(call);
}

void GlobalShortcutsPortal::bindShortcuts()
{
    QList<PortalShortcutEntry> entries;
    for (const PortalShortcut &shortcut : std::as_const(m_binding)) {
        QVariantMap properties{{QStringLiteral("description"), shortcut.name}};
        const QString trigger = m_trigger->format(shortcut.keyCode, shortcut.modifiers);
        if (!trigger.isEmpty())
            properties.insert(QStringLiteral("preferred_trigger"), trigger);
        entries.append({shortcut.id, properties});
    }
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(entries) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    auto *request = new PortalRequest(m_bus, token, m_timeouts.callMs, m_timeouts.dialogMs, this);
    connect(request, &PortalRequest::responded, this, [this, request](uint code, const QVariantMap &results) {
        request->deleteLater();
        if (code != 0) {
            finish({PortalBindResult::Status::Refused, responseText(QStringLiteral("BindShortcuts"), code), {}});
            return;
        }
        if (m_session.isEmpty()) {
            finish({PortalBindResult::Status::Unavailable, QStringLiteral("the portal closed the session"), {}});
            return;
        }
        m_bound = m_binding;
        finish({PortalBindResult::Status::Bound, {}, readBindings(results)});
    });
    connect(request, &PortalRequest::failed, this, [this, request](const QString &reason) {
        request->deleteLater();
        finish({PortalBindResult::Status::Unavailable, reason, {}});
    });
    request->start(call);
}

void GlobalShortcutsPortal::finish(PortalBindResult result)
{
    if (result.status != PortalBindResult::Status::Bound)
        closeSession();
    m_running = false;
    if (m_changedWhileRunning) {
        m_changedWhileRunning = false;
        m_debounce.start();
    }
    emit bindFinished(result);
}

void GlobalShortcutsPortal::forgetSession()
{
    if (m_session.isEmpty())
        return;
    m_bus.disconnect(kService, m_session, kSessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
    m_session.clear();
}

QString GlobalShortcutsPortal::nextToken()
{
    return QStringLiteral("zephyrlatch_%1").arg(++m_tokenCounter);
}

QList<PortalBinding> GlobalShortcutsPortal::readBindings(const QVariantMap &results) const
{
    QHash<QString, QString> triggers;
    const QVariant value = results.value(QStringLiteral("shortcuts"));
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentSignature() == u"a(sa{sv})") {
            QList<PortalShortcutEntry> entries;
            argument >> entries;
            for (const PortalShortcutEntry &entry : std::as_const(entries))
                triggers.insert(entry.id, entry.properties.value(QStringLiteral("trigger_description")).toString());
        }
    }
    QList<PortalBinding> bindings;
    for (const PortalShortcut &shortcut : m_binding) {
        PortalBinding binding{shortcut.id, PortalBinding::Outcome::Unbound,
                              m_trigger->format(shortcut.keyCode, shortcut.modifiers), triggers.value(shortcut.id)};
        if (!binding.trigger.isEmpty()) {
            binding.outcome = PortalTrigger::sameCombination(binding.preferredTrigger, binding.trigger)
                                  ? PortalBinding::Outcome::Bound
                                  : PortalBinding::Outcome::Reassigned;
        }
        bindings.append(binding);
    }
    return bindings;
}

} // namespace zl
