#pragma once

#include "collection/terminals/Q90Download.h"
#include "collection/terminals/Q90Library.h"

#include <QDialog>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QLabel;

// The small borderless "Comunicando..." window shown over a Q90 library call: on top, with a
// moving bar, and refusing to close until the command lets it.
class TfmAguarde : public QDialog {
    Q_OBJECT
public:
    explicit TfmAguarde(const QString &text, QWidget *parent = nullptr);
    void finish();
    QLabel *lbTexto = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    bool m_mayClose = false;
};

// The Q90 carrier: the three Q90 commands of the collection dialog. Status and clock go
// through the Q90 library (AbreCom, Status or AcertaDH, FechaCom); the collection runs the
// serial download (TfmComQ90) and hands the listing to the ingest. Created for one command,
// never shown. Its log lines, with accented letters made plain, go to its memo and to the
// caller's log.
class TfmComunica : public QObject {
    Q_OBJECT
public:
    // What a collection needs from the collection layer above: the backup folder (false when
    // it cannot be made; the user has been told) and ConvertAndIngestQ90Listing (true when
    // every touch of the listing was stored).
    struct Ingestor {
        std::function<bool()> ensureBackupFolder;
        std::function<bool(const QString &collector, const std::function<void(const QString &)> &log)>
            convertAndIngest;
    };

    explicit TfmComunica(std::function<void(const QString &)> log = {}, QObject *parent = nullptr);
    ~TfmComunica() override;

    // PORTACOM (or a device path given by torvelctl), Q90BAUD.
    QString portName() const { return m_portName; }
    void setPortName(const QString &portName) { m_portName = portName; }
    int port() const;
    int speed() const { return m_speed; }

    void setCollector(const QString &codigoColetor) { m_collector = codigoColetor; }
    void setIngestor(Ingestor ingestor) { m_ingestor = std::move(ingestor); }

    void btStatusQ90Click();
    void btEnviaDHQ90Click();
    void btColetaQ90Click();

    bool busy() const { return m_busy; }
    QStringList memo() const { return m_memo; }
    // The last command's code: 0 done, 1-3 the port or library failures, 4 an invalid reply.
    int result() const { return m_result; }
    // How the last serial download ended.
    Q90Download::Outcome downloadOutcome() const { return m_outcome; }
    // The last collection downloaded the terminal and stored every touch it gave.
    bool collected() const { return m_collected; }

    // À-Ä, Ç, È-Ë, Ì-Ï, Ò-Õ, Ù-Ü and their lower-case forms made plain.
    static QString plainText(const QString &text);

Q_SIGNALS:
    // Status and clock ended and the carrier is done: the collection dialog starts its release
    // timer.
    void closed();

private:
    enum class Command { Status, Clock };
    void runLibraryCommand(Command command);
    void runStatus(Q90Library &library);
    void runClock(Q90Library &library);
    void runSerialDownload();
    bool storeListing(const QString &collector);
    void eraseTerminal();
    void log(const QString &line);

    std::function<void(const QString &)> m_log;
    QString m_portName;
    int m_speed = 1200;
    QString m_collector;
    Ingestor m_ingestor;
    QStringList m_memo;
    bool m_busy = false;
    int m_result = 0;
    bool m_collected = false;
    Q90Download::Outcome m_outcome = Q90Download::Outcome::Running;
};
