#include "SwayConfigBindings.h"

#include "ShortcutItem.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace zl {

namespace {

std::optional<quint32> modifierMask(const QString &name)
{
    const QString lower = name.toLower();
    if (lower == u"ctrl" || lower == u"control")
        return Modifier::Control;
    if (lower == u"mod1" || lower == u"alt")
        return Modifier::Option;
    if (lower == u"shift")
        return Modifier::Shift;
    if (lower == u"mod4" || lower == u"super" || lower == u"logo")
        return Modifier::Command;
    return std::nullopt;
}

struct KeymapDeleter
{
    void operator()(xkb_keymap *keymap) const { xkb_keymap_unref(keymap); }
};

// Every keycode whose first two levels in the first layout give keysym.
QList<quint8> keycodesOf(xkb_keymap *keymap, xkb_keysym_t keysym)
{
    QList<quint8> codes;
    if (!keymap)
        return codes;
    for (xkb_keycode_t code = 8; code < 256; ++code) {
        for (xkb_level_index_t level = 0; level < 2; ++level) {
            const xkb_keysym_t *syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms);
            if (std::find(syms, syms + std::max(count, 0), keysym) != syms + std::max(count, 0)) {
                codes.append(quint8(code));
                break;
            }
        }
    }
    return codes;
}

} // namespace

std::set<SwayConfigBindings::Combination> SwayConfigBindings::parse(const QString &config)
{
    QHash<QString, QString> variables;
    QList<std::pair<bool, QString>> bindings; // keysym binding?, combination
    int modeDepth = 0;
    QString block; // "bindsym" or "bindcode" inside a block of them
    for (QString line : config.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line == u"}") {
            if (!block.isEmpty())
                block.clear();
            else if (modeDepth > 0)
                --modeDepth;
            continue;
        }
        if (!block.isEmpty())
            line = block + u' ' + line;
        QStringList words = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (words.first() == u"mode" && words.last() == u"{") {
            ++modeDepth;
            continue;
        }
        if (words.first() == u"set" && words.size() >= 3 && words.at(1).startsWith(u'$')) {
            variables.insert(words.at(1), words.mid(2).join(u' '));
            continue;
        }
        const bool sym = words.first() == u"bindsym";
        if (!sym && words.first() != u"bindcode")
            continue;
        if (words.size() == 2 && words.last() == u"{") {
            block = words.first();
            continue;
        }
        if (modeDepth > 0)
            continue;
        words.removeFirst();
        while (!words.isEmpty() && words.first().startsWith(QStringLiteral("--")))
            words.removeFirst();
        if (!words.isEmpty())
            bindings.append({sym, words.first()});
    }

    // Longest names first, so "$mod" does not eat the start of "$modifier".
    QStringList names = variables.keys();
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        context ? xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr);
    if (context)
        xkb_context_unref(context);

    std::set<Combination> result;
    for (auto [sym, combination] : bindings) {
        for (const QString &name : std::as_const(names))
            combination.replace(name, variables.value(name));
        quint32 modifiers = 0;
        QString key;
        bool understood = true;
        for (const QString &part : combination.split(u'+', Qt::SkipEmptyParts)) {
            if (const std::optional<quint32> bit = modifierMask(part))
                modifiers |= *bit;
            else if (key.isEmpty())
                key = part;
            else
                understood = false; // several keys, or a modifier this program never binds
        }
        if (!understood || key.isEmpty())
            continue;
        if (!sym) {
            bool ok = false;
            const uint code = key.toUInt(&ok);
            if (ok && code >= 8 && code <= 255)
                result.insert({quint8(code), modifiers});
            continue;
        }
        const xkb_keysym_t keysym = xkb_keysym_from_name(key.toUtf8().constData(), XKB_KEYSYM_CASE_INSENSITIVE);
        if (keysym == XKB_KEY_NoSymbol)
            continue;
        for (const quint8 code : keycodesOf(keymap.get(), keysym))
            result.insert({code, modifiers});
    }
    return result;
}

} // namespace zl
