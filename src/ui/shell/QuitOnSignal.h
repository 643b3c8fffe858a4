#pragma once

#include <QObject>

class QSocketNotifier;

namespace zl {

/** Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop. One per process. */
class QuitOnSignal final : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignal(QObject *parent = nullptr);
    ~QuitOnSignal() override;

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace zl
