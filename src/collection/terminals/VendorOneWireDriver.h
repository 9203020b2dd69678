#pragma once

#include "collection/terminals/OneWireDriver.h"

#include <QLibrary>

// A vendor's 1-Wire driver library, loaded at run time, with the C interface of
// onewire_vendor.h. A library that is missing, does not load or lacks one of the six
// functions leaves a driver that finds no reader, with the reason in problem().
class VendorOneWireDriver : public OneWireDriver {
public:
    explicit VendorOneWireDriver(const QString &libraryPath);
    ~VendorOneWireDriver() override;

    bool isLoaded() const { return m_close != nullptr; }
    QString problem() const override { return m_problem; }

    std::int32_t TMExtendedStartSession(std::int16_t port, std::int16_t portType,
                                        void *options) override;
    std::int16_t TMSetup(std::int32_t handle) override;
    std::int16_t TMNext(std::int32_t handle, SearchState &state) override;
    std::int16_t TMRom(std::int32_t handle, SearchState &state, Rom &rom) override;
    std::int16_t TMEndSession(std::int32_t handle) override;
    std::int16_t TMClose(std::int32_t handle) override;

private:
    bool resolveAll();

    QLibrary m_library;
    QString m_problem;
    TMExtendedStartSessionFn m_startSession = nullptr;
    TMSetupFn m_setup = nullptr;
    TMNextFn m_next = nullptr;
    TMRomFn m_rom = nullptr;
    TMEndSessionFn m_endSession = nullptr;
    TMCloseFn m_close = nullptr;  // resolved last: set only when all six are
};
