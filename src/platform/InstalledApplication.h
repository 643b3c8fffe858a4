#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace zl {

/** An application the desktop shows in its menus. */
struct InstalledApplication
{
    /** The desktop-file ID without ".desktop", as the launcher takes it. */
    QString id;
    QString name;
    /** An icon-theme name or an absolute file path; may be empty. */
    QString icon;
};

/** Lists the installed applications sorted by name; may read the disk, so call it when needed. */
using ApplicationLister = std::function<QList<InstalledApplication>()>;

} // namespace zl
