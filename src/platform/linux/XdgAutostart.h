#pragma once

#include "LoginItemService.h"

#include <QString>

namespace zl {

/**
 * Starting at login through an XDG autostart entry, $XDG_CONFIG_HOME/autostart/<appId>.desktop.
 * Unregistering deletes the entry: a disabling key inside it is not honoured by every session.
 */
class XdgAutostart final : public LoginItemService
{
public:
    /** configHome empty means $XDG_CONFIG_HOME (or ~/.config). */
    XdgAutostart(const QString &appId, const QString &executable, const QString &configHome = QString());

    std::optional<QString> registerApp() override;
    std::optional<QString> unregisterApp() override;

    QString entryPath() const { return m_entryPath; }

    /** A path as one word of a desktop entry's Exec key. */
    static QString quoteExecArgument(const QString &argument);

private:
    QString m_entryPath;
    QString m_executable;
};

} // namespace zl
