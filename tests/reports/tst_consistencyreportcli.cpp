#include "Torvelctl.h"
#include "ConsistencyScenario.h"
#include "TestEnvironment.h"
#include "XlsxReader.h"

#include <QProcess>
#include <QtTest>

// torvelctl consistency with its output: the final table, the printed report as a PDF and the
// spreadsheet, with the header lines and the verdict on stderr.
class TestConsistencyReportCli : public QObject {
    Q_OBJECT

    using Run = Torvelctl::Result;
    // As a batch job runs it: no screen setting.
    static Run run(const QStringList &args)
    {
        return Torvelctl::run(QStringList{"consistency", "--collector", Scenario::kCollector} + args,
                              {.batch = true, .skipBlankLines = true});
    }

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TestDatabase> tdb;

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        tdb = std::make_unique<TestDatabase>();
        env->writeIniFor(tdb->params());
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('COL01', 'ALFA')");
        Scenario sc(*tdb);
        const QString reference = sc.route({.name = "RONDA", .stops = {"PATIO", "GARAGEM"}});
        sc.touches({reference, sc.location("PATIO"), sc.location("GARAGEM"), reference,
                    sc.location("GARAGEM"), sc.location("PATIO"), "ABC123"},
                   "08:00:00");
    }

    void cleanup()
    {
        tdb.reset();
        env.reset();
    }

    void finalTableSyntheticOrAnalytic()
    {
        const Run synthetic = run({});
        QCOMPARE(synthetic.status, 0);
        for (const QString &line : synthetic.out)
            QCOMPARE(line.split('\t').size(), 8);
        const QString joined = synthetic.out.join('\n');
        QVERIFY2(joined.contains(QString::fromUtf8("CICLO 1 - RONDA - Início: 08/12/2026 08:01: - Correto")),
                 qPrintable(joined));
        // The second cycle has an unregistered identifier: listed whole.
        QVERIFY2(joined.contains("\tCICLO 2 - RONDA\t"), qPrintable(joined));
        QVERIFY(joined.contains(QString::fromUtf8("ABC123 não cadastrada")));
        // Line A, line B (empty here), then the verdict.
        QVERIFY2(synthetic.err.endsWith("Coletor: COL01 - ALFA     Data do Descarregamento: "
                                        "08/12/2026 18:00:00     \n\ninconsistencies: yes\n"),
                 qPrintable(synthetic.err));

        const Run analytic = run({"--report", "analytic"});
        QCOMPARE(analytic.status, 0);
        QVERIFY(analytic.out.size() > synthetic.out.size());
        QVERIFY(!analytic.out.join('\n').contains("Correto"));

        const Run raw = run({"--raw"});
        QCOMPARE(raw.out, analytic.out);
    }

    void pdfAndSpreadsheet()
    {
        const QString pdf = env->root() + "consistencia.pdf";
        const QString xlsx = env->root() + "consistencia.xlsx";
        const Run printed = run({"--pdf", pdf, "--xlsx", xlsx});
        QCOMPARE(printed.status, 0);
        QVERIFY(printed.out.isEmpty());
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        text.waitForFinished(30000);
        const QString page = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(page.contains(QString::fromUtf8("Página 1")));
        QVERIFY(page.contains("Coletor: COL01 - ALFA"));
        QVERIFY(page.contains(QString::fromUtf8("CICLO 1 - RONDA - Início: 08/12/2026 08:01: - Correto")));

        const XlsxReader x(xlsx);
        QVERIFY(x.ok());
        QCOMPARE(x.text("A1"), QString::fromUtf8("Consistência"));
        QCOMPARE(x.text("A7"), QString::fromUtf8(" CICLO 1 - RONDA - Início: 08/12/2026 08:01: - Correto"));
    }

    void automaticCheckAndWithoutReference()
    {
        const Run automatic = run({"--automatic"});
        QCOMPARE(automatic.status, 0);
        QVERIFY(automatic.err.contains(QString::fromUtf8("Existem inconsistências")));
        QVERIFY(!automatic.out.isEmpty());

        const Run noReference = run({"--no-reference"});
        QCOMPARE(noReference.status, 0);
        QVERIFY(noReference.err.contains(QString::fromUtf8("Funcionário: ")));
        QVERIFY(run({"--no-reference", "--company", "X"}).status != 0);
        QVERIFY(run({"--report", "resumido"}).status != 0);
    }
};

QTEST_MAIN(TestConsistencyReportCli)
#include "tst_consistencyreportcli.moc"
