// The import, the deletion of downloads and the two exports without their windows.
#include "cli/CliContext.h"
#include "collection/CollectionImport.h"
#include "core/TdmzDados.h"
#include "listings/NewspaperExport.h"
#include "listings/TouchExport.h"
#include "platform/DateTimeText.h"

namespace {

int runImport(const Cli::Options &options)
{
    if (options.positional.size() != 1) {
        Cli::printError(QStringLiteral("Uso: torvelctl import ARQUIVO [--again]"));
        return 2;
    }
    if (!Cli::connect(options))
        return 1;
    const ImportResult result = CollectionImport(*TdmzDados::instance())
                                    .importFile(options.positional.first(), options.has("again"));
    if (!result.opened || result.failed) {
        Cli::printError(result.error);
        return 1;
    }
    if (result.storedEarlier) {
        Cli::printError(QStringLiteral("Este arquivo já foi importado (%1); nada foi gravado. Use "
                                       "--again para importá-lo novamente.")
                            .arg(result.storedEarlierText));
        return 1;
    }
    Cli::printOut(CollectionImport::summary(result));
    return 0;
}

// A date-time option, or nullopt with the reason printed.
std::optional<QDateTime> moment(const Cli::Options &options, const QString &name)
{
    const auto value = DateTimeText::wholeDateTime(options.value(name));
    if (!value)
        Cli::printError(QString::fromUtf8("'%1' não é uma data e hora válida (--%2)")
                            .arg(options.value(name), name));
    return value;
}

int runDeleteDownloads(const Cli::Options &options)
{
    const auto limit = moment(options, QStringLiteral("until"));
    if (!limit)
        return 2;
    if (!Cli::connect(options))
        return 1;
    try {
        const int deleted = DownloadDeletion::deleteUpTo(*TdmzDados::instance(), *limit);
        Cli::printOut(QString::fromUtf8("Registros excluídos: %1").arg(deleted));
        return 0;
    } catch (const DbError &e) {
        Cli::printError(e.text());
        return 1;
    }
}

int runExportTouches(const Cli::Options &options)
{
    if (options.value("file").isEmpty()) {
        Cli::printError(QString::fromUtf8("Arquivo não informado !"));
        return 2;
    }
    if (!Cli::connect(options))
        return 1;
    try {
        const TouchExportResult result = TouchExport(*TdmzDados::instance())
                                             .run({options.value("from"), options.value("to"),
                                                   options.value("file"), options.has("append")});
        if (!result.written) {
            Cli::printError(result.error);
            return 1;
        }
        Cli::printOut(QStringLiteral("Fim de Processo ! Registros exportados: %1").arg(result.lines));
        return 0;
    } catch (const DbError &e) {
        Cli::printError(e.text());
        return 1;
    }
}

int runExportNewspaper(const Cli::Options &options)
{
    const auto from = moment(options, QStringLiteral("from"));
    const auto to = from ? moment(options, QStringLiteral("to")) : std::nullopt;
    if (!from || !to)
        return 2;
    if (options.value("file").isEmpty() || options.value("collector").isEmpty()) {
        Cli::printError(QStringLiteral("Informe --collector e --file"));
        return 2;
    }
    if (!Cli::connect(options))
        return 1;
    try {
        const NewspaperExportResult result = NewspaperExport(*TdmzDados::instance())
                                                 .run({options.value("collector"), *from, *to,
                                                       options.value("file")});
        if (!result.written) {
            Cli::printError(result.error);
            return 1;
        }
        Cli::printOut(QString::fromUtf8("Fim da exportação. Registros: %1").arg(result.records));
        return 0;
    } catch (const DbError &e) {
        Cli::printError(e.text());
        return 1;
    }
}

}  // namespace

void registerExportCommands()
{
    Cli::add({"import", "ARQUIVO [--again]",
              QString::fromUtf8("Importa um arquivo de coletas externas (cabeçalhos H e toques por "
                                "posição), numa só transação. Um arquivo já importado só é "
                                "importado de novo com --again."),
              {{"again", 0}},
              runImport});
    Cli::add({"delete-downloads", "--until \"dd/mm/aaaa hh:nn:ss\"",
              QString::fromUtf8("Exclui, sem perguntar, as descargas com data menor ou igual ao limite."),
              {{"until", 1}},
              runDeleteDownloads});
    Cli::add({"export-touches", "--from dd/mm/aaaa --to dd/mm/aaaa --file ARQUIVO [--append]",
              QString::fromUtf8("Exporta os toques dos colaboradores do período para um arquivo "
                                "texto (Windows-1252, CR LF)."),
              {{"from", 1}, {"to", 1}, {"file", 1}, {"append", 0}},
              runExportTouches});
    Cli::add({"export-newspaper",
              "--collector CÓDIGO --from \"dd/mm/aaaa hh:nn\" --to \"dd/mm/aaaa hh:nn\" --file ARQUIVO",
              QString::fromUtf8("Exporta as coletas de um coletor para o sistema de distribuição de "
                                "jornais (substitui o arquivo)."),
              {{"collector", 1}, {"from", 1}, {"to", 1}, {"file", 1}},
              runExportNewspaper});
}
