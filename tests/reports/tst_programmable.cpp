#include "ProgramFixture.h"
#include "PdfWords.h"
#include "XlsxReader.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/IniFile.h"
#include "platform/LocalTable.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/SearchList.h"
#include "reports/ProgrammableReport.h"
#include "reports/TfmRelGeral.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

using Kind = MessageService::Kind;

// The programmable report: which touches each choice lets through and what its rows hold, the
// printed report and spreadsheet read back, the window driven as a user does, and torvelctl.
class TestProgrammable : public QObject, public ProgramFixture {
    Q_OBJECT

    const QDateTime now{QDate(2024, 3, 6), QTime(9, 0, 0)};
    // A collector code that would end a quoted SQL text, or escape its closing quote.
    const QString oddCollector = QStringLiteral("C\"1\\'");

    void touch(const QString &collector, const QString &button, const QString &when, int route, int func)
    {
        insertTouch(collector, "2024-03-07 18:00:00", button, when, route, func);
    }

    // The inputs the window opens with, for the period of the fixture.
    static ProgrammableInputs period()
    {
        ProgrammableInputs in;
        in.periodStart = "05/03/2024 00:00";
        in.periodEnd = "06/03/2024 23:59";
        return in;
    }

    QList<QStringList> workingTable() const
    {
        LocalTable table(dm->tempFolder(), ProgrammableReport::kWorkingTable);
        if (!table.open())
            return {};
        QList<QStringList> rows;
        for (const QVariantList &row : table.rows()) {
            QStringList cells;
            for (const QVariant &v : row)
                cells << v.toString();
            rows << cells;
        }
        return rows;
    }

    // The rows as "Col1|Col2|..." lines.
    static QStringList lines(const QList<QStringList> &rows)
    {
        QStringList out;
        for (const QStringList &r : rows)
            out << r.join('|');
        return out;
    }

    QStringList run(const ProgrammableInputs &in)
    {
        const std::optional<Listing> l = ProgrammableReport(*dm).run(in);
        return l ? lines(l->sheetRows()) : QStringList{"<none>"};
    }

    static int choose(QDialog *d, const char *field, const QVariant &value)
    {
        return static_cast<TfmListaBase *>(d)->query().locate(field, value) ? int(QDialog::Accepted)
                                                                          : int(QDialog::Rejected);
    }

    Ctl ctl(const QStringList &args) { return torvelctl(QStringList{"report", "programmable"} + args); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = now, .ini = true, .quietSpreadsheets = true}));
        seedCollectors(oddCollector);
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria) values (1, 'JOSE', 'F00001'), "
                  "(2, 'MARIA', 'F00002'), (12345, 'LONGO', 'F00003')");
        // N00001 is bound to nothing, R00001 has a reference of no known kind, L00099 is marked
        // as a location that no location holds.
        tdb->exec("insert into buttons (codigo_button, referencia) values ('F00001', 'F'), ('F00002', 'F'), "
                  "('F00003', 'F'), ('L00001', 'L'), ('L00002', 'L'), ('E00001', 'E'), ('N00001', ''), "
                  "('R00001', 'R'), ('L00099', 'L')");
        tdb->exec("insert into locais (nome_local, button_local) values ('PORTARIA', 'L00001'), ('PATIO', 'L00002')");
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('INICIO', 'E00001')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro) values (1, 'RONDA NORTE'), (2, 'RONDA SUL'), "
                  "(12345, 'RONDA LONGA')");
        // Stored out of time order: the report lists them by their moment.
        touch("COL01", "L00001", "2024-03-05 08:10:00", 1, 1);
        touch("COL01", "E00001", "2024-03-05 08:00:00", 1, 1);
        touch("COL01", "F00001", "2024-03-05 08:20:00", 1, 1);
        touch("COL01", "ZZZ999", "2024-03-05 08:30:00", 1, 1);
        touch("COL01", "N00001", "2024-03-05 08:40:00", 1, 1);
        touch("COL01", "R00001", "2024-03-05 08:50:00", 1, 1);
        touch("COL01", "L00099", "2024-03-05 08:55:00", 1, 1);
        touch("COL02", "F00002", "2024-03-05 09:00:00", 2, 2);
        touch("COL02", "L00002", "2024-03-05 09:10:00", 2, 2);
        touch(oddCollector, "L00001", "2024-03-05 09:20:00", 9, 7);
        touch("COL01", "L00002", "2024-03-06 00:00:00", 1, 1);
        // Just inside the end minute, and just before the start.
        touch("COL02", "L00001", "2024-03-06 23:59:59", 2, 2);
        touch("COL01", "L00001", "2024-03-04 23:59:59", 1, 1);
    }

    void cleanup() { stopProgram(); }

    // --- what each choice lets through ---

    void everyKindInTimeOrderWithTheirRemarks()
    {
        QCOMPARE(run(period()), QStringList({"05/03/2024 08:00:00|INICIO|||", "05/03/2024 08:10:00|PORTARIA|||",
                                             "05/03/2024 08:20:00|JOSE|||",
                                             QString::fromUtf8("05/03/2024 08:30:00|ZZZ999  não cadastrada|||"),
                                             QString::fromUtf8("05/03/2024 08:40:00|N00001  não associada|||"),
                                             "05/03/2024 09:00:00|MARIA|||", "05/03/2024 09:10:00|PATIO|||",
                                             "05/03/2024 09:20:00|PORTARIA|||", "06/03/2024 00:00:00|PATIO|||",
                                             "06/03/2024 23:59:59|PORTARIA|||"}));
        // The rows are those of the working table.
        QCOMPARE(lines(workingTable()), run(period()));
    }

    void identifiersAreMatchedAsTheServerMatchesThem()
    {
        // Spellings the server takes for one identifier: each touch keeps its own spelling, and
        // all of them get the registry's answer.
        touch("COL01", "zzz999", "2024-03-07 08:00:00", 1, 1);
        touch("COL01", "ZZZ999", "2024-03-07 08:01:00", 1, 1);
        touch("COL01", "l00002", "2024-03-07 08:02:00", 1, 1);
        touch("COL01", "L00002", "2024-03-07 08:03:00", 1, 1);
        ProgrammableInputs in;
        in.periodStart = "07/03/2024 00:00";
        in.periodEnd = "07/03/2024 23:59";
        QCOMPARE(run(in), QStringList({QString::fromUtf8("07/03/2024 08:00:00|zzz999  não cadastrada|||"),
                                       QString::fromUtf8("07/03/2024 08:01:00|ZZZ999  não cadastrada|||"),
                                       "07/03/2024 08:02:00|PATIO|||", "07/03/2024 08:03:00|PATIO|||"}));
    }

    void kindsOffLeaveOnlyUnregisteredAndUnboundWithoutNames()
    {
        ProgrammableInputs in = period();
        in.collaborators = in.locations = in.events = false;
        in.byCollector = in.byCollaborator = in.byRoute = true;
        QCOMPARE(run(in), QStringList({QString::fromUtf8("05/03/2024 08:30:00|ZZZ999  não cadastrada|||"),
                                       QString::fromUtf8("05/03/2024 08:40:00|N00001  não associada|||")}));
        in.unregistered = false;
        QCOMPARE(run(in), QStringList({QString::fromUtf8("05/03/2024 08:40:00|N00001  não associada|||")}));
        in.unbound = false;
        QCOMPARE(run(in), QStringList());
    }

    void chosenIdentifiersAndTypedText()
    {
        // One collaborator of the first group: the other's touches go, the other kinds stay.
        ProgrammableInputs in = period();
        in.collaborator = {"JOSE", "F00001"};
        in.unregistered = in.unbound = false;
        QStringList rows = run(in);
        QVERIFY(rows.contains("05/03/2024 08:20:00|JOSE|||"));
        QVERIFY(!rows.join('\n').contains("MARIA"));
        QVERIFY(rows.contains("05/03/2024 08:00:00|INICIO|||"));
        QCOMPARE(rows.size(), 7);

        // Text typed without a search lists none of that kind.
        in = period();
        in.unregistered = in.unbound = false;
        in.location = {"PORTARIA", ""};
        rows = run(in);
        QCOMPARE(rows, QStringList({"05/03/2024 08:00:00|INICIO|||", "05/03/2024 08:20:00|JOSE|||",
                                    "05/03/2024 09:00:00|MARIA|||"}));
        // A stored event shown under another name still lists its own touches.
        in.location = {};
        in.event = {"QUALQUER", "E00001"};
        QCOMPARE(run(in).size(), 8);
        in.event = {"INICIO", "E99999"};
        QCOMPARE(run(in).size(), 7);

        // Text typed in the second group filters nothing and keeps the name column.
        in = period();
        in.unregistered = in.unbound = false;
        in.byCollector = true;
        in.collector = {"BETA", ""};
        QCOMPARE(ProgrammableReport::belongingLine(in), QString());
        rows = run(in);
        QCOMPARE(rows.size(), 8);
        QVERIFY(rows.contains("05/03/2024 08:00:00|INICIO|ALFA||"));
        QVERIFY(rows.contains("05/03/2024 09:20:00|PORTARIA|ESTRANHO||"));
    }

    void belongingFiltersInTheDatabaseAndNamesTheRest()
    {
        ProgrammableInputs in = period();
        in.byCollector = true;
        in.collector = {"ALFA", "COL01"};
        in.byCollaborator = in.byRoute = true;
        QCOMPARE(ProgrammableReport::belongingLine(in), QString("- Coletor: ALFA"));
        // The collector column is empty: the filter says whose touches they are.
        QCOMPARE(run(in), QStringList({"05/03/2024 08:00:00|INICIO||JOSE|RONDA NORTE",
                                       "05/03/2024 08:10:00|PORTARIA||JOSE|RONDA NORTE",
                                       "05/03/2024 08:20:00|JOSE||JOSE|RONDA NORTE",
                                       QString::fromUtf8("05/03/2024 08:30:00|ZZZ999  não cadastrada|||"),
                                       QString::fromUtf8("05/03/2024 08:40:00|N00001  não associada|||"),
                                       "06/03/2024 00:00:00|PATIO||JOSE|RONDA NORTE"}));

        // All three filters, in the line's order; unregistered names leave their columns empty.
        in.collector = {"BETA", "COL02"};
        in.collaboratorCode = {"MARIA", "2"};
        in.route = {"RONDA SUL", "2"};
        QCOMPARE(ProgrammableReport::belongingLine(in),
                 QString("- Coletor: BETA- Colaborador: MARIA- Roteiro: RONDA SUL"));
        QCOMPARE(run(in).size(), 3);
        in.collector = {"ESTRANHO", oddCollector};
        in.byCollaborator = false;
        in.route = {};
        QCOMPARE(run(in), QStringList({"05/03/2024 09:20:00|PORTARIA|||"}));

        // Codes that would break a statement written with quotes are only compared.
        in.collaboratorCode = {"X", "1\" or \"1\"=\"1"};
        in.byCollaborator = true;
        QCOMPARE(run(in), QStringList());
        in.collector = {"X", "\\"};
        in.byCollaborator = false;
        QCOMPARE(run(in), QStringList());
    }

    void badPeriodStopsBeforeAnyQueryAndCancelLeavesNothing()
    {
        QCOMPARE(run(period()).size(), 10);
        // With the touches' table gone, any query would fail: the message comes first.
        tdb->exec("rename table desctot to desctot_fora");
        {
            ScriptedMessageService msgs;
            msgs.expect(Kind::Error, QString::fromUtf8("Início: '31/02/2024 00:00' não é uma data e hora válida"));
            msgs.expect(Kind::Error, QString::fromUtf8("Fim: '06/03/2024 2 :  ' não é uma data e hora válida"));
            ProgrammableInputs in = period();
            in.periodStart = "31/02/2024 00:00";
            QCOMPARE(run(in), QStringList{"<none>"});
            in = period();
            in.periodEnd = "06/03/2024 2 :  ";
            QCOMPARE(run(in), QStringList{"<none>"});
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        }
        // The last run's table is as it was.
        QCOMPARE(workingTable().size(), 10);
        tdb->exec("rename table desctot_fora to desctot");

        // Cancelled after three touches: no rows at all, and the user is told.
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, QString::fromUtf8("Relatório cancelado."));
        QList<std::pair<qint64, qint64>> seen;
        // A slow listener is asked after every touch.
        const std::optional<Listing> l =
            ProgrammableReport(*dm).run(period(), Progress([&](const QString &, qint64 done, qint64 total) {
                seen.append({done, total});
                QThread::msleep(45);
                return done < 3;
            }));
        QVERIFY(!l);
        QCOMPARE(seen, (QList<std::pair<qint64, qint64>>{{0, 12}, {1, 12}, {2, 12}, {3, 12}}));
        QVERIFY(workingTable().isEmpty());
        QVERIFY(msgs.done());
    }

    // --- outputs ---

    void printedReportShowsTheChosenColumnsOnTheFirstPage()
    {
        for (int i = 0; i < 150; ++i)
            touch("COL02", "L00002", QDateTime(QDate(2024, 3, 5), QTime(12, 0)).addSecs(i * 60).toString("yyyy-MM-dd hh:mm:ss"),
                  2, 2);
        ProgrammableInputs in = period();
        in.byCollector = true;
        in.collector = {"BETA", "COL02"};
        in.byRoute = true;
        const std::optional<Listing> l = ProgrammableReport(*dm).run(in);
        const QString path = env->root() + "programavel.pdf";
        QVERIFY(l->writePdf("VIGILANCIA ALFA", path));
        const QList<PdfWord> words = pdfWords(path);
        const int pages = words.last().page;
        QVERIFY(pages >= 2);
        const QString text = pdfText(path);
        QCOMPARE(text.count(QString::fromUtf8("Analítico Programável")), pages);
        QCOMPARE(text.count(QString::fromUtf8("Período: 05/03/2024 00:00 a 06/03/2024 23:59")), 1);
        QCOMPARE(text.count("- Coletor: BETA"), 1);
        const QStringList headings{"DATA / HORA", QString::fromUtf8("DESCRIÇÃO"), "ROTEIRO"};
        const PdfHeadings h = pdfHeadings(words, headings, 1);
        QCOMPARE(h.left.size(), 3);
        QVERIFY(!text.contains("COLETOR") && !text.contains(QString::fromUtf8("FUNCIONÁRIO")));
        QVERIFY(pdfHeadings(words, headings, 2).left.isEmpty());
        QList<PdfWord> first;
        for (const PdfWord &w : words)
            if (w.page == 1 && w.y0 > h.y + 5)
                first << w;
        const QStringList columns = pdfColumnTexts(first, h.left);
        QVERIFY(columns.at(0).startsWith("05/03/2024 09:00:00 05/03/2024 09:10:00 05/03/2024 12:00:00"));
        QVERIFY(columns.at(1).startsWith("MARIA PATIO PATIO"));
        QVERIFY(columns.at(2).startsWith("RONDA SUL RONDA SUL"));
        if (qEnvironmentVariableIsSet("TORVEL_KEEP_REPORTS"))
            QFile::copy(path, qEnvironmentVariable("TORVEL_KEEP_REPORTS") + "/programavel.pdf");
    }

    void windowWritesTheSpreadsheetOrPreviewsAndPrintsNothingWhenEmpty()
    {
        TfmRelGeral w;
        w.edInicio->setMaskedText("05/03/2024 00:00");
        w.edFim->setMaskedText("05/03/2024 08:59");
        w.cbPorFunc->setChecked(true);
        dm->excel = true;
        w.btRelatorioclick();
        const QString folder = QString::fromLocal8Bit(qgetenv("TORVEL_DOCUMENTS")) + "/Planilhas/";
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const XlsxReader x(folder + files.first());
        QCOMPARE(x.text("A1"), QString::fromUtf8("Analítico Programável"));
        QCOMPARE(x.text("I1"), QString("06/03/2024 09:00"));
        QCOMPARE(x.text("A2"), QString::fromUtf8("Período: 05/03/2024 00:00 a 05/03/2024 08:59"));
        QCOMPARE(x.text("A3"), QString());
        const QStringList headings{"Data do toque", QString::fromUtf8("Descrição"), "Coletor",
                                   QString::fromUtf8("Funcionário"), "Roteiro"};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(x.text(QString("%1%2").arg(QChar('A' + 2 * i)).arg(4)), headings.at(i));
        QCOMPARE(x.text("A5"), QString(" 05/03/2024 08:00:00"));
        QCOMPARE(x.text("C5"), QString(" INICIO"));
        QCOMPARE(x.text("E5"), QString(" "));
        QCOMPARE(x.text("G5"), QString(" JOSE"));
        QCOMPARE(x.text("C8"), QString::fromUtf8(" ZZZ999  não cadastrada"));
        QCOMPARE(x.text("G8"), QString(" "));
        QVERIFY(!x.has("A10"));
        QVERIFY(qAbs(x.width(1) - 20.0) < 1.0);
        for (const char *size : {"<sz val=\"16\"/>", "<sz val=\"12\"/>", "<sz val=\"10\"/>"})
            QVERIFY(x.styles().contains(size));

        // No touch: no preview at all.
        dm->excel = false;
        w.edInicio->setMaskedText("01/01/2020 00:00");
        w.edFim->setMaskedText("01/01/2020 23:59");
        ScriptedDialogRunner dialogs;
        w.btRelatorioclick();
        QVERIFY(dialogs.ran().isEmpty());
        QVERIFY(dialogs.problems().isEmpty());
        QVERIFY(w.ProgressBar1->isHidden() && w.btRelatorio->isEnabled());
    }

    // --- the window ---

    void windowOpensWithItsDefaultsAndSearchesStoreTheChoices()
    {
        TfmRelGeral w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Relatório Programável"));
        QVERIFY(w.cbDeFuncs->isChecked() && w.cbDeLocais->isChecked() && w.cbDeEventos->isChecked());
        QVERIFY(!w.cbPorCol->isChecked() && !w.cbPorFunc->isChecked() && !w.cbPorRot->isChecked());
        QVERIFY(w.cbMemNcad->isChecked() && w.cbMemNassoc->isChecked());
        QCOMPARE(w.edInicio->maskedText(), QString("05/03/2024 00:00"));
        QCOMPARE(w.edFim->maskedText(), QString("06/03/2024 23:59"));
        QVERIFY(w.ProgressBar1->isHidden());
        QCOMPARE(w.edAoRoteiro->toolTip(),
                 QString::fromUtf8("Duplo clique p/ limpar o campo. Campo em branco considera-se todos os roteiros"));

        ScriptedDialogRunner dialogs;
        dialogs.expect("TfmListaFuncs", [this](QDialog *d) { return choose(d, "nome_func", "MARIA"); })
            .expect("TfmListaFuncs", [this](QDialog *d) { return choose(d, "nome_func", "LONGO"); })
            .expect("TfmListaRoteiros", [this](QDialog *d) { return choose(d, "nome_roteiro", "RONDA LONGA"); })
            .expect("TfmListaColetores", [this](QDialog *d) { return choose(d, "codigo_coletor", oddCollector); })
            .expect("TfmListaEventos", [](QDialog *) { return int(QDialog::Rejected); })
            .expect("TfmListaLocais", [this](QDialog *d) { return choose(d, "nome_local", "PATIO"); });
        w.btPesquisaFclick();
        w.btPesquisaC1click();
        w.btPesquisaRclick();
        w.btPesquisaIclick();
        w.btPesquisaEclick();
        w.btPesquisaLclick();
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));
        ProgrammableInputs in = w.inputs();
        QCOMPARE(w.edDeFunc->text(), QString("MARIA"));
        QCOMPARE(in.collaborator.code, QString("F00002"));
        // Collaborator and route codes are kept whole: route 12345 is not route 1234.
        QCOMPARE(w.edAoFunc->text(), QString("LONGO"));
        QCOMPARE(in.collaboratorCode.code, QString("12345"));
        QCOMPARE(w.edAoRoteiro->text(), QString("RONDA LONGA"));
        QCOMPARE(in.route.code, QString("12345"));
        QCOMPARE(w.edAoColetor->text(), QString("ESTRANHO"));
        QCOMPARE(in.collector.code, oddCollector);
        QVERIFY(in.event.text.isEmpty() && in.event.code.isEmpty());
        QCOMPARE(in.location.code, QString("L00002"));

        // A double-click forgets a choice; so does unchecking, and checking again brings nothing back.
        QTest::mouseDClick(w.edDeFunc, Qt::LeftButton);
        QVERIFY(w.edDeFunc->text().isEmpty() && w.inputs().collaborator.code.isEmpty());
        w.cbPorCol->setChecked(true);
        w.cbPorCol->setChecked(false);
        w.cbPorCol->setChecked(true);
        QVERIFY(w.edAoColetor->text().isEmpty() && w.inputs().collector.code.isEmpty());
        w.cbDeLocais->setChecked(false);
        QVERIFY(w.edDeLocal->text().isEmpty() && w.inputs().location.code.isEmpty());
    }

    void boxesAreKeptInTheWindowsFolderFile()
    {
        {
            TfmRelGeral w;
            w.cbDeFuncs->setChecked(false);
            w.cbDeEventos->setChecked(false);
            w.cbPorCol->setChecked(true);
            w.cbPorRot->setChecked(true);
            w.cbMemNcad->setChecked(false);
        }
        const IniFile saved(env->root() + "windir/TORVEL.INI");
        QCOMPARE(saved.readString("RELGERAL", "DEFUNCS"), QString("0"));
        QCOMPARE(saved.readString("RELGERAL", "DELOCAIS"), QString("1"));
        QCOMPARE(saved.readString("RELGERAL", "PORCOL"), QString("1"));
        QCOMPARE(saved.readString("RELGERAL", "PORFUNC"), QString("0"));
        QCOMPARE(IniFile(env->iniPath()).readString("RELGERAL", "DEFUNCS", "<none>"), QString("<none>"));
        TfmRelGeral again;
        QVERIFY(!again.cbDeFuncs->isChecked() && again.cbDeLocais->isChecked() && !again.cbDeEventos->isChecked());
        QVERIFY(again.cbPorCol->isChecked() && !again.cbPorFunc->isChecked() && again.cbPorRot->isChecked());
        // "Exibir" is not kept.
        QVERIFY(again.cbMemNcad->isChecked());
    }

    void cancelAndClosingStopARunCleanly()
    {
        TfmRelGeral w;
        w.edInicio->setMaskedText("05/03/2024 00:00");
        ScriptedMessageService msgs;
        ScriptedDialogRunner dialogs;  // nothing is previewed
        msgs.expect(Kind::Information, QString::fromUtf8("Relatório cancelado."));
        // The button is answered while the run lets the window work.
        QTimer::singleShot(0, &w, [&w] {
            QVERIFY(w.running() && w.ProgressBar1->isVisibleTo(&w));
            w.btCancela->click();
        });
        w.btRelatorioclick();
        QVERIFY(workingTable().isEmpty());
        QVERIFY(!w.running() && w.btRelatorio->isEnabled() && w.ProgressBar1->isHidden());

        // Esc or "Retorna" during a run: the run stops first, then the window closes.
        msgs.expect(Kind::Information, QString::fromUtf8("Relatório cancelado."));
        w.setResult(-1);
        QTimer::singleShot(0, &w, [&w] { w.btRetornaclick(); });
        w.btRelatorioclick();
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(dialogs.ran().isEmpty());
    }

    // --- torvelctl ---

    void commandLine()
    {
        Ctl r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--unregistered", "no", "--unbound", "no",
                     "--collector", "COL01", "--collaborator-column", "yes", "--tsv"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringList({"05/03/2024 08:00:00\tINICIO\t\tJOSE\t", "05/03/2024 08:10:00\tPORTARIA\t\tJOSE\t",
                                     "05/03/2024 08:20:00\tJOSE\t\tJOSE\t"}));
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--collaborators", "no", "--locations",
                 "no", "--event", "E00001", "--route", "2"});
        QCOMPARE(r.out, QStringList());
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--collaborator", "F00002", "--locations",
                 "no", "--events", "no", "--unregistered", "no", "--unbound", "no", "--route-column", "yes"});
        QCOMPARE(r.out, QStringList({"05/03/2024 09:00:00\tMARIA\t\t\tRONDA SUL"}));

        // Route 12345 lists its own touches, not those of route 1234.
        touch("COL02", "L00002", "2024-03-05 10:00:00", 1234, 2);
        touch("COL02", "L00001", "2024-03-05 10:05:00", 12345, 2);
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--route", "12345", "--tsv"});
        QCOMPARE(r.out, QStringList({"05/03/2024 10:05:00\tPORTARIA\t\t\t"}));
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--collector", "NAO"});
        QVERIFY(r.status == 1 && r.err.contains(QString::fromUtf8("Coletor não cadastrado!")));
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--route", "12345x"});
        QVERIFY(r.status == 1 && r.err.contains(QString::fromUtf8("Roteiro não cadastrado!")));
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--collaborator", "L00001"});
        QVERIFY(r.status == 1 && r.err.contains(QString::fromUtf8("Colaborador não cadastrado!")));
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--events", "talvez"});
        QVERIFY(r.status == 1 && r.err.contains("--events: use yes ou no"));
        r = ctl({"--from", "05/13/2024 00:00", "--to", "05/03/2024 23:59"});
        QVERIFY(r.status == 1 && r.err.contains(QString::fromUtf8("Início: '05/13/2024 00:00' não é uma data e hora válida")));

        const QString pdf = env->root() + "ctl.pdf";
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--collector", oddCollector, "--pdf", pdf});
        QCOMPARE(r.status, 0);
        QVERIFY(pdfText(pdf).contains("- Coletor: ESTRANHO"));
        const QString xlsx = env->root() + "ctl.xlsx";
        r = ctl({"--from", "05/03/2024 00:00", "--to", "05/03/2024 23:59", "--route", "1", "--xlsx", xlsx});
        QCOMPARE(r.status, 0);
        QCOMPARE(XlsxReader(xlsx).text("A3"), QString("- Roteiro: RONDA NORTE"));
        QCOMPARE(XlsxReader(xlsx).text("C9"), QString::fromUtf8(" N00001  não associada"));
    }
};

QTEST_MAIN(TestProgrammable)
#include "tst_programmable.moc"
