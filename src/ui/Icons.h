#pragma once

#include <QIcon>
#include <QString>

class QColor;

namespace zl {

/**
 * Symbol names ("trash", "keyboard", "AppLogo") stay the identifiers the code passes around;
 * this is the one place that turns them into icons: the desktop's icon theme first, the
 * bundled SVG otherwise.
 */
class Icons final
{
public:
    Icons() = delete;

    /** The freedesktop icon-theme name for a symbol, or an empty text when only the bundled one fits. */
    static QString themeName(const QString &symbol);

    /** The resource path of the bundled SVG; an empty text for an unknown symbol. */
    static QString bundledPath(const QString &symbol);

    /**
     * The theme's icon when it has one, else the bundled SVG, drawn in the application palette's
     * text colour for monochrome symbols: take it again after a palette change.
     */
    static QIcon icon(const QString &symbol);

    /** The bundled symbol drawn flat in one colour, as the list rows and warnings show it. */
    static QIcon tinted(const QString &symbol, const QColor &color);

    /** The one colour of warnings (orange, readable on light and dark backgrounds) and their mark. */
    static QColor warningColor();
    static QIcon warning();
};

} // namespace zl
