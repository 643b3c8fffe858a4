// Drives the store in its own process, so tests can read its output, kill it mid-write or run it
// as another user. Each mode loads and prints "count <n>" first, then:
//   store_driver load <file>    exits
//   store_driver edit <file>    adds one shortcut, prints "kept <n>"
//   store_driver burst <file>   continues a numbered series of lists from what is stored, one
//                               save per step, printing "saved <step>" after each save returns
#include "SettingsStore.h"

#include "FakeLoginItem.h"
#include "HardeningLists.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    zl::FakeLoginItem loginItem;
    zl::SettingsStore store(loginItem, QString::fromLocal8Bit(argv[2]));
    std::printf("count %d\n", static_cast<int>(store.shortcuts().size()));
    if (qstrcmp(argv[1], "edit") == 0) {
        store.addShortcut(zl::hardening::series(0).first());
        std::printf("kept %d\n", static_cast<int>(store.shortcuts().size()));
    }
    for (int step = zl::hardening::seriesStep(store.shortcuts()); qstrcmp(argv[1], "burst") == 0;) {
        store.setShortcuts(zl::hardening::series(++step));
        std::printf("saved %d\n", step);
        std::fflush(stdout);
    }
}
