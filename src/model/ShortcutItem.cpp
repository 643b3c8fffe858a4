#include "ShortcutItem.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>

namespace zl {

namespace {

const QString kId = QStringLiteral("id");
const QString kName = QStringLiteral("name");
const QString kEnabled = QStringLiteral("isEnabled");
const QString kActionType = QStringLiteral("actionType");
const QString kPayload = QStringLiteral("payload");
const QString kKeyCode = QStringLiteral("keyCode");
const QString kModifiers = QStringLiteral("modifiers");

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

// A host with a port ("example.com:8443", "localhost:8080/x", "a.org:80?q") also reads as scheme +
// path; a real scheme never contains a full stop and is never "localhost".
bool looksLikeHostWithPort(const QString &piece)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):[0-9]+([/?#]|$)"));
    const QRegularExpressionMatch match = re.match(piece);
    if (!match.hasMatch())
        return false;
    const QString scheme = match.captured(1);
    return scheme.contains(u'.') || scheme.compare(QLatin1StringView("localhost"), Qt::CaseInsensitive) == 0;
}

bool hasScheme(const QString &piece)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    return re.match(piece).hasMatch();
}

std::optional<QUrl> parseUrl(const QString &piece)
{
    if (hasScheme(piece) && !looksLikeHostWithPort(piece)) {
        QUrl url(piece, QUrl::StrictMode);
        if (url.isValid() && !url.scheme().isEmpty())
            return url;
    }
    QUrl prefixed(QStringLiteral("https://") + piece, QUrl::StrictMode);
    if (prefixed.isValid() && !prefixed.host().isEmpty())
        return prefixed;
    return std::nullopt;
}

// Anchored on both ends: a plain "$" would also accept a line feed after the 36 characters.
bool isCanonicalUuid(const QString &text)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}")));
    return re.match(text).hasMatch();
}

QString describeType(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// Reads one required key of the expected JSON type, or explains why not.
std::optional<QJsonValue> required(const QJsonObject &object, const QString &key, QJsonValue::Type type,
                                   QString *error)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd()) {
        *error = QStringLiteral("key \"%1\" is missing").arg(key);
        return std::nullopt;
    }
    if (it->type() != type) {
        *error = QStringLiteral("key \"%1\" holds %2, expected %3")
                     .arg(key, describeType(*it), describeType(QJsonValue(type)));
        return std::nullopt;
    }
    return *it;
}

std::optional<quint32> requiredUInt32(const QJsonObject &object, const QString &key, QString *error)
{
    const auto value = required(object, key, QJsonValue::Double, error);
    if (!value)
        return std::nullopt;
    const double number = value->toDouble();
    if (!std::isfinite(number) || std::floor(number) != number || number < 0 || number > 4294967295.0) {
        *error = QStringLiteral("key \"%1\" is not a whole number from 0 to 4294967295").arg(key);
        return std::nullopt;
    }
    return static_cast<quint32>(number);
}

} // namespace

QList<QUrl> ShortcutItem::urls() const
{
    QList<QUrl> result;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= payload.size(); ++i) {
        if (i < payload.size() && !isLineBreak(payload.at(i)))
            continue;
        const QString piece = payload.mid(start, i - start).trimmed();
        start = i + 1;
        if (piece.isEmpty())
            continue;
        if (auto url = parseUrl(piece))
            result.append(*url);
    }
    return result;
}

std::optional<ShortcutItem> ShortcutItem::fromJson(const QJsonValue &value, QString *error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    if (!value.isObject()) {
        *error = QStringLiteral("expected an object, found %1").arg(describeType(value));
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    ShortcutItem item;

    const auto id = required(object, kId, QJsonValue::String, error);
    if (!id)
        return std::nullopt;
    if (!isCanonicalUuid(id->toString())) {
        *error = QStringLiteral("key \"id\" is not a UUID: \"%1\"").arg(id->toString());
        return std::nullopt;
    }
    item.id = QUuid::fromString(id->toString());

    const auto name = required(object, kName, QJsonValue::String, error);
    if (!name)
        return std::nullopt;
    item.name = name->toString();

    const auto enabled = required(object, kEnabled, QJsonValue::Bool, error);
    if (!enabled)
        return std::nullopt;
    item.isEnabled = enabled->toBool();

    const auto raw = required(object, kActionType, QJsonValue::String, error);
    if (!raw)
        return std::nullopt;
    const auto type = ActionType::fromRawValue(raw->toString());
    if (!type) {
        *error = QStringLiteral("key \"actionType\" holds an unknown action \"%1\"").arg(raw->toString());
        return std::nullopt;
    }
    item.actionType = *type;

    const auto payload = required(object, kPayload, QJsonValue::String, error);
    if (!payload)
        return std::nullopt;
    item.payload = payload->toString();

    const auto keyCode = requiredUInt32(object, kKeyCode, error);
    if (!keyCode)
        return std::nullopt;
    item.keyCode = *keyCode;

    const auto modifiers = requiredUInt32(object, kModifiers, error);
    if (!modifiers)
        return std::nullopt;
    item.modifiers = *modifiers;
    return item;
}

// Every edit writes the whole list, and QJsonDocument spends most of an edit with a thousand
// shortcuts building a tree per record (and would sort the keys). This writes compact JSON
// directly, keys in the record's declaration order, texts as UTF-8 with Qt's escapes (a lone
// surrogate escaped as well).
QByteArray ShortcutItem::encodeList(const QList<ShortcutItem> &items)
{
    QByteArray out;
    out.reserve(items.size() * 192 + 2);
    auto text = [&out](QStringView value) {
        out += '"';
        qsizetype plain = 0;
        for (qsizetype i = 0; i < value.size(); ++i) {
            const char16_t c = value[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < value.size() && QChar::isLowSurrogate(value[i + 1].unicode())) {
                ++i;
                continue;
            }
            if (c >= 0x20 && c != u'"' && c != u'\\' && !QChar::isSurrogate(c))
                continue;
            out += value.mid(plain, i - plain).toUtf8();
            plain = i + 1;
            switch (c) {
            case u'"':
                out += "\\\"";
                break;
            case u'\\':
                out += "\\\\";
                break;
            case u'\b':
                out += "\\b";
                break;
            case u'\f':
                out += "\\f";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\t':
                out += "\\t";
                break;
            default: // other control characters, and a surrogate without its other half
                out += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4)
                    out += "0123456789abcdef"[(c >> shift) & 0xF];
            }
        }
        out += value.mid(plain).toUtf8();
        out += '"';
    };
    out += '[';
    for (qsizetype i = 0; i < items.size(); ++i) {
        const ShortcutItem &item = items[i];
        out += i == 0 ? "{\"id\":" : ",{\"id\":";
        text(item.id.toString(QUuid::WithoutBraces).toUpper());
        out += ",\"name\":";
        text(item.name);
        out += item.isEnabled ? ",\"isEnabled\":true,\"actionType\":" : ",\"isEnabled\":false,\"actionType\":";
        text(item.actionType.rawValue());
        out += ",\"payload\":";
        text(item.payload);
        out += ",\"keyCode\":";
        out += QByteArray::number(item.keyCode);
        out += ",\"modifiers\":";
        out += QByteArray::number(item.modifiers);
        out += '}';
    }
    out += ']';
    return out;
}

std::optional<QList<ShortcutItem>> ShortcutItem::decodeList(const QByteArray &json, QString *error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("invalid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return std::nullopt;
    }
    if (!document.isArray()) {
        *error = QStringLiteral("expected an array of shortcuts");
        return std::nullopt;
    }
    const QJsonArray array = document.array();
    QList<ShortcutItem> items;
    items.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        QString elementError;
        auto item = fromJson(array.at(i), &elementError);
        if (!item) {
            *error = QStringLiteral("element %1: %2").arg(i).arg(elementError);
            return std::nullopt;
        }
        items.append(std::move(*item));
    }
    return items;
}

bool operator==(const ShortcutItem &a, const ShortcutItem &b)
{
    const auto nfc = [](const QString &s) { return s.normalized(QString::NormalizationForm_C); };
    return a.id == b.id && nfc(a.name) == nfc(b.name) && a.isEnabled == b.isEnabled &&
           a.actionType == b.actionType && nfc(a.payload) == nfc(b.payload) && a.keyCode == b.keyCode &&
           a.modifiers == b.modifiers;
}

size_t qHash(const ShortcutItem &item, size_t seed)
{
    return qHashMulti(seed, item.id, item.name.normalized(QString::NormalizationForm_C), item.isEnabled,
                      item.actionType.rawValue(), item.payload.normalized(QString::NormalizationForm_C),
                      item.keyCode, item.modifiers);
}

} // namespace zl
