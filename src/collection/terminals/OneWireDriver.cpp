#include "collection/terminals/OneWireDriver.h"

#include "collection/terminals/SysfsOneWireDriver.h"
#include "collection/terminals/VendorOneWireDriver.h"
#include "platform/IniFile.h"

std::uint8_t OneWire::crc8(const std::uint8_t *data, int size)
{
    std::uint8_t crc = 0;
    for (int i = 0; i < size; ++i) {
        std::uint8_t byte = data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = (crc ^ byte) & 1;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;  // x^8 + x^5 + x^4 + 1, reflected
            byte >>= 1;
        }
    }
    return crc;
}

std::unique_ptr<OneWireDriver> OneWire::createDriver(const IniFile &config)
{
    const QString driver = config.readString("DS9", "DRIVER", "w1").trimmed();
    if (driver.isEmpty() || driver.compare(QLatin1String("w1"), Qt::CaseInsensitive) == 0)
    {
        const QString root = config.readString("DS9", "W1ROOT").trimmed();
        return std::make_unique<SysfsOneWireDriver>(root.isEmpty() ? SysfsOneWireDriver::defaultRoot()
                                                                   : root);
    }
    return std::make_unique<VendorOneWireDriver>(driver);
}
