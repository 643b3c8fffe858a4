#include "EventLoopScheduler.h"

#include <QTimer>

namespace zl {

// Precise timers: the pacing of a paste is tens of milliseconds, and coarse timers may slip by 5 %
// and reorder steps whose deadlines are close.
void EventLoopScheduler::schedule(std::chrono::milliseconds delay, std::function<void()> task)
{
    QTimer::singleShot(delay, Qt::PreciseTimer, &m_context, std::move(task));
}

std::chrono::milliseconds EventLoopScheduler::now() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace zl
