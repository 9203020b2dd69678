#pragma once

#include "collection/terminals/OneWireDriver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A sysfs tree of the kernel's 1-Wire bus in a temporary folder, laid out as the kernel does:
// each device is a folder under its bus master with an 8-byte `id` file, and the devices root
// links to it.
class FakeW1Tree {
public:
    QString root() const { return m_dir.path(); }
    QString masterPath(int master) const
    {
        return root() + "/w1_bus_master" + QString::number(master);
    }

    void addMaster(int master)
    {
        QDir().mkpath(masterPath(master));
        QFile attributes(masterPath(master) + "/w1_master_slave_count");
        if (attributes.open(QIODevice::WriteOnly))
            attributes.write("0\n");
    }

    // `serial` as the twelve digits of the folder name, most significant first. `idFile`
    // empty: the wire order with its CRC; "none": no id file.
    QString addDevice(int master, std::uint8_t family, quint64 serial,
                      const QByteArray &idFile = {})
    {
        const QString name = QStringLiteral("%1-%2")
                                 .arg(family, 2, 16, QLatin1Char('0'))
                                 .arg(serial, 12, 16, QLatin1Char('0'));
        const QString path = masterPath(master) + '/' + name;
        QDir().mkpath(path);
        if (idFile != "none") {
            QFile id(path + "/id");
            if (id.open(QIODevice::WriteOnly))
                id.write(idFile.isEmpty() ? wireOrder(family, serial) : idFile);
        }
        QFile::link(path, root() + '/' + name);
        return name;
    }

    void removeDevice(int master, const QString &name)
    {
        QFile::remove(root() + '/' + name);
        QDir(masterPath(master) + '/' + name).removeRecursively();
    }

    static QByteArray wireOrder(std::uint8_t family, quint64 serial)
    {
        QByteArray bytes(1, char(family));
        for (int i = 0; i < 6; ++i)
            bytes += char(serial >> (8 * i));
        bytes += char(OneWire::crc8(reinterpret_cast<const std::uint8_t *>(bytes.constData()), 7));
        return bytes;
    }

private:
    QTemporaryDir m_dir;
};
