#include "collection/terminals/SysfsOneWireDriver.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cstring>
#include <limits>

namespace {

// What this driver keeps in the caller's search state: the session the search belongs to and
// the device it stopped at.
struct SearchPoint {
    std::int32_t session = 0;
    std::uint8_t hasDevice = 0;
    std::uint8_t rom[8] = {};
};
static_assert(sizeof(SearchPoint) <= sizeof(OneWireDriver::SearchState));

SearchPoint readPoint(const OneWireDriver::SearchState &state)
{
    SearchPoint point;
    std::memcpy(&point, state.data(), sizeof point);
    return point;
}

void writePoint(OneWireDriver::SearchState &state, const SearchPoint &point)
{
    std::memcpy(state.data(), &point, sizeof point);
}

OneWireDriver::Rom romOf(const std::uint8_t *bytes)
{
    OneWireDriver::Rom rom;
    for (int i = 0; i < 8; ++i)
        rom[i] = bytes[i];
    return rom;
}

const QRegularExpression &deviceNamePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9a-f]{2})-([0-9a-f]{12})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

}  // namespace

QString SysfsOneWireDriver::defaultRoot() { return QStringLiteral("/sys/bus/w1/devices"); }

SysfsOneWireDriver::SysfsOneWireDriver(const QString &root) : m_root(root) {}

QString SysfsOneWireDriver::masterPath() const
{
    return m_root + QStringLiteral("/w1_bus_master") + QString::number(m_port);
}

std::int32_t SysfsOneWireDriver::TMExtendedStartSession(std::int16_t port, std::int16_t,
                                                        void *)
{
    if (m_session > 0)
        return 0;  // busy: the session in force has not been ended
    m_port = port;
    if (!QFileInfo(masterPath()).isDir())
        return 0;
    m_lastHandle = m_lastHandle == std::numeric_limits<std::int32_t>::max() ? 1 : m_lastHandle + 1;
    m_session = m_lastHandle;
    return m_session;
}

std::int16_t SysfsOneWireDriver::TMSetup(std::int32_t handle)
{
    return inForce(handle) && QFileInfo(masterPath()).isDir() ? 1 : 0;
}

QStringList SysfsOneWireDriver::deviceNames() const
{
    QStringList names;
    const QStringList entries =
        QDir(masterPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        const auto match = deviceNamePattern().match(entry);
        // A bus whose line is held low reports a phantom device of family 00; no touch memory
        // has that family.
        if (match.hasMatch() && match.captured(1) != QLatin1String("00"))
            names << entry.toLower();
    }
    return names;
}

std::int16_t SysfsOneWireDriver::TMNext(std::int32_t handle, SearchState &state)
{
    if (!inForce(handle))
        return 0;
    SearchPoint point = readPoint(state);
    const bool resume = point.session == handle && point.hasDevice;
    const QString after = resume ? deviceName(romOf(point.rom)) : QString();
    for (const QString &name : deviceNames()) {
        if (resume && name <= after)
            continue;
        const std::optional<Rom> rom = deviceRom(masterPath(), name);
        if (!rom)
            continue;
        point = {handle, 1, {}};
        for (int i = 0; i < 8; ++i)
            point.rom[i] = static_cast<std::uint8_t>((*rom)[i]);
        writePoint(state, point);
        return 1;
    }
    // Past the last device: the next search of this session starts again from the first.
    writePoint(state, {handle, 0, {}});
    return 0;
}

std::int16_t SysfsOneWireDriver::TMRom(std::int32_t handle, SearchState &state, Rom &rom)
{
    if (!inForce(handle))
        return 0;
    SearchPoint point = readPoint(state);
    if (rom[0] != 0) {
        point = {handle, 1, {}};
        for (int i = 0; i < 8; ++i)
            point.rom[i] = static_cast<std::uint8_t>(rom[i]);
        writePoint(state, point);
        return 1;
    }
    if (!point.hasDevice)
        return 0;
    rom = romOf(point.rom);
    return 1;
}

std::int16_t SysfsOneWireDriver::TMEndSession(std::int32_t handle)
{
    if (!inForce(handle))
        return 0;
    m_session = 0;
    return 1;
}

std::int16_t SysfsOneWireDriver::TMClose(std::int32_t handle)
{
    // Nothing is held between sessions: the kernel owns the bus.
    return handle > 0 ? 1 : 0;
}

std::optional<OneWireDriver::Rom> SysfsOneWireDriver::deviceRom(const QString &masterPath,
                                                                const QString &name)
{
    const auto match = deviceNamePattern().match(name);
    if (!match.hasMatch())
        return std::nullopt;
    std::uint8_t bytes[8];
    bytes[0] = static_cast<std::uint8_t>(match.captured(1).toUInt(nullptr, 16));
    const quint64 serial = match.captured(2).toULongLong(nullptr, 16);
    for (int i = 0; i < 6; ++i)
        bytes[1 + i] = static_cast<std::uint8_t>(serial >> (8 * i));
    bytes[7] = OneWire::crc8(bytes, 7);

    QFile idFile(masterPath + '/' + name + QStringLiteral("/id"));
    if (idFile.open(QIODevice::ReadOnly)) {
        const QByteArray id = idFile.read(9);
        if (id.size() == 8 && std::memcmp(id.constData(), bytes, 7) == 0)
            bytes[7] = static_cast<std::uint8_t>(id.at(7));
    }
    return romOf(bytes);
}

QString SysfsOneWireDriver::deviceName(const Rom &rom)
{
    QString serial;
    for (int i = 6; i >= 1; --i)
        serial += QStringLiteral("%1").arg(rom[i] & 0xff, 2, 16, QLatin1Char('0'));
    return QStringLiteral("%1-").arg(rom[0] & 0xff, 2, 16, QLatin1Char('0')) + serial;
}
