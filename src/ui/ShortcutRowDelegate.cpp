#include "ShortcutRowDelegate.h"

#include "HotkeyDisplay.h"
#include "Icons.h"
#include "ShortcutItem.h"
#include "ShortcutListModel.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace zl {

namespace {

constexpr int kSpacing = 10;
constexpr int kIconWidth = 20;
constexpr int kTextSpacing = 2;
constexpr int kVerticalPadding = 2;
constexpr int kCapsulePaddingX = 6;
constexpr int kCapsulePaddingY = 2;
constexpr int kSideMargin = 8;
constexpr qreal kCapsuleOpacity = 0.12;

QFont nameFont(const QFont &base, bool enabled)
{
    QFont font = base;
    font.setWeight(QFont::Medium);
    font.setStrikeOut(!enabled);
    return font;
}

// The caption size; fonts set in pixels have no point size to scale.
QFont smaller(QFont font, const QFont &base)
{
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF() * 0.85);
    else if (base.pixelSize() > 0)
        font.setPixelSize(std::max(1, base.pixelSize() * 85 / 100));
    return font;
}

QFont captionFont(const QFont &base)
{
    return smaller(base, base);
}

QFont hotkeyFont(const QFont &base)
{
    return smaller(QFontDatabase::systemFont(QFontDatabase::FixedFont), base);
}

} // namespace

ShortcutRowDelegate::ShortcutRowDelegate(const KeyboardLayout *layout, ProblemLookup problem, QObject *parent)
    : QStyledItemDelegate(parent), m_layout(layout), m_problem(std::move(problem))
{
}

void ShortcutRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto item = index.data(ShortcutListModel::ItemRole).value<ShortcutItem>();
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    const QColor primary = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = selected ? primary : palette.color(QPalette::PlaceholderText);
    const QColor accent = selected ? primary : palette.color(QPalette::Highlight);

    painter->save();
    painter->setOpacity(item.isEnabled ? 1.0 : DisabledOpacity);
    const QRect area = option.rect.adjusted(kSideMargin, kVerticalPadding, -kSideMargin, -kVerticalPadding);

    const QRect iconRect(area.left(), area.top(), kIconWidth, area.height());
    const QIcon icon = Icons::tinted(item.actionType.symbolName(), item.isEnabled ? accent : secondary);
    icon.paint(painter, QRect(iconRect.left(), area.center().y() - kIconWidth / 2, kIconWidth, kIconWidth));

    const QString hotkey = HotkeyDisplay::string(item.keyCode, item.modifiers, m_layout);
    const QFont keyFont = hotkeyFont(option.font);
    const QFontMetrics keyMetrics(keyFont);
    const int capsuleWidth = keyMetrics.horizontalAdvance(hotkey) + 2 * kCapsulePaddingX;
    const int capsuleHeight = keyMetrics.height() + 2 * kCapsulePaddingY;
    QRectF capsule(area.right() - capsuleWidth, area.center().y() - capsuleHeight / 2.0, capsuleWidth,
                         capsuleHeight);
    QPainterPath path;
    path.addRoundedRect(capsule, capsuleHeight / 2.0, capsuleHeight / 2.0);
    QColor fill = secondary;
    fill.setAlphaF(kCapsuleOpacity);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(path, fill);
    painter->setFont(keyFont);
    painter->setPen(secondary);
    painter->drawText(capsule, Qt::AlignCenter, hotkey);
    // A hotkey that does not work is marked where the eye reads it: on its capsule.
    if (m_problem && !m_problem(item).isEmpty()) {
        const int mark = static_cast<int>(capsule.height());
        Icons::warning().paint(painter, QRect(static_cast<int>(capsule.left()) - mark - 2, static_cast<int>(capsule.top()), mark, mark));
        capsule.adjust(-mark - 2, 0, 0, 0);
    }

    const int textLeft = iconRect.right() + 1 + kSpacing;
    const int textRight = static_cast<int>(capsule.left()) - kSpacing;
    const QFont name = nameFont(option.font, item.isEnabled);
    const QFont caption = captionFont(option.font);
    const QFontMetrics nameMetrics(name);
    const QFontMetrics captionMetrics(caption);
    const int textHeight = nameMetrics.height() + kTextSpacing + captionMetrics.height();
    const int top = area.center().y() - textHeight / 2;
    const int width = std::max(0, textRight - textLeft);

    painter->setFont(name);
    painter->setPen(primary);
    painter->drawText(QRect(textLeft, top, width, nameMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      nameMetrics.elidedText(item.name, Qt::ElideRight, width));
    painter->setFont(caption);
    painter->setPen(secondary);
    painter->drawText(QRect(textLeft, top + nameMetrics.height() + kTextSpacing, width, captionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(item.actionType.title(), Qt::ElideRight, width));
    painter->restore();
}

QSize ShortcutRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    const int textHeight = QFontMetrics(nameFont(option.font, true)).height() + kTextSpacing +
                           QFontMetrics(captionFont(option.font)).height();
    const int height = std::max({kIconWidth, textHeight}) + 2 * kVerticalPadding + 8;
    return {200, height};
}

} // namespace zl
