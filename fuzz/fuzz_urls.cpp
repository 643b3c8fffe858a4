// A payload read as a URL list: never crashes, and every URL it yields is valid and has a scheme.
#include "ShortcutItem.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zl::ShortcutItem item;
    item.actionType = zl::ActionType::OpenURLs;
    item.payload = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QUrl> urls = item.urls();
    // One URL at most per line, and a line needs at least one character.
    if (urls.size() > item.payload.size()) {
        std::fputs("more URLs than characters\n", stderr);
        std::abort();
    }
    for (const QUrl &url : urls) {
        if (!url.isValid() || url.scheme().isEmpty()) {
            std::fprintf(stderr, "invalid URL %s from payload\n", url.toString().toUtf8().constData());
            std::abort();
        }
    }
    return 0;
}
