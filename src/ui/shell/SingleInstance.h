#pragma once

#include <QHash>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QLocalServer;

namespace zl {

/**
 * One running program per user: the first instance holds a lock and listens on a local socket in
 * $XDG_RUNTIME_DIR; a later one asks it to show its main window and steps aside.
 */
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    /** folder empty means $XDG_RUNTIME_DIR (or a private folder in the temp dir). */
    explicit SingleInstance(const QString &folder = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    /** True when this process is the one instance; otherwise the running one was asked to show itself. */
    bool claim();

    QString socketPath() const;

    /** Answers a request line other than "show" (the trigger command's); same user only. */
    using RequestHandler = std::function<QByteArray(const QByteArray &line)>;
    void setRequestHandler(RequestHandler handler) { m_handler = std::move(handler); }

    /** Sends one request line to the running instance and returns its answer; none without one. */
    std::optional<QByteArray> ask(const QByteArray &line) const;

signals:
    /** Another launch asked the running instance to show its main window. */
    void activationRequested();

private:
    void acceptConnections();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    RequestHandler m_handler;
    QHash<const QObject *, QByteArray> m_pending;
};

} // namespace zl
