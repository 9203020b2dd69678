// The consistency analysis without its window.
#include "cli/CliContext.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "reports/ConsistencyAnalysis.h"
#include "reports/ConsistencyOutput.h"

namespace {

// The collector's most recent download, as the downloads list shows it; empty when none.
QString latestDownload(const QString &collector)
{
    const QVariant latest = Sql::scalar(
        TdmzDados::instance()->db(),
        QStringLiteral("select max(data_descarga) from desctot where coletor = :pcoletor"),
        {{":pcoletor", QVariant(collector)}});
    return latest.isNull() ? QString() : DateTimeText::toText(latest.toDateTime());
}

// The output step: the final table (condensed when synthetic, with the function totals) as
// text, as a PDF of the printed report or as a spreadsheet written without opening it.
int writeOutput(TdmzDados &dm, const Cli::Options &options, const ConsistencyInputs &inputs,
                const ConsistencyOutputOptions &outputOptions, const ConsistencyResult &result)
{
    ConsistencyOutput output(dm, inputs, outputOptions, result);
    output.completeRows();
    Cli::printError(output.lineA());
    Cli::printError(output.lineB());
    if (!output.announceAutomaticCheck())
        return 0;
    bool written = false;
    if (options.has("pdf")) {
        const QString path = options.value("pdf");
        QString error;
        if (!output.report().writePdf(path, &error)) {
            Cli::printError(error);
            return 1;
        }
        written = true;
    }
    if (options.has("xlsx")) {
        // The spreadsheet goes to the file asked for (Cli::run).
        if (!output.writeSpreadsheet())
            return 1;
        written = true;
    }
    if (!written)
        for (const QStringList &row : output.rowsWithCounter())
            Cli::printOut(row.join(u'\t'));
    return 0;
}

int runConsistency(const Cli::Options &options)
{
    ConsistencyInputs inputs;
    inputs.collector = options.value("collector");
    inputs.collectorNamed = !inputs.collector.isEmpty();
    const QStringList period = options.lists.value("period");
    inputs.periodGiven = period.size() == 2;
    if (inputs.periodGiven) {
        inputs.periodStart = period.at(0);
        inputs.periodEnd = period.at(1);
    }
    inputs.company = options.value("company");
    inputs.routeName = options.value("route");
    const QStringList between = options.lists.value("between-cycles");
    inputs.betweenCycles = between.size() == 2;
    if (inputs.betweenCycles) {
        inputs.betweenMin = between.at(0);
        inputs.betweenMax = between.at(1);
    }

    ConsistencyOutputOptions outputOptions;
    outputOptions.withoutReference = options.has("no-reference");
    outputOptions.automaticCheck = options.has("automatic");
    const QString report = options.value("report", QStringLiteral("synthetic"));
    if (report != QLatin1String("synthetic") && report != QLatin1String("analytic")) {
        Cli::printError(QStringLiteral("--report: synthetic ou analytic"));
        return 1;
    }
    outputOptions.synthetic = report == QLatin1String("synthetic");
    // Without a reference the analysis works on one download, as in the window.
    if (outputOptions.withoutReference &&
        (inputs.periodGiven || !inputs.company.isEmpty() || !inputs.routeName.isEmpty())) {
        Cli::printError(QStringLiteral("--no-reference não se combina com --period, --company ou --route"));
        return 1;
    }
    if (!Cli::connect(options))
        return 1;

    TdmzDados &dm = *TdmzDados::instance();
    try {
        if (!inputs.periodGiven)
            inputs.download = options.has("download") ? options.value("download")
                                                      : latestDownload(inputs.collector);
        ConsistencyAnalysis analysis(dm);
        const ConsistencyResult result = analysis.run(inputs);
        if (!result.produced())
            return 1;
        Cli::printError(QStringLiteral("Toques: %1, linhas: %2, soma das quantidades: %3")
                            .arg(result.touches)
                            .arg(result.rows)
                            .arg(result.sumOfQuantities));
        int status = 0;
        if (options.has("raw"))
            Cli::printWorkingTable(dm.tempFolder(), ConsistencyAnalysis::kWorkingTable);
        else
            status = writeOutput(dm, options, inputs, outputOptions, result);
        Cli::printError(result.inconsistent ? QStringLiteral("inconsistencies: yes")
                                            : QStringLiteral("inconsistencies: no"));
        return status;
    } catch (const DbError &e) {
        Cli::printError(e.text());
        return 1;
    }
}

}  // namespace

void registerConsistencyCommands()
{
    Cli::add({"consistency",
              "--collector CÓDIGO [--download \"dd/mm/aaaa hh:nn:ss\"] "
              "[--period \"dd/mm/aaaa hh:nn\" \"dd/mm/aaaa hh:nn\"] [--company TEXTO] "
              "[--route TEXTO] [--between-cycles MIN MAX] [--no-reference] "
              "[--report synthetic|analytic] [--automatic] [--raw | --pdf ARQUIVO | --xlsx ARQUIVO]",
              "Análise de consistência de uma descarga (sem --download nem --period, a mais "
              "recente do coletor) ou de um período. Lista o relatório final (Contador e Col1 a "
              "Col7, separados por tabulação; sintético salvo --report analytic), ou grava o "
              "relatório impresso em PDF (--pdf) ou a planilha (--xlsx); "
              "as linhas de cabeçalho vão para a saída de erros. --raw lista a tabela de "
              "trabalho como a análise a deixou.",
              {{"collector", 1}, {"download", 1}, {"period", 2}, {"company", 1}, {"route", 1},
               {"between-cycles", 2}, {"raw", 0}, {"no-reference", 0}, {"report", 1},
               {"automatic", 0}, {"pdf", 1}, {"xlsx", 1}},
              runConsistency});
}
