// The Q90 terminal without windows: its status through the q90 library, and a whole serial
// download stored as the collection dialog stores it.
#include "cli/CliContext.h"
#include "collection/Q90Commands.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"

namespace {

// --port names the terminal's device here; the database's port, when it must be given, is
// --db-port.
Cli::Options databaseOptions(const Cli::Options &options)
{
    Cli::Options db = options;
    db.values.remove("port");
    if (options.has("db-port"))
        db.values.insert("port", options.value("db-port"));
    return db;
}

int runStatus(const Cli::Options &options)
{
    TfmComunica carrier([](const QString &line) { Cli::printOut(line); });
    if (options.has("port"))
        carrier.setPortName(options.value("port"));
    carrier.btStatusQ90Click();
    return carrier.result() == 0 ? 0 : 1;
}

int runDownload(const Cli::Options &options)
{
    const QString collector = options.value("collector");
    if (collector.isEmpty()) {
        Cli::printError(QStringLiteral("Falta o coletor: --collector CÓDIGO"));
        return 2;
    }
    if (!Cli::connect(databaseOptions(options)))
        return 1;
    TdmzDados &dm = *TdmzDados::instance();
    if (!TmpDesc::recreate(dm)) {
        Cli::printError(QStringLiteral("Não foi possível criar a tabela local tmpdesc."));
        return 1;
    }
    TfmComunica carrier([](const QString &line) { Cli::printError(line); });
    if (options.has("port"))
        carrier.setPortName(options.value("port"));
    carrier.setCollector(collector);
    carrier.setIngestor(q90Ingestor({}));
    carrier.btColetaQ90Click();
    Cli::printWorkingTable(dm.tempFolder(), QString::fromLatin1(TmpDesc::kName));
    // Success only when the terminal was read whole and every touch it gave is stored.
    return carrier.collected() ? 0 : 1;
}

int runQ90(const Cli::Options &options)
{
    const QString action = options.positional.value(0);
    if (action == "status")
        return runStatus(options);
    if (action == "download")
        return runDownload(options);
    Cli::printError(QStringLiteral("Uso: torvelctl q90 status|download --port DISPOSITIVO "
                                   "[--collector CÓDIGO]"));
    return 2;
}

}  // namespace

void registerQ90Commands()
{
    Cli::add({"q90", "status|download [--port DISPOSITIVO] [--collector CÓDIGO] [--db-port PORTA]",
              "Coletor Q90 pela porta serial (padrão: PORTACOM do TORVEL.INI). status: o status "
              "pela biblioteca do Q90. download: a descarga, a conversão de q90.tmd e a gravação, "
              "com a tabela tmpdesc listada na saída; a porta do banco é --db-port.",
              {{"collector", 1}, {"port", 1}, {"db-port", 1}},
              runQ90});
}
