#include "PortalTrigger.h"

#include "KeyCodes.h"

#include <QSet>
#include <QStringList>

#include <xkbcommon/xkbcommon.h>

namespace zl {

namespace {

constexpr quint32 kCommand = 256;
constexpr quint32 kShift = 512;
constexpr quint32 kOption = 2048;
constexpr quint32 kControl = 4096;

QString canonicalModifier(const QString &token)
{
    const QString t = token.toLower();
    if (t == u"ctrl" || t == u"control" || t == u"primary")
        return QStringLiteral("CTRL");
    if (t == u"alt" || t == u"mod1" || t == u"option")
        return QStringLiteral("ALT");
    if (t == u"shift")
        return QStringLiteral("SHIFT");
    if (t == u"logo" || t == u"super" || t == u"meta" || t == u"mod4" || t == u"win" || t == u"windows")
        return QStringLiteral("LOGO");
    return {};
}

struct Combination
{
    QSet<QString> modifiers;
    xkb_keysym_t key = XKB_KEY_NoSymbol;
};

std::optional<Combination> parse(const QString &text)
{
    const QStringList tokens = text.split(QLatin1Char('+'), Qt::SkipEmptyParts);
    if (tokens.isEmpty())
        return std::nullopt;
    Combination combination;
    for (qsizetype i = 0; i + 1 < tokens.size(); ++i) {
        const QString modifier = canonicalModifier(tokens.at(i).trimmed());
        if (modifier.isEmpty())
            return std::nullopt;
        combination.modifiers.insert(modifier);
    }
    const QByteArray key = tokens.last().trimmed().toUtf8();
    combination.key = xkb_keysym_to_lower(xkb_keysym_from_name(key.constData(), XKB_KEYSYM_CASE_INSENSITIVE));
    if (combination.key == XKB_KEY_NoSymbol)
        return std::nullopt;
    return combination;
}

} // namespace

PortalTrigger::PortalTrigger()
{
    m_context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!m_context)
        return;
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    m_keymap = xkb_keymap_new_from_names(m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

PortalTrigger::~PortalTrigger()
{
    if (m_keymap)
        xkb_keymap_unref(m_keymap);
    if (m_context)
        xkb_context_unref(m_context);
}

QString PortalTrigger::format(quint32 keyCode, quint32 modifiers) const
{
    const std::optional<quint8> x11 = KeyCodes::x11KeyCode(keyCode);
    if (!x11 || !m_keymap)
        return {};
    const xkb_keysym_t *symbols = nullptr;
    if (xkb_keymap_key_get_syms_by_level(m_keymap, *x11, 0, 0, &symbols) < 1 || !symbols
        || symbols[0] == XKB_KEY_NoSymbol) {
        return {};
    }
    char name[64];
    if (xkb_keysym_get_name(symbols[0], name, sizeof name) <= 0)
        return {};
    QStringList parts;
    if (modifiers & kControl)
        parts << QStringLiteral("CTRL");
    if (modifiers & kOption)
        parts << QStringLiteral("ALT");
    if (modifiers & kShift)
        parts << QStringLiteral("SHIFT");
    if (modifiers & kCommand)
        parts << QStringLiteral("LOGO");
    parts << QString::fromUtf8(name);
    return parts.join(QLatin1Char('+'));
}

bool PortalTrigger::sameCombination(const QString &preferred, const QString &described)
{
    const std::optional<Combination> a = parse(preferred);
    const std::optional<Combination> b = parse(described);
    return a && b && a->modifiers == b->modifiers && a->key == b->key;
}

} // namespace zl
