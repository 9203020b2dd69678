#include "collection/terminals/ButtonReader.h"

ButtonReader::ButtonReader(std::unique_ptr<OneWireDriver> driver, QObject *parent)
    : QObject(parent), m_driver(std::move(driver))
{
}

ButtonReader::~ButtonReader() = default;

void ButtonReader::setCut(int inicio, int tamanho)
{
    m_inicio = inicio;
    m_tamanho = tamanho;
}

bool ButtonReader::poll()
{
    const std::int32_t session =
        m_driver->TMExtendedStartSession(static_cast<std::int16_t>(m_port),
                                         OneWireDriver::kPortType, nullptr);
    if (session <= 0)
        return false;
    if (!m_setUp) {
        const std::int16_t setup = m_driver->TMSetup(session);
        m_setUp = setup == 1 || setup == 2;
    }
    bool read = false;
    if (m_setUp && m_driver->TMNext(session, m_state) == 1) {
        OneWireDriver::Rom rom{};  // rom[0] == 0 asks for the current device's code
        m_driver->TMRom(session, m_state, rom);
        m_code = cut(serialText(rom), m_inicio, m_tamanho);
        read = true;
    }
    m_driver->TMEndSession(session);
    if (read)
        Q_EMIT codeRead(m_code);
    return read;
}

void ButtonReader::close()
{
    // A closed driver has to be set up again if polling resumes.
    m_setUp = false;
    m_state.fill(0);
    const std::int32_t session =
        m_driver->TMExtendedStartSession(static_cast<std::int16_t>(m_port),
                                         OneWireDriver::kPortType, nullptr);
    if (session <= 0)
        return;
    m_driver->TMEndSession(session);
    m_driver->TMClose(session);
}

QString ButtonReader::serialText(const OneWireDriver::Rom &rom)
{
    // All eight values from the CRC down to the family code; the serial is what lies between.
    QString text;
    for (int i = 7; i >= 0; --i)
        text += QStringLiteral("%1").arg(rom[i] & 0xff, 2, 16, QLatin1Char('0')).toUpper();
    return text.mid(2, 12);
}

QString ButtonReader::cut(const QString &serial, int inicio, int tamanho)
{
    if (tamanho < 1 || inicio > serial.size())
        return {};
    return serial.mid(qMax(inicio, 1) - 1, tamanho);
}
