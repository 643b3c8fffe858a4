#include "Strings.h"

#include <QCoreApplication>

namespace zl {

QString text(const char *id)
{
    return qtTrId(id);
}

QString formatted(const char *id, const QString &a, const QString &b)
{
    const QString format = qtTrId(id);
    if (format == QLatin1StringView(id))
        return a + QStringLiteral("  ") + b;
    return format.arg(a, b);
}

} // namespace zl
