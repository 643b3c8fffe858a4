#pragma once

#include <QString>

namespace zl {

/** The program's log: one line per call. */
class LogSink
{
public:
    virtual ~LogSink() = default;

    /**
     * Writes line as literal data (never as a format) to standard error and the system log, as one
     * line: control characters in it, as a name may hold them, are written as escapes.
     */
    virtual void log(const QString &line) = 0;
};

} // namespace zl
