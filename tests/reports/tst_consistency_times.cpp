#include "ConsistencyScenario.h"
#include "platform/MessageService.h"

#include <QtTest>

// The time verdicts of the consistency analysis: intervals between locations, cycle duration,
// time between cycles, the departure check, period bounds and touches at midnight.
class TestConsistencyTimes : public QObject, public ScenarioFixture {
    Q_OBJECT

    QStringList rowsStartingWith(const QString &prefix) const
    {
        QStringList found;
        for (const QString &row : rows())
            if (row.startsWith(prefix))
                found << row;
        return found;
    }

    QString ronda(RouteSpec plan)
    {
        plan.name = plan.name.isEmpty() ? QStringLiteral("RONDA") : plan.name;
        plan.stops = QStringList{"PATIO", "GARAGEM", "PORTARIA"};
        return sc->route(plan);
    }

    void walk(const QString &ref, const QStringList &times)
    {
        sc->touch(ref, times.at(0));
        const QStringList names{"PATIO", "GARAGEM", "PORTARIA"};
        for (int i = 1; i < times.size(); ++i)
            sc->touch(sc->location(names.at(i - 1)), times.at(i));
    }

private Q_SLOTS:
    void init() { QVERIFY(startScenario()); }
    void cleanup() { stopScenario(); }

    void formatDuration()
    {
        QCOMPARE(FormatDuration(0.0625), QString("001:30 h"));
        QCOMPARE(FormatDuration(0), QString("000:00 h"));
        QCOMPARE(FormatDuration(30.5 / 1440), QString("000:30 h"));
        QCOMPARE(FormatDuration(31.5 / 1440), QString("000:32 h"));
        // 59.5 minutes round to 60, which carries into the hours.
        QCOMPARE(FormatDuration(59.5 / 1440), QString("001:00 h"));
        QCOMPARE(FormatDuration(1000.0 / 24), QString("1000:00 h"));
        QCOMPARE(FormatDuration(-0.0625), QString("-001:30 h"));
        QCOMPARE(FormatDurationSeconds(5400), QString("001:30 h"));
        QCOMPARE(FormatDurationSeconds(1830), QString("000:30 h"));  // half: to the even 30
        QCOMPARE(FormatDurationSeconds(3570), QString("001:00 h"));  // 59.5 carries
        QCOMPARE(FormatDurationSeconds(-5400), QString("-001:30 h"));
    }

    void intervalsBetweenLocations_data()
    {
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<QStringList>("locationRows");
        // Limits 0 and 0: any interval above 0 minutes is late by all of it; 0 is within.
        QTest::newRow("standard limits 0 and 0") << true
            << QStringList{"10:00:00", "10:01:00", "10:01:00", "10:03:30"}
            << QStringList{"PATIO|||PATIO||08/12/2026 10:01:00",
                           "GARAGEM|||GARAGEM||08/12/2026 10:01:00",
                           "PORTARIA|||PORTARIA||08/12/2026 10:03:30|Atrasado 2,50"};
        QTest::newRow("limits of each stop") << false
            << QStringList{"10:00:00", "10:01:00", "10:02:30", "10:20:30"}
            << QStringList{"PATIO|||PATIO||08/12/2026 10:01:00",
                           "GARAGEM|||GARAGEM||08/12/2026 10:02:30|Adiantado 3,50",
                           "PORTARIA|||PORTARIA||08/12/2026 10:20:30|Atrasado 8,00"};
    }
    // Spans are whole seconds: an interval exactly at a limit is within it (day fractions put
    // 5 minutes at 4.99999... and 10 at 10.00000..., read as "Adiantado 0,00" and
    // "Atrasado 0,00"); one second past a limit is outside by that second.
    void intervalsAtTheirLimits_data()
    {
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<QStringList>("locationRows");
        QTest::newRow("exactly 5 and 10 minutes")
            << QStringList{"07:59:00", "08:00:00", "08:05:00", "08:15:00"}
            << QStringList{"PATIO|||PATIO||08/12/2026 08:00:00",
                           "GARAGEM|||GARAGEM||08/12/2026 08:05:00",
                           "PORTARIA|||PORTARIA||08/12/2026 08:15:00"};
        QTest::newRow("a second inside each limit")
            << QStringList{"07:59:00", "08:00:00", "08:05:01", "08:15:00"}
            << QStringList{"PATIO|||PATIO||08/12/2026 08:00:00",
                           "GARAGEM|||GARAGEM||08/12/2026 08:05:01",
                           "PORTARIA|||PORTARIA||08/12/2026 08:15:00"};
        QTest::newRow("a second outside each limit")
            << QStringList{"07:59:00", "08:00:00", "08:04:59", "08:15:00"}
            << QStringList{"PATIO|||PATIO||08/12/2026 08:00:00",
                           "GARAGEM|||GARAGEM||08/12/2026 08:04:59|Adiantado 0,02",
                           "PORTARIA|||PORTARIA||08/12/2026 08:15:00|Atrasado 0,02"};
    }
    void intervalsAtTheirLimits()
    {
        QFETCH(QStringList, times);
        QFETCH(QStringList, locationRows);
        const QString ref = ronda({.timeBetween = true, .standardLimits = true,
                                   .standardMin = "5", .standardMax = "10"});
        walk(ref, times);

        const ConsistencyResult result = run();
        QCOMPARE(rows().mid(3), locationRows);
        QCOMPARE(result.inconsistent, locationRows.join(' ').contains("ado 0,02"));
    }

    void intervalsBetweenLocations()
    {
        QFETCH(bool, standard);
        QFETCH(QStringList, times);
        QFETCH(QStringList, locationRows);
        const QString ref = ronda({.limits = {{0, 0}, {5, 10}, {5, 10}}, .timeBetween = true,
                                   .standardLimits = standard});
        walk(ref, times);

        const ConsistencyResult result = run();
        QCOMPARE(rows().mid(3), locationRows);
        QVERIFY(result.inconsistent);
    }

    void cycleDurationRounding_data()
    {
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("maximum");
        QTest::addColumn<QString>("lastTouch");
        QTest::addColumn<QString>("limitsShown");
        QTest::addColumn<QStringList>("durationRows");
        const QString spent = "- Tempo Gasto p/ realização do ciclo: ";
        QTest::newRow("29.5 rounds to 30, within 30..45")
            << "30" << "45" << "10:29:30" << "Mínimo: 30 Máximo: 45" << QStringList{};
        QTest::newRow("29.5 under 40")
            << "40" << "45" << "10:29:30" << "Mínimo: 40 Máximo: 45"
            << QStringList{spent + "000:30 h  -  Adiantado: 000:10 h"};
        QTest::newRow("30.5 rounds to 30, within 20..30")
            << "20" << "30" << "10:30:30" << "Mínimo: 20 Máximo: 30" << QStringList{};
        QTest::newRow("31.5 rounds to 32, over 30")
            << "20" << "30" << "10:31:30" << "Mínimo: 20 Máximo: 30"
            << QStringList{spent + "000:32 h  -  Atrasado: 000:02 h"};
        QTest::newRow("exactly 30, limits 30..30")
            << "30" << "30" << "10:30:00" << "Mínimo: 30 Máximo: 30" << QStringList{};
        QTest::newRow("29:29 rounds to 29, under 30")
            << "30" << "45" << "10:29:29" << "Mínimo: 30 Máximo: 45"
            << QStringList{spent + "000:29 h  -  Adiantado: 000:01 h"};
        QTest::newRow("30:31 rounds to 31, over 30")
            << "20" << "30" << "10:30:31" << "Mínimo: 20 Máximo: 30"
            << QStringList{spent + "000:31 h  -  Atrasado: 000:01 h"};
        // Limits that are not whole numbers count as 0 at a reference touch too.
        QTest::newRow("unreadable limits")
            << "abc" << "" << "10:29:30" << "Mínimo: 0 Máximo: 0"
            << QStringList{spent + "000:30 h  -  Atrasado: 000:30 h"};
    }
    void cycleDurationRounding()
    {
        QFETCH(QString, minimum);
        QFETCH(QString, maximum);
        QFETCH(QString, lastTouch);
        QFETCH(QString, limitsShown);
        QFETCH(QStringList, durationRows);
        const QString ref = ronda({.checkDuration = true, .durationMin = minimum,
                                   .durationMax = maximum});
        walk(ref, {"09:59:00", "10:00:00", "10:10:00", lastTouch});

        const ConsistencyResult result = run();
        QCOMPARE(rowsStartingWith("CICLO"),
                 QStringList{"CICLO 1 - RONDA  -  Duração (min): Mínimo: " +
                             limitsShown.mid(8)});
        QCOMPARE(rowsStartingWith("- Tempo Gasto"), durationRows);
        QCOMPARE(result.inconsistent, !durationRows.isEmpty());
    }

    // The ending cycle is judged with its own route's duration limits; the next cycle's header
    // shows the limits of the route that opened it.
    void durationLimitsBelongToTheEndingCycle()
    {
        const QString day = ronda({.checkDuration = true, .durationMin = "30", .durationMax = "45"});
        const QString night = sc->route({.name = "NOITE", .stops = {"PATIO"}});
        walk(day, {"10:00:00", "10:01:00", "10:05:00", "10:11:00"});
        sc->touch(night, "10:20:00");
        sc->touch(sc->location("PATIO"), "10:21:00");

        run();
        QCOMPARE(rowsStartingWith("CICLO"),
                 QStringList({"CICLO 1 - RONDA  -  Duração (min): Mínimo: 30 Máximo: 45",
                              "CICLO 2 - NOITE"}));
        QCOMPARE(rowsStartingWith("- Tempo Gasto"),
                 QStringList{"- Tempo Gasto p/ realização do ciclo: 000:10 h  -  Adiantado: 000:20 h"});
    }

    void timeBetweenCycles_data()
    {
        QTest::addColumn<QStringList>("second");  // the second cycle's touches
        QTest::addColumn<bool>("third");          // a last reference touch opens a third
        QTest::addColumn<QStringList>("expected");
        const QString spent = "- Tempo Gasto entre ciclos: ";
        QTest::newRow("too soon")
            << QStringList{"10:04:00", "10:05:00", "10:06:00", "10:07:00"} << false
            << QStringList{spent + "000:02 h  -  Adiantado: 000:03 h"};
        QTest::newRow("too soon, judged when the third cycle opens")
            << QStringList{"10:04:00", "10:05:00", "10:06:00", "10:07:00"} << true
            << QStringList{spent + "000:02 h  -  Adiantado: 000:03 h"};
        QTest::newRow("within") << QStringList{"10:10:00", "10:11:00"} << false << QStringList{};
        QTest::newRow("exactly the minimum")
            << QStringList{"10:07:00", "10:08:00"} << false << QStringList{};
        QTest::newRow("exactly the maximum")
            << QStringList{"10:12:00", "10:13:00"} << false << QStringList{};
        QTest::newRow("too late")
            << QStringList{"10:20:00", "10:21:00"} << false
            << QStringList{spent + "000:18 h  -  Atrasado: 000:08 h"};
        // The first cycle has none before it, also when the last touch opens the second.
        QTest::newRow("second cycle opened by the last touch")
            << QStringList{"10:20:00"} << false << QStringList{};
    }
    void timeBetweenCycles()
    {
        QFETCH(QStringList, second);
        QFETCH(bool, third);
        QFETCH(QStringList, expected);
        const QString ref = ronda({});
        walk(ref, {"10:00:00", "10:01:00", "10:02:00", "10:03:00"});
        walk(ref, second);
        if (third)
            sc->touch(ref, "10:40:00");

        ConsistencyInputs in = Scenario::download();
        in.betweenCycles = true;
        in.betweenMin = "5";
        in.betweenMax = "10";
        run(in);
        QCOMPARE(rowsStartingWith("- Tempo Gasto entre ciclos"), expected);
    }

    void departureCheck_data()
    {
        QTest::addColumn<QString>("departure");
        QTest::addColumn<QString>("touched");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("ten minutes late") << "10:00:00" << "10:10:00"
            << QStringList{"||INICIO RONDA|||08/12/2026 10:10:00", "Realizado na hora programada"};
        QTest::newRow("ten minutes early") << "10:00:00" << "09:50:00"
            << QStringList{"||INICIO RONDA|||08/12/2026 09:50:00", "Realizado na hora programada"};
        QTest::newRow("a second earlier") << "10:00:00" << "09:49:59"
            << QStringList{"||INICIO RONDA|||08/12/2026 09:49:59", "||||HORÁRIO DIVERGENTE"};
        QTest::newRow("a second more") << "10:00:00" << "10:10:01"
            << QStringList{"||INICIO RONDA|||08/12/2026 10:10:01", "||||HORÁRIO DIVERGENTE"};
        QTest::newRow("no departure") << "" << "10:00:00"
            << QStringList{"||INICIO RONDA|||08/12/2026 10:00:00"};
        // No wrap-around at midnight.
        QTest::newRow("past midnight") << "23:55:00" << "09/12/2026 00:03:00"
            << QStringList{"||INICIO RONDA|||09/12/2026 00:03:00", "||||HORÁRIO DIVERGENTE"};
        // A touch at exactly midnight has no time of day to check.
        QTest::newRow("at midnight") << "23:55:00" << "09/12/2026 00:00:00"
            << QStringList{"||INICIO RONDA|||09/12/2026"};
    }
    void departureCheck()
    {
        QFETCH(QString, departure);
        QFETCH(QString, touched);
        QFETCH(QStringList, expected);
        const QString ref = sc->route({.name = "RONDA", .departure = departure});
        sc->touch(ref, touched);

        const ConsistencyResult result = run();
        QCOMPARE(rows(), QStringList({"", "CICLO 1 - RONDA"}) + expected);
        QCOMPARE(result.inconsistent, expected.last().contains("DIVERGENTE"));
    }

    void locationTouchAtMidnight()
    {
        sc->touch(sc->location("PATIO"), "09/12/2026 00:00:00");
        run();
        QCOMPARE(rows().first(), QString("|||PATIO|Não programado|09/12/2026"));
    }

    // The bounds carry seconds 00: a period ending at 18:00 takes 18:00:00, not 18:00:30.
    void periodBounds_data()
    {
        QTest::addColumn<bool>("collectorNamed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("every collector") << false
            << QStringList{"|||PATIO|Não programado|08/12/2026 10:00:00",
                           "|||GARAGEM|Não programado|08/12/2026 18:00:00",
                           "- Não Programados: 2", "|PATIO", "|GARAGEM"};
        QTest::newRow("one collector") << true
            << QStringList{"|||PATIO|Não programado|08/12/2026 10:00:00",
                           "- Não Programados: 1", "|PATIO"};
    }
    void periodBounds()
    {
        QFETCH(bool, collectorNamed);
        QFETCH(QStringList, expected);
        sc->touch(sc->location("CAIXA"), "09:59:59");
        sc->touch(sc->location("PATIO"), "10:00:00");
        sc->touch(sc->location("GARAGEM"), "18:00:00", "COL02");
        sc->touch(sc->location("PORTARIA"), "18:00:30");

        ConsistencyInputs in;
        in.collector = Scenario::kCollector;
        in.collectorNamed = collectorNamed;
        in.periodGiven = true;
        in.periodStart = "08/12/2026 10:00";
        in.periodEnd = "08/12/2026 18:00";
        run(in);
        QCOMPARE(rows(), expected);
    }
};

QTEST_GUILESS_MAIN(TestConsistencyTimes)
#include "tst_consistency_times.moc"
