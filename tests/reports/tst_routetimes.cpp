#include "ProgramFixture.h"
#include "XlsxReader.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemServices.h"
#include "reports/RouteTimes.h"
#include "reports/TfmRelcoletaroteiro.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using Kind = MessageService::Kind;

// The route touch-time sheet: its cells as built and as read back from the .xlsx, the window
// as a user drives it, and torvelctl report route-times.
class TestRouteTimes : public QObject, public ProgramFixture {
    Q_OBJECT

    const QDateTime now{QDate(2024, 12, 20), QTime(9, 7, 0)};

    void touch(const QString &button, const QString &when, const QString &collector = "COL02")
    {
        insertTouch(collector, "2025-01-02 18:00:00", button, when);
    }

    RouteTimesInputs inputs(int route, const QString &reference, const QString &from, const QString &to)
    {
        return {"COL01", "ALFA", route, reference, from, to};
    }

    QStringList planilhas() const
    {
        return QDir(Spreadsheet::folder()).entryList({"*.xlsx"}, QDir::Files);
    }

    // Statements the data module's connection has sent so far (this query included).
    qlonglong statements()
    {
        return Sql::scalar(dm->db(), "select sum(variable_value) from information_schema.session_status "
                                     "where variable_name in ('COM_STMT_PREPARE', 'QUESTIONS')")
            .toLongLong();
    }

    Ctl ctl(const QStringList &args) { return torvelctl(QStringList{"report", "route-times"} + args); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = now, .ini = true, .quietSpreadsheets = true}));
        seedCollectors();
        tdb->exec("insert into eventos (desc_evento, button_evento) values ('RONDA', 'E00001'), ('SEM BOTAO', '')");
        tdb->exec("insert into locais (codigo_local, nome_local, button_local) values (1, 'PORTARIA', 'L00001'), "
                  "(2, 'PATIO', 'L00002'), (3, 'SEM BOTAO', '')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia) values "
                  "(1, 'RONDA NOTURNA', 'E00001'), (2, 'ROTA 100% SEGURA', 'L00009'), (3, 'ROTA 1000', ''), "
                  "(4, 'ROTA_A', 'E00001'), (5, 'ROTAXA', 'E00001')");
        // Stored out of order; location 9 is not registered.
        tdb->exec("insert into descrot (codigo_roteiro, ordem, codigo_local, nome_local) values "
                  "(1, '003', 9, '003 - GUARITA'), (1, '001', 1, '001 - PORTARIA'), (1, '002', 2, 'PATIO'), "
                  "(2, '001', 2, '12-3-4'), (3, '001', 3, 'A-SEM BOTAO')");
        touch("E00001", "2024-12-05 19:00:00");
        touch("E00001", "2024-12-05 07:00:00");
        touch("L00001", "2024-12-05 14:30:00");
        touch("L00001", "2024-12-05 08:05:00", "COL01");
        touch("L00001", "2024-12-05 08:05:00");  // the same second again
        touch("L00002", "2024-11-30 23:59:59");
        touch("L00002", "2024-12-01 00:00:00");
        touch("L00002", "2024-12-31 23:59:59");
        touch("L00002", "2025-01-01 00:00:00");
        touch("", "2024-12-05 10:00:00");  // a touch without an identifier
    }

    void cleanup()
    {
        Spreadsheet::setOpener({});
        stopProgram();
    }

    void labelsAndNameParts()
    {
        QStringList labels;
        for (int month = 1; month <= 12; ++month)
            labels << RouteTimes::dayLabel(QDate(2024, month, month));
        QCOMPARE(labels.join(' '), QString("01/jan 02/fev 03/mar 04/abr 05/mai 06/jun 07/jul 08/ago 09/set "
                                           "10/out 11/nov 12/dez"));
        using Parts = std::pair<QString, QString>;
        QCOMPARE(RouteTimes::splitLocationName("001 - Portaria"), Parts("001", " Portaria"));
        QCOMPARE(RouteTimes::splitLocationName("PATIO"), Parts("", "PATIO"));
        // Only the first "-" splits; the character before it is always dropped.
        QCOMPARE(RouteTimes::splitLocationName("12-3-4"), Parts("1", "3-4"));
        QCOMPARE(RouteTimes::splitLocationName("-X"), Parts("", "X"));
    }

    void aMonthOfTimes()
    {
        const std::optional<RouteTimesSheet> s = RouteTimes(*dm).build(inputs(1, "E00001", "01/12/2024", "31/12/2024"));
        QVERIFY(s);
        QCOMPARE(s->text(1, 1), QString::fromUtf8("Relatório Analítico por Coletor"));
        QCOMPARE(s->text(2, 1), QString("Coletor: COL01 - ALFA"));
        QCOMPARE(s->text(3, 1), QString("20/12/2024 09:07"));
        QCOMPARE(s->text(4, 1), QString::fromUtf8("Código"));
        QCOMPARE(s->text(4, 2), QString("Nome"));
        // 31 days in columns 3 to 33.
        QCOMPARE(s->columnCount(), 33);
        for (int day = 1; day <= 31; ++day)
            QCOMPARE(s->text(4, 2 + day), QStringLiteral("%1/dez").arg(day, 2, 10, QChar('0')));
        // The event's times of a day share its cell; stops in ordem order below it. Touches
        // are taken whoever collected them; the same second twice is one time.
        const int day5 = 7;
        QCOMPARE(s->text(5, 1), QString("Evento"));
        QCOMPARE(s->text(5, 2), QString("RONDA"));
        QCOMPARE(s->text(5, day5), QString(" 07:00 19:00"));
        QCOMPARE(s->text(6, 1), QString("001"));
        QCOMPARE(s->text(6, 2), QString(" PORTARIA"));
        QCOMPARE(s->text(6, day5), QString(" 08:05 14:30"));
        QCOMPARE(s->text(6, day5 - 1), QString());
        // No "-": no code. The first and last second of the period count, nothing outside it.
        QCOMPARE(s->text(7, 1), QString());
        QCOMPARE(s->text(7, 2), QString("PATIO"));
        QCOMPARE(s->text(7, 3), QString(" 00:00"));
        QCOMPARE(s->text(7, 33), QString(" 23:59"));
        // The unregistered location: its name parts and empty days.
        QCOMPARE(s->text(8, 1), QString("003"));
        QCOMPARE(s->text(8, 2), QString(" GUARITA"));
        QCOMPARE(s->rowCount(), 8);
        for (int column = 3; column <= 33; ++column)
            QCOMPARE(s->text(8, column), QString());
    }

    void withoutAReferenceEventTheStopsStartOnRow5()
    {
        // The reference identifier is a location, not an event: the first stop replaces the
        // "Evento" label and there is no event row.
        std::optional<RouteTimesSheet> s = RouteTimes(*dm).build(inputs(2, "L00009", "01/12/2024", "01/12/2024"));
        QCOMPARE(s->tsv().mid(4), QStringList({"1\t3-4\t 00:00"}));
        // A route without a reference is not matched with an event registered without an
        // identifier, and a stop without an identifier has no touches of its own.
        s = RouteTimes(*dm).build(inputs(3, "", "05/12/2024", "05/12/2024"));
        QCOMPARE(s->tsv().mid(4), QStringList({"\tSEM BOTAO"}));
        // No route chosen: the event label alone.
        s = RouteTimes(*dm).build(inputs(0, "", "05/12/2024", "05/12/2024"));
        QCOMPARE(s->tsv().mid(3), QStringList({QString::fromUtf8("Código\tNome\t05/dez"), "Evento"}));
    }

    void endBeforeStartHasNoDays()
    {
        const std::optional<RouteTimesSheet> s = RouteTimes(*dm).build(inputs(1, "E00001", "05/12/2024", "04/12/2024"));
        QVERIFY(s);
        QCOMPARE(s->columnCount(), 2);
        QCOMPARE(s->tsv().mid(3), QStringList({QString::fromUtf8("Código\tNome"), "Evento\tRONDA", "001\t PORTARIA",
                                               "\tPATIO", "003\t GUARITA"}));
    }

    void anInvalidDayStopsBeforeAnyQuery()
    {
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Início: '32/12/2024' não é uma data válida"));
        msgs.expect(Kind::Error, QString::fromUtf8("Fim: '  /12/2024' não é uma data válida"));
        msgs.expect(Kind::Error, QString::fromUtf8("Fim: '29/02/2023' não é uma data válida"));
        msgs.expect(Kind::Error, QString::fromUtf8("Período longo demais: a planilha tem colunas para 16382 dias"));
        // What counting costs by itself, then the runs between two counts.
        const qlonglong first = statements();
        const qlonglong nothing = statements() - first;
        const qlonglong before = statements();
        QVERIFY(!RouteTimes(*dm).run(inputs(1, "E00001", "32/12/2024", "31/12/2024")));
        QVERIFY(!RouteTimes(*dm).run(inputs(1, "E00001", "01/12/2024", "  /12/2024")));
        QVERIFY(!RouteTimes(*dm).build(inputs(1, "E00001", "01/02/2023", "29/02/2023")));
        QVERIFY(!RouteTimes(*dm).run(inputs(1, "E00001", "01/01/2000", "01/01/2050")));
        QCOMPARE(statements() - before, nothing);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(planilhas().isEmpty());
        // A day with a blank is not a whole date, wherever the blank is.
        msgs.expect(Kind::Error, QString::fromUtf8("Início: ' 5/12/2024' não é uma data válida"));
        msgs.expect(Kind::Error, QString::fromUtf8("Fim: '05/12/2024 ' não é uma data válida"));
        QVERIFY(!RouteTimes(*dm).build(inputs(1, "E00001", " 5/12/2024", "05/12/2024")));
        QVERIFY(!RouteTimes(*dm).build(inputs(1, "E00001", "05/12/2024", "05/12/2024 ")));
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        // The count sees queries.
        QVERIFY(RouteTimes(*dm).build(inputs(1, "E00001", "05/12/2024", "05/12/2024")));
        QVERIFY(statements() - before > 2 * nothing);
        // Stopped by the user: no spreadsheet is left behind.
        QVERIFY(!RouteTimes(*dm).run(inputs(1, "E00001", "01/12/2024", "31/12/2024"), nullptr,
                                     Progress([](const QString &, qint64, qint64) { return false; })));
        QVERIFY(planilhas().isEmpty());
    }

    void windowAsAUserDrivesIt()
    {
        TfmRelcoletaroteiro w;
        QCOMPARE(w.windowTitle(), QString("Roteiros por coletor"));
        QCOMPARE(w.edInicio->maskedText(), QString("20/12/2024"));
        QCOMPARE(w.edFim->maskedText(), QString("20/12/2024"));
        QCOMPARE(w.dbgColetores->model()->rowCount(), 2);
        QCOMPARE(w.dbgColetores->toolTip(), QString("Selecione o coletor desejado"));
        QCOMPARE(w.dbgColetores->model()->headerData(1, Qt::Horizontal).toString(), QString("Nome do coletor"));
        QCOMPARE(w.DBGrid1->model()->headerData(0, Qt::Horizontal).toString(), QString("Nome do roteiro"));
        auto names = [&] {
            QStringList list;
            for (int r = 0; r < w.qyListaRoteiro->recordCount(); ++r)
                list << w.qyListaRoteiro->textAt(r, "nome_roteiro");
            return list;
        };
        QCOMPARE(names(), QStringList({"RONDA NOTURNA", "ROTA 100% SEGURA", "ROTA 1000", "ROTAXA", "ROTA_A"}));

        // Wildcards typed are just characters; a quote is too.
        w.Edit1->setText("100%");
        QCOMPARE(names(), QStringList({"ROTA 100% SEGURA"}));
        w.Edit1->setText("A_A");
        QCOMPARE(names(), QStringList({"ROTA_A"}));
        w.Edit1->setText("\"");
        QCOMPARE(names(), QStringList());
        w.Edit1->setText("noturna");
        QCOMPARE(names(), QStringList({"RONDA NOTURNA"}));

        // The second collector, the route found, December: the button is off while the sheet is
        // written and on again afterwards.
        QVERIFY(dm->qyColetores->locate("codigo_coletor", "COL02"));
        w.edInicio->setMaskedText("01/12/2024");
        w.edFim->setMaskedText("31/12/2024");
        qunsetenv("TORVEL_NO_SPREADSHEET_PROGRAM");
        QString opened;
        bool enabledWhileWriting = true;
        Spreadsheet::setOpener([&](const QString &path) {
            opened = path;
            enabledWhileWriting = w.btRelatorio->isEnabled();
            return true;
        });
        w.btRelatorioclick();
        QVERIFY(!opened.isEmpty());
        QVERIFY(!enabledWhileWriting);
        QVERIFY(w.btRelatorio->isEnabled());
        const XlsxReader x(opened);
        QCOMPARE(x.text("A2"), QString("Coletor: COL02 - BETA"));
        QCOMPARE(x.text("B5"), QString("RONDA"));
        QCOMPARE(x.text("G6"), QString(" 08:05 14:30"));

        // The spreadsheet cannot be started: the message, and the button back on.
        qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "1");
        QDir(Spreadsheet::folder()).removeRecursively();
        QFile blocker(Spreadsheet::folder().chopped(1));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, QString::fromUtf8("Não foi possível imprimir no Excel\nNão foi possível criar a pasta *"));
        w.btRelatorioclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(w.btRelatorio->isEnabled());

        // Esc closes the window from any field.
        w.show();
        QTest::keyClick(w.Edit1, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(w.result(), int(QDialog::Rejected));
    }

    void torvelctlReport()
    {
        const QString file = env->root() + "rota.xlsx";
        Ctl r = ctl({"--collector", "COL01", "--route", "1", "--from", "01/12/2024", "--to", "31/12/2024",
                     "--xlsx", file});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        const XlsxReader x(file);
        QCOMPARE(x.text("A1"), QString::fromUtf8("Relatório Analítico por Coletor"));
        QVERIFY(x.style("A1") != 0 && x.styles().contains("<sz val=\"16\"/>"));
        QCOMPARE(x.text("A2"), QString("Coletor: COL01 - ALFA"));
        QCOMPARE(x.text("C4"), QString("01/dez"));
        QCOMPARE(x.text("AG4"), QString("31/dez"));
        QVERIFY(!x.has("AH4"));
        QCOMPARE(x.text("G5"), QString(" 07:00 19:00"));
        QCOMPARE(x.text("G6"), QString(" 08:05 14:30"));
        QCOMPARE(x.text("AG7"), QString(" 23:59"));
        // Moved, not copied, out of the spreadsheets' folder.
        QVERIFY(planilhas().isEmpty());

        r = ctl({"--collector", "COL01", "--route", "1", "--from", "05/12/2024", "--to", "05/12/2024", "--tsv"});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out.mid(3), QStringList({QString::fromUtf8("Código\tNome\t05/dez"), "Evento\tRONDA\t 07:00 19:00",
                                            "001\t PORTARIA\t 08:05 14:30", "\tPATIO", "003\t GUARITA"}));

        const QStringList rest{"--from", "01/12/2024", "--to", "31/12/2024", "--xlsx", env->root() + "x.xlsx"};
        r = ctl(QStringList{"--collector", "NAO", "--route", "1"} + rest);
        QVERIFY2(r.status == 1 && r.err.contains(QString::fromUtf8("Coletor não cadastrado!")), qPrintable(r.err));
        r = ctl(QStringList{"--collector", "COL01", "--route", "9"} + rest);
        QVERIFY2(r.status == 1 && r.err.contains(QString::fromUtf8("Roteiro não cadastrado!")), qPrintable(r.err));
        // Not a whole number: no route, rather than route 1.
        for (const char *route : {"1x", " 1", "1'", "1 "}) {
            r = ctl(QStringList{"--collector", "COL01", "--route", route} + rest);
            QVERIFY2(r.status == 1 && r.err.contains(QString::fromUtf8("não é um código de roteiro")), qPrintable(r.err));
        }
        r = ctl({"--collector", "COL01", "--route", "1", "--from", "01/13/2024", "--to", "31/12/2024", "--xlsx",
                 env->root() + "x.xlsx"});
        QVERIFY2(r.status == 1 && r.err.contains(QString::fromUtf8("Início: '01/13/2024' não é uma data válida")),
                 qPrintable(r.err));
        r = ctl({"--collector", "COL01", "--route", "1", "--from", "01/12/2024", "--to", "31/12/2024", "--pdf",
                 env->root() + "x.pdf"});
        QCOMPARE(r.status, 1);
        r = ctl({"--collector", "COL01", "--route", "1", "--from", "01/12/2024"});
        QVERIFY2(r.status == 1 && r.err.contains("--to"), qPrintable(r.err));
        QVERIFY(!QFile::exists(env->root() + "x.xlsx"));
        QVERIFY(!QFile::exists(env->root() + "x.pdf"));
    }
};

QTEST_MAIN(TestRouteTimes)
#include "tst_routetimes.moc"
