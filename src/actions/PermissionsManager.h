#pragma once

#include <QString>
#include <QStringList>

namespace zl {

class AccessibilityTrust;
class Workspace;

/**
 * The one place that answers whether pasting can work and that shows the user what it needs.
 * Holds no state of its own; every answer is asked afresh.
 */
class PermissionsManager final
{
public:
    PermissionsManager(AccessibilityTrust &trust, Workspace &workspace);

    /** Whether synthetic key presses are possible right now. */
    bool isTrusted() const;

    /** The prompting query: asks the system to prompt if it can; callers ignore any result. */
    void requestTrust();

    /** Opens the shipped help page on what pasting needs; does nothing when the page is missing. */
    void openAccessibilitySettings();

    /** Where the help page is looked for, in order: the install prefix, the XDG data folders, the sources. */
    static QStringList helpPageCandidates();

    /** The first existing help page, or an empty text. */
    static QString helpPagePath();

private:
    AccessibilityTrust &m_trust;
    Workspace &m_workspace;
};

} // namespace zl
