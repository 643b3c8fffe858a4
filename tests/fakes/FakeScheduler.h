#pragma once

#include "Scheduler.h"

#include <map>
#include <utility>

namespace zl {

/** Virtual time: tasks run only when a test advances the clock, in deadline order, never sleeping. */
class FakeScheduler final : public Scheduler
{
public:
    void schedule(std::chrono::milliseconds delay, std::function<void()> task) override
    {
        m_tasks.emplace(std::make_pair(m_now + delay, m_sequence++), std::move(task));
    }

    std::chrono::milliseconds now() const override { return m_now; }

    /** Runs every task due up to now + span (tasks scheduled meanwhile included), then sets the clock there. */
    void advance(std::chrono::milliseconds span)
    {
        const auto end = m_now + span;
        while (!m_tasks.empty() && m_tasks.begin()->first.first <= end) {
            auto node = m_tasks.extract(m_tasks.begin());
            m_now = node.key().first;
            node.mapped()();
        }
        m_now = end;
    }

    std::size_t pending() const { return m_tasks.size(); }

private:
    std::chrono::milliseconds m_now{0};
    quint64 m_sequence = 0;
    std::map<std::pair<std::chrono::milliseconds, quint64>, std::function<void()>> m_tasks;
};

} // namespace zl
