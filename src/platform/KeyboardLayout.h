#pragma once

#include <QString>

#include <optional>

namespace zl {

/** The user's current keyboard layout, consulted afresh on every call. Main thread only. */
class KeyboardLayout
{
public:
    virtual ~KeyboardLayout() = default;

    /**
     * The text the key produces with no modifier in the current layout group, as is (not
     * upper-cased); none for a dead key, a key without a character or a key the keyboard lacks.
     */
    virtual std::optional<QString> character(quint32 virtualKeyCode) const = 0;

    /** The name of the key's unmodified symbol ("XF86AudioPlay"); none when the key has none. */
    virtual std::optional<QString> symbolName(quint32 virtualKeyCode) const = 0;
};

} // namespace zl
