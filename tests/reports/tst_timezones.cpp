#include "TestDatabase.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimeZone>
#include <QtTest>

// Date-times are wall-clock readings without a zone: whatever the machine's zone, every engine
// gives what it gives under UTC, also for touches in an hour the local clock skipped
// (America/Sao_Paulo 04/11/2018 00:00-00:59, Europe/Berlin 29/03/2026 02:00-02:59) or repeated
// (America/Sao_Paulo 16/02/2019 23:00-23:59). The whole program is run, torvelctl, once per zone
// on a database of its own, and every output compared.
namespace {

const QStringList kZones{"UTC", "America/Sao_Paulo", "Europe/Berlin"};

// The night-round stops of the demonstration company and its reference.
const QStringList kStops{"F20001", "F20002", "F20003", "F20006", "F20007", "F2000C"};

QByteArray touchLine(const QDateTime &at, const QString &id)
{
    return (QStringLiteral(" ") + at.toString("yyyyMMddhhmm") + QStringLiteral("00 01 000000") + id +
            QStringLiteral("\r\n"))
        .toLatin1();
}

// A collaborator, the reference and the stops every few minutes from `start`, with one stop
// skipped and one late, so every kind of row appears.
QByteArray round(const QDateTime &start)
{
    QByteArray lines = touchLine(start.addSecs(-120), "F10001") + touchLine(start, "F30001");
    int minute = 0;
    for (int i = 0; i < kStops.size(); ++i) {
        if (i == 2)
            continue;
        minute += i == 4 ? 19 : 4;
        lines += touchLine(start.addSecs(60 * minute), kStops[i]);
    }
    return lines;
}

QByteArray importFile()
{
    QByteArray file;
    const QList<QDateTime> nights{QDateTime(QDate(2018, 11, 3), QTime(23, 40)),
                                  QDateTime(QDate(2019, 2, 16), QTime(22, 50)),
                                  QDateTime(QDate(2026, 3, 29), QTime(1, 45))};
    for (const QDateTime &start : nights) {
        file += "H " + start.addSecs(3 * 3600).toString("dd/MM/yyyy hh:mm:ss").toLatin1() + " LUMET1\r\n";
        for (int r = 0; r < 3; ++r)
            file += round(start.addSecs(r * 25 * 60));
    }
    return file;
}

struct Output {
    int exitCode;
    QByteArray text;
};

}  // namespace

class TestTimeZones : public QObject {
    Q_OBJECT

    Output run(const QString &zone, const TestEnvironment &env, const QStringList &args,
               const QString &file = {})
    {
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TZ", zone);
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(TORVELCTL), args);
        if (!p.waitForFinished(120000))
            return {-1, {}};
        // A report's print moment is the workstation's wall clock, which does differ between
        // zones: a line holding today's date there is left out (no touch is of today).
        const QByteArray today = QDateTime::currentDateTimeUtc()
                                     .toTimeZone(QTimeZone(zone.toLatin1()))
                                     .toString("dd/MM/yyyy")
                                     .toLatin1();
        QByteArray text;
        for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
            if (!line.contains(today))
                text += line + '\n';
        if (!file.isEmpty()) {
            QFile f(file);
            text += "\n--- " + file.toUtf8().mid(env.root().size()) + "\n";
            if (f.open(QIODevice::ReadOnly)) {
                QByteArray bytes = f.readAll();
                // The touch export's first line is the moment of the export: the workstation's
                // wall clock, which does differ between zones.
                if (bytes.startsWith("********"))
                    bytes = bytes.mid(bytes.indexOf('\n') + 1);
                text += bytes;
            }
        }
        return {p.exitCode(), text};
    }

private Q_SLOTS:
    void everyOutputIsTheSameInEveryZone()
    {
        QMap<QString, QMap<QString, QByteArray>> outputs;
        for (const QString &zone : kZones) {
            TestEnvironment env;
            TestDatabase tdb;
            env.writeIniFor(tdb.params());
            QCOMPARE(run(zone, env, {"demo"}).exitCode, 0);
            // Registered in the hour Sao Paulo skipped, the same moment whatever day it is here.
            tdb.exec("update buttons set data_cadastro = '2018-11-04 00:30:00'");
            tdb.exec("insert into distancia (descricao, pontoA, pontoB, km) values "
                     "('A', 'F20001', 'F20002', 1.5), ('B', 'F20002', 'F20006', 2.25), "
                     "('C', 'F20006', 'F20007', 0.75), ('D', 'F20007', 'F2000C', 3)");
            const QString file = env.root() + "externa.txt";
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(importFile());
            f.close();
            QCOMPARE(run(zone, env, {"import", file}).exitCode, 0);

            const QList<QPair<QString, QStringList>> commands{
                {"consistency 2018", {"consistency", "--collector", "LUMET1", "--period", "03/11/2018 20:00",
                                      "04/11/2018 06:00", "--report", "analytic"}},
                {"consistency 2019", {"consistency", "--collector", "LUMET1", "--period", "16/02/2019 20:00",
                                      "17/02/2019 06:00", "--report", "analytic"}},
                {"consistency 2026", {"consistency", "--collector", "LUMET1", "--period", "29/03/2026 00:00",
                                      "29/03/2026 06:00", "--report", "synthetic"}},
                {"by collector", {"report", "touches-by-collector", "--collector", "LUMET1", "--period",
                                  "03/11/2018 00:00", "30/03/2026 00:00"}},
                {"by route", {"report", "touches-by-route", "--period", "04/11/2018 00:00", "04/11/2018 01:00"}},
                {"distances analytic", {"report", "distances", "--collector", "LUMET1", "--from", "03/11/2018",
                                        "--to", "05/11/2018", "--form", "analytic"}},
                {"distances synthetic", {"report", "distances", "--collector", "LUMET1", "--from", "04/11/2018",
                                         "--to", "04/11/2018", "--form", "synthetic"}},
                {"distances berlin", {"report", "distances", "--collector", "LUMET1", "--from", "29/03/2026",
                                      "--to", "29/03/2026", "--form", "analytic"}},
                {"programmable", {"report", "programmable", "--from", "04/11/2018 00:00", "--to",
                                  "04/11/2018 23:59", "--tsv"}},
                {"route times", {"report", "route-times", "--collector", "LUMET1", "--route", "1", "--from",
                                 "15/02/2019", "--to", "17/02/2019", "--tsv"}},
                {"identifiers", {"listing", "identifiers", "--tsv"}},
                {"board 2018", {"board", "--day", "04/11/2018", "--tsv"}},
                {"board 2026", {"board", "--day", "29/03/2026", "--tsv"}},
            };
            for (const auto &[name, args] : commands) {
                const Output out = run(zone, env, args);
                QVERIFY2(out.exitCode == 0, qPrintable(zone + ": " + name));
                outputs[name][zone] = out.text;
            }
            const QString touches = env.root() + "pontos.txt";
            Output out = run(zone, env, {"export-touches", "--from", "03/11/2018", "--to", "30/03/2026",
                                         "--file", touches}, touches);
            QCOMPARE(out.exitCode, 0);
            outputs["export touches"][zone] = out.text;
            const QString papers = env.root() + "jornal.txt";
            out = run(zone, env, {"export-newspaper", "--collector", "LUMET1", "--from", "16/02/2019 20:00",
                                  "--to", "17/02/2019 06:00", "--file", papers}, papers);
            QCOMPARE(out.exitCode, 0);
            outputs["export newspaper"][zone] = out.text;
        }
        QStringList problems;
        for (auto it = outputs.cbegin(); it != outputs.cend(); ++it) {
            const QByteArray utc = it.value().value("UTC");
            if (utc.size() < 40)
                problems << it.key() + ": too little under UTC: " + QString::fromUtf8(utc);
            for (const QString &zone : kZones)
                if (it.value().value(zone) != utc)
                    problems << QStringLiteral("%1 under %2:\n%3\nunder UTC:\n%4")
                                    .arg(it.key(), zone, QString::fromUtf8(it.value().value(zone)),
                                         QString::fromUtf8(utc));
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n\n")));
        // The skipped hour is there, whole, in the stored touches.
        QVERIFY(outputs["export touches"]["UTC"].contains("04/11/2018 00:03"));
    }
};

QTEST_GUILESS_MAIN(TestTimeZones)
#include "tst_timezones.moc"
