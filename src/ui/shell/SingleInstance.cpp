#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QDeadlineTimer>
#include <QStandardPaths>

#include <sys/socket.h>
#include <unistd.h>

namespace zl {

namespace {

const QByteArray kShowRequest = "show\n";
constexpr int kConnectTimeoutMs = 1000;
// A request line is a verb and a percent-encoded argument; nothing longer is legitimate.
constexpr qsizetype kMaxRequest = 64 * 1024;

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

std::optional<QByteArray> SingleInstance::ask(const QByteArray &line) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return std::nullopt;
    socket.write(line + '\n');
    QByteArray answer;
    const QDeadlineTimer deadline(5000);
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.waitForReadyRead(int(deadline.remainingTime())))
            answer += socket.readAll();
    }
    answer += socket.readAll();
    return answer;
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
            QByteArray &pending = m_pending[socket];
            pending += socket->readAll();
            const qsizetype end = pending.indexOf('\n');
            if (end < 0 && pending.size() < kMaxRequest)
                return;
            const QByteArray line = pending.left(end);
            m_pending.remove(socket);
            if (line == kShowRequest.trimmed())
                emit activationRequested();
            else if (m_handler && end >= 0)
                socket->write(m_handler(line));
            socket->disconnectFromServer();
        });
        connect(socket, &QObject::destroyed, this, [this, socket] { m_pending.remove(socket); });
    }
}

} // namespace zl
