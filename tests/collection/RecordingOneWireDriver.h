#pragma once

#include "collection/terminals/OneWireDriver.h"

#include <QStringList>

// A driver that records every call with its arguments and answers as told.
class RecordingOneWireDriver : public OneWireDriver {
public:
    QStringList *log;  // outlives the driver, which the reader owns
    std::int32_t session = 7;
    std::int16_t setupResult = 1;
    bool devicePresent = true;
    // Family 01, serial 00 00 0A 1B 2C 3D; the CRC does not matter to the reader.
    Rom rom{0x01, 0x3D, 0x2C, 0x1B, 0x0A, 0x00, 0x00, 0x00};
    QString problemText;

    explicit RecordingOneWireDriver(QStringList *calls) : log(calls) {}

    std::int32_t TMExtendedStartSession(std::int16_t port, std::int16_t portType,
                                        void *options) override
    {
        *log << QStringLiteral("TMExtendedStartSession(%1,%2,%3)")
                    .arg(port)
                    .arg(portType)
                    .arg(options ? "options" : "null");
        return session;
    }
    std::int16_t TMSetup(std::int32_t handle) override
    {
        *log << QStringLiteral("TMSetup(%1)").arg(handle);
        return setupResult;
    }
    std::int16_t TMNext(std::int32_t handle, SearchState &) override
    {
        *log << QStringLiteral("TMNext(%1)").arg(handle);
        return devicePresent ? 1 : 0;
    }
    std::int16_t TMRom(std::int32_t handle, SearchState &, Rom &out) override
    {
        *log << QStringLiteral("TMRom(%1,rom[0]=%2)").arg(handle).arg(out[0]);
        out = rom;
        return 1;
    }
    std::int16_t TMEndSession(std::int32_t handle) override
    {
        *log << QStringLiteral("TMEndSession(%1)").arg(handle);
        return 1;
    }
    std::int16_t TMClose(std::int32_t handle) override
    {
        *log << QStringLiteral("TMClose(%1)").arg(handle);
        return 1;
    }
    QString problem() const override { return problemText; }
};
