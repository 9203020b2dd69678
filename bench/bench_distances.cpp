// Distances travelled and cost for one collector over a month of rounds (about 20,000
// touches), both forms, against a baseline in the same run that runs the same day queries and
// reads every row.
//
// Usage: bench_distances HOST PORT USER PASSWORD|- DATABASE [RUNS]
#include "BenchSupport.h"
#include "platform/MessageService.h"
#include "reports/DistancesTravelled.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cstdio>

namespace {

using Bench::seconds;

constexpr int kLocations = 24;
QString place(int i) { return QStringLiteral("1C%1").arg(i, 4, 16, QChar('0')).toUpper(); }

int populate(const QSqlDatabase &db)
{
    Sql::exec(db, "insert into coletor (codigo_coletor, nome_coletor) values ('D1', 'COLETOR D1')");
    Sql::exec(db, "insert into buttons (codigo_button, referencia) values ('EV0001', 'E')");
    Sql::exec(db, "insert into eventos (desc_evento, button_evento) values ('INICIO', 'EV0001')");
    for (int i = 1; i <= kLocations; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'L')", {{":c", place(i)}});
        Sql::exec(db, "insert into locais (nome_local, button_local) values (:n, :c)",
                  {{":n", QStringLiteral("POSTO %1").arg(i)}, {":c", place(i)}});
        const int next = i % kLocations + 1;
        Sql::exec(db, "insert into distancia (descricao, km, pontoA, pontoB) values (:d, :k, :a, :b)",
                  {{":d", QStringLiteral("TRECHO %1").arg(i)}, {":k", 0.35 + i * 0.05},
                   {":a", place(i)}, {":b", place(next)}});
    }
    Sql::exec(db, "insert into precokm (datainicio, datafim, custo) values ('2024-01-01', '2024-12-31', 1.35)");
    // Rounds all day and night: the event, then the posts every 2 minutes.
    QStringList values;
    int touches = 0;
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0));
    for (int minute = 0; touches < 20000; minute += 2) {
        const int step = touches % (kLocations + 1);
        const QString id = step == 0 ? QStringLiteral("EV0001") : place(step);
        values << QStringLiteral("('D1','2024-04-01 07:00:00','%1','%2')")
                      .arg(id, start.addSecs(60LL * minute).toString("yyyy-MM-dd hh:mm:ss"));
        ++touches;
        if (values.size() >= 2000) {
            Sql::exec(db, "insert into desctot (coletor, data_descarga, button, data_toque) values " + values.join(','));
            values.clear();
        }
    }
    if (!values.isEmpty())
        Sql::exec(db, "insert into desctot (coletor, data_descarga, button, data_toque) values " + values.join(','));
    Sql::exec(db, "analyze table desctot, buttons, locais, eventos, funcs, distancia, precokm");
    return touches;
}

// The report's day queries for the same days, every row and field read.
int baseline(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare("select desctot.*, buttons.referencia, locais.nome_local, eventos.desc_evento, funcs.nome_func "
              "from desctot left join buttons on buttons.codigo_button = desctot.button "
              "left join eventos on eventos.button_evento = desctot.button "
              "left join locais on locais.button_local = desctot.button "
              "left join funcs on funcs.memoria = desctot.button "
              "where desctot.coletor = :pcoletor and desctot.data_toque between :dini and :dfim "
              "order by desctot.data_toque");
    int rows = 0;
    for (QDate day(2024, 3, 1); day <= QDate(2024, 3, 31); day = day.addDays(1)) {
        q.bindValue(":pcoletor", QStringLiteral("D1"));
        q.bindValue(":dini", day.toString("yyyy/MM/dd") + " 00:00:00");
        q.bindValue(":dfim", day.toString("yyyy/MM/dd") + " 23:59:59");
        q.exec();
        rows += Bench::readRows(q);
    }
    return rows;
}

}  // namespace

int main(int argc, char *argv[])
{
    return Bench::run(argc, argv, {"bench_distances HOST PORT USER PASSWORD|- DATABASE [RUNS]", "distances"},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int runs = session.runs;
        const int touches = populate(dm.db());
        std::printf("distances travelled, one collector, March 2024, %d touches; median of %d runs "
                    "(baseline: the same day queries, every row read)\n", touches, runs);
        int status = 0;
        for (DistanceForm form : {DistanceForm::Analytic, DistanceForm::Synthetic}) {
            std::vector<double> ours, floor;
            int rows = 0;
            for (int i = 0; i < runs; ++i) {
                floor.push_back(seconds([&] { baseline(dm.db()); }));
                ours.push_back(seconds([&] {
                    const auto listing = DistancesTravelled(dm).run({"D1", "COLETOR D1", "01/03/2024", "31/03/2024", form});
                    rows = listing ? int(listing->rows().size()) : -1;
                }));
            }
            if (rows < 0)
                status = 1;
            const double a = Bench::median(ours), b = Bench::median(floor);
            std::printf("  %-10s report %.3f s (%d rows), baseline %.3f s, ratio %.2f\n",
                        form == DistanceForm::Analytic ? "analytic" : "synthetic", a, rows, b, a / b);
        }
        return status;
    });
}
