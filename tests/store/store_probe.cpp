// A separate process around the store, so tests can read its standard output and kill it mid-save.
//   store_probe load <file>   loads, prints "count <n>" and exits
//   store_probe loop <file>   edits and saves forever
#include "SettingsStore.h"

#include "FakeLoginItem.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    zl::FakeLoginItem loginItem;
    zl::SettingsStore store(loginItem, QString::fromLocal8Bit(argv[2]));
    if (qstrcmp(argv[1], "load") == 0) {
        std::printf("count %d\n", static_cast<int>(store.shortcuts().size()));
        return 0;
    }
    for (quint32 i = 0;; ++i) {
        zl::ShortcutItem item{QUuid::createUuid(), QStringLiteral("edit %1").arg(i), true,
                              zl::ActionType::RunCommand, QString(i % 97, u'x'), i % 128, 256};
        if (store.shortcuts().size() > 40)
            store.deleteIds({store.shortcuts().first().id});
        store.addShortcut(item);
    }
}
