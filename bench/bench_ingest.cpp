// Ingest of a Lumet dump (backup copy, registry lookups, working table, one insert per touch,
// the whole dump in one transaction) against two floors measured on the same server in the same
// run: the same rows inserted with one prepared insert each in autocommit (how the ingest
// stored them before it became all-or-nothing), and the same rows as multi-row inserts of 500
// in one transaction (the fastest a client can store them). Sizes: a full terminal (4,000
// touches) and 50,000 touches.
//
// Usage: bench_ingest HOST PORT USER PASSWORD DATABASE [RUNS]
// A scratch database DATABASE_ingest is created with the schema and dropped at the end.
#include "collection/Ingest.h"
#include "collection/TmpDesc.h"
#include "BenchSupport.h"
#include "core/TdmzDados.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Sql.h"
#include "platform/MessageService.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kLocations = 80;
constexpr int kRoutes = 8;
constexpr int kCollaborators = 12;

QString locationId(int i) { return QStringLiteral("1C%1").arg(i, 4, 16, QChar('0')).toUpper(); }
QString routeId(int i) { return QStringLiteral("2E%1").arg(i, 4, 16, QChar('0')).toUpper(); }
QString memoryId(int i) { return QStringLiteral("3F%1").arg(i, 4, 16, QChar('0')).toUpper(); }

void populate(const QSqlDatabase &db)
{
    Sql::exec(db, "insert into coletor (codigo_coletor, codigo_func, codigo_roteiro) values "
                  "('LUM01', 1, 1)");
    for (int i = 1; i <= kRoutes; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'E')",
                  {{":c", routeId(i)}});
        Sql::exec(db, "insert into eventos (desc_evento, button_evento) values (:n, :c)",
                  {{":n", QStringLiteral("INICIO ROTA %1").arg(i)}, {":c", routeId(i)}});
        Sql::exec(db, "insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia) "
                      "values (:r, :n, :c)",
                  {{":r", i}, {":n", QStringLiteral("ROTA %1").arg(i)}, {":c", routeId(i)}});
    }
    for (int i = 1; i <= kCollaborators; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'F')",
                  {{":c", memoryId(i)}});
        Sql::exec(db, "insert into funcs (codigo_func, nome_func, memoria) values (:f, :n, :c)",
                  {{":f", i}, {":n", QStringLiteral("VIGIA %1").arg(i)}, {":c", memoryId(i)}});
    }
    // Every tenth location is not registered, as a terminal in the field meets them.
    for (int i = 1; i <= kLocations; ++i) {
        if (i % 10 == 0)
            continue;
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'L')",
                  {{":c", locationId(i)}});
        Sql::exec(db, "insert into locais (nome_local, button_local) values (:n, :c)",
                  {{":n", QStringLiteral("PONTO %1").arg(i)}, {":c", locationId(i)}});
    }
}

struct Row {
    QString identifier;
    QDateTime touched;
    int route;
    int func;
};

// Rounds of twenty stops, each started by a route reference and, now and then, a
// collaborator's memory; the attribution is computed here for the baseline's rows.
std::vector<Row> makeRows(int touches)
{
    std::vector<Row> rows;
    rows.reserve(touches);
    QDateTime t(QDate(2026, 3, 1), QTime(0, 0));
    int route = 1, func = 1;
    for (int i = 0; i < touches; ++i) {
        QString id;
        if (i % 20 == 0) {
            route = (i / 20) % kRoutes + 1;
            id = routeId(route);
        } else if (i % 100 == 1) {
            func = (i / 100) % kCollaborators + 1;
            id = memoryId(func);
        } else {
            id = locationId((i * 7) % kLocations + 1);
        }
        t = t.addSecs(37);
        rows.push_back({id, t, route, func});
    }
    return rows;
}

void writeDump(const QString &path, const std::vector<Row> &rows)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray bytes = "H 20260315080000 00 LUM01\r\n";
    for (const Row &r : rows)
        bytes += (" " + r.touched.toString("yyyyMMddhhmmss") + " 02 000000" + r.identifier +
                  " LUM01\r\n").toLatin1();
    bytes += "T 000\r\n";
    file.write(bytes);
}

double baseline(const QSqlDatabase &db, const std::vector<Row> &rows)
{
    Sql::exec(db, "delete from desctot");
    QElapsedTimer timer;
    timer.start();
    QSqlQuery insert(db);
    insert.prepare(Ingest::touchInsert());
    const QDateTime downloaded = QDateTime::currentDateTime();
    for (const Row &r : rows) {
        insert.bindValue(":pcoletor", QStringLiteral("LUM01"));
        insert.bindValue(":pdata_descarga", downloaded);
        insert.bindValue(":pdata_toque", r.touched.toString("yyyy/MM/dd hh:mm:ss"));
        insert.bindValue(":pbutton", r.identifier);
        insert.bindValue(":ptipo_button", QStringLiteral("02"));
        insert.bindValue(":pcodigo_roteiro", QString::number(r.route));
        insert.bindValue(":pcodigo_func", QString::number(r.func));
        if (!insert.exec()) {
            std::fprintf(stderr, "baseline insert failed: %s\n", qPrintable(Sql::describe(insert.lastError())));
            return -1;
        }
    }
    return timer.nsecsElapsed() / 1e9;
}

double multiRowBaseline(const QSqlDatabase &db, const std::vector<Row> &rows)
{
    Sql::exec(db, "delete from desctot");
    QElapsedTimer timer;
    timer.start();
    const QDateTime downloaded = QDateTime::currentDateTime();
    Sql::Transaction transaction(db);
    constexpr size_t kBatch = 500;
    for (size_t from = 0; from < rows.size(); from += kBatch) {
        const size_t count = std::min(kBatch, rows.size() - from);
        QString sql = QStringLiteral("insert into desctot (coletor, data_descarga, data_toque, button, "
                                     "tipo_button, codigo_roteiro, codigo_func) values ");
        for (size_t i = 0; i < count; ++i)
            sql += i ? QStringLiteral(",(?,?,?,?,?,?,?)") : QStringLiteral("(?,?,?,?,?,?,?)");
        QSqlQuery insert(db);
        insert.prepare(sql);
        for (size_t i = 0; i < count; ++i) {
            const Row &r = rows[from + i];
            insert.addBindValue(QStringLiteral("LUM01"));
            insert.addBindValue(downloaded);
            insert.addBindValue(r.touched.toString("yyyy/MM/dd hh:mm:ss"));
            insert.addBindValue(r.identifier);
            insert.addBindValue(QStringLiteral("02"));
            insert.addBindValue(QString::number(r.route));
            insert.addBindValue(QString::number(r.func));
        }
        if (!insert.exec()) {
            std::fprintf(stderr, "multi-row insert failed: %s\n", qPrintable(Sql::describe(insert.lastError())));
            return -1;
        }
    }
    transaction.commit();
    return timer.nsecsElapsed() / 1e9;
}

double ingest(TdmzDados &dm, const std::vector<Row> &rows)
{
    // Each run stores the same file again: its record of the last run goes with the rows.
    Sql::exec(dm.db(), "delete from desctot");
    DatabaseSetup::addProgramTables(dm.db());
    Sql::exec(dm.db(), "delete from tv_descargas");
    const QString dump = dm.programFolder() + "DATALM.TMD";
    writeDump(dump, rows);
    TmpDesc::recreate(dm);
    QElapsedTimer timer;
    timer.start();
    Ingest engine(dm);
    const IngestResult result = engine.IngestTerminalDump(dump);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (result.stored != int(rows.size())) {
        std::fprintf(stderr, "ingest stored %d of %zu\n", result.stored, rows.size());
        return -1;
    }
    return seconds;
}

}  // namespace

int main(int argc, char *argv[])
{
    return Bench::run(argc, argv, {"bench_ingest HOST PORT USER PASSWORD DATABASE [RUNS]", "ingest", populate, 6, 5},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int runs = session.runs;
        // One untimed round first, so neither side pays for a cold server.
        const std::vector<Row> warmUp = makeRows(2000);
        baseline(dm.db(), warmUp);
        ingest(dm, warmUp);
        std::printf("ingest of a Lumet dump, median of %d runs (baselines: the same rows, one "
                    "prepared insert each in autocommit; multi-row inserts of 500 in one "
                    "transaction)\n", runs);
        int status = 0;
        for (int touches : {4000, 50000}) {
            const std::vector<Row> rows = makeRows(touches);
            std::vector<double> ours, bare, multi;
            for (int run = 0; run < runs; ++run) {
                bare.push_back(baseline(dm.db(), rows));
                multi.push_back(multiRowBaseline(dm.db(), rows));
                ours.push_back(ingest(dm, rows));
            }
            if (Bench::failed(ours) || Bench::failed(bare) || Bench::failed(multi)) {
                status = 1;
                continue;
            }
            const double a = Bench::median(ours), b = Bench::median(bare), m = Bench::median(multi);
            std::printf("%6d touches: ingest %8.0f touches/s (%.2f s); bare inserts %8.0f touches/s "
                        "(%.2f s), ratio %.2f; multi-row in one transaction %8.0f touches/s "
                        "(%.2f s), ratio %.2f\n",
                        touches, touches / a, a, touches / b, b, a / b, touches / m, m, a / m);
            std::fflush(stdout);
        }
        return status;
    });
}
