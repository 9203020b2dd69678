// torvelctl report programmable: the window "Relatório Programável" without the window. Every
// option left out is as the window opens with nothing saved; a choice is taken only when it is
// registered, as the window's searches only offer registered rows.
#include "cli/ReportCommands.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/LocalTable.h"
#include "platform/SystemServices.h"
#include "reports/DownloadReports.h"
#include "reports/ProgrammableReport.h"

#include <QSqlQuery>

namespace {

using ReportCli::fail;

// A yes|no option; nullopt (after the message) for anything else.
std::optional<bool> yesNo(const Cli::Options &options, const QString &name, bool def)
{
    if (!options.has(name))
        return def;
    const QString v = options.value(name);
    if (v == QLatin1String("yes"))
        return true;
    if (v == QLatin1String("no"))
        return false;
    fail(QStringLiteral("--%1: use yes ou no").arg(name));
    return std::nullopt;
}

// The name of the collaborator who carries `identifier`, nullopt when none does.
std::optional<QString> collaboratorOfIdentifier(TdmzDados &dm, const QString &identifier)
{
    QSqlQuery q = Sql::exec(dm.db(),
                            QStringLiteral("select count(*) as total, nome_func\n from funcs where memoria = :pmemoria\n"
                                           " group by nome_func"),
                            {{":pmemoria", identifier}});
    if (!q.next() || q.value(0).toInt() <= 0)
        return std::nullopt;
    return q.value(1).toString();
}

std::optional<QString> routeName(TdmzDados &dm, const QString &code)
{
    // A route's code is a number: "1x" is no route, not route 1.
    bool number = false;
    code.trimmed().toLongLong(&number);
    if (!number || dm.CountByField(code.trimmed(), QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros")) <= 0)
        return std::nullopt;
    dm.FindByField(code.trimmed(), QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros"));
    return dm.qyProcura->text("nome_roteiro");
}

}  // namespace

int ReportCli::programmable(const Cli::Options &options, TdmzDados &dm)
{
    ProgrammableInputs in;
    // The window's period when it opens: yesterday from midnight to the end of today.
    const QDate today = SystemServices::now().date();
    in.periodStart = options.value("from", today.addDays(-1).toString(QStringLiteral("dd/MM/yyyy")) + " 00:00");
    in.periodEnd = options.value("to", today.toString(QStringLiteral("dd/MM/yyyy")) + " 23:59");

    struct Flag {
        const char *option;
        bool *target;
        bool def;
    };
    const Flag flags[] = {{"collaborators", &in.collaborators, true},  {"locations", &in.locations, true},
                          {"events", &in.events, true},                {"collector-column", &in.byCollector, false},
                          {"collaborator-column", &in.byCollaborator, false}, {"route-column", &in.byRoute, false},
                          {"unregistered", &in.unregistered, true},    {"unbound", &in.unbound, true}};
    for (const Flag &f : flags) {
        const std::optional<bool> value = yesNo(options, QLatin1String(f.option), f.def);
        if (!value)
            return 1;
        *f.target = *value;
    }

    DownloadReports registry(dm);
    // "Dados coletados de:": identifiers, as the searches store them.
    if (options.has("collaborator")) {
        const QString id = options.value("collaborator");
        const std::optional<QString> name = collaboratorOfIdentifier(dm, id);
        if (!name)
            return fail(QString::fromUtf8("Colaborador não cadastrado!"));
        in.collaborator = {*name, id.left(12)};
    }
    if (options.has("location")) {
        const QString id = options.value("location");
        const std::optional<QString> name = registry.describe(DownloadsKey::Location, id);
        if (!name)
            return fail(QString::fromUtf8("Local não cadastrado!"));
        in.location = {*name, id.left(12)};
    }
    if (options.has("event")) {
        const QString id = options.value("event");
        const std::optional<QString> name = registry.describe(DownloadsKey::Event, id);
        if (!name)
            return fail(QString::fromUtf8("Evento não cadastrado!"));
        in.event = {*name, id.left(12)};
    }

    // "Dados pertencentes ao:": a choice checks its box, so it cannot go with "no" for it.
    struct Belonging {
        const char *option;
        const char *box;
        bool *checked;
    };
    for (const Belonging &b : {Belonging{"collector", "collector-column", &in.byCollector},
                               Belonging{"collaborator-code", "collaborator-column", &in.byCollaborator},
                               Belonging{"route", "route-column", &in.byRoute}}) {
        if (options.has(QLatin1String(b.option)) && options.value(QLatin1String(b.box)) == QLatin1String("no"))
            return fail(QStringLiteral("--%1 no não combina com --%2").arg(QLatin1String(b.box), QLatin1String(b.option)));
    }
    if (options.has("collector")) {
        const QString code = options.value("collector");
        const std::optional<QString> name = registry.describe(DownloadsKey::Collector, code);
        if (!name)
            return fail(QString::fromUtf8("Coletor não cadastrado!"));
        in.byCollector = true;
        in.collector = {*name, code.left(12)};
    }
    if (options.has("collaborator-code")) {
        const QString code = options.value("collaborator-code").trimmed();
        const std::optional<QString> name = registry.describe(DownloadsKey::Collaborator, code);
        if (!name)
            return fail(QString::fromUtf8("Colaborador não cadastrado!"));
        in.byCollaborator = true;
        in.collaboratorCode = {*name, code};
    }
    if (options.has("route")) {
        const QString code = options.value("route").trimmed();
        const std::optional<QString> name = routeName(dm, code);
        if (!name)
            return fail(QString::fromUtf8("Roteiro não cadastrado!"));
        in.byRoute = true;
        in.route = {*name, code};
    }

    const std::optional<Listing> listing = ProgrammableReport(dm).run(in);
    if (!listing)
        return 1;
    if (options.has("pdf") || options.has("xlsx"))
        return output(options, *listing);
    // The working table as the run left it, every field.
    LocalTable table(dm.tempFolder(), ProgrammableReport::kWorkingTable);
    if (!table.open())
        return fail(table.lastError());
    const QList<QVariantList> rows = table.rows();
    if (!table.lastError().isEmpty())
        return fail(table.lastError());
    for (const QVariantList &row : rows) {
        QStringList cells;
        for (const QVariant &v : row)
            cells << v.toString();
        Cli::printOut(cells.join(u'\t'));
    }
    return 0;
}
