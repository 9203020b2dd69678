// Every engine that reads or writes the touches, on a database that gen_history filled with
// a history of the installation (bench/HistoryGenerator.h), each against its baseline in the
// same run: the bare statements the engine issues for the same slice, every row and field
// read (for the ingest and the import: the engine's own insert, bare, for the same rows, in one
// transaction). The slices are those a user asks for: one collector's download or day, one
// month (November 2026, the history's last), one route, one identifier.
//
// With "--indexes off" the tv_ indexes are dropped first; with "--indexes on" they are added
// (the time it takes is printed) and the statistics refreshed. "--stats-sample-pages N" has
// the server sample N pages of desctot for its statistics (the default, 20, misjudges the
// number of collectors and collaborators of a large table). "--explain" also prints the
// server's plan of every distinct baseline statement. Rows written by the ingest and the import
// are deleted after each run, so the table is the same for every measurement.
//
// Usage: bench_scale HOST PORT USER PASSWORD|- DATABASE RUNS [--indexes on|off]
//                    [--stats-sample-pages N] [--explain] [--only NAME]
// Output: one table row per measurement: report, slice, indexes, engine and baseline seconds
// (median of RUNS), ratio, rows the engine gave and rows the baseline read.
#include "BenchSupport.h"
#include "HistoryGenerator.h"
#include "collection/CollectionImport.h"
#include "collection/Ingest.h"
#include "collection/TmpDesc.h"
#include "listings/NewspaperExport.h"
#include "listings/RegistryListings.h"
#include "listings/RouteListing.h"
#include "listings/TouchExport.h"
#include "platform/DateTimeText.h"
#include "platform/MessageService.h"
#include "reports/ConsistencyAnalysis.h"
#include "reports/RoundsBoard.h"
#include "reports/DistancesTravelled.h"
#include "reports/DownloadReports.h"
#include "reports/ProgrammableReport.h"
#include "reports/RouteTimes.h"
#include "reports/TouchListings.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

// One statement of a baseline and its bindings.
struct Statement {
    QString sql;
    Bindings bindings;
};

// Runs the statements, every row and field read, as the engines run them: prepared once,
// bound and executed for each slice. The number of rows.
int readStatements(const QSqlDatabase &db, const std::vector<Statement> &statements)
{
    int rows = 0;
    QHash<QString, QSqlQuery> prepared;
    for (const Statement &s : statements) {
        auto it = prepared.find(s.sql);
        if (it == prepared.end()) {
            QSqlQuery query(db);
            if (!query.prepare(s.sql))
                throw DbError(Sql::describe(query.lastError()));
            it = prepared.insert(s.sql, query);
        }
        QSqlQuery &q = it.value();
        for (const auto &[name, value] : s.bindings)
            q.bindValue(name, value);
        if (!q.exec())
            throw DbError(Sql::describe(q.lastError()));
        rows += Bench::readRows(q);
    }
    return rows;
}

// The server's plan of each distinct statement: table, access type, index, rows examined.
void explain(const QSqlDatabase &db, const std::vector<Statement> &statements)
{
    // The last of repeated statements: the slice's last day holds touches at every size.
    QStringList seen;
    for (auto it = statements.rbegin(); it != statements.rend(); ++it) {
        const Statement &s = *it;
        if (seen.contains(s.sql))
            continue;
        seen << s.sql;
        QSqlQuery q = Sql::exec(db, "explain " + s.sql, s.bindings);
        std::printf("    %s\n", qPrintable(QString(s.sql).replace('\n', ' ').simplified()));
        while (q.next())
            std::printf("      table %-9s type %-6s key %-28s rows %-9s %s\n",
                        qPrintable(q.value("table").toString()), qPrintable(q.value("type").toString()),
                        qPrintable(q.value("key").toString()), qPrintable(q.value("rows").toString()),
                        qPrintable(q.value("Extra").toString()));
    }
}

struct Case {
    QString name;
    QString slice;
    std::function<int()> engine;                   // rows the engine gave
    std::function<std::vector<Statement>()> reads; // the baseline's statements
    std::function<int()> floor = {};               // a baseline that is not a set of reads
    std::function<void()> after = {};              // undoes what a run wrote, untimed
    std::function<void()> before = {};             // what the engine's run needs first, untimed
};

// Waits until the server has written out what earlier work left in memory and purged the
// rows deleted, as far as it goes on its own (both figures low, or neither falling for a
// second; ten minutes at most): its background threads would otherwise take the CPU from
// the next measurement. The seconds waited.
double settle(const QSqlDatabase &db)
{
    QElapsedTimer t, still;
    t.start();
    still.start();
    auto status = [&db](const char *name) {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("show global status like '%1'").arg(QLatin1String(name))) && q.next()
                   ? q.value(1).toLongLong()
                   : 0;
    };
    qint64 dirty = status("Innodb_buffer_pool_pages_dirty"), history = status("Innodb_history_list_length");
    while ((dirty > 1000 || history > 100) && still.elapsed() < 1000 && t.elapsed() < 600000) {
        QThread::msleep(200);
        const qint64 d = status("Innodb_buffer_pool_pages_dirty"), h = status("Innodb_history_list_length");
        if (d < dirty || h < history)
            still.restart();
        dirty = d;
        history = h;
    }
    return t.nsecsElapsed() / 1e9;
}

// "dd/MM/yyyy" and the masked "dd/MM/yyyy hh:mm" fields of the windows.
QString dayText(const QDate &d) { return d.toString("dd/MM/yyyy"); }
QString fieldText(const QDate &d, const QTime &t) { return d.toString("dd/MM/yyyy ") + t.toString("hh:mm"); }

// A Lumet dump of one collector's day, as the terminal leaves it.
void writeLumetDump(const QString &path, const QString &collector, const QDateTime &downloaded,
                    const QDate &date, const std::vector<History::Touch> &touches)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray bytes = ("H " + downloaded.toString("yyyyMMddhhmmss") + " 00 " + collector + "\r\n").toLatin1();
    for (const History::Touch &t : touches)
        bytes += (" " + QDateTime(date, QTime(0, 0).addSecs(t.seconds)).toString("yyyyMMddhhmmss") + " 02 000000" +
                  t.identifier + " " + collector + "\r\n")
                     .toLatin1();
    bytes += "T 000\r\n";
    file.write(bytes);
}

// An external collection file: one header and the touches of each collector's day.
using ImportLine = Bench::ExternalLine;

std::vector<ImportLine> importLines(int c, const QDate &first, const QDate &last)
{
    std::vector<ImportLine> lines;
    for (QDate d = first; d <= last; d = d.addDays(1))
        for (const History::Touch &t : History::day(c, d)) {
            const QTime time = QTime(0, 0).addSecs(t.seconds);
            lines.push_back({History::collector(c), History::downloadMoment(c, d),
                             QDateTime(d, QTime(time.hour(), time.minute())), t.identifier});
        }
    return lines;
}

}  // namespace

int main(int argc, char *argv[])
{
    std::unique_ptr<QGuiApplication> app;
    QStringList args = Bench::application(argc, argv, app);
    QString indexes = QStringLiteral("as found");
    int samplePages = 0;
    bool withPlans = false;
    QStringList only;
    for (qsizetype i = 1; i < args.size();) {
        if (args[i] == QLatin1String("--indexes") && i + 1 < args.size()) {
            indexes = args[i + 1];
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--stats-sample-pages") && i + 1 < args.size()) {
            samplePages = args[i + 1].toInt();
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--only") && i + 1 < args.size()) {
            only << args[i + 1];
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--explain")) {
            withPlans = true;
            args.remove(i);
        } else {
            ++i;
        }
    }
    if (args.size() != 7 || (indexes != "on" && indexes != "off" && indexes != "as found")) {
        std::fprintf(stderr, "usage: bench_scale HOST PORT USER PASSWORD|- DATABASE RUNS [--indexes on|off] "
                             "[--stats-sample-pages N] [--explain] [--only NAME]\n");
        return 2;
    }
    const int runs = std::max(1, args[6].toInt());
    const Bench::Folders dir;
    qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "1");
    return Bench::withDataModule(Bench::server(args), args[5], Bench::Database::Existing, [&](TdmzDados &dm) {
        int status = 0;
        const QSqlDatabase db = dm.db();
        if (indexes == "off") {
            const int dropped = History::dropIndexes(db);
            History::exec(db, "analyze table desctot");
            std::printf("tv_ indexes off (%d dropped)\n", dropped);
        } else if (indexes == "on") {
            const double built = Bench::seconds([&] { DatabaseSetup::addIndexes(db); });
            History::exec(db, "analyze table desctot");
            std::printf("tv_ indexes on (built in %.1f s)\n", built);
        }
        if (samplePages > 0) {
            History::exec(db, QStringLiteral("alter table desctot stats_sample_pages = %1").arg(samplePages));
            History::exec(db, "analyze table desctot");
            std::printf("desctot's statistics sampled from %d pages\n", samplePages);
        }
        std::printf("server settled in %.1f s\n", settle(db));
        const QString indexState = History::indexesPresent(db) ? "on" : "off";
        const qint64 total = Sql::scalar(db, "select count(*) from desctot").toLongLong();
        std::printf("desctot: %lld touches; median of %d runs; baseline: the engine's statements, every row read\n",
                    qlonglong(total), runs);

        // The slices: collector 1 on its route, the history's last day and month.
        const int c = 1, r = History::route(c);
        const QString collector = History::collector(c), collectorName = QStringLiteral("COLETOR 01");
        const QDate day = History::kLastDay;
        const QDate monthStart(day.year(), day.month(), 1);
        const QDateTime download = History::downloadMoment(c, day);
        const QString event = History::reference(r), place = History::location(r, 1);
        const QString collaborator = QString::number(History::collaboratorCode(c, 0));
        const QString routeCode = QString::number(r), routeName = QStringLiteral("RONDA POSTO 01");
        const QString start = dayText(monthStart), dayStart = dayText(day), end = dayText(day);
        const QString midnight = "00:00:00", lastSecond = "23:59:59";
        auto param = [](const QDate &d, const QString &time) { return d.toString("yyyy/MM/dd ") + time; };

        auto lastCod = [&db] { return Sql::scalar(db, "select coalesce(max(cod), 0) from desctot").toLongLong(); };
        const qint64 storedUpTo = lastCod();
        auto removeWritten = [&db, storedUpTo] {
            Sql::exec(db, "delete from desctot where cod > :m", {{":m", storedUpTo}});
        };

        QList<Case> cases;

        // --- consistency analysis ---
        {
            const QString selection = "SELECT * FROM desctot\n";
            const ConsistencyInputs oneDownload{.collector = collector,
                                                .download = download.toString("dd/MM/yyyy hh:mm:ss"),
                                                .betweenCycles = true, .betweenMin = "5", .betweenMax = "30"};
            ConsistencyInputs month = oneDownload;
            month.periodGiven = true;
            month.periodStart = fieldText(monthStart, QTime(0, 0));
            month.periodEnd = fieldText(day, QTime(23, 59));
            auto run = [&dm](const ConsistencyInputs &in) {
                return [&dm, in] {
                    ConsistencyAnalysis engine(dm);
                    const ConsistencyResult result = engine.run(in);
                    return result.produced() ? result.touches : -1;
                };
            };
            cases.append({"consistency", "one download", run(oneDownload), [=] {
                              return std::vector<Statement>{
                                  {selection + "WHERE coletor = :cod_coletor and  data_descarga = :dta_desc\n order by cod",
                                   {{":cod_coletor", collector}, {":dta_desc", download.toString("yyyy-MM-dd hh:mm:ss")}}}};
                          }});
            cases.append({"consistency", "one collector, month", run(month), [=] {
                              return std::vector<Statement>{
                                  {selection + "WHERE (coletor = :cod_coletor) and (data_toque between :ini and :fim)\n order by cod",
                                   {{":cod_coletor", collector},
                                    {":ini", param(monthStart, midnight)},
                                    {":fim", param(day, "23:59:00")}}}};
                          }});
        }

        // --- the day's board: one consistency analysis per collector of the day ---
        // Baseline: the collectors of the day, then each one's touches of the day.
        cases.append({"board", "every collector, day",
                      [&dm, day] {
                          RoundsBoard board(dm);
                          board.build(day);
                          return int(board.cycles().size());
                      },
                      [=, &db] {
                          std::vector<Statement> statements{
                              {"select distinct coletor from desctot where data_toque between :ini and :fim order by coletor",
                               {{":ini", param(day, midnight)}, {":fim", param(day, lastSecond)}}}};
                          QSqlQuery who = Sql::exec(db, statements.front().sql, statements.front().bindings);
                          while (who.next())
                              statements.push_back(
                                  {"SELECT * FROM desctot\nWHERE (coletor = :cod_coletor) and (data_toque between :ini and :fim)\n order by cod",
                                   {{":cod_coletor", who.value(0).toString()},
                                    {":ini", param(day, midnight)},
                                    {":fim", param(day, lastSecond)}}});
                          return statements;
                      }});

        // --- touches by collector and by route ---
        {
            auto byCollector = [&dm](const TouchesByCollectorInputs &in) {
                return [&dm, in] {
                    const auto listing = TouchesByCollector(dm).run(in);
                    return listing ? int(listing->rows().size()) : -1;
                };
            };
            const QString sql = "SELECT * FROM desctot WHERE ((coletor = :cod_coletor) and ";
            cases.append({"touches-by-collector", "one download",
                          byCollector({collector, collectorName, download, {}, {}}), [=] {
                              return std::vector<Statement>{
                                  {sql + "(data_descarga = :data_desc)) ORDER BY cod",
                                   {{":cod_coletor", collector}, {":data_desc", DateTimeText::toParam(download)}}}};
                          }});
            cases.append({"touches-by-collector", "one collector, month",
                          byCollector({collector, collectorName, download, fieldText(monthStart, QTime(0, 0)),
                                       fieldText(day, QTime(23, 59))}),
                          [=] {
                              return std::vector<Statement>{
                                  {sql + "(data_toque between :dini and :dfim)) ORDER BY cod",
                                   {{":cod_coletor", collector},
                                    {":dini", param(monthStart, midnight)},
                                    {":dfim", param(day, "23:59:00")}}}};
                          }});

            auto byRoute = [&dm](const TouchesByRouteInputs &in) {
                return [&dm, in] {
                    const auto listing = TouchesByRoute(dm).run(in);
                    return listing ? int(listing->rows().size()) : -1;
                };
            };
            auto routeReads = [=](const QDate &from) {
                return [=] {
                    return std::vector<Statement>{
                        {"Select * from roteiros Where codigo_roteiro = :cod_rot ORDER BY codigo_roteiro",
                         {{":cod_rot", routeCode}}},
                        {"select * from desctot where ((codigo_roteiro = :cod_rot) and (data_toque between :inicio "
                         "and :fim)) ORDER BY cod",
                         {{":cod_rot", r}, {":inicio", param(from, midnight)}, {":fim", param(day, "23:59:59")}}}};
                };
            };
            cases.append({"touches-by-route", "one route, one day",
                          byRoute({fieldText(day, QTime(0, 0)), fieldText(day, QTime(23, 59)), routeCode, routeName}),
                          routeReads(day)});
            cases.append({"touches-by-route", "one route, month",
                          byRoute({fieldText(monthStart, QTime(0, 0)), fieldText(day, QTime(23, 59)), routeCode,
                                   routeName}),
                          routeReads(monthStart)});
        }

        // --- the four download reports ---
        {
            const QString blank = DownloadReports::kBlankDate;
            auto downloads = [&dm](DownloadsKey key, const QString &value, const QString &from, const QString &to) {
                return [&dm, key, value, from, to] {
                    const auto result = DownloadReports(dm).run({key, value, {}, from, to});
                    return result ? int(result->values.size()) : -1;
                };
            };
            auto reads = [](DownloadsKey key, const QString &value, const QString &from, const QString &to) {
                return [key, value, from, to] {
                    const DownloadsMember &m = DownloadReports::member(key);
                    const QString a = *DownloadReports::dateField(true, from);
                    const QString b = *DownloadReports::dateField(false, to);
                    return std::vector<Statement>{{m.sql.join(u'\n'),
                                                   {{":data_ini", DateTimeText::periodStart(a)},
                                                    {":data_fim", DateTimeText::periodEnd(b)},
                                                    {":" + m.keyParam, value}}}};
                };
            };
            struct Slice {
                DownloadsKey key;
                QString name, value, slice, from, to;
            };
            const QList<Slice> slices = {
                {DownloadsKey::Collector, "downloads-by-collector", collector, "one collector, month", start, end},
                {DownloadsKey::Collector, "downloads-by-collector", collector, "one collector, all", blank, blank},
                {DownloadsKey::Collaborator, "downloads-by-collaborator", collaborator, "one collaborator, month",
                 start, end},
                {DownloadsKey::Collaborator, "downloads-by-collaborator", collaborator, "one collaborator, all",
                 blank, blank},
                {DownloadsKey::Event, "touches-by-event", event, "one event, one day", dayStart, end},
                {DownloadsKey::Event, "touches-by-event", event, "one event, month", start, end},
                {DownloadsKey::Location, "touches-by-location", place, "one location, one day", dayStart, end},
                {DownloadsKey::Location, "touches-by-location", place, "one location, month", start, end},
            };
            for (const Slice &s : slices)
                cases.append({s.name, s.slice, downloads(s.key, s.value, s.from, s.to),
                              reads(s.key, s.value, s.from, s.to)});
        }

        // --- distances travelled ---
        {
            const QString touchesSql =
                "select\ndesctot.*,\nbuttons.referencia,\nlocais.nome_local,\neventos.desc_evento,\nfuncs.nome_func "
                "from desctot\n\nleft join buttons on  buttons.codigo_button = desctot.button\nleft join eventos on "
                "eventos.button_evento = desctot.button\nleft join locais on locais.button_local = desctot.button\n"
                "left join funcs on funcs.memoria = desctot.button\nwhere desctot.coletor = :pcoletor and "
                "desctot.data_toque between :dini and :dfim order by desctot.data_toque";
            for (DistanceForm form : {DistanceForm::Analytic, DistanceForm::Synthetic})
                for (const QDate &from : {day, monthStart}) {
                    cases.append({form == DistanceForm::Analytic ? "distances analytic" : "distances synthetic",
                                  from == day ? "one collector, one day" : "one collector, month",
                                  [&dm, collector, collectorName, from, day, form] {
                                      const auto listing = DistancesTravelled(dm).run(
                                          {collector, collectorName, dayText(from), dayText(day), form});
                                      return listing ? int(listing->rows().size()) : -1;
                                  },
                                  [=] {
                                      std::vector<Statement> days;
                                      for (QDate d = from; d <= day; d = d.addDays(1))
                                          days.push_back({touchesSql,
                                                          {{":pcoletor", collector},
                                                           {":dini", param(d, midnight)},
                                                           {":dfim", param(d, lastSecond)}}});
                                      return days;
                                  }});
                }
        }

        // --- the route's touch-time sheet ---
        {
            QStringList identifiers{event};
            for (int s = 1; s <= History::kStops; ++s)
                identifiers << History::location(r, s);
            for (const QDate &from : {day, monthStart})
                cases.append({"route-times sheet", from == day ? "one route, one day" : "one route, month",
                              [&dm, collector, collectorName, r, event, from, day] {
                                  const auto sheet = RouteTimes(dm).build(
                                      {collector, collectorName, r, event, dayText(from), dayText(day)});
                                  if (!sheet)
                                      return -1;
                                  int times = 0;
                                  for (auto it = sheet->cells().cbegin(); it != sheet->cells().cend(); ++it)
                                      if (it.key().first >= RouteTimes::kEventRow &&
                                          it.key().second >= RouteTimes::kFirstDayColumn)
                                          times += int(it.value().size() / 6);
                                  return times;
                              },
                              [=] {
                                  std::vector<Statement> reads{
                                      {"select\n   locais.button_local,\n   descrot.* from descrot\nleft join locais on "
                                       "locais.codigo_local = descrot.codigo_local\nwhere descrot.codigo_roteiro = :pcod "
                                       "order by descrot.ordem",
                                       {{":pcod", r}}}};
                                  for (const QString &id : identifiers)
                                      reads.push_back({"select distinct data_toque from desctot where button = :pbutton "
                                                       "and data_toque between :dini and :dfim order by data_toque",
                                                       {{":pbutton", id},
                                                        {":dini", from.toString("yyyy-MM-dd ") + midnight},
                                                        {":dfim", day.toString("yyyy-MM-dd ") + lastSecond}}});
                                  return reads;
                              }});
        }

        // --- registry listings (no touches: the table's size should not matter) ---
        cases.append({"registry listing", "identifiers",
                      [&dm] { return int(RegistryListings(dm).run(RegistryListing::Identifiers).rows().size()); },
                      [] {
                          return std::vector<Statement>{
                              {"select b.*, coalesce(e.desc_evento, f.nome_func, l.nome_local) from buttons b "
                               "left join eventos e on b.referencia = 'E' and e.button_evento = b.codigo_button "
                               "left join funcs f on b.referencia = 'F' and f.memoria = b.codigo_button "
                               "left join locais l on b.referencia = 'L' and l.button_local = b.codigo_button "
                               "order by b.codigo_button",
                               {}}};
                      }});
        cases.append({"registry listing", "routes",
                      [&dm] { return int(RouteListing::printed(RouteListing(dm).routes(), false).rows().size()); },
                      [] {
                          return std::vector<Statement>{
                              {"select * from roteiros r left join eventos e on e.button_evento = r.button_referencia "
                               "left join descrot d on d.codigo_roteiro = r.codigo_roteiro order by r.nome_roteiro, "
                               "d.ordem",
                               {}}};
                      }});

        // --- the programmable report ---
        {
            auto programmable = [&dm](const ProgrammableInputs &in) {
                return [&dm, in] {
                    const auto listing = ProgrammableReport(dm).run(in);
                    return listing ? int(listing->rows().size()) : -1;
                };
            };
            auto reads = [=](const QDate &from, bool oneCollector) {
                return [=] {
                    QString where = "Where (data_toque between :dini and :dfim)";
                    Bindings b{{":dini", param(from, "00:00:00")}, {":dfim", param(day, "23:59:59")}};
                    if (oneCollector) {
                        where += "\nand (coletor = :pcoletor)";
                        b.push_back({":pcoletor", collector});
                    }
                    return std::vector<Statement>{{"Select count(*) as total From desctot\n" + where, b},
                                                  {"Select * From desctot\n" + where + "\norder by data_toque, cod", b}};
                };
            };
            for (bool oneCollector : {false, true})
                for (const QDate &from : {day, monthStart}) {
                    ProgrammableInputs in;
                    in.periodStart = fieldText(from, QTime(0, 0));
                    in.periodEnd = fieldText(day, QTime(23, 59));
                    if (oneCollector) {
                        in.byCollector = true;
                        in.collector = {collectorName, collector};
                    }
                    cases.append({"programmable",
                                  QString(oneCollector ? "one collector, " : "all collectors, ") +
                                      (from == day ? "one day" : "month"),
                                  programmable(in), reads(from, oneCollector)});
                }
        }

        // --- the files for other systems ---
        {
            const QString out = dir.path() + "/saida.txt";
            for (const QDate &from : {day, monthStart}) {
                cases.append({"touch export", from == day ? "one day" : "month",
                              [&dm, out, from, day] {
                                  const TouchExportResult result =
                                      TouchExport(dm).run({dayText(from), dayText(day), out, false});
                                  return result.written ? result.lines : -1;
                              },
                              [=] {
                                  return std::vector<Statement>{
                                      {"select desctot.coletor, desctot.data_toque, funcs.complemento from desctot\n"
                                       "      inner join funcs on funcs.memoria = desctot.button \n"
                                       "   where (data_toque between :dini and :dfim)",
                                       {{":dini", param(from, midnight)}, {":dfim", param(day, lastSecond)}}}};
                              }});
            }
            for (const QDate &from : {day, monthStart}) {
                const QDateTime a(from, QTime(0, 0)), b(day, QTime(23, 59, 59));
                cases.append({"newspaper export", from == day ? "one collector, one day" : "one collector, month",
                              [&dm, out, collector, a, b] {
                                  const NewspaperExportResult result = NewspaperExport(dm).run({collector, a, b, out});
                                  return result.written ? result.rows : -1;
                              },
                              [=] {
                                  return std::vector<Statement>{
                                      {"select * from desctot where coletor = :pcoletor and data_descarga between "
                                       ":dini and :Dfim order by cod",
                                       {{":pcoletor", collector},
                                        {":dini", QDateTime(a.date(), a.time(), Qt::UTC)},
                                        {":Dfim", QDateTime(b.date(), b.time(), Qt::UTC)}}}};
                              }});
            }
        }

        // The cases that write come last: the server's work after them (purging the rows
        // deleted, flushing pages) would otherwise slow the reads measured next.
        // --- ingest of one download into the big table ---
        {
            const QDate next = day.addDays(1);
            const std::vector<History::Touch> touches = History::day(c, next);
            const QDateTime downloaded = History::downloadMoment(c, next);
            const QString dump = dm.programFolder() + "DATALM.TMD";
            cases.append({"ingest", "one download", [&dm, dump] {
                              Ingest engine(dm);
                              return engine.IngestTerminalDump(dump).stored;
                          },
                          {},
                          [&db, touches, downloaded, next, collector] {
                              Sql::Transaction transaction(db);
                              QSqlQuery insert(db);
                              insert.prepare("insert into desctot (coletor, data_descarga, data_toque, button, "
                                             "tipo_button, codigo_roteiro,codigo_func) values\n(:pcoletor, "
                                             ":pdata_descarga, :pdata_toque, :pbutton, :ptipo_button, "
                                             ":pcodigo_roteiro,:pcodigo_func)");
                              for (const History::Touch &t : touches) {
                                  insert.bindValue(":pcoletor", collector);
                                  insert.bindValue(":pdata_descarga", downloaded);
                                  insert.bindValue(":pdata_toque",
                                                   QDateTime(next, QTime(0, 0).addSecs(t.seconds)).toString("yyyy/MM/dd hh:mm:ss"));
                                  insert.bindValue(":pbutton", t.identifier);
                                  insert.bindValue(":ptipo_button", QStringLiteral("02"));
                                  insert.bindValue(":pcodigo_roteiro", QString::number(t.route));
                                  insert.bindValue(":pcodigo_func", QString::number(t.func));
                                  if (!insert.exec())
                                      throw DbError(Sql::describe(insert.lastError()));
                              }
                              transaction.commit();
                              return int(touches.size());
                          },
                          removeWritten,
                          [&dm, touches, downloaded, next, dump, collector] {
                              writeLumetDump(dump, collector, downloaded, next, touches);
                              TmpDesc::recreate(dm);
                          }});
        }

        // --- import of a collection file, one collector's day and month after the history ---
        {
            const QDate next = day.addDays(1);
            for (const QDate &last : {next, next.addDays(30)}) {
                const std::vector<ImportLine> lines = importLines(c, next, last);
                const QString file = dir.path() + QStringLiteral("/externa-%1.txt").arg(lines.size());
                Bench::writeExternalFile(file, lines);
                cases.append({"import", last == next ? "one collector, one day" : "one collector, month",
                              [&dm, file] {
                                  const ImportResult result = CollectionImport(dm).importFile(file);
                                  return result.failed ? -1 : result.imported;
                              },
                              {},
                              [&db, lines] {
                                  Sql::Transaction transaction(db);
                                  QSqlQuery insert(db);
                                  insert.prepare("insert into desctot (coletor, data_descarga, button, data_toque) "
                                                 "values (:p1, :p2, :p3, :p4)");
                                  for (const ImportLine &l : lines) {
                                      insert.bindValue(":p1", l.collector);
                                      insert.bindValue(":p2", l.downloaded);
                                      insert.bindValue(":p3", l.identifier);
                                      insert.bindValue(":p4", l.touched);
                                      if (!insert.exec())
                                          throw DbError(Sql::describe(insert.lastError()));
                                  }
                                  transaction.commit();
                                  return int(lines.size());
                              },
                              removeWritten});
            }
        }

        // Statements of the windows and commands around the engines, only explained. The
        // deletion as it is used: the oldest month of downloads.
        const QDateTime oldestMonth =
            withPlans ? Sql::scalar(db, "select min(data_descarga) from desctot").toDateTime().addDays(30) : QDateTime();
        const std::vector<Statement> others{
            {"SELECT DISTINCT desctot.Data_descarga,desctot.coletor\nFROM desctot\nWHERE  desctot.Coletor = "
             ":codigo_coletor\nORDER BY desctot.data_descarga",
             {{":codigo_coletor", collector}}},
            {"SELECT DISTINCT desctot.Data_descarga, desctot.coletor\nFROM desctot\nWHERE desctot.Coletor = "
             ":codigo_coletor and desctot.data_descarga = :data_desc",
             {{":codigo_coletor", collector}, {":data_desc", DateTimeText::toParam(download)}}},
            {"select max(data_descarga) from desctot where coletor = :pcoletor", {{":pcoletor", collector}}},
            {"select button, data_toque from desctot where coletor = :c and data_toque between :a and :b and "
             "cod <= :m",
             {{":c", collector}, {":a", param(day, "00:01:00")}, {":b", param(day, "22:50:00")}, {":m", storedUpTo}}},
            {"SELECT DISTINCT data_descarga, coletor from desctot\n where data_descarga <= :pdata_descarga\n order "
             "by data_descarga",
             {{":pdata_descarga", oldestMonth}}},
            {"delete from desctot where data_descarga <= :pdata_descarga", {{":pdata_descarga", oldestMonth}}},
            {"select coalesce(max(cod), 0) from desctot", {}}};

        std::printf("| report | slice | tv_ indexes | engine s | baseline s | ratio | engine rows | baseline rows |\n");
        std::printf("|---|---|---|---:|---:|---:|---:|---:|\n");
        std::fflush(stdout);
        for (const Case &k : cases) {
            if (!only.isEmpty() && !only.contains(k.name))
                continue;
            std::vector<double> ours, floor;
            int rows = 0, floorRows = 0;
            try {
                settle(db);
                // With several runs, one more first, untimed, so no case pays for the
                // process's or the server's first use of a statement.
                for (int run = runs > 1 ? -1 : 0; run < runs; ++run) {
                    floor.push_back(Bench::seconds([&] { floorRows = k.floor ? k.floor() : readStatements(db, k.reads()); }));
                    if (k.after) {
                        k.after();
                        settle(db);
                    }
                    if (k.before)
                        k.before();
                    ours.push_back(Bench::seconds([&] { rows = k.engine(); }));
                    if (k.after) {
                        k.after();
                        settle(db);
                    }
                    if (run < 0) {
                        ours.clear();
                        floor.clear();
                    }
                }
            } catch (const DbError &e) {
                std::fprintf(stderr, "%s, %s: %s\n", qPrintable(k.name), qPrintable(k.slice), qPrintable(e.text()));
                status = 1;
                continue;
            }
            if (rows < 0) {
                std::fprintf(stderr, "%s, %s: the engine gave no result\n", qPrintable(k.name), qPrintable(k.slice));
                status = 1;
            }
            const double a = Bench::median(ours), b = Bench::median(floor);
            std::printf("| %s | %s | %s | %.3f | %.3f | %.2f | %d | %d |\n", qPrintable(k.name), qPrintable(k.slice),
                        qPrintable(indexState), a, b, Bench::ratio(a, b), rows, floorRows);
            if (withPlans && k.reads)
                explain(db, k.reads());
            std::fflush(stdout);
        }
        if (withPlans) {
            std::printf("other statements on desctot (window lists, torvelctl, ingest, deletion):\n");
            for (const Statement &s : others)
                explain(db, {s});
        }
        return status;
    });
}
