#pragma once

// Reading back what the program wrote.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace TestFiles {

// The file's bytes, or "<missing>" where it cannot be read: a comparison then shows why.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace TestFiles
