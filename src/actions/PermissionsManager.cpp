#include "PermissionsManager.h"

#include "AccessibilityTrust.h"
#include "Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace zl {

namespace {

const QLatin1StringView kHelpPage("zephyrlatch/help/pasting.html");

} // namespace

PermissionsManager::PermissionsManager(AccessibilityTrust &trust, Workspace &workspace)
    : m_trust(trust), m_workspace(workspace)
{
}

bool PermissionsManager::isTrusted() const
{
    return m_trust.isTrusted();
}

void PermissionsManager::requestTrust()
{
    m_trust.requestTrust();
}

void PermissionsManager::openAccessibilitySettings()
{
    const QString page = helpPagePath();
    if (!page.isEmpty())
        m_workspace.openUrl(QUrl::fromLocalFile(page));
}

QStringList PermissionsManager::helpPageCandidates()
{
    QStringList candidates;
    if (QCoreApplication::instance()) {
        // <prefix>/bin/zephyrlatch ships its page in <prefix>/share/zephyrlatch/help.
        const QDir prefix(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
        candidates.append(QDir::cleanPath(prefix.filePath(QStringLiteral("share/") + kHelpPage)));
    }
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        candidates.append(QDir::cleanPath(dir + u'/' + kHelpPage));
    candidates.append(QStringLiteral(ZL_SOURCE_HELP_PAGE));
    return candidates;
}

QString PermissionsManager::helpPagePath()
{
    for (const QString &candidate : helpPageCandidates()) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

} // namespace zl
