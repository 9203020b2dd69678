#pragma once

#include "collection/terminals/onewire_vendor.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

class IniFile;

// The six calls of a 1-Wire touch-memory reader driver, with the names and meaning of the
// vendor's interface (see onewire_vendor.h for what each returns). The reader window and
// torvelctl only ever talk to this interface; the kernel's 1-Wire bus, a vendor library and
// the tests' fakes sit behind it.
class OneWireDriver {
public:
    // Search state: the caller owns it, zero-fills it once, and passes it unchanged to TMNext
    // and TMRom; what it holds is the driver's business.
    using SearchState = std::array<std::uint8_t, ONEWIRE_STATE_SIZE>;
    // A ROM code, one byte per element, in wire order: family, serial (least significant
    // byte first), CRC.
    using Rom = std::array<std::int16_t, 8>;

    static constexpr std::int16_t kPortType = 1;

    virtual ~OneWireDriver() = default;

    virtual std::int32_t TMExtendedStartSession(std::int16_t port, std::int16_t portType,
                                                void *options) = 0;
    virtual std::int16_t TMSetup(std::int32_t handle) = 0;
    virtual std::int16_t TMNext(std::int32_t handle, SearchState &state) = 0;
    virtual std::int16_t TMRom(std::int32_t handle, SearchState &state, Rom &rom) = 0;
    virtual std::int16_t TMEndSession(std::int32_t handle) = 0;
    virtual std::int16_t TMClose(std::int32_t handle) = 0;

    // Why this driver can never find a reader (its library could not be loaded), in
    // Portuguese; empty when it is usable.
    virtual QString problem() const { return {}; }
};

namespace OneWire {

// The Dallas/Maxim CRC-8 (polynomial x^8 + x^5 + x^4 + 1, bits least significant first) that
// closes every ROM code.
std::uint8_t crc8(const std::uint8_t *data, int size);

// The driver chosen in TORVEL.INI, section DS9:
//   DRIVER  "w1" (the default): the Linux kernel's 1-Wire bus; anything else: the path of a
//           vendor driver library with the interface of onewire_vendor.h.
//   W1ROOT  where the kernel's bus shows its devices; default /sys/bus/w1/devices.
// Never null: a library that cannot be loaded gives a driver that finds no reader and says
// why in problem().
std::unique_ptr<OneWireDriver> createDriver(const IniFile &config);

}  // namespace OneWire
