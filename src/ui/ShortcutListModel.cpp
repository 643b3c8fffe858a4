#include "ShortcutListModel.h"

#include "HotkeyDisplay.h"
#include "SettingsStore.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>

namespace zl {

namespace {

const QString kRowsMimeType = QStringLiteral("application/x-zephyrlatch-rows");

bool sameIds(const QList<ShortcutItem> &a, const QList<ShortcutItem> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const ShortcutItem &x, const ShortcutItem &y) { return x.id == y.id; });
}

} // namespace

ShortcutListModel::ShortcutListModel(SettingsStore &store, const KeyboardLayout *layout, QObject *parent)
    : QAbstractListModel(parent), m_store(store), m_layout(layout), m_items(store.shortcuts())
{
    // The store publishes before it holds the new list, so the published value is the one to use.
    connect(&store, &SettingsStore::shortcutsChanged, this, &ShortcutListModel::setItems);
}

int ShortcutListModel::rowOf(const QUuid &id) const
{
    if (id.isNull())
        return -1;
    for (qsizetype row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row).id == id)
            return static_cast<int>(row);
    }
    return -1;
}

int ShortcutListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

QVariant ShortcutListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const ShortcutItem &item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return item.name;
    case Qt::AccessibleTextRole:
        return QStringList{item.name, item.actionType.title(),
                           HotkeyDisplay::string(item.keyCode, item.modifiers, m_layout)}
            .join(QStringLiteral(", "));
    case ItemRole:
        return QVariant::fromValue(item);
    case IdRole:
        return item.id;
    default:
        return {};
    }
}

Qt::ItemFlags ShortcutListModel::flags(const QModelIndex &index) const
{
    // Rows accept no drops onto themselves: a drop lands between rows, never merges into one.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

Qt::DropActions ShortcutListModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

QStringList ShortcutListModel::mimeTypes() const
{
    return {kRowsMimeType};
}

QMimeData *ShortcutListModel::mimeData(const QModelIndexList &indexes) const
{
    QList<qsizetype> rows;
    for (const QModelIndex &index : indexes) {
        if (index.isValid())
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << rows;
    auto *data = new QMimeData;
    data->setData(kRowsMimeType, bytes);
    return data;
}

bool ShortcutListModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int,
                                        const QModelIndex &parent) const
{
    return data && action == Qt::MoveAction && !parent.isValid() && data->hasFormat(kRowsMimeType);
}

bool ShortcutListModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                     const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    QList<qsizetype> rows;
    QDataStream stream(data->data(kRowsMimeType));
    stream >> rows;
    rows.removeIf([this](qsizetype r) { return r < 0 || r >= m_items.size(); });
    if (rows.isEmpty())
        return false;
    const qsizetype destination = row < 0 ? m_items.size() : std::min<qsizetype>(row, m_items.size());
    m_store.move(rows, destination);
    // The store's new list arrived through shortcutsChanged; telling the view the drop failed
    // keeps it from removing the dragged rows a second time.
    return false;
}

void ShortcutListModel::refreshTexts()
{
    if (!m_items.isEmpty())
        emit dataChanged(index(0), index(static_cast<int>(m_items.size()) - 1));
}

void ShortcutListModel::setItems(const QList<ShortcutItem> &items)
{
    if (sameIds(items, m_items)) {
        // An edit of a row keeps the rows, and with them the view's selection and scroll position.
        m_items = items;
        refreshTexts();
        return;
    }
    beginResetModel();
    m_items = items;
    endResetModel();
}

} // namespace zl
