#pragma once

#include "LogSink.h"

namespace zl {

/** Standard error and syslog. */
class SystemLog final : public LogSink
{
public:
    SystemLog() = default;

    void log(const QString &line) override;
};

} // namespace zl
