#pragma once

#include "ShortcutItem.h"

#include <QStringList>

namespace zl::hardening {

// The list of step n: lists that differ in length, order and payload size from step to step, so a
// torn or mixed write cannot pass for a whole one.
inline QList<ShortcutItem> series(int step)
{
    QList<ShortcutItem> list;
    for (int n = std::max(0, step - step % 7 - 5); n <= step; ++n)
        list.prepend(ShortcutItem{QUuid::createUuidV5(QUuid(), QString::number(n)), QStringLiteral("step %1").arg(n),
                                  n % 3 != 0, ActionType::RunCommand, QString((n * 37) % 2000, QChar(u'a' + n % 26)),
                                  static_cast<quint32>(n % 50), 256});
    return list;
}

// The step a list of the series belongs to, or -1 for any other list.
inline int seriesStep(const QList<ShortcutItem> &list)
{
    // A name that is no step reads as step 0, whose list then differs.
    const int step = list.isEmpty() ? -1 : list.first().name.section(u' ', 1).toInt();
    return step >= 0 && series(step) == list ? step : -1;
}

} // namespace zl::hardening
