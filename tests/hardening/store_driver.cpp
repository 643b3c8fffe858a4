// Drives the store in its own process, so tests can read its output, kill it mid-write or run it
// as another user.
//   store_driver burst <file>   continues a numbered series of lists from what is stored, one
//                               save per step, printing "saved <step>" after each save returns
//   store_driver edit <file>    loads, adds one shortcut, prints "kept <n>"
//   store_driver load <file>    loads, prints "count <n>" and exits
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
    if (qstrcmp(argv[1], "load") == 0) {
        std::printf("count %d\n", static_cast<int>(store.shortcuts().size()));
        return 0;
    }
    if (qstrcmp(argv[1], "edit") == 0) {
        store.addShortcut(zl::hardening::series(0).first());
        std::printf("kept %d\n", static_cast<int>(store.shortcuts().size()));
        return 0;
    }
    int step = zl::hardening::seriesStep(store.shortcuts());
    for (;;) {
        ++step;
        store.setShortcuts(zl::hardening::series(step));
        std::printf("saved %d\n", step);
        std::fflush(stdout);
    }
}
