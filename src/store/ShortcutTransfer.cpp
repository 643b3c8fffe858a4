#include "ShortcutTransfer.h"

#include "SettingsStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>

namespace zl {

namespace {

// Far above any real list (10,000 shortcuts take about 2 MiB), far below what would hurt.
constexpr qint64 kMaxImportBytes = 64 * 1024 * 1024;

} // namespace

std::optional<QString> ShortcutTransfer::exportTo(const QString &path, const QList<ShortcutItem> &items)
{
    QSaveFile file(path);
    const QByteArray bytes = ShortcutItem::encodeList(items);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return std::nullopt;
}

ShortcutTransfer::Import ShortcutTransfer::read(const QString &path, const QList<ShortcutItem> &existing)
{
    Import result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    // Read with a bound rather than trusting size(): a device or a pipe reports 0 and never ends.
    const QByteArray bytes = file.read(kMaxImportBytes + 1);
    if (bytes.size() > kMaxImportBytes) {
        result.error = QStringLiteral("the file is larger than %1 MiB").arg(kMaxImportBytes / (1024 * 1024));
        return result;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("invalid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return result;
    }
    if (!document.isArray()) {
        result.error = QStringLiteral("expected an array of shortcuts");
        return result;
    }
    QSet<QUuid> taken;
    for (const ShortcutItem &item : existing)
        taken.insert(item.id);
    const QJsonArray array = document.array();
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString error;
        std::optional<ShortcutItem> item = ShortcutItem::fromJson(array.at(i), &error);
        if (!item) {
            result.skipped << QStringLiteral("%1: %2").arg(i + 1).arg(error);
            continue;
        }
        if (taken.contains(item->id))
            item->id = QUuid::createUuid();
        taken.insert(item->id);
        result.items << *item;
    }
    return result;
}

ShortcutTransfer::Import ShortcutTransfer::appendTo(SettingsStore &store, const QString &path)
{
    const QList<ShortcutItem> existing = store.shortcuts();
    Import result = read(path, existing);
    // One assignment, so the file is written once and the hotkeys re-registered once.
    if (result.error.isEmpty() && !result.items.isEmpty())
        store.setShortcuts(existing + result.items);
    return result;
}

} // namespace zl
