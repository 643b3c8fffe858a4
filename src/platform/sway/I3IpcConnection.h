#pragma once

#include <QByteArray>
#include <QLocalSocket>
#include <QObject>
#include <QString>

#include <optional>

namespace zl {

/**
 * One connection to an i3/sway IPC socket ("i3-ipc", payload length and type in native byte order,
 * then the payload). Only a socket file owned by this user, served by a process of this user, is
 * used. A malformed or oversized message closes the connection. Main thread.
 */
class I3IpcConnection final : public QObject
{
    Q_OBJECT

public:
    static constexpr quint32 RunCommand = 0;
    static constexpr quint32 Subscribe = 2;
    static constexpr quint32 GetTree = 4;
    static constexpr quint32 GetConfig = 9;
    static constexpr quint32 EventBit = 0x80000000u;
    static constexpr quint32 WorkspaceEvent = EventBit | 0;
    static constexpr quint32 BindingEvent = EventBit | 5;
    /** Command replies and binding events are small; anything larger is not from a sane peer. */
    static constexpr quint32 MaxPayload = 4u << 20;

    explicit I3IpcConnection(QObject *parent = nullptr);
    ~I3IpcConnection() override;

    /** Why path may not be used (not a socket, another user's), or empty when it may. */
    static QString refusal(const QString &path);

    /** Connects within timeoutMs; false and *error set otherwise. */
    bool open(const QString &path, int timeoutMs, QString *error);
    void close();
    bool isOpen() const { return m_socket.state() == QLocalSocket::ConnectedState; }
    /** Why the connection last failed, one line. */
    QString errorString() const { return m_error; }

    /** Sends one message and waits at most timeoutMs for the reply of that type; none on failure. */
    std::optional<QByteArray> request(quint32 type, const QByteArray &payload, int timeoutMs);

Q_SIGNALS:
    /** A message that arrived outside a request (an event). */
    void message(quint32 type, const QByteArray &payload);
    /** The connection ended or was dropped for a protocol fault; reason is one line. */
    void closed(const QString &reason);

private:
    struct Message
    {
        quint32 type = 0;
        QByteArray payload;
    };

    std::optional<Message> takeMessage();
    void drainEvents();
    void fail(const QString &reason);

    QLocalSocket m_socket;
    QByteArray m_buffer;
    bool m_inRequest = false;
    bool m_failed = false;
    QString m_error;
    // Tells a queued end of an earlier connection from the current one.
    quint64 m_generation = 0;
};

} // namespace zl
