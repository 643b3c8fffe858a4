#pragma once

#include "Scheduler.h"

#include <QString>
#include <QStringList>

namespace zl {

/** Calls of several fakes in one order, each stamped "<ms>:<what>" with the scheduler's time. */
class FakeJournal final
{
public:
    explicit FakeJournal(const Scheduler &clock) : m_clock(clock) {}

    void add(const QString &what) { m_entries.append(QString::number(m_clock.now().count()) + u':' + what); }
    const QStringList &entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

private:
    const Scheduler &m_clock;
    QStringList m_entries;
};

} // namespace zl
