#pragma once

#include <QString>
#include <QStringView>

namespace zl {

/**
 * text for one log line: control characters (C0, DEL, C1) and the Unicode line and paragraph
 * separators become visible escapes (\n, \r, \t, \xHH, \u2028), so no name or other user text can
 * split a line or cut it short at a NUL. Everything else, backslashes included, stays as it is.
 */
QString logSafe(QStringView text);

} // namespace zl
