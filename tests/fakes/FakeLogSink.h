#pragma once

#include "LogSink.h"

#include <QStringList>

namespace zl {

class FakeLogSink final : public LogSink
{
public:
    void log(const QString &line) override { lines.append(line); }

    QStringList lines;
};

} // namespace zl
