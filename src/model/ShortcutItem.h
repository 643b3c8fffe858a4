#pragma once

#include "ActionType.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

class QJsonValue;

namespace zl {

/** Modifier mask bits as stored and as passed to hotkey registration. */
namespace Modifier {
constexpr quint32 Command = 256;
constexpr quint32 Shift = 512;
constexpr quint32 Option = 2048;
constexpr quint32 Control = 4096;
constexpr quint32 All = Command | Shift | Option | Control;
} // namespace Modifier

/** One configured shortcut. A plain value: the store replaces whole records. */
struct ShortcutItem
{
    QUuid id;
    QString name;
    bool isEnabled = true;
    ActionType actionType = ActionType::PasteText;
    QString payload;
    quint32 keyCode = 0;
    quint32 modifiers = 0;

    /** Key code 0 with mask 0 means "no hotkey"; anything else, key code 0 included, is one. */
    bool hasHotkey() const { return keyCode != 0 || modifiers != 0; }

    /** The payload as an ordered list of URLs, one per non-blank line; never fails. */
    QList<QUrl> urls() const;

    /** Strict: every key required, no defaults; on failure an error text and no record. */
    static std::optional<ShortcutItem> fromJson(const QJsonValue &value, QString *error);

    /** Compact UTF-8 JSON array in list order. */
    static QByteArray encodeList(const QList<ShortcutItem> &items);
    /** The whole list, or nothing when any element fails (with the error text). */
    static std::optional<QList<ShortcutItem>> decodeList(const QByteArray &json, QString *error);

    /** Texts compare by canonical equivalence, every other field exactly. */
    friend bool operator==(const ShortcutItem &a, const ShortcutItem &b);
};

size_t qHash(const ShortcutItem &item, size_t seed = 0);

} // namespace zl

Q_DECLARE_METATYPE(zl::ShortcutItem)
