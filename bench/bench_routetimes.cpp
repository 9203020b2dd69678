// The route touch-time sheet for a route of 20 stops over a month, among 100,000 touches of
// the route's identifiers and of others, against a baseline in the same run that issues the
// bare per-day distinct-touch queries (one per identifier per day) and reads every row.
//
// Usage: bench_routetimes HOST PORT USER PASSWORD|- DATABASE [RUNS]
#include "BenchSupport.h"
#include "platform/MessageService.h"
#include "reports/RouteTimes.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <cstdio>

namespace {

using Bench::seconds;

constexpr int kStops = 20;
constexpr int kOtherIdentifiers = 40;  // locations of other routes, collaborators
constexpr int kTouches = 100000;
const QDate kFirst(2024, 3, 1);
const QDate kLast(2024, 3, 31);

QString stop(int i) { return QStringLiteral("1C%1").arg(i, 4, 16, QChar('0')).toUpper(); }
QString other(int i) { return QStringLiteral("2D%1").arg(i, 4, 16, QChar('0')).toUpper(); }

void populate(const QSqlDatabase &db)
{
    Sql::exec(db, "insert into coletor (codigo_coletor, nome_coletor) values ('D1', 'COLETOR D1')");
    Sql::exec(db, "insert into eventos (desc_evento, button_evento) values ('INICIO', 'EV0001')");
    Sql::exec(db, "insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia) values (1, 'RONDA', 'EV0001')");
    for (int i = 1; i <= kStops; ++i) {
        Sql::exec(db, "insert into locais (codigo_local, nome_local, button_local) values (:n, :name, :c)",
                  {{":n", i}, {":name", QStringLiteral("%1 - POSTO %1").arg(i, 3, 10, QChar('0'))}, {":c", stop(i)}});
        Sql::exec(db, "insert into descrot (codigo_roteiro, ordem, codigo_local, nome_local) values (1, :o, :n, :name)",
                  {{":o", QStringLiteral("%1").arg(i, 3, 10, QChar('0'))}, {":n", i},
                   {":name", QStringLiteral("%1 - POSTO %1").arg(i, 3, 10, QChar('0'))}});
    }
    // Round after round, day and night, from a week before the month to a week after it; every
    // third touch is of an identifier outside the route.
    QStringList values;
    const QDateTime start(kFirst.addDays(-7), QTime(0, 0));
    const qint64 span = start.secsTo(QDateTime(kLast.addDays(8), QTime(0, 0)));
    for (int n = 0; n < kTouches; ++n) {
        QString id;
        if (n % 3 == 2)
            id = other(n % kOtherIdentifiers + 1);
        else if (const int step = (n / 3 * 2 + n % 3) % (kStops + 1); step == 0)
            id = QStringLiteral("EV0001");
        else
            id = stop(step);
        values << QStringLiteral("('D1','2024-04-08 07:00:00','%1','%2')")
                      .arg(id, start.addSecs(span * n / kTouches).toString("yyyy-MM-dd hh:mm:ss"));
        if (values.size() >= 2000) {
            Sql::exec(db, "insert into desctot (coletor, data_descarga, button, data_toque) values " + values.join(','));
            values.clear();
        }
    }
    if (!values.isEmpty())
        Sql::exec(db, "insert into desctot (coletor, data_descarga, button, data_toque) values " + values.join(','));
    Sql::exec(db, "analyze table desctot, eventos, locais, descrot, roteiros");
}

// The distinct-touch query for every identifier of the route and every day, every row read.
int baseline(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare("select distinct data_toque from desctot where button = :pbutton and data_toque between :dini and :dfim "
              "order by data_toque");
    QStringList identifiers{QStringLiteral("EV0001")};
    for (int i = 1; i <= kStops; ++i)
        identifiers << stop(i);
    int rows = 0;
    for (const QString &id : identifiers)
        for (QDate day = kFirst; day <= kLast; day = day.addDays(1)) {
            q.bindValue(":pbutton", id);
            q.bindValue(":dini", day.toString("yyyy-MM-dd") + " 00:00:00");
            q.bindValue(":dfim", day.toString("yyyy-MM-dd") + " 23:59:59");
            q.exec();
            while (q.next()) {
                q.value(0).toDateTime();
                ++rows;
            }
        }
    return rows;
}

}  // namespace

int main(int argc, char *argv[])
{
    qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "1");
    return Bench::run(argc, argv, {"bench_routetimes HOST PORT USER PASSWORD|- DATABASE [RUNS]", "routetimes", populate},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int runs = session.runs;
        std::printf("route touch-time sheet, %d stops and the event, March 2024, %d touches; median of %d runs "
                    "(baseline: the per-day distinct-touch queries, every row read)\n",
                    kStops, kTouches, runs);
        const RouteTimesInputs in{"D1", "COLETOR D1", 1, "EV0001", kFirst.toString("dd/MM/yyyy"),
                                  kLast.toString("dd/MM/yyyy")};
        int status = 0;
        std::vector<double> sheet, file, floor;
        int times = 0, rows = 0;
        for (int i = 0; i < runs; ++i) {
            floor.push_back(seconds([&] { rows = baseline(dm.db()); }));
            sheet.push_back(seconds([&] {
                const std::optional<RouteTimesSheet> s = RouteTimes(dm).build(in);
                times = 0;
                if (!s)
                    return;
                for (auto it = s->cells().cbegin(); it != s->cells().cend(); ++it)
                    if (it.key().first >= RouteTimes::kEventRow && it.key().second >= RouteTimes::kFirstDayColumn)
                        times += int(it.value().size() / 6);
            }));
            file.push_back(seconds([&] {
                if (!RouteTimes(dm).run(in))
                    status = 1;
            }));
        }
        if (times != rows) {
            std::fprintf(stderr, "the sheet holds %d times, the day queries return %d\n", times, rows);
            status = 1;
        }
        const double a = Bench::median(sheet), w = Bench::median(file), b = Bench::median(floor);
        std::printf("  sheet %.3f s (%d times), written as .xlsx %.3f s, baseline %.3f s, ratio %.2f (with the file %.2f)\n",
                    a, times, w, b, a / b, w / b);
        return status;
    });
}
