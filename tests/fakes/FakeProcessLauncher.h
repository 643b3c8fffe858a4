#pragma once

#include "FakeJournal.h"
#include "ProcessLauncher.h"

namespace zl {

/** Records each start as "start <program> [<arg>]...". */
class FakeProcessLauncher final : public ProcessLauncher
{
public:
    explicit FakeProcessLauncher(FakeJournal &journal) : m_journal(journal) {}

    QString userShell() const override { return QStringLiteral("/fake/bin/zsh"); }
    std::optional<QString> startDetached(const QString &program, const QStringList &arguments) override
    {
        QString line = QStringLiteral("start ") + program;
        for (const QString &argument : arguments)
            line += QStringLiteral(" [") + argument + u']';
        m_journal.add(line);
        return std::nullopt;
    }

private:
    FakeJournal &m_journal;
};

} // namespace zl
