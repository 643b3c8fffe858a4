#include "LogText.h"

namespace zl {

QString logSafe(QStringView text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u != 0x7f && !(u >= 0x80 && u < 0xa0) && u != 0x2028 && u != 0x2029) {
            out += c;
            continue;
        }
        switch (u) {
        case u'\n':
            out += QLatin1StringView("\\n");
            break;
        case u'\r':
            out += QLatin1StringView("\\r");
            break;
        case u'\t':
            out += QLatin1StringView("\\t");
            break;
        case 0x2028:
            out += QLatin1StringView("\\u2028");
            break;
        case 0x2029:
            out += QLatin1StringView("\\u2029");
            break;
        default:
            out += QLatin1StringView("\\x");
            out += QLatin1Char(kHex[u >> 4]);
            out += QLatin1Char(kHex[u & 0xF]);
        }
    }
    return out;
}

} // namespace zl
