#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The Q90 terminal's serial protocol, with no port and no window: framing and its checksum,
// the receiver that finds a reply in the bytes coming back, the status reply, the record
// memory and the walk over its blocks. The serial driver, the bundled q90 library and the
// terminal simulator all speak through these functions.
//
// A frame: [preamble 55 55 55 55 FF FF FE, requests only] 10 02, the payload with every 10
// sent twice, 10 03, then CRC-16/KERMIT (low byte first) over the payload as sent and 10 03.
namespace Q90 {

inline constexpr char kDle = 0x10;
inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr int kMaxPayload = 257;        // a block reply: one leading byte and 256 of memory
inline constexpr int kMaxBytesWithoutFrame = 600;
inline constexpr int kBlockSize = 0x100;
inline constexpr int kFirstBlock = 0x0020;     // where the record area starts after a wrap
inline constexpr int kStatusMinimum = 22;

// CRC-16/KERMIT: polynomial 0x1021 reflected (0x8408), initial 0, no final XOR.
uint16_t crc16(const char *data, qsizetype size, uint16_t crc = 0);
inline uint16_t crc16(const QByteArray &data, uint16_t crc = 0)
{
    return crc16(data.constData(), data.size(), crc);
}

// The whole frame of `payload`.
QByteArray frame(const QByteArray &payload, bool withPreamble);

// Request payloads: destination twice, the command letter, the parameter (high byte first),
// then the data.
QByteArray requestPayload(uint16_t destination, char command, uint16_t parameter,
                          const QByteArray &data = {});
QByteArray statusRequest();                                      // "I", FF 00, to 00 00
QByteArray eraseRequest();                                       // "I", 00 01, to 00 00
QByteArray readBlockRequest(uint16_t terminal, uint16_t address);  // "D", the block address
// Our extension, answered by the bundled simulator: "H", 00 00, to 00 00, with the clock as
// BCD seconds, minutes, hours, day, month, two-digit year; the reply is a status reply.
QByteArray setClockRequest(int second, int minute, int hour, int day, int month, int year2);

inline constexpr char kSetClockCommand = 'H';

// A request payload taken apart (the simulator's side).
struct Request {
    uint16_t destination = 0;
    char command = 0;
    uint16_t parameter = 0;
    QByteArray data;
};
std::optional<Request> parseRequest(const QByteArray &payload);

// One line of CmdTX.txt: "DDDDDDDDCPPPP hexdata".
QString requestLogLine(const QByteArray &payload);

// Finds a frame in the bytes as they arrive. A start (10 02) right after FE is the echo of our
// own request and is passed over with its frame, so its contents can never pass for a reply;
// `acceptPreambled` turns that off for the side that receives requests.
class Receiver {
public:
    enum class Result { Pending, Frame, Overflow };

    explicit Receiver(bool acceptPreambled = false) : m_acceptPreambled(acceptPreambled) {}

    // Back to scanning, with the byte count at zero (done before every request).
    void reset();
    // Feeds bytes; stops at the first good frame (the driver ignores what follows a good frame
    // in the same arrival; `used`, when given, tells how many bytes were taken). Overflow: more
    // than 600 bytes since reset() without a frame.
    Result feed(const char *data, qsizetype size, qsizetype *used = nullptr);
    Result feed(const QByteArray &bytes) { return feed(bytes.constData(), bytes.size()); }

    // The payload of the last good frame, 10 10 back to 10.
    const QByteArray &payload() const { return m_payload; }
    // Bytes fed since reset().
    int received() const { return m_received; }
    int droppedFrames() const { return m_dropped; }

private:
    enum class State { Scan, Echo, EchoDle, EchoCrc, Payload, PayloadDle, Crc };
    void startFrame();
    void drop();

    bool m_acceptPreambled;
    State m_state = State::Scan;
    char m_previous = 0;
    bool m_pendingDle = false;        // the last byte scanned was a lone DLE
    bool m_dleAfterEchoMark = false;  // ... and FE came before it
    QByteArray m_payload;
    uint16_t m_crc = 0;
    int m_crcBytes = 0;
    int m_received = 0;
    int m_dropped = 0;
};

// Model codes and the memory they fix.
struct Model {
    int records = 0;     // 2000 or 4000
    int memorySize = 0;  // 0x2000 or 0x4000
    bool batteryLow = false;
};
std::optional<Model> modelFromCode(uint8_t code);
uint8_t modelCode(int records, bool batteryLow);

// The status reply (also the reply to erase and to our clock command).
struct Status {
    QString time;          // "hh:mm:ss" of the terminal's clock
    QString date;          // "dd/mm/yy"
    uint8_t modelCode = 0;
    Model model;
    int records = 0;
    uint16_t firstAddress = 0;
    uint16_t secondAddress = 0;
    QString terminalCode;  // ten hexadecimal digits, bytes 20..16
    uint16_t terminal = 0; // destination of block reads: byte 17, byte 16
};
// nullopt for fewer than 22 bytes, an unknown model code or clock digits that are not BCD.
std::optional<Status> decodeStatus(const QByteArray &payload);

// The bytes of a status reply, for the simulator: clock fields as BCD.
struct StatusFields {
    int second = 0, minute = 0, hour = 0, day = 1, month = 1, year2 = 0;
    uint8_t modelCode = 0xB5;
    int records = 0;
    uint16_t firstAddress = kFirstBlock;
    uint16_t secondAddress = kFirstBlock;
    QByteArray terminalCode = QByteArray::fromHex("0000000000");  // bytes 16..20
};
QByteArray encodeStatus(const StatusFields &fields);

uint8_t toBcd(int value);
// The two hexadecimal digits of a byte read as a decimal number; -1 when one is not a digit.
int fromBcd(uint8_t byte);

// The address after `address`: 0x100 on, back to 0x0020 on reaching the memory size.
uint16_t nextBlockAddress(uint16_t address, int memorySize);
// How many blocks a full pass over the record area takes.
int blocksPerPass(int memorySize);

// Decodes the 4-byte records of the memory into listing lines, keeping the current date and
// hour from one block to the next.
class RecordDecoder {
public:
    // Stops accepting at `wanted` touches (the terminal's record count): what follows in the
    // memory is not part of what the terminal holds.
    explicit RecordDecoder(int wanted) : m_wanted(wanted) {}

    // `memory` is the block read at `address`; records at or past `memorySize` are not read.
    void decodeBlock(const char *memory, qsizetype size, uint16_t address, int memorySize);

    // A block that could not be read may have held an hour marker: the touches after it wait
    // for the next marker rather than take a date and hour that may no longer hold.
    void forgetDate() { m_hasDate = false; }

    const QStringList &lines() const { return m_lines; }
    int accepted() const { return m_lines.size(); }
    int invalid() const { return m_invalid; }     // records of no known kind
    int rejected() const { return m_rejected; }   // touches without a usable date or identifier
    bool complete() const { return accepted() >= m_wanted; }

private:
    void decodeRecord(const uint8_t *record);

    int m_wanted;
    QStringList m_lines;
    int m_invalid = 0;
    int m_rejected = 0;
    bool m_hasDate = false;
    int m_day = 0, m_month = 0, m_year = 0, m_hour = 0;
};

// The listing's nine header lines.
QStringList listingHeader(const QString &date, const QString &time, const QString &terminalCode,
                          int records);

// Dates and times as the Q90 window writes them: short date "dd/mm/yy", long time "hh:nn:ss".
inline constexpr const char *kShortDateFormat = "dd/MM/yy";
inline constexpr const char *kLongTimeFormat = "hh:mm:ss";

}  // namespace Q90
