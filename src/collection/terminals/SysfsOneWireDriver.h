#pragma once

#include "collection/terminals/OneWireDriver.h"

#include <QString>
#include <QStringList>
#include <optional>

// The reader as the Linux kernel's 1-Wire bus shows it in sysfs: reader (port) N is the bus
// master <root>/w1_bus_masterN, and the touch memories it sees are its entries named
// <family>-<serial> (two and twelve hexadecimal digits, serial most significant first), each
// with an 8-byte `id` file holding the ROM code in wire order. The kernel does the searching;
// this driver only reads what it found, so a device taken off the reader is no longer listed.
//
// One session at a time; a new session starts its search from the first device.
class SysfsOneWireDriver : public OneWireDriver {
public:
    static QString defaultRoot();

    explicit SysfsOneWireDriver(const QString &root = defaultRoot());

    QString root() const { return m_root; }

    std::int32_t TMExtendedStartSession(std::int16_t port, std::int16_t portType,
                                        void *options) override;
    std::int16_t TMSetup(std::int32_t handle) override;
    std::int16_t TMNext(std::int32_t handle, SearchState &state) override;
    std::int16_t TMRom(std::int32_t handle, SearchState &state, Rom &rom) override;
    std::int16_t TMEndSession(std::int32_t handle) override;
    std::int16_t TMClose(std::int32_t handle) override;

    // The ROM code of a device entry named `name` in `masterPath`: family and serial from the
    // name, the whole code from its id file when that agrees with the name, else with the
    // CRC computed. Nothing for a name that is not a device's.
    static std::optional<Rom> deviceRom(const QString &masterPath, const QString &name);
    static QString deviceName(const Rom &rom);

private:
    bool inForce(std::int32_t handle) const { return handle > 0 && handle == m_session; }
    QString masterPath() const;
    // Device entries of the session's bus master, in name order.
    QStringList deviceNames() const;

    QString m_root;
    int m_port = 0;
    std::int32_t m_session = 0;
    std::int32_t m_lastHandle = 0;
};
