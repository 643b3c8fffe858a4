#pragma once

#include <chrono>
#include <functional>

namespace zl {

/** Deferred work on the main thread and the clock it is measured against. */
class Scheduler
{
public:
    virtual ~Scheduler() = default;

    /** Runs task once on the main thread no earlier than delay from now; tasks with equal deadlines run in order. */
    virtual void schedule(std::chrono::milliseconds delay, std::function<void()> task) = 0;

    /** Monotonic time; only differences are meaningful. */
    virtual std::chrono::milliseconds now() const = 0;
};

} // namespace zl
