#pragma once

#include <QString>

struct xkb_context;
struct xkb_keymap;

namespace zl {

/**
 * Key combinations in the XDG shortcuts format the portal takes as a preferred trigger
 * ("CTRL+ALT+e"): the modifiers, then the keysym name of the key at level 0 of the us layout.
 * Desktops match triggers by keysym, and the stored code only names a physical key, so the us
 * layout is the neutral reading of it.
 */
class PortalTrigger final
{
public:
    PortalTrigger();
    ~PortalTrigger();
    PortalTrigger(const PortalTrigger &) = delete;
    PortalTrigger &operator=(const PortalTrigger &) = delete;

    /** The trigger of a stored key code and modifier mask; empty when the key has no keysym. */
    QString format(quint32 keyCode, quint32 modifiers) const;

    /**
     * Whether a desktop's human-readable trigger description ("Ctrl+Alt+E", "Meta+Shift+1")
     * names the same combination as preferred. Unknown spellings compare unequal.
     */
    static bool sameCombination(const QString &preferred, const QString &described);

private:
    xkb_context *m_context = nullptr;
    xkb_keymap *m_keymap = nullptr;
};

} // namespace zl
