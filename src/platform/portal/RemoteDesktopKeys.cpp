#include "RemoteDesktopKeys.h"

#include "LogSink.h"
#include "PortalRequest.h"
#include "TerminalEmulators.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

namespace zl {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kSessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString kSessionPrefix = QStringLiteral("/org/freedesktop/portal/desktop/session/");

constexpr uint kKeyboard = 1;
// Kept until the user revokes it, not just for this run.
constexpr uint kPersistUntilRevoked = 2;

constexpr quint32 kControlL = 0xffe3;
constexpr quint32 kShiftL = 0xffe1;
constexpr quint32 kV = 0x0076;
constexpr quint32 kReturn = 0xff0d;

} // namespace

RemoteDesktopKeys::RemoteDesktopKeys(const QDBusConnection &bus, const QString &appId, LogSink *log,
                                     std::function<QString()> focusedAppId, PortalTimeouts timeouts, QObject *parent)
    : QObject(parent), m_bus(bus), m_appId(appId), m_log(log), m_focusedAppId(std::move(focusedAppId)),
      m_timeouts(timeouts)
{
}

RemoteDesktopKeys::~RemoteDesktopKeys()
{
    if (!m_session.isEmpty())
        m_bus.send(QDBusMessage::createMethodCall(kService, m_session, kSessionInterface, QStringLiteral("Close")));
    forgetSession();
}

bool RemoteDesktopKeys::modifiersHeld()
{
    return false;
}

bool RemoteDesktopKeys::postPasteChord()
{
    if (!trusted())
        return false;
    const bool terminal = m_focusedAppId && isTerminalEmulator(m_focusedAppId());
    keysym(kControlL, true);
    if (terminal)
        keysym(kShiftL, true);
    keysym(kV, true);
    keysym(kV, false);
    if (terminal)
        keysym(kShiftL, false);
    keysym(kControlL, false);
    return true;
}

bool RemoteDesktopKeys::postReturn()
{
    if (!trusted())
        return false;
    keysym(kReturn, true);
    keysym(kReturn, false);
    return true;
}

void RemoteDesktopKeys::start()
{
    if (m_starting || trusted())
        return;
    m_starting = true;
    PortalRequest::registerApp(m_bus, m_appId, m_timeouts.callMs, this, m_registered, [this] { createSession(); });
}

void RemoteDesktopKeys::createSession()
{
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token}, {QStringLiteral("session_handle_token"), token}};
    auto *request = new PortalRequest(m_bus, token, m_timeouts.callMs, m_timeouts.callMs, this);
    connect(request, &PortalRequest::responded, this, [this, request](uint code, const QVariantMap &results) {
        request->deleteLater();
        if (code != 0)
            return fail(QStringLiteral("CreateSession: response %1").arg(code));
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        const QString path = handle.metaType() == QMetaType::fromType<QDBusObjectPath>()
                                 ? handle.value<QDBusObjectPath>().path()
                                 : handle.toString();
        if (!path.startsWith(kSessionPrefix))
            return fail(QStringLiteral("CreateSession: no valid session_handle"));
        m_session = path;
        m_bus.connect(kService, m_session, kSessionInterface, QStringLiteral("Closed"), this,
                      SLOT(onSessionClosed(QVariantMap)));
        selectDevices();
    });
    connect(request, &PortalRequest::failed, this, [this, request](const QString &reason) {
        request->deleteLater();
        fail(reason);
    });
    request->start(call);
}

void RemoteDesktopKeys::selectDevices()
{
    const QString token = nextToken();
    QVariantMap options{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("types"), kKeyboard},
                        {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
    if (!m_restoreToken.isEmpty())
        options.insert(QStringLiteral("restore_token"), m_restoreToken);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SelectDevices"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << options;
    auto *request = new PortalRequest(m_bus, token, m_timeouts.callMs, m_timeouts.callMs, this);
    connect(request, &PortalRequest::responded, this, [this, request](uint code, const QVariantMap &) {
        request->deleteLater();
        if (code != 0)
            return fail(QStringLiteral("SelectDevices: response %1").arg(code));
        startSession();
    });
    connect(request, &PortalRequest::failed, this, [this, request](const QString &reason) {
        request->deleteLater();
        fail(reason);
    });
    request->start(call);
}

void RemoteDesktopKeys::startSession()
{
    if (m_session.isEmpty())
        return fail(QStringLiteral("the portal closed the session"));
    const QString token = nextToken();
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Start"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token}};
    // The desktop's dialog waits for the user: a longer bound, and the loop runs on meanwhile.
    auto *request = new PortalRequest(m_bus, token, m_timeouts.callMs, m_timeouts.dialogMs, this);
    connect(request, &PortalRequest::responded, this, [this, request](uint code, const QVariantMap &results) {
        request->deleteLater();
        if (code != 0)
            return fail(QStringLiteral("Start: response %1 (%2)")
                            .arg(code)
                            .arg(code == 1 ? QLatin1StringView("cancelled") : QLatin1StringView("failed")));
        if (m_session.isEmpty())
            return fail(QStringLiteral("the portal closed the session"));
        if (!(results.value(QStringLiteral("devices")).toUInt() & kKeyboard))
            return fail(QStringLiteral("Start: the desktop granted no keyboard"));
        m_starting = false;
        m_started = true;
        m_log->log(QStringLiteral("Zephyrlatch: synthetic keys go through the desktop's RemoteDesktop portal"));
        const QString restoreToken = results.value(QStringLiteral("restore_token")).toString();
        if (!restoreToken.isEmpty() && restoreToken != m_restoreToken) {
            m_restoreToken = restoreToken;
            emit restoreTokenChanged(restoreToken);
        }
        emit sessionChanged();
    });
    connect(request, &PortalRequest::failed, this, [this, request](const QString &reason) {
        request->deleteLater();
        fail(reason);
    });
    request->start(call);
}

void RemoteDesktopKeys::fail(const QString &reason)
{
    m_log->log(QStringLiteral("Zephyrlatch: the RemoteDesktop portal gives no synthetic keys: ") + reason);
    if (!m_session.isEmpty())
        m_bus.send(QDBusMessage::createMethodCall(kService, m_session, kSessionInterface, QStringLiteral("Close")));
    forgetSession();
    m_starting = false;
    emit sessionChanged();
}

void RemoteDesktopKeys::onSessionClosed(const QVariantMap &)
{
    const bool wasStarted = m_started;
    forgetSession();
    // A start under way notices at its next answer.
    if (wasStarted) {
        m_log->log(QStringLiteral("Zephyrlatch: the desktop ended the RemoteDesktop session; pasting into Wayland "
                                  "windows needs its approval again"));
        emit sessionChanged();
    }
}

void RemoteDesktopKeys::forgetSession()
{
    m_started = false;
    if (m_session.isEmpty())
        return;
    m_bus.disconnect(kService, m_session, kSessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
    m_session.clear();
}

// Sent without waiting: one connection keeps the order, and a session the desktop ended says so
// through its Closed signal.
void RemoteDesktopKeys::keysym(quint32 sym, bool down)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("NotifyKeyboardKeysym"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << qint32(sym) << uint(down ? 1 : 0);
    m_bus.send(call);
}

// Distinct from the GlobalShortcuts client's tokens on the same connection: a Request or Session
// path is derived from the token alone.
QString RemoteDesktopKeys::nextToken()
{
    return QStringLiteral("zephyrlatch_keys_%1").arg(++m_tokenCounter);
}

} // namespace zl
