#pragma once

#include "collection/terminals/Q90Protocol.h"
#include "collection/terminals/TerminalSimulators.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <atomic>
#include <memory>

class QThread;

// A Q90 terminal with its interface on the far side of a pseudo-terminal pair. The program
// opens slavePath() as its serial port; the simulator, on a thread of its own, echoes every
// request as the interface does and answers status, block reads, erase and our clock command
// from a memory image, with faults on demand. Pacing writes each byte at the time the line
// would deliver it at the given baud rate (10 bits a byte).
class Q90Simulator {
public:
    struct Faults {
        bool echo = true;             // the interface echoes the requests
        int silent = 0;               // requests left unanswered; -1: every one
        int corrupt = 0;              // replies with one byte changed
        QSet<int> corruptBlocks;      // block addresses whose next reply has one byte changed
        bool garbage = false;         // bytes without a frame instead of every reply
        QSet<int> shortBlocks;        // block addresses answered with a short block
        int modelCode = -1;           // a model code to report instead of the real one
    };

    struct Counters {
        int requests = 0;
        int blockReads = 0;
        int erases = 0;
        qint64 bytesIn = 0;           // request bytes received
        qint64 bytesOut = 0;          // echo and reply bytes written
    };

    Q90Simulator();
    ~Q90Simulator();
    Q90Simulator(const Q90Simulator &) = delete;
    Q90Simulator &operator=(const Q90Simulator &) = delete;

    // The memory: 2000 or 4000 records, the touches written from `firstAddress` on (wrapping
    // to 0x0020 at the memory size) with an hour marker wherever the date or the hour changes.
    // Touches that do not fit are left out; the record count is the touches written.
    void load(const QList<TerminalSimulator::Touch> &touches, int capacity = 2000,
              uint16_t firstAddress = Q90::kFirstBlock);
    // A raw memory image and the record count the status reports.
    void setImage(const QByteArray &image, int records, uint16_t firstAddress);
    void setBatteryLow(bool low);
    // Ten hexadecimal digits; the last four are the terminal's address for block reads.
    void setTerminalCode(const QString &code);
    void setFaults(const Faults &faults);
    // 0: no pacing.
    void setPacing(int baud);

    int records() const;
    QByteArray image() const;
    QDateTime clock() const;
    void setClock(const QDateTime &terminalNow);
    Counters counters() const;

    // Opens the pseudo-terminal pair and starts answering; false (with why in error()) when
    // the pair cannot be made.
    bool start();
    void stop();
    QString slavePath() const { return m_slavePath; }
    QString error() const { return m_error; }

    // The memory image of `touches`, for tests and the benchmark; `records` gets the count.
    static QByteArray buildImage(const QList<TerminalSimulator::Touch> &touches, int memorySize,
                                 uint16_t firstAddress, int *records);

private:
    void run();
    QByteArray answer(const QByteArray &requestPayload);
    void writePaced(const QByteArray &bytes);

    mutable QMutex m_mutex;
    QByteArray m_image;
    int m_records = 0;
    int m_capacity = 2000;
    uint16_t m_firstAddress = Q90::kFirstBlock;
    bool m_batteryLow = false;
    QByteArray m_terminalCode;  // bytes 16..20 of the status
    qint64 m_clockOffset = 0;   // seconds ahead of this machine
    Faults m_faults;
    Counters m_counters;
    int m_baud = 0;

    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    QString m_slavePath;
    QString m_error;
    std::atomic<bool> m_stop{false};
    std::unique_ptr<QThread> m_thread;
    qint64 m_lineFreeAt = 0;    // pacing: when the line has sent the last byte, in ns
};
