#include "SwayHotkeyService.h"

#include "KeyCodes.h"
#include "LogSink.h"
#include "ShortcutItem.h"
#include "SwayConfigBindings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>

namespace zl {

namespace {

class SwayHotkeyEvent final : public HotkeyEvent
{
public:
    explicit SwayHotkeyEvent(HotkeyIdentifier identifier) : m_identifier(identifier) {}
    HotkeyIdentifier identifier() const { return m_identifier; }

private:
    HotkeyIdentifier m_identifier;
};

// A local compositor answers in well under a millisecond; one that does not within this is hung.
constexpr int kRequestTimeoutMs = 1000;
constexpr int kFirstRetryMs = 100;
constexpr int kLongestRetryMs = 5000;
const QString kCommandPrefix = QStringLiteral("nop zephyrlatch:");

QString combinationText(quint8 keycode, quint32 modifiers)
{
    QString text;
    if (modifiers & Modifier::Control)
        text += QStringLiteral("Ctrl+");
    if (modifiers & Modifier::Option)
        text += QStringLiteral("Mod1+");
    if (modifiers & Modifier::Shift)
        text += QStringLiteral("Shift+");
    if (modifiers & Modifier::Command)
        text += QStringLiteral("Mod4+");
    return text + QString::number(keycode);
}

} // namespace

SwayHotkeyService::SwayHotkeyService(const QString &path, LogSink *logSink, QObject *parent)
    : QObject(parent), m_path(path), m_log(logSink)
{
    connect(&m_commands, &I3IpcConnection::closed, this, &SwayHotkeyService::lost);
    connect(&m_events, &I3IpcConnection::closed, this, &SwayHotkeyService::lost);
    connect(&m_events, &I3IpcConnection::message, this, &SwayHotkeyService::handleEvent);
    m_releaseTimer.setSingleShot(true);
    m_releaseTimer.setInterval(0);
    connect(&m_releaseTimer, &QTimer::timeout, this, &SwayHotkeyService::releasePending);
    m_reconnectTimer.setSingleShot(true);
    connect(&m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (connectNow())
            log(QStringLiteral("Zephyrlatch: connected to sway IPC again; hotkeys bound again"));
        else
            lost({});
    });
    if (!connectNow())
        lost(QStringLiteral("no connection at start"));
}

SwayHotkeyService::~SwayHotkeyService()
{
    for (const auto &[ref, registration] : m_registrations)
        m_releasing.emplace(registration.combination, registration.token);
    releasePending();
}

HotkeyStatus SwayHotkeyService::installEventHandler(Handler handler, EventHandlerRef *ref)
{
    if (m_handler)
        return HandlerInstalled;
    m_handler = std::move(handler);
    *ref = 1;
    return 0;
}

HotkeyStatus SwayHotkeyService::registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                               HotkeyRef *ref)
{
    const std::optional<quint8> keycode = KeyCodes::x11KeyCode(keyCode);
    if (!keycode)
        return UnknownKey;
    const Combination combination{*keycode, modifiers & Modifier::All};
    if (m_held.contains(combination))
        return AlreadyHeld;
    Registration registration{combination, identifier, {}};
    if (const auto released = m_releasing.find(combination); released != m_releasing.end()) {
        // Still bound from this turn: keep the binding, so a press already on its way counts.
        registration.token = released->second;
        m_releasing.erase(released);
    } else {
        registration.token = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (const HotkeyStatus status = bind(registration); status != 0)
            return status;
    }
    const HotkeyRef newRef = m_nextRef++;
    m_registrations.emplace(newRef, std::move(registration));
    m_held.emplace(combination, newRef);
    *ref = newRef;
    return 0;
}

void SwayHotkeyService::unregisterHotkey(HotkeyRef ref)
{
    const auto it = m_registrations.find(ref);
    if (it == m_registrations.end())
        return;
    m_held.erase(it->second.combination);
    m_releasing.emplace(it->second.combination, it->second.token);
    m_registrations.erase(it);
    m_releaseTimer.start();
}

HotkeyStatus SwayHotkeyService::eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const
{
    const auto *ours = dynamic_cast<const SwayHotkeyEvent *>(event);
    if (!ours)
        return ForeignEvent;
    *identifier = ours->identifier();
    return 0;
}

bool SwayHotkeyService::connectNow()
{
    QString error;
    bool ok = m_commands.open(m_path, kRequestTimeoutMs, &error) && m_events.open(m_path, kRequestTimeoutMs, &error);
    if (ok) {
        const auto subscribed = m_events.request(I3IpcConnection::Subscribe,
                                                 QByteArrayLiteral(R"(["binding","workspace"])"), kRequestTimeoutMs);
        std::optional<QByteArray> config;
        if (!subscribed)
            error = m_events.errorString();
        else if (!QJsonDocument::fromJson(*subscribed).object().value(u"success").toBool())
            error = QStringLiteral("the compositor did not accept the subscription");
        else if (config = m_commands.request(I3IpcConnection::GetConfig, {}, kRequestTimeoutMs); !config)
            error = m_commands.errorString();
        else
            m_configured =
                SwayConfigBindings::parse(QJsonDocument::fromJson(*config).object().value(u"config").toString());
        ok = error.isEmpty();
    }
    if (!ok) {
        m_commands.close();
        m_events.close();
        if (m_backoffMs == 0)
            log(QStringLiteral("Zephyrlatch: cannot use the sway IPC socket ") + m_path + QStringLiteral(": ") + error);
        return false;
    }
    m_backoffMs = 0;
    bindAll();
    emit connected();
    return true;
}

void SwayHotkeyService::lost(const QString &reason)
{
    m_commands.close();
    m_events.close();
    if (m_reconnectTimer.isActive())
        return;
    if (m_backoffMs == 0 && !reason.isEmpty())
        log(QStringLiteral("Zephyrlatch: sway IPC connection lost (") + reason + QStringLiteral("); reconnecting"));
    m_backoffMs = m_backoffMs == 0 ? kFirstRetryMs : std::min(m_backoffMs * 2, kLongestRetryMs);
    m_reconnectTimer.start(m_backoffMs);
}

void SwayHotkeyService::bindAll()
{
    for (const auto &[ref, registration] : m_registrations) {
        if (const HotkeyStatus status = bind(registration); status != 0)
            log(QStringLiteral("Zephyrlatch: sway no longer accepts the hotkey ") +
                combinationText(registration.combination.first, registration.combination.second) +
                QStringLiteral(": ") + QString::number(status));
    }
}

HotkeyStatus SwayHotkeyService::bind(const Registration &registration)
{
    const auto [keycode, modifiers] = registration.combination;
    if (m_configured.contains(registration.combination))
        return BoundElsewhere;
    QString error;
    const QString combination = combinationText(keycode, modifiers);
    // sway keeps the first of two bindings of one combination, so a binding of ours from before
    // (an earlier registration, a crashed run) goes first.
    if (runCommand(QStringLiteral("unbindcode ") + combination + QStringLiteral("; bindcode --no-repeat ") +
                       combination + u' ' + kCommandPrefix + registration.token,
                   &error))
        return 0;
    if (!isConnected())
        return 0; // kept; bound again at the reconnect
    log(QStringLiteral("Zephyrlatch: sway refused the binding ") + combination + QStringLiteral(": ") + error);
    return Refused;
}

void SwayHotkeyService::unbind(const Combination &combination)
{
    QString error;
    runCommand(QStringLiteral("unbindcode ") + combinationText(combination.first, combination.second), &error);
}

void SwayHotkeyService::releasePending()
{
    const std::map<Combination, QString> releasing = std::exchange(m_releasing, {});
    for (const auto &[combination, token] : releasing)
        unbind(combination);
}

void SwayHotkeyService::handleEvent(quint32 type, const QByteArray &payload)
{
    const QJsonObject event = QJsonDocument::fromJson(payload).object();
    if (type == I3IpcConnection::WorkspaceEvent) {
        // A configuration reload drops every runtime binding and may change the configured ones.
        if (event.value(u"change").toString() == u"reload" && isConnected()) {
            if (const auto config = m_commands.request(I3IpcConnection::GetConfig, {}, kRequestTimeoutMs))
                m_configured =
                    SwayConfigBindings::parse(QJsonDocument::fromJson(*config).object().value(u"config").toString());
            bindAll();
        }
        return;
    }
    if (type != I3IpcConnection::BindingEvent || !m_handler)
        return;
    const QString command = event.value(u"binding").toObject().value(u"command").toString();
    if (!command.startsWith(kCommandPrefix))
        return;
    const QStringView token = QStringView(command).mid(kCommandPrefix.size()).trimmed();
    const auto it = std::find_if(m_registrations.begin(), m_registrations.end(),
                                 [&](const auto &entry) { return entry.second.token == token; });
    if (it == m_registrations.end())
        return;
    const SwayHotkeyEvent hotkeyEvent(it->second.identifier);
    m_handler(&hotkeyEvent);
}

bool SwayHotkeyService::runCommand(const QString &command, QString *error)
{
    const std::optional<QByteArray> reply =
        m_commands.request(I3IpcConnection::RunCommand, command.toUtf8(), kRequestTimeoutMs);
    if (!reply) {
        *error = QStringLiteral("no reply");
        return false;
    }
    const QJsonArray results = QJsonDocument::fromJson(*reply).array();
    if (results.isEmpty()) {
        *error = QStringLiteral("an unreadable reply");
        return false;
    }
    // Only the last command counts: an unbind before a bind may find nothing to remove.
    const QJsonObject last = results.last().toObject();
    *error = last.value(u"error").toString();
    return last.value(u"success").toBool();
}

void SwayHotkeyService::log(const QString &line) const
{
    if (m_log)
        m_log->log(line);
}

namespace {

// The focused node is a leaf marked "focused"; windows sit in "nodes" and "floating_nodes".
QString focusedIn(const QJsonObject &node)
{
    if (node.value(u"focused").toBool()) {
        const QString appId = node.value(u"app_id").toString();
        if (!appId.isEmpty())
            return appId;
        const QJsonObject x11 = node.value(u"window_properties").toObject();
        return x11.value(u"class").toString() + u'\n' + x11.value(u"instance").toString();
    }
    for (const char16_t *children : {u"nodes", u"floating_nodes"}) {
        for (const QJsonValue child : node.value(QStringView(children)).toArray()) {
            if (const QString found = focusedIn(child.toObject()); !found.isEmpty())
                return found;
        }
    }
    return {};
}

} // namespace

QString SwayHotkeyService::focusedAppId()
{
    const std::optional<QByteArray> tree = m_commands.request(I3IpcConnection::GetTree, {}, kRequestTimeoutMs);
    return tree ? focusedIn(QJsonDocument::fromJson(*tree).object()) : QString();
}

} // namespace zl
