// The consistency analysis without its window.
#include "cli/CliContext.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/LocalTable.h"
#include "reports/ConsistencyAnalysis.h"

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

void printWorkingTable(const TdmzDados &dm)
{
    LocalTable table(dm.tempFolder(), ConsistencyAnalysis::kWorkingTable);
    if (!table.open())
        return;
    for (const QVariantList &row : table.rows()) {
        QStringList fields;
        for (const QVariant &value : row)
            fields << value.toString();
        Cli::printOut(fields.join(u'\t'));
    }
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
        if (options.has("raw"))
            printWorkingTable(dm);
        else
            Cli::printError(QStringLiteral("Toques: %1, linhas: %2, soma das quantidades: %3")
                                .arg(result.touches)
                                .arg(result.rows)
                                .arg(result.sumOfQuantities));
        Cli::printError(result.inconsistent ? QStringLiteral("inconsistencies: yes")
                                            : QStringLiteral("inconsistencies: no"));
        return 0;
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
              "[--route TEXTO] [--between-cycles MIN MAX] [--raw]",
              "Análise de consistência de uma descarga (sem --download nem --period, a mais "
              "recente do coletor) ou de um período; --raw lista a tabela de trabalho "
              "(Contador e Col1 a Col7, separados por tabulação).",
              {{"collector", 1}, {"download", 1}, {"period", 2}, {"company", 1}, {"route", 1},
               {"between-cycles", 2}, {"raw", 0}},
              runConsistency});
}
