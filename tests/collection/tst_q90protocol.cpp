#include "collection/terminals/Q90Protocol.h"
#include "collection/terminals/Q90Simulator.h"

#include <QtTest>

using namespace Q90;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

// A reply frame as the terminal sends it (no preamble).
QByteArray reply(const QByteArray &payload) { return frame(payload, false); }

StatusFields sampleStatus()
{
    StatusFields f;
    f.second = 5;
    f.minute = 35;
    f.hour = 14;
    f.day = 16;
    f.month = 11;
    f.year2 = 8;
    f.modelCode = 0xD3;
    f.records = 4000;
    f.firstAddress = 0x3F20;
    f.terminalCode = hex("3412CDAB01");  // bytes 16..20
    return f;
}

}  // namespace

class TestQ90Protocol : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void crcIsKermit()
    {
        QCOMPARE(crc16(QByteArray("123456789")), uint16_t(0x2189));
        QCOMPARE(crc16(QByteArray()), uint16_t(0));
    }

    void frameDoublesDleAndChecksumsTheSentForm()
    {
        const QByteArray payload = hex("01100203");
        const QByteArray f = frame(payload, true);
        const QByteArray body = hex("0110100203") + hex("1003");
        const uint16_t crc = crc16(body);
        QCOMPARE(f, hex("55555555FFFFFE1002") + body + QByteArray(1, char(crc & 0xFF)) +
                        QByteArray(1, char(crc >> 8)));
        // What the receiver runs over everything after DLE STX comes out 0.
        QCOMPARE(crc16(f.mid(9)), uint16_t(0));
        QCOMPARE(frame(payload, false), f.mid(7));
    }

    void requestsCarryDestinationTwiceCommandAndParameter()
    {
        QCOMPARE(statusRequest(), hex("0000000049FF00"));
        QCOMPARE(eraseRequest(), hex("00000000490001"));
        QCOMPARE(readBlockRequest(0x1234, 0x3F20), hex("12341234443F20"));
        QCOMPARE(requestLogLine(readBlockRequest(0x1234, 0x3F20)), QStringLiteral("12341234D3F20 "));
        QCOMPARE(requestLogLine(setClockRequest(5, 4, 3, 16, 11, 8)),
                 QStringLiteral("00000000H0000 050403161108"));
        const auto parsed = parseRequest(setClockRequest(5, 4, 3, 16, 11, 8));
        QVERIFY(parsed);
        QCOMPARE(parsed->command, 'H');
        QCOMPARE(parsed->data, hex("050403161108"));
        QVERIFY(!parseRequest(hex("000000")));
    }

    void receiverTakesAGoodReplyInAnyChunks()
    {
        const QByteArray payload = hex("0010FF1010") + QByteArray(30, 'x');
        const QByteArray bytes = reply(payload);
        Receiver whole;
        QCOMPARE(whole.feed(bytes), Receiver::Result::Frame);
        QCOMPARE(whole.payload(), payload);

        Receiver oneByOne;
        for (int i = 0; i < bytes.size() - 1; ++i)
            QCOMPARE(oneByOne.feed(bytes.mid(i, 1)), Receiver::Result::Pending);
        QCOMPARE(oneByOne.feed(bytes.right(1)), Receiver::Result::Frame);
        QCOMPARE(oneByOne.payload(), payload);
    }

    void receiverDropsAChangedByte()
    {
        const QByteArray good = reply(encodeStatus(sampleStatus()));
        for (int i : {3, 10, int(good.size()) - 1}) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ 0x01);
            Receiver r;
            QVERIFY2(r.feed(bad) != Receiver::Result::Frame, qPrintable(QString::number(i)));
        }
        // The good copy that follows a bad one is still found.
        QByteArray bad = good;
        bad[5] = char(bad[5] ^ 0x40);
        Receiver r;
        QCOMPARE(r.feed(bad + good), Receiver::Result::Frame);
        QCOMPARE(r.payload(), encodeStatus(sampleStatus()));
    }

    void receiverPassesOverTheEchoOfOurRequest()
    {
        // The request's own frame, with a doubled 10 02 and CRC bytes 10 02 inside, comes back
        // first; only the reply after it counts.
        QByteArray request;
        for (int extra = 0; extra < 256 && !frame(request, true).endsWith(hex("1002")); ++extra)
            for (int address = 0; address <= 0xFFFF; ++address) {
                request = requestPayload(0x1002, 'D', uint16_t(address), QByteArray(1, char(extra)));
                if (frame(request, true).endsWith(hex("1002")))
                    break;
            }
        const QByteArray echo = frame(request, true);
        QVERIFY(echo.endsWith(hex("1002")));
        QVERIFY(echo.contains(hex("10100210")));
        const QByteArray answer = hex("AA") + QByteArray(256, char(0x10));
        Receiver r;
        QCOMPARE(r.feed(echo), Receiver::Result::Pending);
        QCOMPARE(r.feed(reply(answer)), Receiver::Result::Frame);
        QCOMPARE(r.payload(), answer);

        // An echo alone is never a reply.
        Receiver alone;
        QCOMPARE(alone.feed(frame(statusRequest(), true)), Receiver::Result::Pending);
        // The receiving side of requests takes it.
        Receiver requests(true);
        QCOMPARE(requests.feed(frame(statusRequest(), true)), Receiver::Result::Frame);
        QCOMPARE(requests.payload(), statusRequest());
    }

    void receiverLimits()
    {
        // 257 payload bytes are a frame, 258 are dropped.
        Receiver r;
        QCOMPARE(r.feed(reply(QByteArray(257, 'a'))), Receiver::Result::Frame);
        r.reset();
        QCOMPARE(r.feed(reply(QByteArray(258, 'a'))), Receiver::Result::Pending);
        QCOMPARE(r.droppedFrames(), 1);
        // 600 bytes without a frame are still waiting; the 601st is a failed attempt.
        r.reset();
        QCOMPARE(r.feed(QByteArray(600, 'g')), Receiver::Result::Pending);
        QCOMPARE(r.feed(QByteArray(1, 'g')), Receiver::Result::Overflow);
        // Bytes after a good frame are not taken.
        r.reset();
        qsizetype used = 0;
        const QByteArray f = reply(hex("01"));
        QCOMPARE(r.feed((f + "trailing").constData(), f.size() + 8, &used), Receiver::Result::Frame);
        QCOMPARE(used, f.size());
        // A lone DLE followed by anything else inside a frame drops it.
        r.reset();
        QCOMPARE(r.feed(hex("1002011005031003")), Receiver::Result::Pending);
        QCOMPARE(r.droppedFrames(), 1);
    }

    void statusReplyDecodes()
    {
        const auto s = decodeStatus(encodeStatus(sampleStatus()));
        QVERIFY(s);
        QCOMPARE(s->time, QStringLiteral("14:35:05"));
        QCOMPARE(s->date, QStringLiteral("16/11/08"));
        QCOMPARE(s->model.records, 4000);
        QCOMPARE(s->model.memorySize, 0x4000);
        QVERIFY(!s->model.batteryLow);
        QCOMPARE(s->records, 4000);
        QCOMPARE(s->firstAddress, uint16_t(0x3F20));
        QCOMPARE(s->terminalCode, QStringLiteral("01ABCD1234"));
        QCOMPARE(s->terminal, uint16_t(0x1234));
    }

    void statusModelsAndUndecodableReplies()
    {
        const QList<std::tuple<uint8_t, int, bool>> models{
            {0xB5, 2000, false}, {0xD3, 4000, false}, {0x35, 2000, true}, {0x53, 4000, true}};
        for (const auto &[code, records, low] : models) {
            StatusFields f = sampleStatus();
            f.modelCode = code;
            const auto s = decodeStatus(encodeStatus(f));
            QVERIFY(s);
            QCOMPARE(s->model.records, records);
            QCOMPARE(s->model.memorySize, records == 4000 ? 0x4000 : 0x2000);
            QCOMPARE(s->model.batteryLow, low);
        }
        StatusFields unknown = sampleStatus();
        unknown.modelCode = 0x99;
        QVERIFY(!decodeStatus(encodeStatus(unknown)));
        QVERIFY(!decodeStatus(encodeStatus(sampleStatus()).left(21)));
        QByteArray notBcd = encodeStatus(sampleStatus());
        notBcd[4] = char(0x3A);  // day "3A"
        QVERIFY(!decodeStatus(notBcd));
    }

    void recordsBecomeListingLines()
    {
        RecordDecoder d(10);
        const QByteArray memory = hex("A2161108" "35563412" "FF000000" "6A000000" "B0000000"
                                      "00000000" "85010203" "59ABCDEF");
        d.decodeBlock(memory.constData(), memory.size(), 0x0020, 0x2000);
        QCOMPARE(d.lines(), (QStringList{"16/11/08 22:35 123456", "01/02/03 05:59 EFCDAB"}));
        QCOMPARE(d.invalid(), 3);    // FF, 6A, B0
        QCOMPARE(d.rejected(), 1);   // identifier 000000
    }

    void touchesNeedAUsableDate()
    {
        // Before any hour marker, and under markers with an impossible date.
        RecordDecoder d(10);
        const QByteArray memory = hex("10111111" "80321108" "10222222" "80001108" "10333333"
                                      "80011308" "10444444" "80311208" "10555555");
        d.decodeBlock(memory.constData(), memory.size(), 0x0020, 0x2000);
        QCOMPARE(d.lines(), (QStringList{"31/12/08 00:10 555555"}));
        QCOMPARE(d.rejected(), 4);
    }

    void decoderStopsAtTheCountAndAtTheMemoryEnd()
    {
        const QByteArray memory = hex("90010101" "01000001" "02000002" "03000003");
        RecordDecoder two(2);
        two.decodeBlock(memory.constData(), memory.size(), 0x0020, 0x2000);
        QCOMPARE(two.accepted(), 2);
        QVERIFY(two.complete());
        // Only the records below the memory size are read.
        RecordDecoder end(10);
        end.decodeBlock(memory.constData(), memory.size(), 0x2000 - 12, 0x2000);
        QCOMPARE(end.accepted(), 2);
        // The current hour carries over to the next block.
        RecordDecoder carry(10);
        carry.decodeBlock(memory.constData(), 4, 0x1F20, 0x2000);
        carry.decodeBlock(memory.constData() + 4, 4, 0x0020, 0x2000);
        QCOMPARE(carry.lines(), (QStringList{"01/01/01 10:01 010000"}));
    }

    void blockWalkWrapsToTheRecordArea()
    {
        QCOMPARE(nextBlockAddress(0x3F20, 0x4000), uint16_t(0x0020));
        QCOMPARE(nextBlockAddress(0x0020, 0x4000), uint16_t(0x0120));
        QCOMPARE(nextBlockAddress(0x1E20, 0x2000), uint16_t(0x1F20));
        QCOMPARE(nextBlockAddress(0x1F20, 0x2000), uint16_t(0x0020));
        QCOMPARE(blocksPerPass(0x2000), 32);
        QCOMPARE(blocksPerPass(0x4000), 64);
    }

    void simulatorImageReadsBackThroughTheDecoder()
    {
        QList<TerminalSimulator::Touch> touches;
        const QDateTime start(QDate(2026, 12, 9), QTime(23, 50));
        for (int i = 0; i < 30; ++i)
            touches.append({QStringLiteral("%1").arg(0xA00000 + i, 6, 16).toUpper(),
                            start.addSecs(i * 60)});
        int records = 0;
        const QByteArray image = Q90Simulator::buildImage(touches, 0x2000, 0x1FE0, &records);
        QCOMPARE(records, 30);
        RecordDecoder d(records);
        uint16_t address = 0x1FE0;
        for (int block = 0; block < 3 && !d.complete(); ++block) {
            d.decodeBlock(image.constData() + address, qMin(256, 0x2000 - address), address, 0x2000);
            address = nextBlockAddress(address, 0x2000);
        }
        QCOMPARE(d.accepted(), 30);
        QCOMPARE(d.lines().first(), QStringLiteral("09/12/26 23:50 A00000"));
        QCOMPARE(d.lines().last(), QStringLiteral("10/12/26 00:19 A0001D"));
    }

    void listingHeaderLines()
    {
        const QStringList h = listingHeader("16/11/08", "14:35:05", "01ABCD1234", 42);
        QCOMPARE(h.size(), 9);
        QCOMPARE(h[1], QString::fromUtf8("VERSÃO .........: WEB 1.4"));
        QCOMPARE(h[4], QStringLiteral("ID COLETOR .....: 01ABCD1234"));
        QCOMPARE(h[4].mid(18, 4), QStringLiteral("01AB"));
        QCOMPARE(h[5], QString::fromUtf8("Nº REG DESCARGA : 0042"));
        QCOMPARE(h[8], QStringLiteral("-------- ----- ------"));
    }
};

QTEST_GUILESS_MAIN(TestQ90Protocol)
#include "tst_q90protocol.moc"
