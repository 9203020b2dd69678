// libFuzzer target for what the Q90 driver does with bytes from the line: the receiver (in
// arrivals of varying sizes, both sides' variants), the status decoding of what it accepts,
// and the record decoder over any memory at any address. Built and run by bench/fuzz_q90.sh.
#include "collection/terminals/Q90Protocol.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data);
    // The first bytes steer the run: arrival size, side, address and memory model.
    const int chunk = 1 + data[0] % 64;
    const bool requests = data[1] & 1;
    const uint16_t address = uint16_t((data[2] << 8) | data[3]);
    const int memorySize = (data[1] & 2) ? 0x4000 : 0x2000;
    bytes += 4;
    size -= 4;

    Q90::Receiver receiver(requests);
    for (size_t at = 0; at < size;) {
        const size_t n = std::min(size - at, size_t(chunk));
        qsizetype used = 0;
        const auto result = receiver.feed(bytes + at, qsizetype(n), &used);
        if (used < 1 || size_t(used) > n)
            __builtin_trap();
        at += size_t(used);
        if (result == Q90::Receiver::Result::Frame) {
            const QByteArray &payload = receiver.payload();
            if (payload.size() > Q90::kMaxPayload)
                __builtin_trap();
            if (const auto status = Q90::decodeStatus(payload))
                (void)status->terminalCode.size();
            (void)Q90::parseRequest(payload);
            (void)Q90::requestLogLine(payload);
            receiver.reset();
        } else if (result == Q90::Receiver::Result::Overflow) {
            receiver.reset();
        }
    }

    Q90::RecordDecoder decoder(int(data[0]) * 16);
    decoder.decodeBlock(bytes, qsizetype(size), address, memorySize);
    if (decoder.accepted() > int(size / 4))
        __builtin_trap();
    for (const QString &line : decoder.lines())
        if (line.size() != 21)
            __builtin_trap();
    (void)Q90::nextBlockAddress(address, memorySize);
    return 0;
}
