#pragma once

#include <QString>
#include <QStringView>

// Texts cut to a width counted in characters (Unicode code points), never in UTF-16 units: a
// character outside the basic plane (an emoji, a rare ideogram) is two units in a QString, and
// a cut between them would leave half a character that no file, database or printer can show.
// A lone surrogate, which a valid text never holds, counts as one character.
namespace TextCut {

// Number of characters of `text`.
qsizetype length(QStringView text);

// The first `count` characters of `text` (the whole text when it is shorter; nothing when
// `count` is 0 or less).
QString left(const QString &text, qsizetype count);

// `count` characters starting at character `from` (0-based); a negative `count` takes the rest.
// Nothing when `from` is past the end.
QString mid(const QString &text, qsizetype from, qsizetype count = -1);

}  // namespace TextCut
