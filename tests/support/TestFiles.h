#pragma once

// Reading back what the program wrote, and writing what it is to find.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace TestFiles {

// The file's bytes, or "<missing>" where it cannot be read: a comparison then shows why.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes `bytes` as the whole file; fails the test where it cannot.
inline void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

}  // namespace TestFiles
