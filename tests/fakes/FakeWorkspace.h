#pragma once

#include "FakeJournal.h"
#include "Workspace.h"

namespace zl {

/** Nothing is installed and no file exists; every query that matters and every launch is journalled. */
class FakeWorkspace final : public Workspace
{
public:
    explicit FakeWorkspace(FakeJournal &journal) : m_journal(journal) {}

    bool openUrl(const QUrl &url) override
    {
        m_journal.add(QStringLiteral("open ") + url.toString());
        return true;
    }
    QStringList applicationFolders() const override { return {}; }
    std::optional<QString> findApplicationById(const QString &desktopId) override
    {
        m_journal.add(QStringLiteral("id? ") + desktopId);
        return std::nullopt;
    }
    std::optional<QString> findApplicationByName(const QString &name) override
    {
        m_journal.add(QStringLiteral("name? ") + name);
        return std::nullopt;
    }
    bool isHiddenEntry(const QString &) const override { return false; }
    bool launchDesktopEntry(const QString &desktopFile) override
    {
        m_journal.add(QStringLiteral("launch ") + desktopFile);
        return true;
    }
    bool fileExists(const QString &path) const override
    {
        m_journal.add(QStringLiteral("exists? ") + path);
        return false;
    }
    bool isExecutableFile(const QString &) const override { return false; }

private:
    FakeJournal &m_journal;
};

} // namespace zl
