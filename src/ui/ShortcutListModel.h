#pragma once

#include "ShortcutItem.h"

#include <QAbstractListModel>
#include <QList>

namespace zl {

class KeyboardLayout;
class SettingsStore;

/**
 * The store's list as rows. Holds the copy the store last published, so a row always matches
 * what is stored; a reorder by drag and drop goes through the store, never into the copy.
 */
class ShortcutListModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        ItemRole = Qt::UserRole + 1,
        IdRole,
    };

    /** layout may be null; it names the keys in the rows' screen-reader text. */
    explicit ShortcutListModel(SettingsStore &store, const KeyboardLayout *layout = nullptr, QObject *parent = nullptr);

    const QList<ShortcutItem> &items() const { return m_items; }
    /** The row of the first shortcut with id, or -1. */
    int rowOf(const QUuid &id) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

    /** Texts looked up per paint (action titles, "not set") changed language. */
    void refreshTexts();

private:
    void setItems(const QList<ShortcutItem> &items);

    SettingsStore &m_store;
    const KeyboardLayout *m_layout;
    QList<ShortcutItem> m_items;
};

} // namespace zl
