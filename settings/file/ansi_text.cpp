#include "file/ansi_text.h"

namespace {
// 0x80..0x9F of Windows-1252; the five unassigned bytes map to the C1 controls of the same
// value, as MultiByteToWideChar does.
const char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

QString AnsiToWide(const char *bytes, qsizetype len)
{
    QString out;
    out.reserve(len);
    for (qsizetype i = 0; i < len; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b == 0)
            break;
        out.append(QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b)));
    }
    return out;
}

QByteArray WideToAnsi(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        char b = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            b = char(u);
        } else {
            for (int i = 0; i < 32; ++i) {
                if (kHigh[i] == u) {
                    b = char(0x80 + i);
                    break;
                }
            }
        }
        out.append(b);
    }
    return out;
}
