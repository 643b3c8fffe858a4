// Stored list bytes: decoding never crashes, and whatever decodes survives encode + decode unchanged.
#include "ShortcutItem.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QString error;
    const auto decoded = zl::ShortcutItem::decodeList(bytes, &error);
    if (!decoded) {
        if (error.isEmpty()) {
            std::fputs("decodeList failed without an error text\n", stderr);
            std::abort();
        }
        return 0;
    }
    const QByteArray encoded = zl::ShortcutItem::encodeList(*decoded);
    QString again;
    const auto redecoded = zl::ShortcutItem::decodeList(encoded, &again);
    if (!redecoded || *redecoded != *decoded) {
        std::fprintf(stderr, "round trip changed the list: %s\nencoded: %s\n", again.toUtf8().constData(),
                     encoded.constData());
        std::abort();
    }
    return 0;
}
