// The listing reports without their windows: the rows as text, the printed report as a PDF,
// or the spreadsheet, each from the engine the window uses.
#include "cli/ReportCommands.h"
#include "cli/CliContext.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "reports/DistancesTravelled.h"
#include "reports/DownloadReports.h"
#include "reports/TouchListings.h"

#include <QSet>

namespace {

const QString kBlankPeriod = QStringLiteral("  /  /       :  ");

// Every option a report takes, by report; any other is refused.
const QHash<QString, QSet<QString>> kReportOptions = {
    {"touches-by-collector", {"collector", "download", "period"}},
    {"touches-by-route", {"period", "route"}},
    {"downloads-by-collector", {"collector", "from", "to"}},
    {"downloads-by-collaborator", {"collaborator", "from", "to"}},
    {"touches-by-event", {"event", "from", "to"}},
    {"touches-by-location", {"location", "from", "to"}},
    {"distances", {"collector", "from", "to", "form"}},
    {"route-times", {"collector", "route", "from", "to"}},
    {"programmable", {"from", "to", "collaborators", "locations", "events", "collaborator", "location", "event",
                      "collector-column", "collaborator-column", "route-column", "collector", "collaborator-code",
                      "route", "unregistered", "unbound"}},
};

using ReportCli::fail;
using ReportCli::output;

}  // namespace

int ReportCli::fail(const QString &text)
{
    Cli::printError(text);
    return 1;
}

// The rows as text, or the printed report as a PDF, or the spreadsheet.
int ReportCli::output(const Cli::Options &options, const Listing &listing)
{
    if (options.has("pdf")) {
        const QString path = options.value("pdf");
        if (listing.isEmpty())
            return fail(QString::fromUtf8("Nenhuma informação encontrada neste período! (o relatório não tem páginas)"));
        QString error;
        if (!listing.writePdf(TdmzDados::instance()->installationName(), path, &error))
            return fail(error);
        return 0;
    }
    // The spreadsheet goes to the file asked for (Cli::run), and says itself why it could not.
    if (options.has("xlsx"))
        return listing.writeSpreadsheet() ? 0 : 1;
    for (const QString &line : listing.tsv())
        Cli::printOut(line);
    return 0;
}

namespace {

int touchesByCollector(const Cli::Options &options, TdmzDados &dm)
{
    TouchesByCollectorInputs in;
    in.collector = options.value("collector");
    DownloadReports keys(dm);
    const std::optional<QString> name = keys.describe(DownloadsKey::Collector, in.collector);
    if (!name)
        return fail(QString::fromUtf8("Coletor não cadastrado!"));
    in.collectorName = *name;
    const QStringList period = options.lists.value("period");
    if (options.has("download") == (period.size() == 2))
        return fail(QString::fromUtf8("Informe --download ou --period"));
    in.periodStart = kBlankPeriod;
    in.periodEnd = kBlankPeriod;
    if (options.has("download")) {
        const std::optional<QDateTime> when = DateTimeText::wholeDateTime(options.value("download"));
        if (!when)
            return fail(QString::fromUtf8("--download: '%1' não é uma data e hora válida").arg(options.value("download")));
        // The download must be one of the collector's, as in the window's list.
        const QVariant found = Sql::scalar(dm.db(),
                                           QStringLiteral("select max(data_descarga) from desctot where "
                                                          "coletor = :pcoletor and data_descarga = :pdata"),
                                           {{":pcoletor", in.collector}, {":pdata", DateTimeText::toParam(*when)}});
        if (!found.isNull())
            in.download = *when;
    } else {
        in.periodStart = period.at(0);
        in.periodEnd = period.at(1);
        // The window reads the period only with a download chosen: the collector's latest.
        const QVariant latest = Sql::scalar(dm.db(),
                                            QStringLiteral("select max(data_descarga) from desctot where coletor = :pcoletor"),
                                            {{":pcoletor", in.collector}});
        if (!latest.isNull())
            in.download = latest.toDateTime();
        if (!PeriodField::filled(in.periodStart) || !PeriodField::filled(in.periodEnd))
            return fail(QString::fromUtf8("--period: informe o início e o fim"));
    }
    const std::optional<Listing> listing = TouchesByCollector(dm).run(in);
    return listing ? output(options, *listing) : 1;
}

int touchesByRoute(const Cli::Options &options, TdmzDados &dm)
{
    const QStringList period = options.lists.value("period");
    if (period.size() != 2)
        return fail(QString::fromUtf8("Informe --period"));
    TouchesByRouteInputs in;
    in.periodStart = period.at(0);
    in.periodEnd = period.at(1);
    if (options.has("route")) {
        const std::optional<int> code = Cli::routeCode(options.value("route"));
        if (!code)
            return 1;
        in.route = QString::number(*code);
        if (dm.CountByField(in.route, QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros")) <= 0)
            return fail(QString::fromUtf8("Roteiro não cadastrado!"));
        dm.FindByField(in.route, QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros"));
        in.routeName = dm.qyProcura->text("nome_roteiro");
    }
    const std::optional<Listing> listing = TouchesByRoute(dm).run(in);
    return listing ? output(options, *listing) : 1;
}

int downloads(const Cli::Options &options, TdmzDados &dm, const DownloadsMember &member)
{
    static const QHash<DownloadsKey, QString> keyOption = {
        {DownloadsKey::Collector, "collector"}, {DownloadsKey::Collaborator, "collaborator"},
        {DownloadsKey::Event, "event"}, {DownloadsKey::Location, "location"}};
    DownloadsInputs in;
    in.key = member.key;
    in.keyValue = options.value(keyOption.value(member.key));
    if (in.keyValue.isEmpty())
        return fail(QStringLiteral("Informe --%1").arg(keyOption.value(member.key)));
    const std::optional<QString> description = DownloadReports(dm).describe(member.key, in.keyValue);
    if (!description)
        return fail(member.notRegistered);
    in.description = *description;
    in.from = options.value("from", DownloadReports::kBlankDate);
    in.to = options.value("to", DownloadReports::kBlankDate);
    const std::optional<DownloadsResult> result = DownloadReports(dm).run(in);
    if (!result)
        return 1;
    if (result->values.isEmpty() && member.emptyMessage)
        Cli::printError(QString::fromUtf8("Nenhuma informação encontrada neste período!"));
    return output(options, result->listing);
}

int distances(const Cli::Options &options, TdmzDados &dm)
{
    // The report has no spreadsheet.
    if (options.has("xlsx"))
        return fail(QString::fromUtf8("O relatório distances não aceita --xlsx"));
    for (const char *required : {"collector", "from", "to", "form"})
        if (!options.has(required))
            return fail(QStringLiteral("Informe --%1").arg(QLatin1String(required)));
    DistancesInputs in;
    const QString form = options.value("form");
    if (form != QLatin1String("analytic") && form != QLatin1String("synthetic"))
        return fail(QString::fromUtf8("--form: use analytic ou synthetic"));
    in.form = form == QLatin1String("synthetic") ? DistanceForm::Synthetic : DistanceForm::Analytic;
    in.collector = options.value("collector");
    const std::optional<QString> name = DownloadReports(dm).describe(DownloadsKey::Collector, in.collector);
    if (!name)
        return fail(QString::fromUtf8("Coletor não cadastrado!"));
    in.collectorName = *name;
    in.firstDay = options.value("from");
    in.lastDay = options.value("to");
    const std::optional<Listing> listing = DistancesTravelled(dm).run(in);
    return listing ? output(options, *listing) : 1;
}

int runReport(const Cli::Options &options)
{
    if (options.positional.size() != 1)
        return fail(QString::fromUtf8("Informe o relatório: %1").arg(QStringList(kReportOptions.keys()).join(", ")));
    const QString name = options.positional.first();
    if (!kReportOptions.contains(name))
        return fail(QString::fromUtf8("Relatório desconhecido: %1").arg(name));
    const QSet<QString> allowed = kReportOptions.value(name) + QSet<QString>{"tsv", "pdf", "xlsx", "host", "port",
                                                                            "user", "password", "database"};
    for (auto it = options.values.cbegin(); it != options.values.cend(); ++it)
        if (!allowed.contains(it.key()))
            return fail(QString::fromUtf8("O relatório %1 não aceita --%2").arg(name, it.key()));
    if (int(options.has("tsv")) + int(options.has("pdf")) + int(options.has("xlsx")) > 1)
        return fail(QString::fromUtf8("Escolha uma saída: --tsv, --pdf ou --xlsx"));
    if (!Cli::connect(options))
        return 1;
    TdmzDados &dm = *TdmzDados::instance();
    try {
        if (name == QLatin1String("touches-by-collector"))
            return touchesByCollector(options, dm);
        if (name == QLatin1String("touches-by-route"))
            return touchesByRoute(options, dm);
        if (name == QLatin1String("distances"))
            return distances(options, dm);
        if (name == QLatin1String("route-times"))
            return ReportCli::routeTimes(options, dm);
        if (name == QLatin1String("programmable"))
            return ReportCli::programmable(options, dm);
        return downloads(options, dm, *DownloadReports::memberNamed(name));
    } catch (const DbError &e) {
        return fail(e.text());
    }
}

}  // namespace

void registerReportCommands()
{
    Cli::add({"report",
              "NOME [opções] [--tsv | --pdf ARQUIVO | --xlsx ARQUIVO]",
              QString::fromUtf8(
                  "Relatórios analíticos. Sem --pdf nem --xlsx, lista as linhas que o relatório "
                  "imprime, uma por linha, campos separados por tabulação.\n"
                  "      touches-by-collector --collector CÓDIGO (--download \"dd/mm/aaaa hh:nn:ss\" | "
                  "--period \"dd/mm/aaaa hh:nn\" \"dd/mm/aaaa hh:nn\")\n"
                  "      touches-by-route --period \"dd/mm/aaaa hh:nn\" \"dd/mm/aaaa hh:nn\" [--route CÓDIGO]\n"
                  "      downloads-by-collector --collector CÓDIGO [--from dd/mm/aaaa] [--to dd/mm/aaaa]\n"
                  "      downloads-by-collaborator --collaborator CÓDIGO [--from ...] [--to ...]\n"
                  "      touches-by-event --event IDENTIFICADOR [--from ...] [--to ...]\n"
                  "      touches-by-location --location IDENTIFICADOR [--from ...] [--to ...]\n"
                  "      distances --collector CÓDIGO --from dd/mm/aaaa --to dd/mm/aaaa "
                  "--form analytic|synthetic (sem --xlsx)\n"
                  "      route-times --collector CÓDIGO --route CÓDIGO --from dd/mm/aaaa --to dd/mm/aaaa "
                  "(--xlsx ARQUIVO | --tsv)\n"
                  "      programmable [--from \"dd/mm/aaaa hh:nn\"] [--to \"dd/mm/aaaa hh:nn\"] "
                  "[--collaborators|--locations|--events yes|no] [--collaborator|--location|--event IDENTIFICADOR] "
                  "[--collector-column|--collaborator-column|--route-column yes|no] [--collector CÓDIGO] "
                  "[--collaborator-code CÓDIGO] [--route CÓDIGO] [--unregistered|--unbound yes|no]"),
              {{"collaborators", 1}, {"locations", 1}, {"events", 1}, {"collector-column", 1},
               {"collaborator-column", 1}, {"route-column", 1}, {"collaborator-code", 1},
               {"unregistered", 1}, {"unbound", 1}, {"collector", 1}, {"download", 1}, {"period", 2}, {"route", 1}, {"collaborator", 1},
               {"event", 1}, {"location", 1}, {"from", 1}, {"to", 1}, {"form", 1}, {"tsv", 0}, {"pdf", 1}, {"xlsx", 1}},
              runReport});
}
