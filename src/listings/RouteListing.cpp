#include "listings/RouteListing.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/SystemServices.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString timeText(const QVariant &v)
{
    const QTime t = v.toTime();
    return t.isValid() ? t.toString(QStringLiteral("hh:mm:ss")) : QString();
}

// The spreadsheet's rows: a route row, its stops, an empty row before the next route; each
// cell by its column.
enum class SheetRow { Route, Stop, Gap };
struct SheetLine {
    SheetRow kind;
    QMap<int, QString> cells;
};

QList<SheetLine> sheetLines(const QList<ListedRoute> &routes)
{
    QList<SheetLine> lines;
    for (const ListedRoute &r : routes) {
        lines << SheetLine{SheetRow::Route, {{1, r.name}, {5, r.minimumText()}, {7, r.maximumText()},
                                             {10, r.referenceEvent}}};
        for (const ListedRoute::Stop &s : r.stops)
            lines << SheetLine{SheetRow::Stop, {{2, s.order}, {3, s.location}, {5, QString::number(s.tMin)},
                                                {7, QString::number(s.tMax)}}};
        lines << SheetLine{SheetRow::Gap, {}};
    }
    return lines;
}

}  // namespace

QString ListedRoute::minimumText() const
{
    if (!localTimes)
        return {};
    return standardTimes ? QString::fromUtf8("Padrão  ") + standardMin : QStringLiteral("Local   ");
}

QString ListedRoute::maximumText() const
{
    return localTimes && standardTimes ? standardMax : QString();
}

QList<ListedRoute> RouteListing::routes(const QVariant &code)
{
    QString sql = QStringLiteral("SELECT * FROM roteiros");
    if (code.isValid())
        sql += QStringLiteral(" WHERE codigo_roteiro = :codrot");
    sql += QStringLiteral(" ORDER BY nome_roteiro");
    auto routeQuery = Sql::prepare(m_dm.db(), sql);
    if (code.isValid())
        routeQuery.bindValue(QStringLiteral(":codrot"), code.toInt());
    Sql::run(routeQuery);
    QList<QSqlRecord> records;
    while (routeQuery.next())
        records << routeQuery.record();
    routeQuery.finish();

    // Every route: the stops and the reference events are read once each, in the order the
    // route-by-route statements give them (stops by `ordem` within a route, through the same
    // index; of events registered twice, the first), instead of two statements per route.
    // One route: its own two statements.
    const bool all = !code.isValid();
    QHash<QString, QString> eventNames;  // upper-cased identifier -> first description
    QHash<QString, QList<ListedRoute::Stop>> stopsOf;  // codigo_roteiro -> stops
    auto stops = Sql::prepare(m_dm.db(), all ? QStringLiteral("SELECT * FROM descrot ORDER BY codigo_roteiro, ordem")
                                              : QStringLiteral("SELECT * FROM descrot WHERE codigo_roteiro = "
                                                               ":codigo_roteiro ORDER BY ordem"));
    auto event = Sql::prepare(m_dm.db(), all ? QStringLiteral("select button_evento, desc_evento from eventos "
                                                               "order by button_evento, codigo_evento")
                                              : QStringLiteral("select * from eventos where button_evento = "
                                                               ":button_referencia"));
    const auto readStops = [&stops](QList<ListedRoute::Stop> *into, QHash<QString, QList<ListedRoute::Stop>> *byRoute) {
        const QSqlRecord r = stops.record();
        const int route = r.indexOf(QStringLiteral("codigo_roteiro")), ordem = r.indexOf(QStringLiteral("ordem")),
                  name = r.indexOf(QStringLiteral("nome_local")), tMin = r.indexOf(QStringLiteral("t_min")),
                  tMax = r.indexOf(QStringLiteral("t_max"));
        while (stops.next()) {
            ListedRoute::Stop stop{stops.value(ordem).toString(), stops.value(name).toString(),
                                   stops.value(tMin).toInt(), stops.value(tMax).toInt()};
            if (into)
                into->append(std::move(stop));
            else
                (*byRoute)[stops.value(route).toString()].append(std::move(stop));
        }
        stops.finish();
    };
    if (all) {
        Sql::run(stops);
        readStops(nullptr, &stopsOf);
        Sql::run(event);
        while (event.next()) {
            const QString key = event.value(0).toString().toUpper();
            if (!eventNames.contains(key))
                eventNames.insert(key, event.value(1).toString());
        }
        event.finish();
    }
    QList<ListedRoute> list;
    list.reserve(records.size());
    for (const QSqlRecord &rec : records) {
        auto text = [&](const char *field) { return rec.value(QLatin1String(field)).toString(); };
        ListedRoute r;
        r.name = text("nome_roteiro");
        r.company = text("empresa");
        r.start = timeText(rec.value(QStringLiteral("hora_saida")));
        r.end = timeText(rec.value(QStringLiteral("hora_chegada")));
        r.routeMin = text("t_rot_min");
        r.routeMax = text("t_rot_max");
        r.standardMin = text("t_min_padrao");
        r.standardMax = text("t_max_padrao");
        // Yes/no flags: yes is 0.
        r.localTimes = rec.value(QStringLiteral("tempo_locais")).toInt() == 0;
        r.standardTimes = rec.value(QStringLiteral("tempo_padrao")).toInt() == 0;
        if (all) {
            // Trailing blanks do not count in the server's comparison either.
            QString key = text("button_referencia").toUpper();
            while (key.endsWith(u' '))
                key.chop(1);
            r.referenceEvent = eventNames.value(key);
            r.stops = stopsOf.take(text("codigo_roteiro"));
        } else {
            event.bindValue(QStringLiteral(":button_referencia"), text("button_referencia"));
            Sql::run(event);
            if (event.next())
                r.referenceEvent = event.value(QStringLiteral("desc_evento")).toString();
            event.finish();
            stops.bindValue(QStringLiteral(":codigo_roteiro"), rec.value(QStringLiteral("codigo_roteiro")));
            Sql::run(stops);
            readStops(&r.stops, nullptr);
        }
        list << r;
    }
    return list;
}

QString RouteListing::limitsText(const ListedRoute::Stop &stop)
{
    const QString limits = QString::number(stop.tMin) + u'/' + QString::number(stop.tMax);
    return limits == QLatin1String("0/0") ? QString() : limits;
}

Listing RouteListing::printed(const QList<ListedRoute> &routes, bool onePerPage)
{
    // One printed row per stop; a route without stops has one row that only carries its band.
    QList<QStringList> rows;
    QList<int> routeOf;
    QSet<int> bandOnly;
    for (int i = 0; i < routes.size(); ++i) {
        if (routes[i].stops.isEmpty()) {
            bandOnly << int(rows.size());
            rows << QStringList();
            routeOf << i;
        }
        for (const ListedRoute::Stop &s : routes[i].stops) {
            rows << QStringList{s.order, s.location, limitsText(s)};
            routeOf << i;
        }
    }
    ListingConfig c;
    c.title = QStringLiteral("Roteiros");
    ReportColumn order{QStringLiteral("Ordem")};
    order.keepWhole = true;
    order.width = 0.2;
    ReportColumn limits{QString::fromUtf8("Tempo Específico Mínimo/Máximo")};
    limits.keepWhole = true;
    limits.width = 0.3;
    c.columns = {order, {QStringLiteral("Nome do local")}, limits};
    c.headingsOnEveryPage = true;
    Listing listing(c, {}, rows);
    listing.setBands([routes, routeOf, bandOnly, onePerPage](ReportDefinition &d) {
        d.group.key = [routeOf](int row) { return QString::number(routeOf.value(row)); };
        d.group.header = [routes, routeOf](int row) {
            const ListedRoute &r = routes.at(routeOf.value(row));
            return QStringList{QStringLiteral("Nome do roteiro: ") + r.name + QStringLiteral("      Empresa: ") + r.company,
                               QString::fromUtf8("Evento referência: ") + r.referenceEvent,
                               QString::fromUtf8("Horário de execução do roteiro -   Hora de início: ") + r.start +
                                   QString::fromUtf8("   Hora de término: ") + r.end,
                               QString::fromUtf8("Tempo para realização do roteiro (minutos) -   Mínimo: ") +
                                   r.routeMin + QString::fromUtf8("   Máximo: ") + r.routeMax,
                               QString::fromUtf8("Tempo padrão entre os locais  (minutos) -   Mínimo: ") +
                                   r.standardMin + QString::fromUtf8("   Máximo: ") + r.standardMax}
                .join(u'\n');
        };
        d.group.headingsUnderHeader = true;
        d.group.headerOnEveryPage = true;
        d.group.newPagePerGroup = onePerPage;
        d.headerOnlyRow = [bandOnly](int row) { return bandOnly.contains(row); };
        d.shadeAlternateRows = true;
        // Each route closes with its own count of locations.
        d.group.footer = {QStringLiteral("Total de locais: "), 0, true};
    });
    return listing;
}

bool RouteListing::writeSpreadsheet(const QList<ListedRoute> &routes, QString *path)
{
    Spreadsheet sheet;
    if (!sheet.create(QStringLiteral("Roteiros"))) {
        Spreadsheet::showFailure(sheet.error());
        return false;
    }
    sheet.show();
    sheet.addWorkbook();
    sheet.setValue(1, 1, QStringLiteral("Roteiros"));
    sheet.setFontSize(1, 1, 16);
    sheet.setValue(1, 9, SystemServices::now().toString(QStringLiteral("dd/MM/yyyy hh:mm")));
    const QList<std::pair<int, QString>> headings = {{1, QStringLiteral("Nome")},
                                                     {5, QString::fromUtf8("Tempo mínimo")},
                                                     {7, QString::fromUtf8("Máximo")},
                                                     {10, QString::fromUtf8("Evento referência")}};
    for (const auto &[column, heading] : headings) {
        sheet.setValue(4, column, heading);
        sheet.setFontStyle(4, column, QStringLiteral("bold"));
    }
    for (int column : {1, 3, 6, 10})
        sheet.setHorizontalAlignment(4, column, 2);
    int row = 5;
    for (const SheetLine &line : sheetLines(routes)) {
        for (auto it = line.cells.cbegin(); it != line.cells.cend(); ++it)
            sheet.setValue(row, it.key(), it.value());
        if (line.kind == SheetRow::Route)
            for (int column : {1, 3, 6, 10}) {
                sheet.setHorizontalAlignment(row, column, 2);
                sheet.setFontSize(row, column, 10);
            }
        else if (line.kind == SheetRow::Stop)
            for (int column : {2, 3, 5, 7})
                sheet.setFontSize(row, column, 10);
        ++row;
    }
    sheet.setColumnWidth(1, 20);
    if (!sheet.finish()) {
        Spreadsheet::showFailure(sheet.error());
        return false;
    }
    if (path)
        *path = sheet.fileName();
    return true;
}

QStringList RouteListing::tsv(const QList<ListedRoute> &routes)
{
    QStringList out;
    for (const SheetLine &line : sheetLines(routes)) {
        QStringList cells;
        int last = 0;
        for (auto it = line.cells.cbegin(); it != line.cells.cend(); ++it)
            if (!it.value().isEmpty())
                last = it.key();
        for (int column = 1; column <= last; ++column)
            cells << line.cells.value(column);
        out << cells.join(u'\t');
    }
    return out;
}
