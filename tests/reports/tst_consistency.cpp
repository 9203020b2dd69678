#include "ConsistencyScenario.h"
#include "platform/MessageService.h"

#include <QtTest>

using Kind = MessageService::Kind;

// The consistency analysis over whole scenarios: how touches are classified, how cycles open
// and close, the order verdicts, the filters, the job-function totals and the messages.
class TestConsistency : public QObject, public ScenarioFixture {
    Q_OBJECT

    // The route A, B, C of most scenarios.
    QString ronda(RouteSpec plan = {})
    {
        plan.name = plan.name.isEmpty() ? QStringLiteral("RONDA") : plan.name;
        if (plan.stops.isEmpty())
            plan.stops = QStringList{"PATIO", "GARAGEM", "PORTARIA"};
        return sc->route(plan);
    }

private Q_SLOTS:
    void init() { QVERIFY(startScenario()); }
    void cleanup() { stopScenario(); }

    void downloadWithoutReferenceIsOneCycle()
    {
        const QString ref = ronda({.checkOrder = true});
        const QString jose = sc->collaborator("JOSE DA SILVA");
        const QString extra = sc->event("RONDA EXTRA");
        tdb->exec("insert into buttons (codigo_button, referencia) values ('DDD004', '')");
        sc->recordRoute(sc->routeCode(ref));
        sc->recordCollaborator(sc->collaboratorCode(jose));
        sc->touches({jose, sc->location("PATIO"), extra, sc->location("PORTARIA"), "ABC123",
                     "DDD004"},
                    "10:00:00");

        const ConsistencyResult result = run();
        QVERIFY(result.produced());
        QCOMPARE(rows(), QStringList({
            "|JOSE DA SILVA||||08/12/2026 10:00:00",
            "PATIO|||PATIO||08/12/2026 10:01:00",
            "||RONDA EXTRA|||08/12/2026 10:02:00",
            "GARAGEM|||PORTARIA|Inversão|08/12/2026 10:03:00",
            "||||ABC123 não cadastrada|08/12/2026 10:04:00",
            "||||DDD004 não associada|08/12/2026 10:05:00",
            "PORTARIA||||Inversão",
            "- Não Visitados: 1",
            "|GARAGEM",
            "- Ocorreu Inversão"}));
        QVERIFY(result.inconsistent);
        QCOMPARE(result.firstCollaborator, QString("JOSE DA SILVA"));
        QCOMPARE(result.touches, 6);
        QCOMPARE(result.rows, 10);
    }

    // Route 0 checks nothing and knows no location; a route deleted since the touches were
    // recorded reads the same, rather than as a route with every check on and limits 0.
    void routeThatCannotBeReadChecksNothing_data()
    {
        QTest::addColumn<int>("route");
        QTest::addColumn<QString>("collaborator");
        QTest::newRow("route 0") << 0 << "";
        QTest::newRow("deleted route") << 99 << "MARIA";
    }
    void routeThatCannotBeReadChecksNothing()
    {
        QFETCH(int, route);
        QFETCH(QString, collaborator);
        const QString maria = sc->collaborator("MARIA");
        sc->recordRoute(route);
        sc->recordCollaborator(sc->collaboratorCode(maria));
        sc->touches({sc->location("PATIO"), sc->location("GARAGEM")}, "10:00:00", 300);

        const ConsistencyResult result = run();
        QCOMPARE(rows(), QStringList({
            "|||PATIO|Não programado|08/12/2026 10:00:00",
            "|||GARAGEM|Não programado|08/12/2026 10:05:00",
            "- Não Programados: 2",
            "|PATIO",
            "|GARAGEM"}));
        QVERIFY(result.inconsistent);
        QCOMPARE(result.firstCollaborator, collaborator);
    }

    void touchesBeforeTheFirstReferenceCarryIntoCycleOne()
    {
        const QString ref = ronda({.departure = "10:05:00", .checkOrder = true});
        sc->recordRoute(sc->routeCode(ref));
        sc->touch(sc->location("GARAGEM"), "09:50:00");
        sc->touches({ref, sc->location("PATIO"), sc->location("GARAGEM"), sc->location("PORTARIA")},
                    "10:00:00");

        run();
        QCOMPARE(rows(), QStringList({
            "PATIO|||GARAGEM|Inversão|08/12/2026 09:50:00",
            "",
            "CICLO 1 - RONDA",
            "||INICIO RONDA|||08/12/2026 10:00:00",
            "Realizado na hora programada",
            "PATIO|||PATIO||08/12/2026 10:01:00",
            "GARAGEM|||GARAGEM||08/12/2026 10:02:00",
            "PORTARIA|||PORTARIA||08/12/2026 10:03:00",
            "- Não Visitados: 1",
            "|PATIO",
            "- Ocorreu Inversão"}));
    }

    void repeatedLocationWithAndWithoutOrderCheck_data()
    {
        QTest::addColumn<bool>("checkOrder");
        QTest::addColumn<QStringList>("expected");
        const QStringList opening{"", "CICLO 1 - RONDA", "||INICIO RONDA|||08/12/2026 10:00:00",
                                  "PATIO|||PATIO||08/12/2026 10:01:00"};
        QTest::newRow("order checked")
            << true
            << opening + QStringList{"GARAGEM|||PATIO|Inversão|08/12/2026 10:02:00",
                                     "PORTARIA|||GARAGEM|Inversão|08/12/2026 10:03:00",
                                     "|||PORTARIA|Inversão|08/12/2026 10:04:00",
                                     "- Ocorreu Inversão"};
        QTest::newRow("order not checked")
            << false
            << opening + QStringList{"GARAGEM|||PATIO||08/12/2026 10:02:00",
                                     "PORTARIA|||GARAGEM||08/12/2026 10:03:00",
                                     "|||PORTARIA||08/12/2026 10:04:00"};
    }
    void repeatedLocationWithAndWithoutOrderCheck()
    {
        QFETCH(bool, checkOrder);
        QFETCH(QStringList, expected);
        const QString ref = ronda({.checkOrder = checkOrder});
        const QString a = sc->location("PATIO");
        sc->touches({ref, a, a, sc->location("GARAGEM"), sc->location("PORTARIA")}, "10:00:00");

        const ConsistencyResult result = run();
        QCOMPARE(rows(), expected);
        // The inversions are inconsistencies whether or not they are shown.
        QVERIFY(result.inconsistent);
    }

    void skippedStopIsNotVisited()
    {
        const QString ref = ronda({.checkOrder = true});
        sc->touches({ref, sc->location("PATIO"), sc->location("PORTARIA")}, "10:00:00");

        run();
        QCOMPARE(rows(), QStringList({
            "", "CICLO 1 - RONDA", "||INICIO RONDA|||08/12/2026 10:00:00",
            "PATIO|||PATIO||08/12/2026 10:01:00",
            "GARAGEM|||PORTARIA|Inversão|08/12/2026 10:02:00",
            "PORTARIA||||Inversão",
            "- Não Visitados: 1",
            "|GARAGEM",
            "- Ocorreu Inversão"}));
    }

    // Consecutive reference touches open cycles without locations; the reference touch that
    // ends the selection opens a last cycle that lists nothing. No closing row is written for
    // a cycle ended by a reference touch: every touch appears once, in its own cycle.
    void consecutiveAndFinalReferenceTouches()
    {
        const QString ref = ronda({.departure = "10:30:00"});
        const QString a = sc->location("PATIO"), b = sc->location("GARAGEM"),
                      c = sc->location("PORTARIA");
        sc->touches({ref, a, b, c}, "10:00:00");
        sc->touches({ref, ref, a, b, c}, "10:30:00");
        sc->touch(ref, "11:00:00");

        const ConsistencyResult result = run();
        QCOMPARE(rows(), QStringList({
            "", "CICLO 1 - RONDA", "||INICIO RONDA|||08/12/2026 10:00:00",
            "||||HORÁRIO DIVERGENTE",
            "PATIO|||PATIO||08/12/2026 10:01:00",
            "GARAGEM|||GARAGEM||08/12/2026 10:02:00",
            "PORTARIA|||PORTARIA||08/12/2026 10:03:00",
            "", "CICLO 2 - RONDA", "||INICIO RONDA|||08/12/2026 10:30:00",
            "Realizado na hora programada",
            "PATIO||||Não visitado", "GARAGEM||||Não visitado", "PORTARIA||||Não visitado",
            "- Não Visitados: 3", "|PATIO", "|GARAGEM", "|PORTARIA",
            "", "CICLO 3 - RONDA", "||INICIO RONDA|||08/12/2026 10:31:00",
            "Realizado na hora programada",
            "PATIO|||PATIO||08/12/2026 10:32:00",
            "GARAGEM|||GARAGEM||08/12/2026 10:33:00",
            "PORTARIA|||PORTARIA||08/12/2026 10:34:00",
            "", "CICLO 4 - RONDA", "-||INICIO RONDA|||08/12/2026 11:00:00",
            "||||HORARIO DIVERGENTE"}));
        QVERIFY(result.inconsistent);
    }

    void correctCycleIsNoInconsistency()
    {
        const QString ref = ronda({.departure = "10:00:00", .checkOrder = true});
        sc->touches({ref, sc->location("PATIO"), sc->location("GARAGEM"), sc->location("PORTARIA")},
                    "10:00:00");
        QVERIFY(!run().inconsistent);
    }

    // Filtered-out cycles are left out up to the next reference touch of any route; the
    // comparison ignores trailing blanks, as the server compares its CHAR columns.
    void filtersSkipWholeCycles_data()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("routeName");
        QTest::addColumn<QStringList>("headers");
        QTest::newRow("no filter") << "" << ""
            << QStringList{"CICLO 1 - RONDA", "CICLO 2 - RONDA NOITE", "CICLO 3 - RONDA",
                           "CICLO 4 - VISITA"};
        QTest::newRow("company") << "ACME" << ""
            << QStringList{"CICLO 1 - RONDA", "CICLO 2 - RONDA NOITE", "CICLO 3 - RONDA"};
        QTest::newRow("company and route") << "ACME" << "RONDA"
            << QStringList{"CICLO 1 - RONDA", "CICLO 2 - RONDA"};
        QTest::newRow("trailing blanks") << "ACME " << "RONDA NOITE  "
            << QStringList{"CICLO 1 - RONDA NOITE"};
        QTest::newRow("nothing matches") << "NINGUEM" << "" << QStringList{};
    }
    void filtersSkipWholeCycles()
    {
        QFETCH(QString, company);
        QFETCH(QString, routeName);
        QFETCH(QStringList, headers);
        const QString day = ronda({.company = "ACME"});
        const QString night = sc->route({.name = "RONDA NOITE", .stops = {"GARAGEM", "CAIXA"},
                                         .company = "ACME"});
        const QString visit = sc->route({.name = "VISITA", .stops = {"PATIO"}, .company = "OUTRA"});
        const QString a = sc->location("PATIO"), b = sc->location("GARAGEM"),
                      c = sc->location("PORTARIA");
        sc->touches({day, a, b, c}, "10:00:00");
        sc->touches({night, b, sc->location("CAIXA")}, "10:10:00");
        sc->touches({day, a, b, c}, "10:20:00");
        sc->touches({visit, a}, "10:30:00");

        ConsistencyInputs in = Scenario::download();
        in.company = company;
        in.routeName = routeName;
        const ConsistencyResult result = run(in);
        QVERIFY(result.produced());
        QStringList found;
        for (const QString &row : rows())
            if (row.startsWith("CICLO"))
                found << row;
        QCOMPARE(found, headers);
        if (routeName == "RONDA") {
            // The skipped cycle's touches leave no row, and the cycles around it are correct.
            QCOMPARE(rows().size(), 12);
            QVERIFY(!result.inconsistent);
        }
    }

    void jobFunctionsAndQuantities()
    {
        const QString longName = QString("CONTROLE DE ACESSO E VIGILANCIA PATRIMONIAL NOTURNA").left(50);
        tdb->exec("insert into funcao (codigo, descricao) values ('00012', 'VIGILANCIA'), "
                  "('00020', 'LIMPEZA'), ('00030', '" + longName + "')");
        sc->touches({"300012", "400005", "400003", "300099", "300030", "400000", "400007"},
                    "10:00:00");

        const ConsistencyResult result = run();
        QCOMPARE(rows(), QStringList({
            "|||   - VIGILANCIA|00005",
            "|||   - 00099 não cadastrada|00003",
            "|||" + ("   - " + longName).left(40) + "|00000"}));
        // A quantity is summed even when no function of the registry takes it.
        QCOMPARE(result.sumOfQuantities, 8);
        QVERIFY(result.functionTotals);
        QVERIFY(!result.inconsistent);

        LocalTable totals(dm->tempFolder(), ConsistencyAnalysis::kTotalsTable);
        QVERIFY(totals.open());
        QStringList lines;
        for (const QVariantList &row : totals.rows())
            lines << row.at(0).toString() + '|' + row.at(1).toString() + '|' +
                         (row.at(2).isValid() ? row.at(2).toString() : QString("null"));
        QCOMPARE(lines, QStringList({"00012|VIGILANCIA|5", "00020|LIMPEZA|null",
                                     "00030|" + longName + "|null"}));
    }

    void quantitiesWithoutJobFunctionsAreNotSummed()
    {
        sc->touches({"300012", "400005"}, "10:00:00");
        const ConsistencyResult result = run();
        QCOMPARE(rows(), QStringList({"|||   - 00012 não cadastrada|00005"}));
        QCOMPARE(result.sumOfQuantities, 0);
        QVERIFY(!result.functionTotals);
        LocalTable totals(dm->tempFolder(), ConsistencyAnalysis::kTotalsTable);
        QVERIFY(totals.open());
        QCOMPARE(totals.recordCount(), 0);
    }

    void messagesEndTheRun()
    {
        ConsistencyAnalysis analysis(*dm);
        {
            ScriptedMessageService msgs;
            msgs.expect(Kind::Information, "Não há data de descarga");
            ConsistencyInputs in = Scenario::download();
            in.download.clear();
            QCOMPARE(analysis.run(in).outcome, ConsistencyResult::Outcome::NoDownload);
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        }
        {
            ScriptedMessageService msgs;
            msgs.expect(Kind::Information, "Nenhuma informação encontrada para o relatório!");
            QCOMPARE(analysis.run(Scenario::download()).outcome,
                     ConsistencyResult::Outcome::NoTouches);
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        }
        {
            ScriptedMessageService msgs;
            msgs.expect(Kind::Error, "'32/12/2026 10:00'*");
            ConsistencyInputs in = Scenario::download();
            in.periodGiven = true;
            in.periodStart = "32/12/2026 10:00";
            in.periodEnd = "31/12/2026 10:00";
            QCOMPARE(analysis.run(in).outcome, ConsistencyResult::Outcome::InvalidPeriod);
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
            QCOMPARE(analysis.statementsRun(), 0);
        }
    }

    // Registry answers are asked once per run; a second run starts from scratch.
    // Stopped half-way, the run leaves both working tables empty, even where an earlier run
    // had filled them, and says it was stopped; the listener hears how far it went.
    void stoppedRunLeavesNothingBehind()
    {
        const QString ref = ronda({.checkOrder = true});
        sc->recordRoute(sc->routeCode(ref));
        QStringList touches;
        for (int i = 0; i < 40; ++i)
            touches << ref << sc->location("PATIO") << sc->location("GARAGEM");
        sc->touches(touches, "10:00:00");
        QVERIFY(run().produced());
        QVERIFY(!rows().isEmpty());

        QStringList stages;
        qint64 total = -1;
        ConsistencyAnalysis analysis(*dm);
        const ConsistencyResult result = analysis.run(
            Scenario::download(), Progress([&](const QString &what, qint64 done, qint64 of) {
                stages << what;
                total = of;
                return done == 0;  // stops at the first report after the start
            }));
        QCOMPARE(result.outcome, ConsistencyResult::Outcome::Cancelled);
        QVERIFY(!result.produced());
        QCOMPARE(stages.last(), QString::fromUtf8("Analisando 120 toques..."));
        QCOMPARE(total, 120);
        QVERIFY(rows().isEmpty());
        LocalTable totals(dm->tempFolder(), ConsistencyAnalysis::kTotalsTable);
        QVERIFY(totals.open());
        QVERIFY(totals.rows().isEmpty());
    }

    void lookupsAreAskedOncePerRun()
    {
        const QString ref = ronda({.checkOrder = true});
        const QString a = sc->location("PATIO"), b = sc->location("GARAGEM"),
                      c = sc->location("PORTARIA");
        for (int round = 0; round < 30; ++round)
            sc->touches({ref, a, c, b}, QTime(8, 0).addSecs(round * 600).toString("hh:mm:ss"));

        ConsistencyAnalysis analysis(*dm);
        ScriptedMessageService msgs;
        analysis.run(Scenario::download());
        const QStringList first = rows();
        QCOMPARE(first.size(), 30 * 7);
        QVERIFY2(analysis.statementsRun() < 30, qPrintable(QString::number(analysis.statementsRun())));

        tdb->exec("update descrot set nome_local = 'PATIO' where ordem = '003'");
        analysis.run(Scenario::download());
        QVERIFY(rows() != first);
    }
};

QTEST_GUILESS_MAIN(TestConsistency)
#include "tst_consistency.moc"
