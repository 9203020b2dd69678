#include "Torvelctl.h"
#include "ConsistencyScenario.h"
#include "TestEnvironment.h"

#include <QProcess>
#include <QtTest>

// torvelctl consistency --raw as a script uses it: the working table on stdout, the verdict on
// stderr.
class TestConsistencyCli : public QObject {
    Q_OBJECT

    using Run = Torvelctl::Result;
    static Run run(const QStringList &args) { return Torvelctl::run(args, {.skipBlankLines = true}); }

private Q_SLOTS:
    void rawTableOfTheLatestDownload()
    {
        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        Scenario sc(tdb);
        RouteSpec plan;
        plan.name = "RONDA";
        plan.stops = QStringList{"PATIO", "GARAGEM"};
        plan.checkOrder = true;
        const QString reference = sc.route(plan);
        sc.touches({reference, sc.location("GARAGEM"), sc.location("PATIO"), reference}, "08:00:00");

        const Run r = run({"consistency", "--collector", Scenario::kCollector, "--raw"});
        QCOMPARE(r.status, 0);
        QVERIFY(!r.out.isEmpty());
        for (const QString &line : r.out)
            QCOMPARE(line.split('\t').size(), 8);  // Contador and Col1..Col7
        QVERIFY2(r.out.join(" ").contains("CICLO"), qPrintable(r.out.join("\n")));
        QVERIFY(r.err.trimmed().endsWith("inconsistencies: yes"));

        const Run none = run({"consistency", "--collector", "NINGUEM", "--raw"});
        QVERIFY(none.status != 0 || none.out.isEmpty());
    }
};

QTEST_MAIN(TestConsistencyCli)
#include "tst_consistencycli.moc"
