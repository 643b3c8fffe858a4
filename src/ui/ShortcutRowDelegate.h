#pragma once

#include <QStyledItemDelegate>

#include <functional>

namespace zl {

class KeyboardLayout;
struct ShortcutItem;

/**
 * Draws one shortcut: action icon, name (struck through when disabled) over the action's
 * title, and the hotkey in a capsule; a disabled shortcut is drawn faded.
 */
class ShortcutRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using ProblemLookup = std::function<QString(const ShortcutItem &)>;

    /** problem may be unset; a shortcut it names a problem for gets a warning mark. */
    ShortcutRowDelegate(const KeyboardLayout *layout, ProblemLookup problem, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static constexpr qreal DisabledOpacity = 0.55;

private:
    const KeyboardLayout *m_layout;
    ProblemLookup m_problem;
};

} // namespace zl
