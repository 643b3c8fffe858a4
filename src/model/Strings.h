#pragma once

#include <QString>

namespace zl {

/** The text of a string-table id in the current language; looked up on every call, never cached. */
QString text(const char *id);

/**
 * The text of a two-placeholder format id ("%1  %2") filled with a and b. Without a table entry
 * the composed text "a  b" is shown.
 */
QString formatted(const char *id, const QString &a, const QString &b);

} // namespace zl
