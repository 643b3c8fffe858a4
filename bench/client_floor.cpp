// zl_bench_clientfloor NAME-OR-ID: the trigger request (`zephyrlatch --run`) sent by a process that
// loads QtCore and QtNetwork only, to show what the program's Widgets and Gui libraries add to the
// trigger command's start. Speaks the instance socket's line protocol: "run <percent-encoded>\n".
#include <QCoreApplication>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QUrl>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QLocalSocket socket;
    socket.connectToServer(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                           QStringLiteral("/zephyrlatch.socket"));
    if (!socket.waitForConnected(1000))
        return 2;
    socket.write("run " + QUrl::toPercentEncoding(QString::fromLocal8Bit(argv[1])) + '\n');
    QByteArray reply;
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(10000))
        reply += socket.readAll();
    reply += socket.readAll();
    return reply.startsWith("0\n") ? 0 : 1;
}
