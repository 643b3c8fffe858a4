#pragma once

#include <QString>
#include <QtGlobal>

#include <set>
#include <utility>

namespace zl {

/**
 * The key combinations a sway/i3 configuration text binds in its default mode, as pairs of X11
 * keycode and stored modifier mask. bindsym keys are looked up in the keymap the XKB_DEFAULT_*
 * variables name (the compositor's own default); a layout set only in the configuration is not
 * followed. Set variables are expanded.
 */
class SwayConfigBindings final
{
public:
    using Combination = std::pair<quint8, quint32>;

    static std::set<Combination> parse(const QString &config);
};

} // namespace zl
