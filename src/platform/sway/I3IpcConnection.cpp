#include "I3IpcConnection.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QList>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace zl {

namespace {

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr qsizetype kHeaderSize = sizeof(kMagic) + 2 * sizeof(quint32);

} // namespace

I3IpcConnection::I3IpcConnection(QObject *parent) : QObject(parent)
{
    connect(&m_socket, &QLocalSocket::readyRead, this, [this] {
        if (!m_inRequest)
            drainEvents();
    });
    connect(&m_socket, &QLocalSocket::disconnected, this, [this] { fail(QStringLiteral("the compositor closed the socket")); });
}

// The socket's own end would otherwise report a disconnection to a half-destroyed connection.
I3IpcConnection::~I3IpcConnection()
{
    m_socket.disconnect(this);
    close();
}

QString I3IpcConnection::refusal(const QString &path)
{
    struct stat info
    {
    };
    if (path.isEmpty())
        return QStringLiteral("no socket named");
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("no such socket");
    if (!S_ISSOCK(info.st_mode))
        return QStringLiteral("not a socket");
    if (info.st_uid != ::getuid())
        return QStringLiteral("the socket belongs to another user");
    return {};
}

bool I3IpcConnection::open(const QString &path, int timeoutMs, QString *error)
{
    close();
    m_failed = false;
    ++m_generation;
    if (const QString why = refusal(path); !why.isEmpty()) {
        *error = why;
        return false;
    }
    m_socket.connectToServer(path);
    if (!m_socket.waitForConnected(timeoutMs)) {
        *error = m_socket.errorString();
        m_socket.abort();
        return false;
    }
    // The file's owner says little once it is bound; the serving process must be ours too.
    ucred peer{};
    socklen_t length = sizeof(peer);
    if (::getsockopt(int(m_socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
        peer.uid != ::getuid()) {
        *error = QStringLiteral("the socket is served by another user");
        m_socket.abort();
        return false;
    }
    return true;
}

void I3IpcConnection::close()
{
    m_buffer.clear();
    if (m_socket.state() != QLocalSocket::UnconnectedState) {
        const QSignalBlocker blocker(&m_socket);
        m_socket.abort();
    }
}

std::optional<QByteArray> I3IpcConnection::request(quint32 type, const QByteArray &payload, int timeoutMs)
{
    if (!isOpen())
        return std::nullopt;
    QByteArray frame(kMagic, sizeof(kMagic));
    const quint32 header[2] = {quint32(payload.size()), type};
    frame.append(reinterpret_cast<const char *>(header), sizeof(header));
    frame.append(payload);
    m_inRequest = true;
    m_socket.write(frame);
    const QDeadlineTimer deadline(timeoutMs);
    QList<Message> events;
    std::optional<QByteArray> reply;
    while (!reply && !m_failed && isOpen()) {
        while (const std::optional<Message> next = takeMessage()) {
            if (next->type == type) {
                reply = next->payload;
                break;
            }
            events.append(*next);
        }
        if (reply || m_failed)
            break;
        if (deadline.hasExpired() || !m_socket.waitForReadyRead(int(deadline.remainingTime()))) {
            if (!m_failed)
                fail(QStringLiteral("no reply within ") + QString::number(timeoutMs) + QStringLiteral(" ms"));
            break;
        }
    }
    m_inRequest = false;
    for (const Message &event : std::as_const(events))
        emit message(event.type, event.payload);
    if (isOpen() && m_socket.bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &I3IpcConnection::drainEvents, Qt::QueuedConnection);
    return reply;
}

std::optional<I3IpcConnection::Message> I3IpcConnection::takeMessage()
{
    m_buffer.append(m_socket.readAll());
    if (m_buffer.size() < kHeaderSize)
        return std::nullopt;
    if (std::memcmp(m_buffer.constData(), kMagic, sizeof(kMagic)) != 0) {
        fail(QStringLiteral("a message without the i3-ipc magic"));
        return std::nullopt;
    }
    quint32 header[2];
    std::memcpy(header, m_buffer.constData() + sizeof(kMagic), sizeof(header));
    if (header[0] > MaxPayload) {
        fail(QStringLiteral("a message of ") + QString::number(header[0]) + QStringLiteral(" bytes"));
        return std::nullopt;
    }
    if (m_buffer.size() < kHeaderSize + qsizetype(header[0]))
        return std::nullopt;
    Message message{header[1], m_buffer.mid(kHeaderSize, header[0])};
    m_buffer.remove(0, kHeaderSize + header[0]);
    return message;
}

void I3IpcConnection::drainEvents()
{
    while (isOpen() && !m_failed) {
        const std::optional<Message> next = takeMessage();
        if (!next)
            return;
        emit message(next->type, next->payload);
    }
}

void I3IpcConnection::fail(const QString &reason)
{
    if (m_failed)
        return;
    m_failed = true;
    close();
    // Never inside a caller's loop over this connection: the owner may reopen it from the slot.
    QMetaObject::invokeMethod(
        this,
        [this, reason, generation = m_generation] {
            if (generation == m_generation)
                emit closed(reason);
        },
        Qt::QueuedConnection);
}

} // namespace zl
