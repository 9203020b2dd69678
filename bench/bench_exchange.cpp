// The import of an external collection file and the touch export, each against floors measured
// on the same server in the same run, at 200,000 lines.
//   import: the engine (read, decode, one transaction) against the same rows as bare prepared
//           inserts in one transaction;
//   export: the engine (query, format, Windows-1252, write) against a bare fetch of the same
//           rows plus a bare write of the same bytes.
//
// Usage: bench_exchange HOST PORT USER PASSWORD|- DATABASE [LINES] [RUNS]
#include "BenchSupport.h"
#include "collection/CollectionImport.h"
#include "listings/TouchExport.h"
#include "platform/MessageService.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <cstdio>

namespace {

using Line = Bench::ExternalLine;

std::vector<Line> makeLines(int count)
{
    std::vector<Line> lines;
    lines.reserve(count);
    const QDateTime start(QDate(2026, 11, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < count; ++i) {
        const int collector = i / 500;
        lines.push_back({QStringLiteral("C%1").arg(collector % 50, 5, 10, QChar('0')),
                         start.addSecs(3600LL * (collector + 1)), start.addSecs(60LL * i),
                         QStringLiteral("F%1").arg(i % 400, 5, 16, QChar('0')).toUpper()});
    }
    return lines;
}

double bareInserts(const QSqlDatabase &db, const std::vector<Line> &lines)
{
    Sql::exec(db, "delete from desctot");
    QElapsedTimer t;
    t.start();
    Sql::Transaction transaction(db);
    QSqlQuery insert(db);
    insert.prepare("insert into desctot (coletor, data_descarga, button, data_toque) values (?, ?, ?, ?)");
    for (const Line &l : lines) {
        insert.addBindValue(l.collector);
        insert.addBindValue(l.downloaded);
        insert.addBindValue(l.identifier);
        insert.addBindValue(QDateTime(l.touched.date(), QTime(l.touched.time().hour(), l.touched.time().minute()), Qt::UTC));
        if (!insert.exec())
            return -1;
    }
    transaction.commit();
    return t.nsecsElapsed() / 1e9;
}

double importFile(TdmzDados &dm, const QString &path, int expected)
{
    Sql::exec(dm.db(), "delete from desctot");
    QElapsedTimer t;
    t.start();
    const ImportResult r = CollectionImport(dm).importFile(path);
    const double s = t.nsecsElapsed() / 1e9;
    return r.imported == expected ? s : -1;
}

double bareFetchAndWrite(const QSqlDatabase &db, const QString &path)
{
    QElapsedTimer t;
    t.start();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.exec("select desctot.coletor, desctot.data_toque, funcs.complemento from desctot "
           "inner join funcs on funcs.memoria = desctot.button "
           "where (data_toque between '2026/11/01 00:00:00' and '2027/12/31 23:59:59')");
    QByteArray bytes;
    while (q.next()) {
        bytes += q.value(2).toByteArray();
        bytes += q.value(1).toDateTime().toString("dd/MM/yyyy hh:mm").toLatin1();
        bytes += q.value(0).toByteArray();
        bytes += "\r\n";
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    file.close();
    return t.nsecsElapsed() / 1e9;
}

double exportTouches(TdmzDados &dm, const QString &path, int expected)
{
    QElapsedTimer t;
    t.start();
    const TouchExportResult r = TouchExport(dm).run({"01/11/2026", "31/12/2027", path, false});
    const double s = t.nsecsElapsed() / 1e9;
    return r.written && r.lines == expected ? s : -1;
}

}  // namespace

int main(int argc, char *argv[])
{
    return Bench::run(argc, argv, {"bench_exchange HOST PORT USER PASSWORD|- DATABASE [LINES] [RUNS]", "exchange", {}, 7},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int count = session.number(6, 200000);
        const int runs = session.runs;
        for (int i = 0; i < 400; ++i)
            Sql::exec(dm.db(), "insert into funcs (nome_func, memoria, complemento) values (:n, :m, :c)",
                      {{"n", QStringLiteral("VIGIA %1").arg(i)},
                       {"m", QStringLiteral("F%1").arg(i, 5, 16, QChar('0')).toUpper()},
                       {"c", QString::number(1000 + i)}});
        const std::vector<Line> lines = makeLines(count);
        const QString file = session.folder + "/externa.txt";
        Bench::writeExternalFile(file, lines);
        std::vector<double> imp, ins, exp, bare;
        for (int run = 0; run < runs; ++run) {
            ins.push_back(bareInserts(dm.db(), lines));
            imp.push_back(importFile(dm, file, count));
            bare.push_back(bareFetchAndWrite(dm.db(), session.folder + "/bare.txt"));
            exp.push_back(exportTouches(dm, session.folder + "/pontos.txt", count));
        }
        if (Bench::failed(imp) || Bench::failed(ins) || Bench::failed(exp) || Bench::failed(bare)) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        const double a = Bench::median(imp), b = Bench::median(ins);
        const double c = Bench::median(exp), d = Bench::median(bare);
        std::printf("import and export of %d lines, median of %d runs\n", count, runs);
        std::printf("  import  %6.2f s (%8.0f lines/s); bare inserts in one transaction %6.2f s; ratio %.2f\n",
                    a, count / a, b, a / b);
        std::printf("  export  %6.2f s (%8.0f lines/s); bare fetch and write %6.2f s; ratio %.2f\n",
                    c, count / c, d, c / d);
        return 0;
    });
}
