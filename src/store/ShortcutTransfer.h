#pragma once

#include "ShortcutItem.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zl {

class SettingsStore;

/** Shortcut lists in and out of files, in the stored form. Stateless. */
class ShortcutTransfer final
{
public:
    ShortcutTransfer() = delete;

    /** What a file holds for appending; error set (and nothing else) when the file as a whole is unusable. */
    struct Import
    {
        QList<ShortcutItem> items;
        /** One line per element left out: its position and why. */
        QStringList skipped;
        QString error;
    };

    /** Writes the list atomically; the error text, or nothing on success. */
    static std::optional<QString> exportTo(const QString &path, const QList<ShortcutItem> &items);

    /**
     * Reads a stored-form list. Elements that do not decode are skipped, not fatal; an id already
     * in existing (or earlier in the file) is replaced by a fresh one so nothing is overwritten.
     */
    static Import read(const QString &path, const QList<ShortcutItem> &existing);

    /** read() against the store's list, then one assignment that appends what came in. */
    static Import appendTo(SettingsStore &store, const QString &path);
};

} // namespace zl
