// Consistency analysis of one collector's rounds against the floor: the same touch selection
// run and every row read, nothing else, on the same server in the same run. The synthetic
// rounds follow routes of 20 stops with some stops missed, some inverted and some foreign
// locations, collaborator touches, job-function codes and unregistered identifiers. Sizes:
// 1,000, 10,000 (about a month of rounds) and 100,000 touches, each one download alone in
// the table. Besides the ratio it prints the time per touch, and the time above the baseline
// per touch, which shows whether the analysis grows faster than its touches.
//
// Usage: bench_consistency HOST PORT USER PASSWORD DATABASE [RUNS]
// A scratch database DATABASE_consistency is created with the schema and dropped at the end.
#include "BenchSupport.h"
#include "core/TdmzDados.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Sql.h"
#include "platform/MessageService.h"
#include "reports/ConsistencyAnalysis.h"
#include "reports/ConsistencyOutput.h"

#include <QPdfWriter>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kLocations = 90;
constexpr int kRoutes = 4;
constexpr int kStops = 20;
constexpr int kCollaborators = 6;
const QDateTime kDownload(QDate(2026, 4, 1), QTime(7, 0));

QString locationId(int i) { return QStringLiteral("C%1").arg(i, 5, 16, QChar('0')).toUpper(); }
QString referenceId(int i) { return QStringLiteral("E%1").arg(i, 5, 16, QChar('0')).toUpper(); }
QString memoryId(int i) { return QStringLiteral("F%1").arg(i, 5, 16, QChar('0')).toUpper(); }

// Route r visits locations r*20+1 .. r*20+20; the last ten locations belong to no route.
int stopLocation(int route, int stop) { return route * kStops + stop + 1; }

void populate(const QSqlDatabase &db)
{
    for (int i = 1; i <= kLocations; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'L')",
                  {{":c", locationId(i)}});
        Sql::exec(db, "insert into locais (nome_local, button_local) values (:n, :c)",
                  {{":n", QStringLiteral("PONTO %1").arg(i)}, {":c", locationId(i)}});
    }
    for (int i = 1; i <= kCollaborators; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'F')",
                  {{":c", memoryId(i)}});
        Sql::exec(db, "insert into funcs (codigo_func, nome_func, memoria) values (:f, :n, :c)",
                  {{":f", i}, {":n", QStringLiteral("VIGIA %1").arg(i)}, {":c", memoryId(i)}});
    }
    Sql::exec(db, "insert into funcao (codigo, descricao) values ('00001', 'VIGILANTE'), "
                  "('00002', 'PORTEIRO'), ('00003', 'SUPERVISOR')");
    for (int r = 0; r < kRoutes; ++r) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'E')",
                  {{":c", referenceId(r + 1)}});
        Sql::exec(db, "insert into eventos (desc_evento, button_evento) values (:n, :c)",
                  {{":n", QStringLiteral("INICIO RONDA %1").arg(r + 1)}, {":c", referenceId(r + 1)}});
        Sql::exec(db, "insert into roteiros (codigo_roteiro, nome_roteiro, empresa, "
                      "button_referencia, hora_saida, ordemvisitas, tempo_locais, tempo_padrao, "
                      "t_min_padrao, t_max_padrao, temporoteiro, t_rot_min, t_rot_max) values "
                      "(:r, :n, 'ACME', :c, :h, 0, 0, :p, '1', '5', 0, '40', '70')",
                  {{":r", r + 1}, {":n", QStringLiteral("RONDA %1").arg(r + 1)},
                   {":c", referenceId(r + 1)}, {":h", QStringLiteral("%1:00:00").arg(6 * r, 2, 10, QChar('0'))},
                   {":p", r % 2 == 0 ? 0 : -1}});
        for (int s = 0; s < kStops; ++s)
            Sql::exec(db, "insert into descrot (codigo_roteiro, ordem, codigo_local, t_min, t_max, "
                          "nome_local) values (:r, :o, :l, 1, 4, :n)",
                      {{":r", r + 1}, {":o", QStringLiteral("%1").arg(s + 1, 3, 10, QChar('0'))},
                       {":l", stopLocation(r, s)},
                       {":n", QStringLiteral("PONTO %1").arg(stopLocation(r, s))}});
    }
}

struct Touch {
    QString identifier;
    QDateTime when;
    int route;
    int collaborator;
};

// Rounds one after another, a route each, started by its reference touch.
std::vector<Touch> makeTouches(int count, unsigned seed)
{
    std::mt19937 random(seed);
    auto chance = [&random](int percent) { return int(random() % 100) < percent; };
    std::vector<Touch> touches;
    touches.reserve(count + kStops * 2);
    QDateTime t(QDate(2026, 3, 1), QTime(0, 0));
    int round = 0;
    while (int(touches.size()) < count) {
        const int route = round % kRoutes;
        const int collaborator = round / 3 % kCollaborators + 1;
        auto add = [&](const QString &id, int seconds) {
            t = t.addSecs(seconds);
            touches.push_back({id, t, route + 1, collaborator});
        };
        add(referenceId(route + 1), 600 + int(random() % 1800));
        if (chance(30))
            add(memoryId(collaborator), 20);
        std::vector<int> order(kStops);
        for (int s = 0; s < kStops; ++s)
            order[s] = stopLocation(route, s);
        for (int s = 0; s + 1 < kStops; ++s)
            if (chance(4))
                std::swap(order[s], order[s + 1]);
        for (int location : order) {
            if (chance(4))
                continue;  // a missed stop
            add(locationId(location), 60 + int(random() % 240));
            if (chance(3))
                add(locationId(kLocations - int(random() % 10)), 45);  // foreign to every route
            if (chance(1))
                add(QStringLiteral("ABC%1").arg(int(random() % 999), 3, 10, QChar('0')), 10);
        }
        if (chance(10)) {
            add(QStringLiteral("3%1").arg(int(random() % 3) + 1, 5, 10, QChar('0')), 5);
            add(QStringLiteral("4%1").arg(int(random() % 20) + 1, 5, 10, QChar('0')), 5);
        }
        ++round;
    }
    touches.resize(count);
    return touches;
}

void store(const QSqlDatabase &db, const QString &collector, const std::vector<Touch> &touches)
{
    const QString downloaded = kDownload.toString("yyyy-MM-dd hh:mm:ss");
    for (size_t from = 0; from < touches.size(); from += 1000) {
        QStringList values;
        for (size_t i = from; i < std::min(touches.size(), from + 1000); ++i) {
            const Touch &touch = touches[i];
            values << QStringLiteral("('%1','%2','%3','%4','02',%5,%6)")
                          .arg(collector, downloaded, touch.identifier,
                               touch.when.toString("yyyy-MM-dd hh:mm:ss"))
                          .arg(touch.route)
                          .arg(touch.collaborator);
        }
        Sql::exec(db, "insert into desctot (coletor, data_descarga, button, data_toque, "
                      "tipo_button, codigo_roteiro, codigo_func) values " + values.join(','));
    }
}

ConsistencyInputs inputsFor(const QString &collector)
{
    return {.collector = collector, .download = kDownload.toString("dd/MM/yyyy hh:mm:ss"), .betweenCycles = true,
            .betweenMin = "10", .betweenMax = "40"};
}

// The floor: the analysis's own selection, every column of every row read.
double baseline(const QSqlDatabase &db, const QString &collector, int expected)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare("SELECT * FROM desctot\nWHERE coletor = :cod_coletor and  data_descarga = "
                  ":dta_desc\n order by cod");
    query.bindValue(":cod_coletor", collector);
    query.bindValue(":dta_desc", kDownload.toString("yyyy-MM-dd hh:mm:ss"));
    if (!query.exec())
        return -1;
    const int columns = query.record().count();
    int rows = 0;
    qint64 sink = 0;
    while (query.next()) {
        for (int c = 0; c < columns; ++c)
            sink += query.value(c).toString().size();
        ++rows;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    return rows == expected && sink > 0 ? seconds : -1;
}

double analysis(TdmzDados &dm, const QString &collector, int expected, ConsistencyResult &result,
                int &statements)
{
    QElapsedTimer timer;
    timer.start();
    ConsistencyAnalysis engine(dm);
    result = engine.run(inputsFor(collector));
    const double seconds = timer.nsecsElapsed() / 1e9;
    statements = engine.statementsRun();
    return result.produced() && result.touches == expected ? seconds : -1;
}

// The analytic report of the run laid out as a PDF: pages per second, and the time against
// the analysis that produced its rows.
int printedReport(TdmzDados &dm, const QString &collector, const ConsistencyResult &result,
                  double analysisSeconds, const QString &folder)
{
    ConsistencyOutput output(dm, inputsFor(collector), {.synthetic = false}, result);
    output.completeRows();
    const TfmRelConsist report = output.report();
    QElapsedTimer timer;
    timer.start();
    QPdfWriter writer(folder + "/consistencia.pdf");
    writer.setResolution(300);
    const int pages = report.renderer().render(&writer);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (pages <= 0) {
        std::fprintf(stderr, "the printed report has no page\n");
        return 1;
    }
    std::printf("         printed report (analytic, PDF): %d rows, %d pages in %.3f s, %.1f "
                "pages/s; ratio to the analysis %.2f\n",
                int(output.rows().size()), pages, seconds, pages / seconds,
                seconds / analysisSeconds);
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    return Bench::run(argc, argv, {"bench_consistency HOST PORT USER PASSWORD DATABASE [RUNS]", "consistency", populate},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int runs = session.runs;
        std::printf("consistency analysis of one download, median of %d runs (baseline: the "
                    "same selection, every row read)\n", runs);
        int status = 0;
        double firstPerTouch = 0;
        for (int size : {1000, 10000, 100000}) {
            // Alone in the table, so the selection's cost follows the size.
            const QString collector = QStringLiteral("B%1").arg(size);
            Sql::exec(dm.db(), "delete from desctot");
            store(dm.db(), collector, makeTouches(size, unsigned(size)));
            std::vector<double> ours, floor;
            ConsistencyResult result;
            int statements = 0;
            for (int run = 0; run < runs; ++run) {
                floor.push_back(baseline(dm.db(), collector, size));
                ours.push_back(analysis(dm, collector, size, result, statements));
            }
            if (Bench::failed(ours) || Bench::failed(floor)) {
                std::fprintf(stderr, "%d touches: a run failed\n", size);
                status = 1;
                continue;
            }
            const double a = Bench::median(ours), b = Bench::median(floor);
            const double perTouch = a / size * 1e6;
            if (firstPerTouch == 0)
                firstPerTouch = perTouch;
            std::printf("%7d touches: analysis %.3f s (%.2f us/touch, %d rows, %d statements), "
                        "baseline %.3f s (%.2f us/touch), ratio %.2f; above the baseline "
                        "%.2f us/touch; us/touch vs 1,000 touches %.2f\n",
                        size, a, perTouch, result.rows, statements, b, b / size * 1e6, a / b,
                        (a - b) / size * 1e6, perTouch / firstPerTouch);
            std::fflush(stdout);
            if (size >= 10000)
                status |= printedReport(dm, collector, result, a, session.folder);
        }
        return status;
    });
}
