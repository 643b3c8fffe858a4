// Loads the store in a separate process, so a test can read what it prints on standard output:
//   store_probe <file>   loads, prints "count <n>" and exits
#include "SettingsStore.h"

#include "FakeLoginItem.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    zl::FakeLoginItem loginItem;
    zl::SettingsStore store(loginItem, QString::fromLocal8Bit(argv[1]));
    std::printf("count %d\n", static_cast<int>(store.shortcuts().size()));
    return 0;
}
