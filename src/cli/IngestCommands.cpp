// The ingest of a terminal dump without the collection dialog.
#include "cli/CliContext.h"
#include "collection/DumpFormats.h"
#include "collection/Ingest.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"

#include <QFileInfo>

namespace {

int runIngest(const Cli::Options &options)
{
    const QString model = options.value("model");
    static const QStringList models{"lumet", "watch", "vigia", "q90"};
    if (!models.contains(model)) {
        Cli::printError(QStringLiteral("Modelo desconhecido: \"%1\" (lumet, watch, vigia ou q90)")
                            .arg(model));
        return 2;
    }
    const QString collector = options.value("collector");
    QString path = options.value("file");
    if (path.isEmpty()) {
        path = model == "lumet"   ? DumpFormats::lumetDumpPath()
               : model == "watch" ? DumpFormats::watchDataPath()
               : model == "vigia" ? DumpFormats::vigiaFilePath()
                                  : DumpFormats::q90ListingPath();
    }
    if (!QFileInfo::exists(path)) {
        Cli::printError(QStringLiteral("Arquivo não encontrado: %1").arg(path));
        return 1;
    }
    if (!Cli::connect(options))
        return 1;

    TdmzDados &dm = *TdmzDados::instance();
    // The collection dialog empties the working table when its command starts; the Vigia
    // Bastão ingest does it itself.
    if (model != "vigia" && !TmpDesc::recreate(dm)) {
        Cli::printError(QStringLiteral("Não foi possível criar a tabela local tmpdesc."));
        return 1;
    }
    Ingest ingest(dm, {[](const QString &line) { Cli::printError(line); }, {}});
    IngestResult result;
    if (model == "lumet")
        result = ingest.IngestTerminalDump(path);
    else if (model == "watch")
        result = ingest.IngestWatchData(path);
    else if (model == "vigia")
        result = ingest.IngestVigiaFile(path, collector);
    else
        result = ingest.ConvertAndIngestQ90Listing(collector, path);

    Cli::printWorkingTable(dm.tempFolder(), QString::fromLatin1(TmpDesc::kName));
    if (result.storedEarlier)
        Cli::printError(QStringLiteral("Descarga já gravada em %1; nada foi gravado de novo.")
                            .arg(result.storedEarlierText));
    Cli::printError(QStringLiteral("Toques: %1, gravados: %2, linhas não gravadas: %3")
                        .arg(result.touches)
                        .arg(result.stored)
                        .arg(result.rejected));
    if (!result.setAsidePath.isEmpty())
        Cli::printError(QStringLiteral("O arquivo foi guardado em %1").arg(result.setAsidePath));
    return result.complete() ? 0 : 1;
}

}  // namespace

void registerIngestCommands()
{
    Cli::add({"ingest", "--model lumet|watch|vigia|q90 [--file ARQUIVO] [--collector CÓDIGO]",
              "Grava a descarga de um terminal (DATALM.TMD, watch.dat, NOVOS.TXT ou q90.tmd): "
              "backup mensal, registros de coleta e a tabela tmpdesc, que é listada na saída.",
              {{"model", 1}, {"file", 1}, {"collector", 1}},
              runIngest});
}
