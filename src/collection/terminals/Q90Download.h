#pragma once

#include "collection/terminals/Q90Protocol.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>

// The Q90 download over the serial line, step by step: the status request, the blocks of the
// record memory, the listing q90.tmd; and, as a run of its own, the erase of the terminal's
// memory, which the collection asks for (CLEAR) only once the listing's touches are stored. It runs on the events of the
// port and of its 50 ms watchdog; every prompt goes through the message service. The window
// TfmComQ90 shows it; torvelctl runs it in an event loop of its own.
//
// Requests that time out, overflow or bring an undecodable status are sent again, up to five
// attempts. A watchdog tick is a failure when more ticks than the limit passed without a byte:
// 4 on a first attempt, 15 on a repeated one, 50 for block reads and for the erase (which may
// take the terminal a while).
class Q90Download : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Running, Succeeded, NoRecords, InterfaceFailure, TerminalFailure, Incomplete,
                         ListingNotStored };

    struct Settings {
        QString portName;   // PORTACOM: "COM1" (a serial port of this machine) or a device path
        int baud = 1200;
    };

    explicit Q90Download(Settings settings, QObject *parent = nullptr);
    ~Q90Download() override;

    // The watchdog's period; tests shorten it (0 restores 50 ms).
    static void setTickInterval(int ms);
    static int tickInterval();

    // Deletes q90.tmd, clears the counters and sends the status request. A listing whose
    // touches were not stored yet is never deleted: the download then ends at once with
    // ListingNotStored.
    void start();
    // Erases the terminal's memory.
    void startErase();

    // A listing is pending from the moment it is written until its touches are stored: a mark
    // beside q90.tmd holds the collector it was downloaded for.
    static void markListingPending(const QString &collector);
    static bool listingPending();
    static QString pendingCollector();
    static void clearListingPending();
    Outcome outcome() const { return m_outcome; }
    bool running() const { return m_outcome == Outcome::Running; }
    const Q90::Status &status() const { return m_status; }
    int accepted() const { return m_decoder ? m_decoder->accepted() : 0; }
    int invalidRecords() const { return m_decoder ? m_decoder->invalid() : 0; }
    int blocksRead() const { return m_blocks; }
    qint64 bytesWritten() const { return m_bytesWritten; }
    qint64 bytesRead() const { return m_bytesRead; }
    QString progressText() const { return m_progress; }

    // The files in the current folder.
    static QString listingPath();      // q90.tmd
    static QString requestLogPath();   // CmdTX.txt
    static QString blockLogPath();     // DescMemo.txt
    static QString oldBlockLogPath();  // DescMemo.old

Q_SIGNALS:
    void progress(const QString &text);
    void finished();

public Q_SLOTS:
    void ComPortRxChar();
    void Timer1Timer();

private:
    enum class Step { Idle, Status, Block, Erase };

    void send(Step step, const QByteArray &payload, int limit);
    void attemptFailed();
    void handleFrame(const QByteArray &payload);
    void handleStatus(const QByteArray &payload);
    void handleBlock(const QByteArray &payload);
    void handleErase(const QByteArray &payload);
    void requestBlock();
    void completed();
    void saveListing();
    void finish(Outcome outcome);
    void setProgress(const QString &text);
    void appendLog(const QString &path, const QStringList &lines);
    bool openPort();

    Settings m_settings;
    QSerialPort m_port;
    QTimer m_watchdog;
    Q90::Receiver m_receiver;
    Outcome m_outcome = Outcome::Running;
    Step m_step = Step::Idle;
    QByteArray m_request;
    int m_failures = 0;
    int m_limit = 0;
    int m_ticks = 0;
    bool m_heardAnything = false;
    bool m_logRequests = false;
    bool m_firstBlock = true;
    bool m_eraseOnly = false;
    Q90::Status m_status;
    uint16_t m_address = 0;
    int m_blocks = 0;
    int m_requestedBlocks = 0;
    std::unique_ptr<Q90::RecordDecoder> m_decoder;
    QStringList m_listing;
    QString m_progress;
    qint64 m_bytesWritten = 0;
    qint64 m_bytesRead = 0;
};

namespace Q90 {
// The device QSerialPort opens for PORTACOM: "COMn" is the n-th serial port of the machine
// (ttyS<n-1>); anything else (ttyUSB0, /dev/pts/3) is taken as it stands.
QString portDevice(const QString &portName);
}
