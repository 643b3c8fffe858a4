#pragma once

#include <QStyledItemDelegate>

namespace zl {

class KeyboardLayout;

/**
 * Draws one shortcut: action icon, name (struck through when disabled) over the action's
 * title, and the hotkey in a capsule; a disabled shortcut is drawn faded.
 */
class ShortcutRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit ShortcutRowDelegate(const KeyboardLayout *layout, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static constexpr qreal DisabledOpacity = 0.55;

private:
    const KeyboardLayout *m_layout;
};

} // namespace zl
