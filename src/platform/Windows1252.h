#pragma once

#include <QByteArray>
#include <QString>

// The single-byte character set of the Windows workstations that read the files Torvel writes
// for other systems. Each character is one byte; a character the set does not have is written
// as "?" (one per character, even one outside the 16-bit range).
namespace Windows1252 {

QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);

}  // namespace Windows1252
