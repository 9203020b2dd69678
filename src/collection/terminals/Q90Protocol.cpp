#include "collection/terminals/Q90Protocol.h"

namespace Q90 {

namespace {

const char kPreamble[] = {0x55, 0x55, 0x55, 0x55, char(0xFF), char(0xFF), char(0xFE)};
constexpr char kEchoMark = char(0xFE);

QString hex2(uint8_t byte) { return QStringLiteral("%1").arg(byte, 2, 16, QChar(u'0')).toUpper(); }

QString hex4(uint16_t value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QChar(u'0')).toUpper();
}

uint16_t word(const QByteArray &bytes, int index)
{
    return uint16_t((uint8_t(bytes[index]) << 8) | uint8_t(bytes[index + 1]));
}

void appendWord(QByteArray &bytes, uint16_t value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

}  // namespace

uint16_t crc16(const char *data, qsizetype size, uint16_t crc)
{
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= uint8_t(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0x8408) : uint16_t(crc >> 1);
    }
    return crc;
}

QByteArray frame(const QByteArray &payload, bool withPreamble)
{
    QByteArray body;
    body.reserve(payload.size() * 2 + 2);
    for (char c : payload) {
        body.append(c);
        if (c == kDle)
            body.append(c);
    }
    body.append(kDle);
    body.append(kEtx);
    const uint16_t crc = crc16(body);

    QByteArray out;
    out.reserve(body.size() + 11);
    if (withPreamble)
        out.append(kPreamble, sizeof kPreamble);
    out.append(kDle);
    out.append(kStx);
    out.append(body);
    out.append(char(crc & 0xFF));
    out.append(char(crc >> 8));
    return out;
}

QByteArray requestPayload(uint16_t destination, char command, uint16_t parameter,
                          const QByteArray &data)
{
    QByteArray p;
    appendWord(p, destination);
    appendWord(p, destination);
    p.append(command);
    appendWord(p, parameter);
    p.append(data);
    return p;
}

QByteArray statusRequest() { return requestPayload(0x0000, 'I', 0xFF00); }
QByteArray eraseRequest() { return requestPayload(0x0000, 'I', 0x0001); }

QByteArray readBlockRequest(uint16_t terminal, uint16_t address)
{
    return requestPayload(terminal, 'D', address);
}

QByteArray setClockRequest(int second, int minute, int hour, int day, int month, int year2)
{
    QByteArray data;
    for (int v : {second, minute, hour, day, month, year2})
        data.append(char(toBcd(v)));
    return requestPayload(0x0000, kSetClockCommand, 0x0000, data);
}

std::optional<Request> parseRequest(const QByteArray &payload)
{
    if (payload.size() < 7)
        return std::nullopt;
    Request r;
    r.destination = word(payload, 0);
    r.command = payload[4];
    r.parameter = word(payload, 5);
    r.data = payload.mid(7);
    return r;
}

QString requestLogLine(const QByteArray &payload)
{
    const auto r = parseRequest(payload);
    if (!r)
        return QString::fromLatin1(payload.toHex().toUpper());
    return hex4(r->destination) + hex4(word(payload, 2)) + QChar::fromLatin1(r->command) +
           hex4(r->parameter) + ' ' + QString::fromLatin1(r->data.toHex().toUpper());
}

// --- Receiver ---

void Receiver::reset()
{
    m_state = State::Scan;
    m_previous = 0;
    m_pendingDle = false;
    m_dleAfterEchoMark = false;
    m_payload.clear();
    m_crc = 0;
    m_crcBytes = 0;
    m_received = 0;
    m_dropped = 0;
}

void Receiver::startFrame()
{
    m_state = State::Payload;
    m_payload.clear();
    m_crc = 0;
    m_crcBytes = 0;
}

void Receiver::drop()
{
    ++m_dropped;
    m_state = State::Scan;
    m_payload.clear();
    m_previous = 0;
    m_pendingDle = false;
}

Receiver::Result Receiver::feed(const char *data, qsizetype size, qsizetype *used)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (used)
            *used = i + 1;
        const char b = data[i];
        ++m_received;
        switch (m_state) {
        case State::Scan:
            // A start is DLE STX; the byte before the DLE tells our own echo from a reply.
            if (m_pendingDle) {
                m_pendingDle = false;
                if (b == kStx) {
                    if (m_dleAfterEchoMark && !m_acceptPreambled)
                        m_state = State::Echo;
                    else
                        startFrame();
                    m_previous = 0;
                    break;
                }
                if (b == kDle) {
                    m_previous = 0;  // a doubled 10 is data, never half of a start
                    break;
                }
            } else if (b == kDle) {
                m_pendingDle = true;
                m_dleAfterEchoMark = m_previous == kEchoMark;
            }
            m_previous = b;
            break;
        case State::Echo:
            if (b == kDle)
                m_state = State::EchoDle;
            break;
        case State::EchoDle:
            if (b == kDle) {
                m_state = State::Echo;
            } else if (b == kEtx) {
                m_state = State::EchoCrc;
                m_crcBytes = 0;
            } else if (b == kStx) {
                startFrame();  // the echo broke off and a reply began
            } else {
                m_state = State::Scan;
                m_previous = b;
            }
            break;
        case State::EchoCrc:
            if (++m_crcBytes == 2) {
                m_state = State::Scan;
                m_previous = 0;
            }
            break;
        case State::Payload:
            m_crc = crc16(&b, 1, m_crc);
            if (b == kDle) {
                m_state = State::PayloadDle;
                break;
            }
            m_payload.append(b);
            if (m_payload.size() > kMaxPayload)
                drop();
            break;
        case State::PayloadDle:
            m_crc = crc16(&b, 1, m_crc);
            if (b == kDle) {
                m_payload.append(b);
                m_state = State::Payload;
                if (m_payload.size() > kMaxPayload)
                    drop();
            } else if (b == kEtx) {
                m_state = State::Crc;
                m_crcBytes = 0;
            } else if (b == kStx) {
                startFrame();
            } else {
                drop();
            }
            break;
        case State::Crc:
            m_crc = crc16(&b, 1, m_crc);
            if (++m_crcBytes == 2) {
                if (m_crc == 0) {
                    m_state = State::Scan;
                    m_previous = 0;
                    return Result::Frame;
                }
                drop();
            }
            break;
        }
        if (m_received > kMaxBytesWithoutFrame)
            return Result::Overflow;
    }
    if (used)
        *used = size;
    return Result::Pending;
}

// --- Status ---

std::optional<Model> modelFromCode(uint8_t code)
{
    switch (code) {
    case 0xB5: return Model{2000, 0x2000, false};
    case 0xD3: return Model{4000, 0x4000, false};
    case 0x35: return Model{2000, 0x2000, true};
    case 0x53: return Model{4000, 0x4000, true};
    default: return std::nullopt;
    }
}

uint8_t modelCode(int records, bool batteryLow)
{
    if (records >= 4000)
        return batteryLow ? 0x53 : 0xD3;
    return batteryLow ? 0x35 : 0xB5;
}

uint8_t toBcd(int value)
{
    value = qBound(0, value, 99);
    return uint8_t(((value / 10) << 4) | (value % 10));
}

int fromBcd(uint8_t byte)
{
    const int hi = byte >> 4, lo = byte & 0x0F;
    return hi > 9 || lo > 9 ? -1 : hi * 10 + lo;
}

std::optional<Status> decodeStatus(const QByteArray &p)
{
    if (p.size() < kStatusMinimum)
        return std::nullopt;
    const auto byte = [&p](int position) { return uint8_t(p[position - 1]); };
    for (int position = 2; position <= 7; ++position)
        if (fromBcd(byte(position)) < 0)
            return std::nullopt;
    const auto model = modelFromCode(byte(8));
    if (!model)
        return std::nullopt;
    Status s;
    s.time = hex2(byte(4)) + ':' + hex2(byte(3)) + ':' + hex2(byte(2));
    s.date = hex2(byte(5)) + '/' + hex2(byte(6)) + '/' + hex2(byte(7));
    s.modelCode = byte(8);
    s.model = *model;
    s.records = word(p, 8);
    s.firstAddress = word(p, 10);
    s.secondAddress = word(p, 12);
    for (int position = 20; position >= 16; --position)
        s.terminalCode += hex2(byte(position));
    s.terminal = uint16_t((byte(17) << 8) | byte(16));
    return s;
}

QByteArray encodeStatus(const StatusFields &f)
{
    QByteArray p(kStatusMinimum, '\0');
    p[1] = char(toBcd(f.second));
    p[2] = char(toBcd(f.minute));
    p[3] = char(toBcd(f.hour));
    p[4] = char(toBcd(f.day));
    p[5] = char(toBcd(f.month));
    p[6] = char(toBcd(f.year2));
    p[7] = char(f.modelCode);
    p[8] = char(f.records >> 8);
    p[9] = char(f.records & 0xFF);
    p[10] = char(f.firstAddress >> 8);
    p[11] = char(f.firstAddress & 0xFF);
    p[12] = char(f.secondAddress >> 8);
    p[13] = char(f.secondAddress & 0xFF);
    for (int i = 0; i < 5 && i < f.terminalCode.size(); ++i)
        p[15 + i] = f.terminalCode[i];
    return p;
}

// --- Memory ---

uint16_t nextBlockAddress(uint16_t address, int memorySize)
{
    const int next = int(address) + kBlockSize;
    return uint16_t(next >= memorySize ? kFirstBlock : next);
}

int blocksPerPass(int memorySize)
{
    return (memorySize - kFirstBlock + kBlockSize - 1) / kBlockSize;
}

void RecordDecoder::decodeBlock(const char *memory, qsizetype size, uint16_t address,
                                int memorySize)
{
    for (qsizetype offset = 0; offset + 4 <= size && !complete(); offset += 4) {
        if (int(address) + offset + 4 > memorySize)
            break;
        decodeRecord(reinterpret_cast<const uint8_t *>(memory + offset));
    }
}

void RecordDecoder::decodeRecord(const uint8_t *r)
{
    const int hi = r[0] >> 4, lo = r[0] & 0x0F;
    if (lo > 9) {
        ++m_invalid;
        return;
    }
    if (hi <= 5) {
        const QString identifier = hex2(r[3]) + hex2(r[2]) + hex2(r[1]);
        const bool usable = m_hasDate && m_day >= 1 && m_day <= 31 && m_month >= 1 &&
                            m_month <= 12 && m_year >= 0 && m_year < 100 &&
                            identifier != QLatin1String("000000");
        if (!usable) {
            ++m_rejected;
            return;
        }
        m_lines << QStringLiteral("%1/%2/%3 %4:%5 %6")
                       .arg(m_day, 2, 10, QChar(u'0'))
                       .arg(m_month, 2, 10, QChar(u'0'))
                       .arg(m_year, 2, 10, QChar(u'0'))
                       .arg(m_hour, 2, 10, QChar(u'0'))
                       .arg(hi * 10 + lo, 2, 10, QChar(u'0'))
                       .arg(identifier);
        return;
    }
    int hour;
    if (hi == 8 || hi == 9)
        hour = hi * 10 + lo - 80;
    else if (hi == 0xA && lo <= 3)
        hour = 20 + lo;
    else {
        ++m_invalid;
        return;
    }
    m_hasDate = true;
    m_hour = hour;
    m_day = fromBcd(r[1]);
    m_month = fromBcd(r[2]);
    m_year = fromBcd(r[3]);
}

QStringList listingHeader(const QString &date, const QString &time, const QString &terminalCode,
                          int records)
{
    return {QStringLiteral("DESCARGA DE DADOS - Coletor Q90"),
            QString::fromUtf8("VERSÃO .........: WEB 1.4"),
            QStringLiteral("DATA DESCARGA ..: ") + date,
            QStringLiteral("HORA DESCARGA ..: ") + time,
            QStringLiteral("ID COLETOR .....: ") + terminalCode,
            QString::fromUtf8("Nº REG DESCARGA : ") +
                QStringLiteral("%1").arg(records, 4, 10, QChar(u'0')),
            QString(),
            QStringLiteral("DATA     HORA  iButton"),
            QStringLiteral("-------- ----- ------")};
}

}  // namespace Q90
