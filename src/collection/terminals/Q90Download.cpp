#include "collection/terminals/Q90Download.h"

#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

constexpr int kAttempts = 5;
constexpr int kFirstLimit = 4;
constexpr int kRepeatLimit = 15;
constexpr int kBlockLimit = 50;
constexpr int kDefaultTick = 50;

int g_tick = kDefaultTick;

const char *const kTerminalMissing =
    "Erro na comunicação com o coletor. Coletor não encontrado.\n"
    "Verifique se o coletor foi colocado corretamente na interface.";
const char *const kInterfaceMissing =
    "Erro na comunicação com a Interface.\n"
    "Verifique os cabos de energia elétrica e de comunicação da\n"
    "interface ou ainda a porta de comunicação selecionada.";

QString inCurrentFolder(const char *name) { return QDir::current().absoluteFilePath(QString::fromLatin1(name)); }

}  // namespace

namespace Q90 {

QString portDevice(const QString &portName)
{
    static const QRegularExpression com(QStringLiteral("^COM(\\d{1,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(portName.trimmed());
    if (m.hasMatch() && m.captured(1).toInt() > 0)
        return QStringLiteral("ttyS%1").arg(m.captured(1).toInt() - 1);
    return portName.trimmed();
}

}  // namespace Q90

void Q90Download::setTickInterval(int ms) { g_tick = ms > 0 ? ms : kDefaultTick; }
int Q90Download::tickInterval() { return g_tick; }

QString Q90Download::listingPath() { return inCurrentFolder("q90.tmd"); }
QString Q90Download::requestLogPath() { return inCurrentFolder("CmdTX.txt"); }
QString Q90Download::blockLogPath() { return inCurrentFolder("DescMemo.txt"); }
QString Q90Download::oldBlockLogPath() { return inCurrentFolder("DescMemo.old"); }

Q90Download::Q90Download(Settings settings, QObject *parent)
    : QObject(parent), m_settings(std::move(settings))
{
    m_watchdog.setInterval(g_tick);
    connect(&m_watchdog, &QTimer::timeout, this, &Q90Download::Timer1Timer);
    connect(&m_port, &QSerialPort::readyRead, this, &Q90Download::ComPortRxChar);
}

Q90Download::~Q90Download()
{
    m_watchdog.stop();
    if (m_port.isOpen())
        m_port.close();
}

void Q90Download::start()
{
    m_eraseOnly = false;
    if (listingPending()) {
        Msg::error(QString::fromUtf8("A descarga anterior do coletor (%1) ainda não foi gravada no "
                                     "banco de dados e não será apagada. Grave-a antes de uma nova "
                                     "descarga.")
                       .arg(QDir::toNativeSeparators(listingPath())));
        finish(Outcome::ListingNotStored);
        return;
    }
    QFile::remove(listingPath());
    m_outcome = Outcome::Running;
    m_failures = 0;
    m_blocks = 0;
    m_requestedBlocks = 0;
    m_logRequests = false;
    m_firstBlock = true;
    m_decoder.reset();
    m_listing.clear();
    m_bytesWritten = m_bytesRead = 0;
    send(Step::Status, Q90::statusRequest(), kFirstLimit);
}

void Q90Download::startErase()
{
    m_eraseOnly = true;
    m_outcome = Outcome::Running;
    m_failures = 0;
    m_bytesWritten = m_bytesRead = 0;
    setProgress(QStringLiteral("Q90 - Apagando a memória do coletor..."));
    send(Step::Erase, Q90::eraseRequest(), kBlockLimit);
}

namespace {
QString pendingMarkPath() { return Q90Download::listingPath() + QStringLiteral(".pendente"); }
}  // namespace

void Q90Download::markListingPending(const QString &collector)
{
    QSaveFile mark(pendingMarkPath());
    if (mark.open(QIODevice::WriteOnly)) {
        mark.write(collector.toUtf8());
        mark.commit();
    }
}

bool Q90Download::listingPending()
{
    return QFileInfo::exists(pendingMarkPath()) && QFileInfo::exists(listingPath());
}

QString Q90Download::pendingCollector()
{
    QFile mark(pendingMarkPath());
    return mark.open(QIODevice::ReadOnly) ? QString::fromUtf8(mark.readAll()) : QString();
}

void Q90Download::clearListingPending() { QFile::remove(pendingMarkPath()); }

bool Q90Download::openPort()
{
    if (m_port.isOpen())
        return true;
    m_port.setPortName(Q90::portDevice(m_settings.portName));
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    m_port.setBaudRate(m_settings.baud > 0 ? m_settings.baud : 1200);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // The interface takes its power from the line's state; a pseudo-terminal has no RTS and
    // refuses, which changes nothing for the exchange.
    m_port.setRequestToSend(false);
    m_port.clearError();
    return true;
}

void Q90Download::send(Step step, const QByteArray &payload, int limit)
{
    if (step != m_step || payload != m_request)
        m_heardAnything = false;
    m_step = step;
    m_request = payload;
    m_limit = limit;
    m_ticks = 0;
    m_receiver.reset();
    if (m_logRequests)
        appendLog(requestLogPath(), {Q90::requestLogLine(payload), QString()});
    // A port that cannot be opened simply never answers: the attempts run out as for a
    // missing interface.
    if (openPort()) {
        m_port.clear(QSerialPort::Input);
        m_port.readAll();
        const QByteArray bytes = Q90::frame(payload, true);
        m_port.write(bytes);
        m_bytesWritten += bytes.size();
    }
    m_watchdog.setInterval(g_tick);
    m_watchdog.start();
}

void Q90Download::Timer1Timer()
{
    if (m_step == Step::Idle) {
        m_watchdog.stop();
        return;
    }
    if (++m_ticks > m_limit)
        attemptFailed();
}

void Q90Download::attemptFailed()
{
    m_watchdog.stop();
    if (++m_failures < kAttempts) {
        const int limit = m_step == Step::Status ? kRepeatLimit : kBlockLimit;
        send(m_step, m_request, limit);
        return;
    }
    m_step = Step::Idle;
    if (m_heardAnything) {
        Msg::error(QString::fromUtf8(kTerminalMissing));
        finish(Outcome::TerminalFailure);
    } else {
        Msg::error(QString::fromUtf8(kInterfaceMissing));
        finish(Outcome::InterfaceFailure);
    }
}

void Q90Download::ComPortRxChar()
{
    const QByteArray bytes = m_port.readAll();
    m_bytesRead += bytes.size();
    if (m_step == Step::Idle || bytes.isEmpty())
        return;  // nothing is outstanding: a late byte or what follows a handled frame
    m_heardAnything = true;
    m_ticks = 0;
    switch (m_receiver.feed(bytes)) {
    case Q90::Receiver::Result::Pending:
        break;
    case Q90::Receiver::Result::Overflow:
        attemptFailed();
        break;
    case Q90::Receiver::Result::Frame:
        m_watchdog.stop();
        handleFrame(m_receiver.payload());
        break;
    }
}

void Q90Download::handleFrame(const QByteArray &payload)
{
    const Step step = m_step;
    // Nothing is outstanding while the reply is handled (a message box may run events).
    m_step = Step::Idle;
    switch (step) {
    case Step::Status: return handleStatus(payload);
    case Step::Block: return handleBlock(payload);
    case Step::Erase: return handleErase(payload);
    case Step::Idle: return;
    }
}

void Q90Download::handleStatus(const QByteArray &payload)
{
    const auto status = Q90::decodeStatus(payload);
    if (!status) {
        m_step = Step::Status;
        attemptFailed();
        return;
    }
    m_status = *status;
    if (m_status.records < 1) {
        Msg::error(QString::fromUtf8("Não há registros para serem descarregados."));
        finish(Outcome::NoRecords);
        return;
    }
    const QDateTime now = SystemServices::now();
    m_listing = Q90::listingHeader(now.toString(QLatin1String(Q90::kShortDateFormat)),
                                   now.toString(QLatin1String(Q90::kLongTimeFormat)),
                                   m_status.terminalCode, m_status.records);
    m_decoder = std::make_unique<Q90::RecordDecoder>(m_status.records);
    m_address = m_status.firstAddress;
    m_logRequests = true;
    requestBlock();
}

void Q90Download::requestBlock()
{
    const int percent = int(qint64(accepted()) * 100 / qMax(1, m_status.records));
    setProgress(QStringLiteral("Q90 - Descarregando... %1%").arg(percent));
    m_failures = 0;
    ++m_requestedBlocks;
    send(Step::Block, Q90::readBlockRequest(m_status.terminal, m_address), kBlockLimit);
}

void Q90Download::handleBlock(const QByteArray &payload)
{
    if (m_firstBlock) {
        m_firstBlock = false;
        QFile::remove(oldBlockLogPath());
        QFile::rename(blockLogPath(), oldBlockLogPath());
    }
    const QString hex = QString::fromLatin1(payload.toHex().toUpper());
    appendLog(blockLogPath(), {QStringLiteral("%1").arg(m_address, 4, 16, QChar(u'0')).toUpper(), hex,
                               QStringLiteral("Tam : %1").arg(hex.size()), QString()});
    ++m_blocks;
    if (payload.size() < Q90::kMaxPayload) {
        m_decoder->forgetDate();
        Msg::error(QStringLiteral("Bloco Descarga < 514"));
    } else
        m_decoder->decodeBlock(payload.constData() + 1, payload.size() - 1, m_address,
                               m_status.model.memorySize);
    if (m_decoder->complete()) {
        completed();
        return;
    }
    // A memory with fewer usable touches than its count would be read round and round: one
    // full pass is all there is to read.
    if (m_requestedBlocks >= Q90::blocksPerPass(m_status.model.memorySize)) {
        saveListing();
        Msg::warning(QString::fromUtf8("A memória do coletor tem %1 dos %2 registros informados. "
                                       "Os registros lidos foram gravados e o coletor não foi "
                                       "apagado.")
                         .arg(accepted())
                         .arg(m_status.records));
        finish(Outcome::Incomplete);
        return;
    }
    m_address = Q90::nextBlockAddress(m_address, m_status.model.memorySize);
    requestBlock();
}

void Q90Download::completed()
{
    setProgress(QStringLiteral("Q90 - Descarregando... 100%"));
    saveListing();
    Msg::information(QStringLiteral("Descarga efetuada com sucesso."));
    finish(Outcome::Succeeded);
}

void Q90Download::handleErase(const QByteArray &payload)
{
    if (!Q90::decodeStatus(payload)) {
        m_step = Step::Erase;
        attemptFailed();
        return;
    }
    setProgress(QStringLiteral("Memória do coletor apagada."));
    finish(Outcome::Succeeded);
}

void Q90Download::saveListing()
{
    QSaveFile file(listingPath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write((m_listing + m_decoder->lines()).join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    file.commit();
}

void Q90Download::finish(Outcome outcome)
{
    m_watchdog.stop();
    m_step = Step::Idle;
    m_outcome = outcome;
    setProgress(QString::fromUtf8("Finalizando comunicação"));
    Q_EMIT finished();
}

void Q90Download::setProgress(const QString &text)
{
    m_progress = text;
    Q_EMIT progress(text);
}

void Q90Download::appendLog(const QString &path, const QStringList &lines)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n");
}
