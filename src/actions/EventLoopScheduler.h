#pragma once

#include "Scheduler.h"

#include <QObject>

namespace zl {

/** Scheduler on the Qt event loop of the thread that owns it; pending tasks die with it. */
class EventLoopScheduler final : public Scheduler
{
public:
    EventLoopScheduler() = default;

    void schedule(std::chrono::milliseconds delay, std::function<void()> task) override;
    std::chrono::milliseconds now() const override;

private:
    QObject m_context;
};

} // namespace zl
