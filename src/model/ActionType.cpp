#include "ActionType.h"

#include "Strings.h"

#include <QHash>

namespace zl {

namespace {

struct Row
{
    const char *raw;
    const char *title;
    const char *placeholder;
    const char *help;
    const char *symbol;
};

// Indexed by ActionType::Kind; the order is the picker's order.
constexpr Row kRows[] = {
    {"pasteText", "action.pasteText", "placeholder.pasteText", "help.pasteText", "text.cursor"},
    {"pasteTextAndEnter", "action.pasteTextAndEnter", "placeholder.pasteText", "help.pasteTextAndEnter", "return"},
    {"runCommand", "action.runCommand", "placeholder.runCommand", "help.runCommand", "terminal"},
    {"launchApp", "action.launchApp", "placeholder.launchApp", "help.launchApp", "app.badge.checkmark"},
    {"openURL", "action.openURL", "placeholder.openURL", "help.openURL", "globe"},
    {"openURLs", "action.openURLs", "placeholder.openURLs", "help.openURLs", "globe.badge.chevron.backward"},
};

const Row &row(ActionType type)
{
    return kRows[type.kind()];
}

} // namespace

std::optional<ActionType> ActionType::fromRawValue(QStringView raw)
{
    for (ActionType type : allCases()) {
        if (raw == QLatin1StringView(row(type).raw))
            return type;
    }
    return std::nullopt;
}

const std::array<ActionType, 6> &ActionType::allCases()
{
    static constexpr std::array<ActionType, 6> all{PasteText, PasteTextAndEnter, RunCommand,
                                                   LaunchApp, OpenURL,   OpenURLs};
    return all;
}

QString ActionType::rawValue() const
{
    return QString::fromLatin1(row(*this).raw);
}

QString ActionType::title() const
{
    return text(row(*this).title);
}

QString ActionType::placeholder() const
{
    return text(row(*this).placeholder);
}

QString ActionType::helpText() const
{
    return text(row(*this).help);
}

QString ActionType::symbolName() const
{
    return QString::fromLatin1(row(*this).symbol);
}

size_t qHash(ActionType type, size_t seed)
{
    return qHash(type.rawValue(), seed);
}

} // namespace zl
