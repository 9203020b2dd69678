// report route-times: the route's touch times day by day, written as the spreadsheet the window
// writes (--xlsx FILE), or its cells as text (--tsv). The report has no printed form.
#include "cli/ReportCommands.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "reports/DownloadReports.h"
#include "reports/RouteTimes.h"

int ReportCli::routeTimes(const Cli::Options &options, TdmzDados &dm)
{
    if (options.has("pdf"))
        return fail(QString::fromUtf8("O relatório route-times não tem forma impressa: use --xlsx ARQUIVO"));
    for (const char *required : {"collector", "route", "from", "to"})
        if (!options.has(required))
            return fail(QStringLiteral("Informe --%1").arg(QLatin1String(required)));
    if (!options.has("xlsx") && !options.has("tsv"))
        return fail(QString::fromUtf8("Informe --xlsx ARQUIVO (ou --tsv para ver as células)"));

    RouteTimesInputs in;
    in.firstDay = options.value("from");
    in.lastDay = options.value("to");
    // The days first, as the window checks them before anything is read.
    if (!RouteTimes::readDay(QString::fromUtf8("Início"), in.firstDay) ||
        !RouteTimes::readDay(QStringLiteral("Fim"), in.lastDay))
        return 1;

    in.collector = options.value("collector");
    const std::optional<QString> name = DownloadReports(dm).describe(DownloadsKey::Collector, in.collector);
    if (!name)
        return fail(QString::fromUtf8("Coletor não cadastrado!"));
    in.collectorName = *name;

    const std::optional<int> code = Cli::routeCode(options.value("route"));
    if (!code)
        return 1;
    in.route = *code;
    if (!dm.FindByField(QString::number(in.route), QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros")))
        return fail(QString::fromUtf8("Roteiro não cadastrado!"));
    in.reference = dm.qyProcura->text(QStringLiteral("button_referencia"));

    if (options.has("tsv")) {
        const std::optional<RouteTimesSheet> sheet = RouteTimes(dm).build(in);
        if (!sheet)
            return 1;
        for (const QString &line : sheet->tsv())
            Cli::printOut(line);
        return 0;
    }
    // The spreadsheet goes to the file asked for (Cli::run).
    return RouteTimes(dm).run(in) ? 0 : 1;
}
