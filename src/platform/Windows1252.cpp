#include "platform/Windows1252.h"

#include <QList>

namespace Windows1252 {

namespace {

// Bytes 0x80..0x9F, where Windows-1252 departs from Latin-1; 0 where the byte is unassigned.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char byteFor(uint c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == c)
            return char(0x80 + i);
    return '?';
}

}  // namespace

QByteArray encode(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (uint c : text.toUcs4())
        bytes += byteFor(c);
    return bytes;
}

QString decode(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes) {
        const uchar u = uchar(b);
        if (u >= 0x80 && u <= 0x9F && kHigh[u - 0x80] != 0)
            text += QChar(kHigh[u - 0x80]);
        else if (u >= 0x80 && u <= 0x9F)
            text += QChar(0xFFFD);
        else
            text += QChar(u);
    }
    return text;
}

}  // namespace Windows1252
