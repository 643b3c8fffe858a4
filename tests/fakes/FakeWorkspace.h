#pragma once

#include "FakeJournal.h"
#include "Workspace.h"

#include <QHash>
#include <QSet>

namespace zl {

/** Installed entries and files are plain tables; every query and launch is journalled. */
class FakeWorkspace final : public Workspace
{
public:
    explicit FakeWorkspace(FakeJournal &journal) : m_journal(journal) {}

    bool openUrl(const QUrl &url) override
    {
        m_journal.add(QStringLiteral("open ") + url.toString());
        return true;
    }
    QStringList applicationFolders() const override { return folders; }
    std::optional<QString> findApplicationById(const QString &desktopId) override
    {
        m_journal.add(QStringLiteral("id? ") + desktopId);
        return lookup(byId, desktopId);
    }
    std::optional<QString> findApplicationByName(const QString &name) override
    {
        m_journal.add(QStringLiteral("name? ") + name);
        return lookup(byName, name);
    }
    bool isHiddenEntry(const QString &desktopFile) const override { return hidden.contains(desktopFile); }
    bool launchDesktopEntry(const QString &desktopFile) override
    {
        m_journal.add(QStringLiteral("launch ") + desktopFile);
        return true;
    }
    bool fileExists(const QString &path) const override
    {
        m_journal.add(QStringLiteral("exists? ") + path);
        return files.contains(path) || executables.contains(path);
    }
    bool isExecutableFile(const QString &path) const override { return executables.contains(path); }

    QStringList folders;
    QHash<QString, QString> byId;
    QHash<QString, QString> byName;
    QSet<QString> files;
    QSet<QString> executables;
    QSet<QString> hidden;

private:
    static std::optional<QString> lookup(const QHash<QString, QString> &table, const QString &key)
    {
        const auto it = table.constFind(key);
        return it == table.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }

    FakeJournal &m_journal;
};

} // namespace zl
