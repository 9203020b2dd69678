#include "collection/terminals/TfmComunica.h"

#include "collection/terminals/TerminalLibraries.h"
#include "collection/terminals/TfmComQ90.h"
#include "core/TdmzDados.h"
#include "platform/BusyCursor.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

// --- TfmAguarde ---

TfmAguarde::TfmAguarde(const QString &text, QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Comunicando..."));
    lbTexto = new QLabel(text);
    lbTexto->setAlignment(Qt::AlignCenter);
    auto *bar = new QProgressBar;
    bar->setRange(0, 0);  // a bar that keeps moving while nothing can be measured
    bar->setTextVisible(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbTexto);
    layout->addWidget(bar);
}

void TfmAguarde::finish()
{
    m_mayClose = true;
    close();
}

void TfmAguarde::closeEvent(QCloseEvent *event)
{
    if (m_mayClose)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void TfmAguarde::reject()
{
    if (m_mayClose)
        QDialog::reject();
}

// --- TfmComunica ---

namespace {

bool hasScreen() { return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr; }

// AbreCom's text: a whole number is the code; else the number before the first comma, with
// the message after it; anything else (or a code no library gives) is an invalid answer, 3.
std::pair<int, QString> openResult(const QString &text)
{
    bool ok = false;
    int code = text.trimmed().toInt(&ok);
    QString message;
    if (!ok) {
        const int comma = text.indexOf(u',');
        if (comma >= 0) {
            code = text.left(comma).trimmed().toInt(&ok);
            message = text.mid(comma + 1);
        }
    }
    if (!ok || code < 0 || code > 3)
        code = 3;
    return {code, message};
}

// Status and AcertaDH: the first character is the code, 4 when it is not a digit (or is a
// digit no library gives).
int commandCode(const QString &text)
{
    const int code = text.isEmpty() || !text[0].isDigit() ? 4 : text[0].digitValue();
    return code <= 4 ? code : 4;
}

constexpr int kStatusDataSize = 19;

}  // namespace

TfmComunica::TfmComunica(std::function<void(const QString &)> log, QObject *parent)
    : QObject(parent), m_log(std::move(log))
{
    const IniFile &config = TdmzDados::instance()->config();
    m_portName = config.readString("COM", "PORTACOM", "COM1");
    m_speed = config.readInteger("COM", "Q90BAUD", 1200);
    m_ingestor.ensureBackupFolder = [] { return QFileInfo(Folders::backupFolder()).isDir(); };
}

TfmComunica::~TfmComunica() = default;

int TfmComunica::port() const { return Terminals::portNumber(m_portName); }

QString TfmComunica::plainText(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xC0 && u <= 0xC4) c = u'A';
        else if (u == 0xC7) c = u'C';
        else if (u >= 0xC8 && u <= 0xCB) c = u'E';
        else if (u >= 0xCC && u <= 0xCF) c = u'I';
        else if (u >= 0xD2 && u <= 0xD5) c = u'O';
        else if (u >= 0xD9 && u <= 0xDC) c = u'U';
        else if (u >= 0xE0 && u <= 0xE4) c = u'a';
        else if (u == 0xE7) c = u'c';
        else if (u >= 0xE8 && u <= 0xEB) c = u'e';
        else if (u >= 0xEC && u <= 0xEF) c = u'i';
        else if (u >= 0xF2 && u <= 0xF5) c = u'o';
        else if (u >= 0xF9 && u <= 0xFC) c = u'u';
    }
    return out;
}

void TfmComunica::log(const QString &line)
{
    const QString plain = plainText(line);
    m_memo << plain;
    if (m_log)
        m_log(plain);
}

void TfmComunica::btStatusQ90Click() { runLibraryCommand(Command::Status); }
void TfmComunica::btEnviaDHQ90Click() { runLibraryCommand(Command::Clock); }

void TfmComunica::runLibraryCommand(Command command)
{
    if (m_busy) {
        Msg::warning(QString::fromUtf8("Aguarde a comunicação"));
        return;
    }
    m_busy = true;
    const bool clock = command == Command::Clock;
    std::unique_ptr<TfmAguarde> progress;
    if (hasScreen()) {
        progress = std::make_unique<TfmAguarde>(clock ? QStringLiteral("Enviando Data e Hora...")
                                                      : QStringLiteral("Comunicando com o terminal de dados..."));
        progress->show();
        QCoreApplication::processEvents();
    }
    const auto library = Terminals::createQ90(TdmzDados::instance()->config());
    const QString com = QStringLiteral("COM%1").arg(port());
    {
        BusyCursor busy;
        const auto [code, message] = openResult(library->AbreCom(port(), m_portName, m_speed, 1));
        m_result = code;
        switch (code) {
        case 0:
            SystemServices::pause(500);
            if (clock)
                runClock(*library);
            else
                runStatus(*library);
            break;
        case 1:
            log(com + QString::fromUtf8(" não existe!"));
            if (!message.isEmpty())
                log(message);
            break;
        case 2:
            log(com + QString::fromUtf8(" está em uso em outro processo!"));
            if (clock && !message.isEmpty())
                log(message);
            break;
        default:
            log(QString::fromUtf8("Resposta inválida do coletor"));
            if (clock && !message.isEmpty())
                log(message);
            break;
        }
        library->FechaCom();
        SystemServices::pause(1000);
    }
    m_busy = false;
    if (progress)
        progress->finish();
    Q_EMIT closed();
}

void TfmComunica::runStatus(Q90Library &library)
{
    const QString text = library.Status(QStringLiteral("0000"), 0);
    const QString data = text.mid(2);
    int code = commandCode(text);
    // A success without the whole status is no status: its fields would be read from nothing.
    if (code == 0 && data.size() < kStatusDataSize)
        code = 4;
    m_result = code;
    if (code == 0) {
        log(QStringLiteral("Status do coletor:"));
        log(QStringLiteral("Coletor: ") + data.mid(0, 4));
        log(QStringLiteral("Data/hora: ") + data.mid(4, 2) + '/' + data.mid(6, 2) + '/' +
            data.mid(8, 2) + ' ' + data.mid(10, 2) + ':' + data.mid(12, 2));
        log(QStringLiteral("Registros armazenados: ") + data.mid(14, 5));
        return;
    }
    log(QStringLiteral("Problemas ao ler status do coletor"));
    if (code == 1 || code == 2)
        log(data);
    else if (code == 3)
        log(QStringLiteral("Problemas ao abrir COM%1").arg(port()));
    else
        log(QString::fromUtf8("Resposta inválida do coletor"));
}

void TfmComunica::runClock(Q90Library &library)
{
    const QString text = library.AcertaDH(QStringLiteral("0000"));
    const int code = commandCode(text);
    m_result = code;
    if (code == 0) {
        log(QStringLiteral("Data/Hora enviada"));
        return;
    }
    log(QStringLiteral("Problemas ao acertar data/hora"));
    if (code == 1 || code == 2)
        log(text.mid(2));
    else if (code == 3)
        log(QStringLiteral("Problemas ao abrir COM%1").arg(port()));
    else
        log(QString::fromUtf8("Resposta inválida do coletor"));
}

void TfmComunica::btColetaQ90Click()
{
    if (m_busy) {
        Msg::warning(QStringLiteral("Aguarde a comunicacao"));
        return;
    }
    m_busy = true;
    m_collected = false;
    m_outcome = Q90Download::Outcome::Running;
    try {
        if (m_ingestor.ensureBackupFolder && !m_ingestor.ensureBackupFolder()) {
            m_busy = false;
            return;
        }
        // A listing left unstored by an earlier collection may hold touches the terminal has
        // since written over: it is stored before anything can replace it.
        if (Q90Download::listingPending()) {
            log(QStringLiteral("Gravando a descarga anterior, que ainda nao foi gravada..."));
            if (!storeListing(Q90Download::pendingCollector())) {
                log(QStringLiteral("A nova descarga nao foi feita."));
                m_busy = false;
                return;
            }
        }
        QFile::remove(QDir::current().absoluteFilePath(QStringLiteral("Q90.TMD")));
        QFile::remove(Q90Download::listingPath());
        runSerialDownload();
        m_busy = false;
        log(QString());
        if (QFileInfo::exists(Q90Download::listingPath()) && m_ingestor.convertAndIngest) {
            Q90Download::markListingPending(m_collector);
            const bool stored = storeListing(m_collector);
            m_collected = stored && m_outcome == Q90Download::Outcome::Succeeded;
            // The terminal is erased only once every touch it gave is in the database.
            if (TdmzDados::instance()->config().readBool("COM", "CLEAR", false)) {
                if (m_collected)
                    eraseTerminal();
                else
                    log(QStringLiteral("O coletor nao foi apagado."));
            }
        }
    } catch (...) {
        // What went wrong has been shown where it happened; the command just ends.
    }
    m_busy = false;
}

bool TfmComunica::storeListing(const QString &collector)
{
    const bool stored = m_ingestor.convertAndIngest &&
                        m_ingestor.convertAndIngest(collector, [this](const QString &line) { log(line); });
    if (stored)
        Q90Download::clearListingPending();
    return stored;
}

void TfmComunica::eraseTerminal()
{
    Q90Download erase({m_portName, 1200});
    QEventLoop loop;
    connect(&erase, &Q90Download::finished, &loop, &QEventLoop::quit);
    connect(&erase, &Q90Download::progress, this, [this](const QString &text) { log(plainText(text)); });
    BusyCursor busy;
    erase.startErase();
    if (erase.running())
        loop.exec();
    if (erase.outcome() != Q90Download::Outcome::Succeeded) {
        m_collected = false;
        log(QStringLiteral("O coletor nao foi apagado."));
    }
}

void TfmComunica::runSerialDownload()
{
    if (hasScreen()) {
        TfmComQ90 window(m_portName);
        window.btnDescargaClick();
        DialogRunner::exec(&window);
        m_outcome = window.download().outcome();
        return;
    }
    Q90Download download({m_portName, 1200});
    QEventLoop loop;
    connect(&download, &Q90Download::finished, &loop, &QEventLoop::quit);
    connect(&download, &Q90Download::progress, this, [this](const QString &text) {
        if (m_log)
            m_log(plainText(text));
    });
    download.start();
    if (download.running())
        loop.exec();
    m_outcome = download.outcome();
}
