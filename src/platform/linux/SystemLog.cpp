#include "SystemLog.h"

#include "LogText.h"

#include <QByteArray>

#include <syslog.h>

#include <cstdio>

namespace zl {

void SystemLog::log(const QString &line)
{
    QByteArray bytes = logSafe(line).toUtf8();
    syslog(LOG_USER | LOG_NOTICE, "%s", bytes.constData());
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace zl
