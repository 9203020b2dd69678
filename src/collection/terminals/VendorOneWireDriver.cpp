#include "collection/terminals/VendorOneWireDriver.h"

VendorOneWireDriver::VendorOneWireDriver(const QString &libraryPath) : m_library(libraryPath)
{
    if (!m_library.load()) {
        m_problem = QStringLiteral("Não foi possível carregar o driver do leitor de "
                                   "identificadores %1: %2")
                        .arg(libraryPath, m_library.errorString());
        return;
    }
    if (!resolveAll())
        m_library.unload();
}

VendorOneWireDriver::~VendorOneWireDriver()
{
    if (m_library.isLoaded())
        m_library.unload();
}

bool VendorOneWireDriver::resolveAll()
{
    auto resolve = [this](const char *name, auto &function) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
            m_library.resolve(name));
        if (!function && m_problem.isEmpty())
            m_problem = QStringLiteral("O driver do leitor de identificadores %1 não tem a "
                                       "função %2.")
                            .arg(m_library.fileName(), QLatin1String(name));
        return function != nullptr;
    };
    TMCloseFn close = nullptr;
    const bool all = resolve("TMExtendedStartSession", m_startSession) &
                     resolve("TMSetup", m_setup) & resolve("TMNext", m_next) &
                     resolve("TMRom", m_rom) & resolve("TMEndSession", m_endSession) &
                     resolve("TMClose", close);
    if (all)
        m_close = close;
    return all;
}

std::int32_t VendorOneWireDriver::TMExtendedStartSession(std::int16_t port,
                                                         std::int16_t portType, void *options)
{
    return isLoaded() ? m_startSession(port, portType, options) : 0;
}

std::int16_t VendorOneWireDriver::TMSetup(std::int32_t handle)
{
    return isLoaded() ? m_setup(handle) : 0;
}

std::int16_t VendorOneWireDriver::TMNext(std::int32_t handle, SearchState &state)
{
    return isLoaded() ? m_next(handle, state.data()) : 0;
}

std::int16_t VendorOneWireDriver::TMRom(std::int32_t handle, SearchState &state, Rom &rom)
{
    return isLoaded() ? m_rom(handle, state.data(), rom.data()) : 0;
}

std::int16_t VendorOneWireDriver::TMEndSession(std::int32_t handle)
{
    return isLoaded() ? m_endSession(handle) : 0;
}

std::int16_t VendorOneWireDriver::TMClose(std::int32_t handle)
{
    return isLoaded() ? m_close(handle) : 0;
}
