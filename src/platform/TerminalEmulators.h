#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace zl {

/**
 * Whether a window is a terminal emulator, which pastes on Control+Shift+V. names: the window's
 * names joined by newlines (X11: WM_CLASS instance and class; Wayland: the app_id); any match counts.
 */
inline bool isTerminalEmulator(const QString &names)
{
    static const QSet<QString> terminals{
        QStringLiteral("alacritty"),     QStringLiteral("blackbox"),      QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("cool-retro-term"), QStringLiteral("ghostty"),     QStringLiteral("io.elementary.terminal"),
        QStringLiteral("rxvt"),          QStringLiteral("urxvt"),
        QStringLiteral("deepin-terminal"), QStringLiteral("foot"),        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"), QStringLiteral("guake"), QStringLiteral("kgx"),
        QStringLiteral("kitty"),         QStringLiteral("konsole"),       QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"), QStringLiteral("org.gnome.console"), QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("org.wezfurlong.wezterm"), QStringLiteral("ptyxis"), QStringLiteral("qterminal"),
        QStringLiteral("sakura"),        QStringLiteral("st"),            QStringLiteral("st-256color"),
        QStringLiteral("terminator"),    QStringLiteral("terminology"),   QStringLiteral("tilda"),
        QStringLiteral("tilix"),         QStringLiteral("wezterm"),       QStringLiteral("xfce4-terminal"),
        QStringLiteral("yakuake"),
    };
    const QStringList parts = names.split(u'\n', Qt::SkipEmptyParts);
    for (const QString &name : parts) {
        if (terminals.contains(name.toLower()))
            return true;
    }
    return false;
}

} // namespace zl
