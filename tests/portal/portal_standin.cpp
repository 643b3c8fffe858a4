// A stand-in for xdg-desktop-portal's GlobalShortcuts, RemoteDesktop (keyboard only), Registry,
// Request and Session objects, for the calls the clients make, on whatever session bus it is
// started on. A control interface lets a test assign other triggers or none, make a method stay
// silent or answer with an error code, and press a bound shortcut; Log() returns the calls it has
// seen, one line each.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QHash>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

struct Entry
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const Entry &entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Entry &entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

Q_DECLARE_METATYPE(Entry)

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kControl = QStringLiteral("io.github.zephyrlatch.PortalStandIn");

QString senderElement(const QDBusMessage &message)
{
    return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
}

class StandInPortal final : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        QDBusConnection bus(connection);
        const QString iface = message.interface();
        const QString member = message.member();
        if (message.path() == kPath && (iface == kShortcuts || iface == kRemoteDesktop) && member == u"CreateSession")
            return createSession(message, bus);
        if (message.path() == kPath && iface == kShortcuts && member == u"BindShortcuts")
            return bindShortcuts(message, bus);
        if (message.path() == kPath && iface == kRemoteDesktop)
            return remoteDesktopCall(message, bus);
        if (message.path() == kPath && iface == kControl)
            return controlCall(message, bus);
        if (message.path() == kPath && iface == u"org.freedesktop.host.portal.Registry" && member == u"Register")
            return logAndReply(message, bus, QStringLiteral("Register ") + message.arguments().value(0).toString());
        if (iface == u"org.freedesktop.portal.Session" && member == u"Close" && m_sessions.remove(message.path()))
            return logAndReply(message, bus, QStringLiteral("Session.Close ") + message.path().section(u'/', -1));
        if (iface == u"org.freedesktop.portal.Request" && member == u"Close")
            return logAndReply(message, bus, QStringLiteral("Request.Close"));
        return false;
    }

private:
    struct Session
    {
        QString owner;
        bool bound = false;
        QStringList shortcuts; // the ids bound
        bool started = false;
    };

    bool logAndReply(const QDBusMessage &message, QDBusConnection &bus, const QString &line)
    {
        m_log << line;
        bus.send(message.createReply());
        return true;
    }

    static bool fail(const QDBusMessage &message, QDBusConnection &bus, const QString &text)
    {
        bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"), text));
        return true;
    }

    // Answers as xdg-desktop-portal does: the reply names the Request, whose Response follows.
    bool respond(const QDBusMessage &message, QDBusConnection &bus, const QVariantMap &options,
                 const QVariantMap &results, const QString &sessionPath)
    {
        const QString member = message.member();
        const QString silence = m_silence.value(member);
        if (silence == u"reply")
            return true;
        const QString token = options.value(QStringLiteral("handle_token"), QStringLiteral("t")).toString();
        const QString requestPath = QStringLiteral("%1/request/%2/%3").arg(kPath, senderElement(message), token);
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
        if (silence == u"response")
            return true;
        const uint code = m_codes.value(member);
        if (member == u"CreateSession" && code == 0)
            m_sessions.insert(sessionPath, {message.service(), false, {}, false});
        if (member == u"Start" && code == 0)
            m_sessions[sessionPath].started = true;
        QDBusMessage response = QDBusMessage::createTargetedSignal(message.service(), requestPath,
                                                                   QStringLiteral("org.freedesktop.portal.Request"),
                                                                   QStringLiteral("Response"));
        response << code << (code == 0 ? results : QVariantMap());
        bus.send(response);
        return true;
    }

    bool createSession(const QDBusMessage &message, QDBusConnection &bus)
    {
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(0));
        const QString token = options.value(QStringLiteral("session_handle_token"), QStringLiteral("s")).toString();
        const QString sessionPath = QStringLiteral("%1/session/%2/%3").arg(kPath, senderElement(message), token);
        m_log << (message.interface() == kRemoteDesktop ? QStringLiteral("RemoteDesktop.") : QString())
                     + QStringLiteral("CreateSession ") + token;
        if (m_sessions.contains(sessionPath))
            return fail(message, bus, QStringLiteral("Session already exists"));
        return respond(message, bus, options, {{QStringLiteral("session_handle"), sessionPath}}, sessionPath);
    }

    bool remoteDesktopCall(const QDBusMessage &message, QDBusConnection &bus)
    {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        if (args.isEmpty())
            return false;
        const QString sessionPath = qvariant_cast<QDBusObjectPath>(args.at(0)).path();
        const auto session = m_sessions.constFind(sessionPath);
        if (member == u"NotifyKeyboardKeysym" && args.size() == 4) {
            m_log << QStringLiteral("Keysym %1%2")
                         .arg(QChar(args.at(3).toUInt() ? u'+' : u'-'))
                         .arg(QString::number(args.at(2).toInt(), 16));
            if (session == m_sessions.cend() || session->owner != message.service() || !session->started)
                return fail(message, bus, QStringLiteral("Session is not started"));
            bus.send(message.createReply());
            return true;
        }
        if (session == m_sessions.cend() || session->owner != message.service())
            return fail(message, bus, QStringLiteral("Invalid session"));
        QVariantMap options;
        QVariantMap results;
        if (member == u"SelectDevices" && args.size() == 2) {
            options = qdbus_cast<QVariantMap>(args.at(1));
            m_log << QStringLiteral("SelectDevices types=%1 persist_mode=%2 restore_token=%3")
                         .arg(options.value(QStringLiteral("types")).toUInt())
                         .arg(options.value(QStringLiteral("persist_mode")).toUInt())
                         .arg(options.value(QStringLiteral("restore_token")).toString());
        } else if (member == u"Start" && args.size() == 3) {
            options = qdbus_cast<QVariantMap>(args.at(2));
            m_log << QStringLiteral("Start");
            results.insert(QStringLiteral("devices"), 1u);
            results.insert(QStringLiteral("restore_token"), QStringLiteral("token-%1").arg(++m_restoreTokens));
        } else {
            return false;
        }
        return respond(message, bus, options, results, sessionPath);
    }

    bool bindShortcuts(const QDBusMessage &message, QDBusConnection &bus)
    {
        const QVariantList args = message.arguments();
        if (args.size() != 4)
            return false;
        const QString sessionPath = qvariant_cast<QDBusObjectPath>(args.at(0)).path();
        const QList<Entry> entries = qdbus_cast<QList<Entry>>(args.at(1));
        QStringList described;
        for (const Entry &entry : entries)
            described << entry.id + QLatin1Char('=')
                             + entry.properties.value(QStringLiteral("preferred_trigger")).toString();
        m_log << QStringLiteral("BindShortcuts %1 %2")
                     .arg(sessionPath.section(QLatin1Char('/'), -1), described.join(QLatin1Char(';')));
        auto session = m_sessions.find(sessionPath);
        // A session binds once, as xdg-desktop-portal enforces.
        if (session == m_sessions.end() || session->owner != message.service() || session->bound)
            return fail(message, bus, QStringLiteral("Invalid state"));
        QList<Entry> answered;
        QStringList ids;
        for (const Entry &entry : entries) {
            const QString trigger =
                m_triggers.value(entry.id, entry.properties.value(QStringLiteral("preferred_trigger")).toString());
            // No trigger: the desktop left the shortcut out.
            if (trigger.isEmpty())
                continue;
            ids << entry.id;
            answered.append({entry.id,
                             {{QStringLiteral("description"), entry.properties.value(QStringLiteral("description"))},
                              {QStringLiteral("trigger_description"), trigger}}});
        }
        if (m_codes.value(message.member()) == 0) {
            session->bound = true;
            session->shortcuts = ids;
        }
        return respond(message, bus, qdbus_cast<QVariantMap>(args.at(3)),
                       {{QStringLiteral("shortcuts"), QVariant::fromValue(answered)}}, sessionPath);
    }

    bool controlCall(const QDBusMessage &message, QDBusConnection &bus)
    {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        QVariant answer;
        // Answer(method, silence: "reply", "response" or none, response code)
        if (member == u"Answer" && args.size() == 3) {
            m_silence.insert(args.at(0).toString(), args.at(1).toString());
            m_codes.insert(args.at(0).toString(), args.at(2).toUInt());
        } else if (member == u"SetTrigger" && args.size() == 2) {
            m_triggers.insert(args.at(0).toString(), args.at(1).toString());
        } else if (member == u"Activate" && args.size() == 1) {
            answer = activate(args.at(0).toString(), bus);
        } else if (member == u"EndSessions") {
            // As when the user stops the sharing in the desktop's indicator.
            for (auto session = m_sessions.cbegin(); session != m_sessions.cend(); ++session) {
                QDBusMessage closed = QDBusMessage::createTargetedSignal(
                    session->owner, session.key(), QStringLiteral("org.freedesktop.portal.Session"),
                    QStringLiteral("Closed"));
                closed << QVariantMap();
                bus.send(closed);
            }
            m_sessions.clear();
        } else if (member == u"Log") {
            answer = m_log;
        } else {
            return false;
        }
        bus.send(answer.isValid() ? message.createReply(answer) : message.createReply());
        return true;
    }

    bool activate(const QString &id, QDBusConnection &bus)
    {
        for (auto session = m_sessions.cbegin(); session != m_sessions.cend(); ++session) {
            if (!session->shortcuts.contains(id))
                continue;
            QDBusMessage signal =
                QDBusMessage::createTargetedSignal(session->owner, kPath, kShortcuts, QStringLiteral("Activated"));
            signal << QVariant::fromValue(QDBusObjectPath(session.key())) << id << quint64(1) << QVariantMap();
            bus.send(signal);
            return true;
        }
        return false;
    }

    QStringList m_log;
    QHash<QString, Session> m_sessions;
    QHash<QString, QString> m_silence;
    QHash<QString, uint> m_codes;
    QHash<QString, QString> m_triggers;
    int m_restoreTokens = 0;
};

} // namespace

int main(int argc, char **argv)
{
    // Goes with the test that started it, even when that test crashes.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Entry>();
    qDBusRegisterMetaType<QList<Entry>>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    StandInPortal portal;
    if (!bus.registerVirtualObject(kPath, &portal, QDBusConnection::SubPath) || !bus.registerService(kService)) {
        std::fprintf(stderr, "portal_standin: cannot serve %s: %s\n", qPrintable(kService),
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}
