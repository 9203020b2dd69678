#include "collection/terminals/Q90Library.h"

#include "collection/terminals/Q90Download.h"
#include "collection/terminals/Q90Protocol.h"
#include "collection/terminals/q90_vendor.h"
#include "platform/IniFile.h"
#include "platform/SystemServices.h"

#include <QLibrary>
#include <QSerialPort>
#include <optional>

namespace Terminals {

namespace {

std::function<std::unique_ptr<Q90Library>()> g_q90;

// A vendor library that cannot be used answers every call as a port that cannot be opened.
class VendorQ90 : public Q90Library {
public:
    explicit VendorQ90(const QString &path) : m_library(path)
    {
        if (!m_library.load()) {
            m_problem = why(path, m_library.errorString());
            return;
        }
        m_open = reinterpret_cast<Q90AbreComFn>(m_library.resolve("AbreCom"));
        m_status = reinterpret_cast<Q90StatusFn>(m_library.resolve("Status"));
        m_clock = reinterpret_cast<Q90AcertaDHFn>(m_library.resolve("AcertaDH"));
        m_close = reinterpret_cast<Q90FechaComFn>(m_library.resolve("FechaCom"));
        if (!m_open || !m_status || !m_clock || !m_close)
            m_problem = why(path, QString::fromUtf8("faltam funções da interface"));
    }
    QString AbreCom(int port, const QString &name, int speed, int mode) override
    {
        if (!m_problem.isEmpty())
            return QStringLiteral("3,") + m_problem;
        return text(m_open(port, name.toLocal8Bit().constData(), speed, mode));
    }
    QString Status(const QString &terminal, int flag) override
    {
        if (!m_problem.isEmpty())
            return QStringLiteral("3,") + m_problem;
        return text(m_status(terminal.toLatin1().constData(), flag));
    }
    QString AcertaDH(const QString &terminal) override
    {
        if (!m_problem.isEmpty())
            return QStringLiteral("3,") + m_problem;
        return text(m_clock(terminal.toLatin1().constData()));
    }
    void FechaCom() override
    {
        if (m_problem.isEmpty())
            m_close();
    }
    QString problem() const override { return m_problem; }

private:
    static QString why(const QString &path, const QString &reason)
    {
        return QString::fromUtf8("Não foi possível carregar a biblioteca do coletor %1: %2")
            .arg(path, reason);
    }
    // A library's text may be in its own 8-bit code page; a null pointer is no answer.
    static QString text(const char *result)
    {
        if (!result)
            return {};
        const QByteArray bytes(result);
        const QString utf8 = QString::fromUtf8(bytes);
        return utf8.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(bytes) : utf8;
    }

    QLibrary m_library;
    QString m_problem;
    Q90AbreComFn m_open = nullptr;
    Q90StatusFn m_status = nullptr;
    Q90AcertaDHFn m_clock = nullptr;
    Q90FechaComFn m_close = nullptr;
};

}  // namespace

std::unique_ptr<Q90Library> createQ90(const IniFile &config)
{
    if (g_q90)
        return g_q90();
    const QString setting = config.readString("COM", "Q90DLL", {});
    if (setting.isEmpty() || setting.compare(QLatin1String("serial"), Qt::CaseInsensitive) == 0)
        return std::make_unique<Q90SerialLibrary>();
    return std::make_unique<VendorQ90>(setting);
}

void setQ90Factory(std::function<std::unique_ptr<Q90Library>()> factory)
{
    g_q90 = std::move(factory);
}

}  // namespace Terminals

// --- The bundled library ---

namespace {
constexpr int kAttempts = 5;
constexpr int kSilenceMs = 800;
}  // namespace

struct Q90SerialLibrary::Port {
    QSerialPort serial;
    bool heard = false;

    // Sends `payload` until a reply decodes as a status, five attempts at most.
    std::optional<Q90::Status> exchange(const QByteArray &payload)
    {
        heard = false;
        Q90::Receiver receiver;
        const QByteArray bytes = Q90::frame(payload, true);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            receiver.reset();
            serial.clear(QSerialPort::Input);
            serial.readAll();
            serial.write(bytes);
            serial.waitForBytesWritten(kSilenceMs);
            while (serial.bytesAvailable() > 0 || serial.waitForReadyRead(kSilenceMs)) {
                const QByteArray got = serial.readAll();
                heard = heard || !got.isEmpty();
                const auto result = receiver.feed(got);
                if (result == Q90::Receiver::Result::Overflow)
                    break;
                if (result == Q90::Receiver::Result::Frame) {
                    if (auto status = Q90::decodeStatus(receiver.payload()))
                        return status;
                    break;
                }
            }
        }
        return std::nullopt;
    }

    QString failure() const
    {
        return heard ? QString::fromUtf8("2,Coletor não encontrado")
                     : QString::fromUtf8("1,Erro na comunicação com a interface");
    }
};

Q90SerialLibrary::Q90SerialLibrary() : m_port(std::make_unique<Port>()) {}
Q90SerialLibrary::~Q90SerialLibrary() = default;

QString Q90SerialLibrary::AbreCom(int, const QString &portName, int speed, int)
{
    QSerialPort &serial = m_port->serial;
    if (serial.isOpen())
        serial.close();
    serial.setPortName(Q90::portDevice(portName));
    if (!serial.open(QIODevice::ReadWrite)) {
        const QString why = serial.errorString();
        switch (serial.error()) {
        case QSerialPort::DeviceNotFoundError: return QStringLiteral("1,") + why;
        case QSerialPort::PermissionError: return QStringLiteral("2,") + why;
        default: return QStringLiteral("3,") + why;
        }
    }
    serial.setBaudRate(speed > 0 ? speed : 1200);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    serial.setFlowControl(QSerialPort::NoFlowControl);
    serial.setRequestToSend(false);
    serial.clearError();
    return QStringLiteral("0");
}

QString Q90SerialLibrary::Status(const QString &, int)
{
    if (!m_port->serial.isOpen())
        return QString::fromUtf8("3,Porta não aberta");
    const auto status = m_port->exchange(Q90::statusRequest());
    if (!status)
        return m_port->failure();
    const QString date = QString(status->date).remove(u'/');
    const QString time = QString(status->time).remove(u':').left(4);
    return QStringLiteral("0,") + status->terminalCode.left(4) + date + time +
           QStringLiteral("%1").arg(status->records, 5, 10, QChar(u'0'));
}

QString Q90SerialLibrary::AcertaDH(const QString &)
{
    if (!m_port->serial.isOpen())
        return QString::fromUtf8("3,Porta não aberta");
    const QDateTime now = SystemServices::now();
    const auto status = m_port->exchange(Q90::setClockRequest(
        now.time().second(), now.time().minute(), now.time().hour(), now.date().day(),
        now.date().month(), now.date().year() % 100));
    if (!status)
        return m_port->failure();
    return QStringLiteral("0,Data/Hora acertada: ") + status->date + ' ' + status->time;
}

void Q90SerialLibrary::FechaCom()
{
    if (m_port->serial.isOpen())
        m_port->serial.close();
}
