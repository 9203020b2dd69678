#include "platform/TextCut.h"

namespace TextCut {

namespace {

// The UTF-16 position after `count` characters from `start`, or the end of the text.
qsizetype advance(QStringView text, qsizetype start, qsizetype count)
{
    qsizetype at = start;
    while (count > 0 && at < text.size()) {
        if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
            at += 2;
        else
            ++at;
        --count;
    }
    return at;
}

}  // namespace

qsizetype length(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype at = 0; at < text.size(); at = advance(text, at, 1))
        ++count;
    return count;
}

QString left(const QString &text, qsizetype count)
{
    if (count <= 0)
        return {};
    if (count >= text.size())
        return text;  // never more characters than units
    return text.left(advance(text, 0, count));
}

QString mid(const QString &text, qsizetype from, qsizetype count)
{
    const qsizetype start = advance(text, 0, qMax<qsizetype>(0, from));
    if (start >= text.size())
        return {};
    if (count < 0)
        return text.mid(start);
    return text.mid(start, advance(text, start, count) - start);
}

}  // namespace TextCut
