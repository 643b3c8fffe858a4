#include "Icons.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QPainter>
#include <QPixmap>

#include <iterator>

namespace zl {

namespace {

struct Symbol
{
    const char *name;
    const char *file;
    const char *theme;
    // Drawn in the palette's text colour when the bundled file is used; the logos keep their colours.
    bool monochrome = true;
};

constexpr Symbol kSymbols[] = {
    {"text.cursor", "text-cursor", "insert-text"},
    {"return", "return", ""},
    {"terminal", "terminal", "utilities-terminal"},
    {"app.badge.checkmark", "app-badge-checkmark", ""},
    {"globe", "globe", ""},
    {"globe.badge.chevron.backward", "globe-badge-chevron-backward", ""},
    {"plus", "plus", "list-add"},
    {"trash", "trash", "edit-delete"},
    {"keyboard", "keyboard", "input-keyboard"},
    {"exclamationmark.triangle.fill", "exclamationmark-triangle-fill", "dialog-warning"},
    {"AppLogo", "app-logo", "", false},
    // Light with a dark outline, so the fallback shows on light and dark panels alike.
    {"MenuBarIcon", "menubar", "zephyrlatch-symbolic", false},
};

const Symbol *find(const QString &name)
{
    for (const Symbol &symbol : kSymbols) {
        if (name == QLatin1StringView(symbol.name))
            return &symbol;
    }
    return nullptr;
}

} // namespace

QString Icons::themeName(const QString &symbol)
{
    const Symbol *found = find(symbol);
    return found ? QString::fromLatin1(found->theme) : QString();
}

QString Icons::bundledPath(const QString &symbol)
{
    const Symbol *found = find(symbol);
    if (!found)
        return {};
    return QStringLiteral(":/zephyrlatch/icons/") + QLatin1StringView(found->file) + QStringLiteral(".svg");
}

QIcon Icons::icon(const QString &symbol)
{
    const Symbol *found = find(symbol);
    const QIcon bundled = found && found->monochrome
                              ? tinted(symbol, QGuiApplication::palette().color(QPalette::WindowText))
                              : QIcon(bundledPath(symbol));
    const QString theme = themeName(symbol);
    if (theme.isEmpty())
        return bundled;
    return QIcon::fromTheme(theme, bundled);
}

QColor Icons::warningColor()
{
    return {0xF5, 0x7C, 0x00};
}

QIcon Icons::warning()
{
    return tinted(QStringLiteral("exclamationmark.triangle.fill"), warningColor());
}

QIcon Icons::tinted(const QString &symbol, const QColor &color)
{
    const QIcon source(bundledPath(symbol));
    QIcon result;
    for (const int size : {16, 20, 24, 32, 48}) {
        QPixmap pixmap = source.pixmap(size, size);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace zl
