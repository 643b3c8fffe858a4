#pragma once

#include "Workspace.h"

namespace zl {

/**
 * Desktop entries through GIO's GDesktopAppInfo (Exec field codes, Terminal, TryExec, Hidden,
 * D-Bus activation, startup notification), URLs through QDesktopServices. Main thread only.
 */
class GioWorkspace final : public Workspace
{
public:
    GioWorkspace() = default;

    bool openUrl(const QUrl &url) override;
    QStringList applicationFolders() const override;
    std::optional<QString> findApplicationById(const QString &desktopId) override;
    std::optional<QString> findApplicationByName(const QString &name) override;
    bool isHiddenEntry(const QString &desktopFile) const override;
    bool launchDesktopEntry(const QString &desktopFile) override;
    bool fileExists(const QString &path) const override;
    bool isExecutableFile(const QString &path) const override;

private:
    quint64 m_launches = 0;
};

} // namespace zl
