#include "ConsistencyScenario.h"
#include "PdfWords.h"
#include "XlsxReader.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemServices.h"
#include "reports/ConsistencyOutput.h"

#include <QPrintPreviewDialog>
#include <QtTest>

using Kind = MessageService::Kind;

// What the consistency report shows: the synthetic condensation, the function totals, the
// automatic check, the header lines, the printed report and the spreadsheet.
class TestConsistencyOutput : public QObject, public ScenarioFixture {
    Q_OBJECT

    const QDateTime now{QDate(2026, 12, 9), QTime(14, 30, 0)};

    // Every value of `rows` reads whole in the PDF: in its column's text, or on one line when
    // it runs on over the empty cells beside it. The first fault found, or nothing.
    static QString valueLost(const QString &path, const QList<QStringList> &rows)
    {
        const QList<PdfWord> words = pdfWords(path);
        const PdfHeadings headings = pdfHeadings(words, TfmRelConsist::headings(), 1);
        if (headings.left.size() != 7)
            return "<no headings>";
        const QStringList columns = pdfColumnTexts(words, headings.left);
        QStringList lines = pdfText(path).split('\n');
        for (QString &line : lines)
            line = line.simplified();
        for (const QStringList &row : rows)
            for (int c = 0; c < row.size(); ++c) {
                const QString value = row[c].simplified();
                if (value.isEmpty() || columns.value(c).contains(value))
                    continue;
                if (std::none_of(lines.begin(), lines.end(),
                                 [&](const QString &l) { return l.contains(value); }))
                    return TfmRelConsist::headings().at(c) + ": " + row[c];
            }
        return {};
    }

    // The first page whose last line is a cycle header, or nothing.
    static QString headerEndingAPage(const QString &path)
    {
        const QStringList pages = pdfText(path).split('\f', Qt::SkipEmptyParts);
        for (int p = 0; p < pages.size(); ++p) {
            QStringList lines = pages.at(p).split('\n');
            lines.removeIf([](const QString &l) { return l.trimmed().isEmpty(); });
            if (!lines.isEmpty() && lines.last().trimmed().startsWith("CICLO"))
                return QStringLiteral("page %1: ").arg(p + 1) + lines.last().trimmed();
        }
        return {};
    }

    // TORVEL_KEEP_REPORTS=folder keeps a copy of a PDF written here, to look at its pages.
    static void keep(const QString &path)
    {
        const QString folder = qEnvironmentVariable("TORVEL_KEEP_REPORTS");
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            QFile::remove(folder + '/' + QFileInfo(path).fileName());
            QFile::copy(path, folder + '/' + QFileInfo(path).fileName());
        }
    }

    // A working table with these rows, "Col1|Col2|...", numbered from 1.
    void writeTable(const QStringList &lines)
    {
        LocalTable t(dm->tempFolder(), ConsistencyAnalysis::kWorkingTable);
        QVERIFY(t.create(ConsistencyAnalysis::workingFields()));
        int n = 0;
        for (const QString &line : lines) {
            QVERIFY(t.append());
            t.setValue("Contador", ++n);
            const QStringList cells = line.split('|');
            for (int c = 0; c < 7; ++c)
                t.setValue(QStringLiteral("Col%1").arg(c + 1), cells.value(c));
            QVERIFY(t.post());
        }
        t.close();
    }

    QStringList condensed()
    {
        LocalTable t(dm->tempFolder(), ConsistencyAnalysis::kWorkingTable);
        if (!t.open() || !CondenseCycles(t))
            return {"<failed: " + t.lastError() + ">"};
        t.close();
        return Scenario::rowsLoose(*dm);
    }

    ConsistencyResult analyse(const ConsistencyInputs &inputs = Scenario::download())
    {
        ScriptedMessageService msgs;
        const ConsistencyResult result = ConsistencyAnalysis(*dm).run(inputs);
        if (!msgs.done())
            qWarning() << msgs.problems();
        return result;
    }

    // Route Ronda, PATIO and GARAGEM, departure 10:00, cycle duration checked 30 to 45: one
    // correct cycle with two collaborator touches, then a reference touch as the last touch.
    void correctCycleThenLastReference()
    {
        const QString ref = sc->route({.name = "Ronda", .stops = {"PATIO", "GARAGEM"},
                                       .departure = "10:00:00", .checkDuration = true,
                                       .durationMin = "30", .durationMax = "45"});
        const QString ana = sc->collaborator("ANA");
        const QString beto = sc->collaborator("BETO");
        sc->touch(ref, "10:00:00");
        sc->touch(sc->location("PATIO"), "10:05:00");
        sc->touch(ana, "10:10:00");
        sc->touch(sc->location("GARAGEM"), "10:40:00");
        sc->touch(beto, "10:41:00");
        sc->touch(ref, "11:00:00");
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = now, .quietSpreadsheets = true}));
        env->writeIni("[CONFIG]\nINSTALACAO=VIGILANCIA ALFA\n");
        sc = std::make_unique<Scenario>(*tdb);
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor, codigo_roteiro) "
                  "values ('COL01', 'COLETOR UM', 0)");
    }

    void cleanup()
    {
        stopScenario();
        Spreadsheet::setOpener({});
    }

    void condensationKeepsCollaboratorsAndCutsTheDurationLimits()
    {
        // Cycles that condensing leaves as they are.
        const QStringList untouched = {
            "CICLO 2 - Ronda",
            "||INICIO Ronda|||08/12/2026 11:00:00",
            QString::fromUtf8("PATIO|||GARAGEM|Inversão|08/12/2026 11:01:00"),
            "",
            "CICLO 3 - Ronda",
            "||INICIO Ronda|||08/12/2026 11:30:00",
            "PATIO|||PATIO||08/12/2026 11:31:00|Atrasado: 001:00 h",
            "",
        };
        writeTable(QStringList{
            "|JOSE||||08/12/2026 09:58:00",
            "PATIO|||PATIO||08/12/2026 09:59:00",
            "",
            QString::fromUtf8("CICLO 1 - Ronda  -  Duração (min): Mínimo: 30 Máximo: 45"),
            "||INICIO Ronda|||08/12/2026 10:00:00",
            "Realizado na hora programada",
            "PATIO|||PATIO||08/12/2026 10:01:00",
            "|ANA||||08/12/2026 10:02:00",
            "GARAGEM|||GARAGEM||08/12/2026 10:03:00",
            "|BETO||||08/12/2026 10:04:00",
            "",
        } + untouched + QStringList{
            "CICLO 4 - Sem locais",
            "||INICIO Sem locais|||08/12/2026 11:40:00",
            "",
            "CICLO 5 - Ronda",
            "-||INICIO Ronda|||08/12/2026 12:00:00",
            "Realizado na hora programada",
        });
        QCOMPARE(condensed(), (QStringList{
            // Rows before the first header stay, and the first cycle's start is searched from
            // the top of the table.
            "|JOSE||||08/12/2026 09:58:00",
            "PATIO|||PATIO||08/12/2026 09:59:00",
            "",
            QString::fromUtf8("CICLO 1 - Ronda  - Início: 08/12/2026 09:59: - Correto"),
            "|ANA||||08/12/2026 10:02:00",
            "|BETO||||08/12/2026 10:04:00",
        } + untouched + QStringList{
            // No location touch: no start, never the start of the cycle before.
            QString::fromUtf8("CICLO 4 - Sem locais - Início:  - Correto"),
            "CICLO 5 - Ronda",
            "-||INICIO Ronda|||08/12/2026 12:00:00",
            "Realizado na hora programada",
        }));

        const QStringList withoutHeader = {"|JOSE||||08/12/2026 09:58:00",
                                           "PATIO|||PATIO||08/12/2026 09:59:00"};
        writeTable(withoutHeader);
        QCOMPARE(condensed(), withoutHeader);
    }

    void synthetic_and_analytic_reports_of_an_analysis()
    {
        correctCycleThenLastReference();
        const ConsistencyResult result = analyse();
        QVERIFY(result.produced());
        const QStringList analytic = Scenario::rowsLoose(*dm);
        QVERIFY2(analytic.size() > 8, qPrintable(analytic.join('\n')));

        ConsistencyOutput(*dm, Scenario::download(), {.synthetic = false}, result).completeRows();
        QCOMPARE(Scenario::rowsLoose(*dm), analytic);

        ConsistencyOutput(*dm, Scenario::download(), {.synthetic = true}, result).completeRows();
        const QStringList synthetic = Scenario::rowsLoose(*dm);
        QCOMPARE(synthetic.mid(0, 4), QStringList({
            "",
            QString::fromUtf8("CICLO 1 - Ronda  - Início: 08/12/2026 10:05: - Correto"),
            "|ANA||||08/12/2026 10:10:00",
            "|BETO||||08/12/2026 10:41:00"}));
        // The cycle opened by the last touch is listed whole.
        QCOMPARE(synthetic.mid(4), analytic.mid(analytic.indexOf(
            QString::fromUtf8("CICLO 2 - Ronda  -  Duração (min): Mínimo: 30 Máximo: 45"))));
        QVERIFY(synthetic.at(5).startsWith("-||INICIO Ronda"));
    }

    void functionTotalsFollowBothReportKinds()
    {
        tdb->exec("insert into funcao (codigo, descricao) values ('00012', 'VIGILANCIA'), "
                  "('00020', 'LIMPEZA'), ('00030', 'PORTARIA')");
        sc->touches({"300012", "400005", "300030", "400007"}, "10:00:00");
        const ConsistencyResult result = analyse();
        QCOMPARE(result.sumOfQuantities, 12);
        const QStringList before = Scenario::rowsLoose(*dm);

        ConsistencyOutput(*dm, Scenario::download(), {.synthetic = true}, result).completeRows();
        QCOMPARE(Scenario::rowsLoose(*dm), before + QStringList({
            "", "", "VIGILANCIA||5", "LIMPEZA", "PORTARIA||7", "", "TOTAL GERAL :||12"}));
        // The appended rows go on numbering after the analysis' rows.
        QVERIFY(!Scenario::rows(*dm).first().startsWith('<'));
    }

    void noTotalsWithoutQuantities()
    {
        tdb->exec("insert into funcao (codigo, descricao) values ('00012', 'VIGILANCIA')");
        sc->touches({sc->location("PATIO")}, "10:00:00");
        const ConsistencyResult result = analyse();
        const QStringList before = Scenario::rowsLoose(*dm);
        ConsistencyOutput(*dm, Scenario::download(), {}, result).completeRows();
        QCOMPARE(Scenario::rowsLoose(*dm), before);
    }

    void automaticCheckWithoutInconsistenciesOnlySaysSo()
    {
        correctCycleThenLastReference();
        tdb->exec("update roteiros set hora_saida = NULL");
        ConsistencyResult result = analyse();
        QVERIFY(!result.inconsistent);
        dm->excel = true;
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, QString::fromUtf8("Não existem inconsistências!"));
        ScriptedDialogRunner dialogs;  // no preview either
        ConsistencyOutput out(*dm, Scenario::download(), {.automaticCheck = true}, result);
        QCOMPARE(out.present(nullptr), ConsistencyOutput::Shown::Nothing);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(dialogs.problems().isEmpty());
        QVERIFY(QDir(Spreadsheet::folder()).entryList({"*.xlsx"}).isEmpty());
    }

    void automaticCheckWithInconsistenciesAnnouncesThenOpensTheSpreadsheet()
    {
        correctCycleThenLastReference();  // the last cycle's departure diverges
        const ConsistencyResult result = analyse();
        QVERIFY(result.inconsistent);
        dm->excel = true;
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, QString::fromUtf8("Existem inconsistências"));
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "0");
        QString opened;
        int messagesBeforeOpening = -1;
        Spreadsheet::setOpener([&](const QString &path) {
            opened = path;
            messagesBeforeOpening = int(msgs.shown().size());
            return true;
        });
        ConsistencyOutput out(*dm, Scenario::download(), {.automaticCheck = true}, result);
        QCOMPARE(out.present(nullptr), ConsistencyOutput::Shown::Spreadsheet);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(messagesBeforeOpening, 1);
        QVERIFY(XlsxReader(opened).ok());
    }

    void withoutTheSpreadsheetFlagThePreviewShows()
    {
        correctCycleThenLastReference();
        const ConsistencyResult result = analyse();
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, QString::fromUtf8("Existem inconsistências"));
        ScriptedDialogRunner dialogs;
        int messagesBefore = -1;
        dialogs.expect("QPrintPreviewDialog", [&](QDialog *) {
            messagesBefore = int(msgs.shown().size());
            return int(QDialog::Rejected);
        });
        ConsistencyOutput out(*dm, Scenario::download(), {.automaticCheck = true}, result);
        QCOMPARE(out.present(nullptr), ConsistencyOutput::Shown::Report);
        QVERIFY(dialogs.problems().isEmpty());
        QCOMPARE(messagesBefore, 1);
    }

    void headerLines()
    {
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro) values (7, 'NOTURNA')");
        tdb->exec("update coletor set codigo_roteiro = 7");
        ConsistencyInputs in = Scenario::download();
        ConsistencyResult result;
        result.firstCollaborator = "ANA";
        QCOMPARE(ConsistencyOutput(*dm, in, {}, result).lineA(),
                 "Coletor: COL01 - COLETOR UM     Data do Descarregamento: 08/12/2026 18:00:00     ");
        QCOMPARE(ConsistencyOutput(*dm, in, {}, result).lineB(), QString());

        in.periodGiven = true;
        in.periodStart = "08/12/2026 00:00";
        in.periodEnd = "08/12/2026 23:59";
        in.betweenCycles = true;
        in.betweenMin = "0";
        in.betweenMax = "30";
        in.company = "ALFA";
        in.routeName = "DIURNA";
        QCOMPARE(ConsistencyOutput(*dm, in, {}, result).lineA(),
                 QString::fromUtf8("Coletor: COL01 - COLETOR UM     Período: 08/12/2026 00:00 a "
                                   "08/12/2026 23:59     Tempo entre Ciclos: Min: 0 Max: 30"));
        QCOMPARE(ConsistencyOutput(*dm, in, {}, result).lineB(),
                 "Empresa: ALFA     Roteiro: DIURNA    ");

        in = Scenario::download();
        in.collectorNamed = false;
        QCOMPARE(ConsistencyOutput(*dm, in, {.withoutReference = true}, result).lineA(),
                 "Data do Descarregamento: 08/12/2026 18:00:00     ");
        // Without a reference: the route the collector is programmed with, and the
        // collaborator of the first touch.
        QCOMPARE(ConsistencyOutput(*dm, in, {.withoutReference = true}, result).lineB(),
                 QString::fromUtf8("Roteiro: NOTURNA     Funcionário: ANA     "));
        tdb->exec("update coletor set codigo_roteiro = 8");
        QCOMPARE(ConsistencyOutput(*dm, in, {.withoutReference = true}, result).lineB(),
                 QString::fromUtf8("Funcionário: ANA     "));
    }

    void printedReportReadBack()
    {
        QList<QStringList> rows;
        rows << QStringList{QString::fromUtf8("CICLO 1 - RONDA DA NOITE  -  Duração (min): Mínimo: 30 Máximo: 45")};
        for (int i = 1; i <= 120; ++i)
            rows << QStringList{QStringLiteral("LOCAL %1").arg(i, 3, 10, QChar('0')), "", "",
                                QStringLiteral("LOCAL %1").arg(i, 3, 10, QChar('0')), "",
                                "08/12/2026 10:00:00", ""};
        rows << QStringList{QString::fromUtf8("- Tempo Gasto p/ realização do ciclo: 002:00 h  -  Atrasado: 001:15 h")};
        const TfmRelConsist report("VIGILANCIA ALFA", "Coletor: COL01 - COLETOR UM     ",
                                   QString::fromUtf8("Funcionário: ANA     "), rows);
        const QString path = env->root() + "consist.pdf";
        QVERIFY(report.writePdf(path));
        const QString text = pdfText(path);
        const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
        QVERIFY(pages.size() >= 2);
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY(pages.at(p).contains(QString::fromUtf8("Consistência")));
            QVERIFY(pages.at(p).contains("VIGILANCIA ALFA"));
            QVERIFY(pages.at(p).contains(QString::fromUtf8("Página %1").arg(p + 1)));
        }
        QVERIFY(pages.at(0).contains("Coletor: COL01 - COLETOR UM"));
        QVERIFY(pages.at(0).contains(QString::fromUtf8("Funcionário: ANA")));
        QVERIFY(!pages.at(1).contains("Coletor: COL01"));
        const QRegularExpression headings(QString::fromUtf8(
            "ESPERADO +FUNCIONÁRIO +EVENTO +REALIZADO +OCORRÊNCIA +DATA +TEMPO \\(min\\)"));
        QVERIFY2(pages.at(0).contains(headings), qPrintable(pages.at(0).left(1500)));
        // Cycle headers and summaries run on over the empty cells beside them.
        QVERIFY(text.contains(QRegularExpression(QString::fromUtf8(
            "CICLO 1 - RONDA DA NOITE +- +Duração \\(min\\): Mínimo: 30 Máximo: 45"))));
        QVERIFY(text.contains(QRegularExpression(QString::fromUtf8(
            "- Tempo Gasto p/ realização do ciclo: 002:00 h +- +Atrasado: 001:15 h"))));
        qsizetype at = 0;
        for (int i = 1; i <= 120; ++i) {
            const QRegularExpression row(QStringLiteral("LOCAL %1 +LOCAL %1 +08/12/2026 10:00:00")
                                             .arg(i, 3, 10, QChar('0')));
            const qsizetype found = text.indexOf(row, at);
            QVERIFY2(found > at || (i == 1 && found >= 0), qPrintable(QString::number(i)));
            at = found;
        }
    }

    // Every column holding the longest texts the analysis writes into it: names at their
    // field width, unregistered identifiers, verdicts, full date-times, long cycle headers and
    // summaries, a long installation name and header lines. Nothing is cut, and no page ends
    // with a cycle header.
    void printedReportKeepsEveryValueWhole()
    {
        const QString name40 = "PORTAO DOS FUNDOS DO ESTACIONAMENTO B%1";
        const QString staff40 = "MARIA APARECIDA DOS SANTOS OLIVEIRA R%1";
        const QString event30 = "INICIO DA RONDA NOTURNA E%1";
        QList<QStringList> rows;
        for (int cycle = 1; cycle <= 14; ++cycle) {
            auto n = [&](int i) { return QStringLiteral("%1").arg(cycle * 10 + i, 3, 10, QChar('0')); };
            auto at = [&](int i) {
                return QStringLiteral("08/12/2026 %1:%2:59").arg(cycle + 9, 2, 10, QChar('0')).arg(i * 7 % 60, 2, 10, QChar('0'));
            };
            rows << QStringList{""}
                 << QStringList{QString::fromUtf8("CICLO %1 - RONDA NOTURNA DO CONDOMINIO RESIDENCIAL A  -  "
                                                  "Duração (min): Mínimo: 120 Máximo: 240").arg(cycle)}
                 << QStringList{"-", "", event30.arg(n(0)), "", "", at(0)}
                 << QStringList{"", "", "", "", QString::fromUtf8("HORÁRIO DIVERGENTE")};
            for (int i = 1; i <= cycle % 5 + 1; ++i)
                rows << QStringList{name40.arg(n(i)), "", "", name40.arg(n(i + 5)), QString::fromUtf8("Inversão"),
                                    at(i), QString::fromUtf8("Adiantado 1.234,56")}
                     << QStringList{"", staff40.arg(n(i)), "", "", "", at(i)}
                     << QStringList{"", "", "", "", QString::fromUtf8("BEEF%1 não cadastrada").arg(n(i)), at(i)}
                     << QStringList{"", "", "", "   - VIGILANCIA PATRIMONIAL ARMADA " + n(i), "00012"};
            rows << QStringList{name40.arg(n(9)), "", "", "", QString::fromUtf8("Não visitado")}
                 << QStringList{QString::fromUtf8("- Não Visitados: 1")}
                 << QStringList{"", name40.arg(n(9))}
                 << QStringList{QString::fromUtf8("- Tempo Gasto p/ realização do ciclo: 002:00 h  -  Atrasado: 001:15 h")};
        }
        const QString lineA = QString::fromUtf8(
            "Coletor: COL01 - COLETOR DA PORTARIA PRINCIPAL B     Período: 01/12/2026 00:00 a "
            "31/12/2026 23:59     Tempo entre Ciclos: Min: 0 Max: 30");
        const QString lineB = QString::fromUtf8(
            "Empresa: ALFA BETA GAMA SERVICOS DE SEGURANCA     Roteiro: RONDA NOTURNA DO "
            "CONDOMINIO RESIDENCIAL A    Funcionário: MARIA APARECIDA DOS SANTOS OLIVEIRA     ");
        const TfmRelConsist report(QString::fromUtf8("VIGILÂNCIA E SEGURANÇA PATRIMONIAL ALFA BETA "
                                                     "GAMA LTDA FILIAL SÃO BERNARDO"),
                                   lineA, lineB, rows);
        const QString path = env->root() + "consistencia-cheia.pdf";
        QVERIFY(report.writePdf(path));
        keep(path);
        const QString lost = valueLost(path, rows);
        QVERIFY2(lost.isEmpty(), qPrintable(lost));
        const QString text = pdfText(path).simplified();
        QVERIFY(text.contains(lineA.simplified()));
        QVERIFY(text.contains(lineB.simplified()));
        QVERIFY(text.contains(QString::fromUtf8("VIGILÂNCIA E SEGURANÇA PATRIMONIAL")));
        QVERIFY(text.split(' ').contains(QString::fromUtf8("FUNCIONÁRIO")));
        const QString ending = headerEndingAPage(path);
        QVERIFY2(ending.isEmpty(), qPrintable(ending));
    }

    // A download as the analysis reports it, with names at their field width: read back whole.
    void reportOfAFilledScenario()
    {
        const QStringList stops = {"PORTAO DOS FUNDOS DO ESTACIONAMENTO SUL",
                                   "GUARITA PRINCIPAL DA ENTRADA DE VEICULOS",
                                   "CASA DE MAQUINAS DOS ELEVADORES DO BLOCO",
                                   "SUBSOLO DOIS JUNTO AO DEPOSITO DE LIXO B"};
        const QString ref = sc->route({.name = "RONDA NOTURNA DO BLOCO",
                                       .stops = stops, .departure = "22:00:00",
                                       .checkOrder = true, .timeBetween = true,
                                       .standardLimits = true, .standardMin = "2",
                                       .standardMax = "10", .checkDuration = true,
                                       .durationMin = "20", .durationMax = "40"});
        const QString ana = sc->collaborator("ANA CAROLINA DE ALBUQUERQUE CAVALCANTI S");
        const QString jose = sc->collaborator("JOSE ROBERTO DOS SANTOS FILHO OLIVEIRA J");
        auto at = [](int minutes) {
            return QTime(22, 0).addSecs(minutes * 60).toString("hh:mm:ss");
        };
        int t = 0;
        for (int cycle = 0; cycle < 6; ++cycle) {
            sc->touch(ref, at(t += cycle == 0 ? 0 : 30));
            sc->touch(cycle % 2 ? jose : ana, at(t += 1));
            sc->touch(sc->location(stops[cycle % 2 ? 1 : 0]), at(t += 1));
            sc->touch(sc->location(stops[cycle % 2 ? 0 : 1]), at(t += 12));
            if (cycle % 3 == 1)
                sc->touch("BEEF01", at(t += 1));
            sc->touch(sc->location(stops[2]), at(t += 1));
        }
        const ConsistencyResult result = analyse();
        QVERIFY(result.produced());
        env->writeIni(QString::fromUtf8("[CONFIG]\nINSTALACAO=VIGILÂNCIA E SEGURANÇA PATRIMONIAL "
                                        "ALFA BETA GAMA LTDA\n"));
        ConsistencyOutput out(*dm, Scenario::download(), {.synthetic = false}, result);
        out.completeRows();
        const QList<QStringList> rows = out.rows();
        QVERIFY(std::any_of(rows.begin(), rows.end(), [](const QStringList &r) {
            return r.contains(QString::fromUtf8("BEEF01 não cadastrada"));
        }));
        const QString path = env->root() + "consistencia-cenario.pdf";
        QVERIFY(out.report().writePdf(path));
        keep(path);
        const QString lost = valueLost(path, rows);
        QVERIFY2(lost.isEmpty(), qPrintable(lost));
        const QString ending = headerEndingAPage(path);
        QVERIFY2(ending.isEmpty(), qPrintable(ending));
    }

    void spreadsheetLayout()
    {
        writeTable({"", "CICLO 1 - Ronda", QString::fromUtf8("PATIO|ANA|EVENTO|GARAGEM|Inversão|08/12/2026 10:01:00|ok")});
        ConsistencyResult result;
        result.outcome = ConsistencyResult::Outcome::Produced;
        ConsistencyOutput out(*dm, Scenario::download(), {.synthetic = false}, result);
        QString path;
        {
            ScriptedMessageService msgs;
            QVERIFY(out.writeSpreadsheet(&path));
            QVERIFY(msgs.done());
        }
        const XlsxReader x(path);
        QVERIFY(x.ok());
        QCOMPARE(x.text("A1"), QString::fromUtf8("Consistência"));
        QCOMPARE(x.text("I1"), QString("09/12/2026 14:30"));
        QCOMPARE(x.text("A2"), out.lineA());
        QVERIFY(!x.has("A3"));  // an empty line B leaves the cell empty
        const QStringList titles = {"A4=Esperado", QString::fromUtf8("B4=Funcionário"), "C4=Evento",
                                    "D4=Realizado", QString::fromUtf8("F4=Ocorrência"), "G4=Data",
                                    "H4=Tempo(min)"};
        for (const QString &t : titles)
            QCOMPARE(x.text(t.section('=', 0, 0)), t.section('=', 1));
        for (const char *empty : {"E4", "A5", "B5", "E6", "E7", "E8"})
            QVERIFY2(!x.has(empty), empty);
        const QStringList columns = {"A", "B", "C", "D", "F", "G", "H"};
        const QStringList last = {"PATIO", "ANA", "EVENTO", "GARAGEM", QString::fromUtf8("Inversão"),
                                  "08/12/2026 10:01:00", "ok"};
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(x.text(columns[c] + "6"), QString(" "));
            QCOMPARE(x.text(columns[c] + "7"), c == 0 ? QString(" CICLO 1 - Ronda") : QString(" "));
            QCOMPARE(x.text(columns[c] + "8"), " " + last[c]);
            QCOMPARE(x.style(columns[c] + "8"), x.style("A6"));
            QCOMPARE(x.style(columns[c] + "4"), x.style("A4"));
        }
        QVERIFY(x.style("A6") != x.style("A4"));
        QVERIFY(x.style("A1") != x.style("A2"));
        QVERIFY(qAbs(x.width(1) - 20.0) < 1.0);
    }

    void spreadsheetThatCannotBeWritten()
    {
        writeTable({"PATIO"});
        qputenv("TORVEL_DOCUMENTS", "/proc/nao-pode");
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Não foi possível imprimir no Excel\nNão foi possível criar a pasta *"));
        dm->excel = true;
        ConsistencyOutput out(*dm, Scenario::download(), {}, ConsistencyResult{});
        QCOMPARE(out.present(nullptr), ConsistencyOutput::Shown::Nothing);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }
};

QTEST_MAIN(TestConsistencyOutput)
#include "tst_consistency_output.moc"
