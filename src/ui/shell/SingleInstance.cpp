#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <sys/socket.h>
#include <unistd.h>

namespace zl {

namespace {

const QByteArray kShowRequest = "show\n";
constexpr int kConnectTimeoutMs = 1000;
// A run or a list answers at once; an import of a large file may take a moment.
constexpr int kReplyTimeoutMs = 10000;
// Far more than any request line (a path or a name), far less than could hurt.
constexpr qint64 kMaxRequestBytes = 64 * 1024;

QString runtimeFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/zephyrlatch-") + QString::number(getuid());
    return folder;
}

// The socket's file permissions are the first guard; the kernel's word on the caller is the last.
bool isSameUser(qintptr descriptor)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    return getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == geteuid();
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder.isEmpty() ? runtimeFolder() : folder)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() const
{
    return m_folder + QStringLiteral("/zephyrlatch.socket");
}

bool SingleInstance::claim()
{
    QDir().mkpath(m_folder);
    QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_lock = std::make_unique<QLockFile>(m_folder + QStringLiteral("/zephyrlatch.lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(100)) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(kConnectTimeoutMs)) {
            socket.write(kShowRequest);
            socket.waitForBytesWritten(kConnectTimeoutMs);
            socket.disconnectFromServer();
        }
        return false;
    }

    // The lock is ours, so any socket file left behind belongs to a dead instance.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(socketPath()))
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::setRequestHandler(std::function<QByteArray(const QByteArray &)> handler)
{
    m_handler = std::move(handler);
}

std::optional<QByteArray> SingleInstance::ask(const QByteArray &request) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return std::nullopt;
    socket.write(request);
    QByteArray reply;
    // The instance closes the connection once it has answered; the whole wait is bounded.
    const QDeadlineTimer deadline(kReplyTimeoutMs);
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()
           && socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
        reply += socket.readAll();
    reply += socket.readAll();
    if (reply.isEmpty())
        return std::nullopt;
    return reply;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (!isSameUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequestBytes)
                    socket->abort();
                return;
            }
            const QByteArray request = socket->readLine(kMaxRequestBytes);
            if (request == kShowRequest)
                emit activationRequested();
            else if (m_handler)
                socket->write(m_handler(request));
            socket->disconnectFromServer();
        });
    }
}

} // namespace zl
