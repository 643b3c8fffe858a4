#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace zl {

/** The closed set of things a shortcut can do. Persisted as its raw value text, never as a number. */
class ActionType final
{
public:
    enum Kind { PasteText, PasteTextAndEnter, RunCommand, LaunchApp, OpenURL, OpenURLs };

    constexpr ActionType(Kind kind = PasteText) : m_kind(kind) {}

    /** Exact, byte-for-byte match of one of the six raw values; no trimming, no case folding. */
    static std::optional<ActionType> fromRawValue(QStringView raw);
    static const std::array<ActionType, 6> &allCases();

    constexpr Kind kind() const { return m_kind; }
    QString rawValue() const;
    QString id() const { return rawValue(); }

    // Looked up on every call so that a language switch shows on the next build of a text.
    QString title() const;
    QString placeholder() const;
    QString helpText() const;
    QString symbolName() const;

    friend constexpr bool operator==(ActionType a, ActionType b) { return a.m_kind == b.m_kind; }

private:
    Kind m_kind;
};

size_t qHash(ActionType type, size_t seed = 0);

} // namespace zl
