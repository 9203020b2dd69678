// Subcommands of the touch-memory reader.
#include "cli/CliContext.h"
#include "collection/terminals/ButtonReader.h"
#include "core/TdmzDados.h"
#include "platform/IniFile.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QThread>

namespace {

int readIButton(const Cli::Options &options)
{
    const IniFile &config = TdmzDados::instance()->config();
    bool ok = true;
    const int port = options.has("port") ? options.value("port").toInt(&ok)
                                         : config.readInteger("DS9", "PORTA", 1);
    if (!ok || port < 0 || port > 32767) {
        Cli::printError(QStringLiteral("Porta inválida: %1").arg(options.value("port")));
        return 2;
    }
    // Either decimal separator, so "0,5" and "0.5" both work in a Brazilian shell script.
    const double seconds =
        options.has("timeout") ? options.value("timeout").replace(',', '.').toDouble(&ok) : 30;
    if (!ok || seconds < 0) {
        Cli::printError(QStringLiteral("Tempo inválido: %1").arg(options.value("timeout")));
        return 2;
    }

    ButtonReader reader(OneWire::createDriver(config));
    reader.setPort(port);
    reader.setCut(config.readInteger("DS9", "INICIO", ButtonReader::kDefaultInicio),
                  config.readInteger("DS9", "TAMANHO", ButtonReader::kDefaultTamanho));
    if (!reader.driver().problem().isEmpty())
        Cli::printError(reader.driver().problem());

    const QDeadlineTimer deadline(qint64(seconds * 1000));
    bool read = reader.poll();
    while (!read && !deadline.hasExpired()) {
        QThread::msleep(qMin<qint64>(ButtonReader::kPollInterval,
                                     qMax<qint64>(deadline.remainingTime(), 1)));
        read = reader.poll();
    }
    reader.close();
    if (!read) {
        Cli::printError(QStringLiteral("Nenhum identificador lido no leitor %1 em %2 s.")
                            .arg(port)
                            .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(seconds)));
        return 1;
    }
    Cli::printOut(reader.code());
    return 0;
}

}  // namespace

void registerReaderCommands()
{
    Cli::add({"read-ibutton", "[--port N] [--timeout SEGUNDOS]",
              "Lê um identificador no leitor de identificadores (padrão: a porta DS9 PORTA do "
              "TORVEL.INI, até 30 s) e o mostra cortado por DS9 INICIO e TAMANHO.",
              {{"port", 1}, {"timeout", 1}},
              readIButton});
}
