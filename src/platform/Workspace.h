#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace zl {

/** Desktop integration: applications described by desktop entries, default handlers, files. */
class Workspace
{
public:
    virtual ~Workspace() = default;

    /** Hands url to its default handler without waiting; false when refused (callers may ignore it). */
    virtual bool openUrl(const QUrl &url) = 0;

    /** The XDG application folders in lookup order ($XDG_DATA_HOME first), each without a trailing slash. */
    virtual QStringList applicationFolders() const = 0;

    /**
     * The file of the installed desktop entry with this desktop-file ID ("org.x.App.desktop"), if any; none when
     * the first folder that has the ID marks it Hidden=true.
     */
    virtual std::optional<QString> findApplicationById(const QString &desktopId) = 0;

    /** The file of an installed desktop entry whose Name (plain or localized) equals name, if any. */
    virtual std::optional<QString> findApplicationByName(const QString &name) = 0;

    /** True when the desktop entry in desktopFile says Hidden=true: it counts as deleted, and so does its ID. */
    virtual bool isHiddenEntry(const QString &desktopFile) const = 0;

    /** Launches the desktop entry in file desktopFile without waiting; false when it could not be started. */
    virtual bool launchDesktopEntry(const QString &desktopFile) = 0;

    /** True when anything exists at path (a dangling symbolic link counts as nothing). */
    virtual bool fileExists(const QString &path) const = 0;

    /** True when path is a regular file the user may execute. */
    virtual bool isExecutableFile(const QString &path) const = 0;
};

} // namespace zl
