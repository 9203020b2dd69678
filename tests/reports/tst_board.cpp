#include "ConsistencyScenario.h"
#include "platform/MessageService.h"
#include "platform/MaskEdit.h"
#include "reports/RoundsBoard.h"
#include "reports/TfmPainel.h"

#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

// The day's board: its cycles and verdicts checked against the consistency report's own rows
// of each collector's day, its command-line outputs and the days it refuses.
class TestBoard : public QObject, public ScenarioFixture {
    Q_OBJECT

    using Run = Torvelctl::Result;
    // As a batch job runs it: no screen setting.
    static Run torvelctl(const QStringList &args)
    {
        return Torvelctl::run(QStringList{"board"} + args, {.batch = true, .skipBlankLines = true});
    }

    // Two routes and two collectors on 08/12/2026: every status, touches outside the route, a
    // cycle running past midnight and one of the next day.
    void fillDay()
    {
        seedCollectors();
        const QString a = sc->route({.name = "RONDA A", .stops = {"PATIO", "GARAGEM", "PORTARIA"},
                                     .checkOrder = true, .timeBetween = true, .standardLimits = true,
                                     .standardMin = "0", .standardMax = "5"});
        const QString b = sc->route({.name = "RONDA B", .stops = {"DEPOSITO", "ESCRITORIO"}, .checkOrder = true,
                                     .checkDuration = true, .durationMin = "0", .durationMax = "30"});
        const QString patio = sc->location("PATIO"), garagem = sc->location("GARAGEM"),
                      portaria = sc->location("PORTARIA"), deposito = sc->location("DEPOSITO"),
                      escritorio = sc->location("ESCRITORIO"), cantina = sc->location("CANTINA");
        const QString alarme = sc->event("ALARME");
        const QString guarda = sc->collaborator("JOAO");
        // COL01, route A: correct (with an event, a collaborator and an unknown identifier),
        // incomplete, out of order, out of time (and a location off the route after it).
        sc->touches({a, guarda, patio, alarme, garagem, "ZZ999", portaria}, "08:00:00");
        sc->touches({a, patio, portaria}, "09:00:00");
        sc->touches({a, garagem, patio, portaria}, "10:00:00");
        sc->touch(a, "11:00:00");
        sc->touch(patio, "11:01:00");
        sc->touch(garagem, "11:20:00");
        sc->touch(portaria, "11:21:00");
        sc->touch(cantina, "11:22:00");
        // COL02, route B: an event before the first reference (no cycle), a correct cycle, one
        // too long, one that runs past midnight, one of the next day.
        sc->touch(alarme, "07:00:00", "COL02");
        sc->touch(b, "08:00:00", "COL02");
        sc->touch(deposito, "08:05:00", "COL02");
        sc->touch(escritorio, "08:10:00", "COL02");
        sc->touch(b, "12:00:00", "COL02");
        sc->touch(deposito, "12:05:00", "COL02");
        sc->touch(escritorio, "12:50:00", "COL02");
        sc->touch(b, "23:50:00", "COL02");
        sc->touch(deposito, "23:55:00", "COL02");
        sc->touch(escritorio, "09/12/2026 00:05:00", "COL02");
        sc->touch(b, "09/12/2026 00:10:00", "COL02");
        sc->touch(deposito, "09/12/2026 00:15:00", "COL02");
        sc->touch(escritorio, "09/12/2026 00:20:00", "COL02");
    }

    std::vector<BoardCycle> board(const QDate &day, const QString &collector = {})
    {
        ScriptedMessageService msgs;
        RoundsBoard b(*dm);
        b.build(day, collector);
        if (!msgs.done())
            qWarning() << msgs.problems();
        return b.cycles();
    }

    // What the consistency report of a collector's day says of each cycle, read from its own
    // rows: "route|status|not visited|out of time" by cycle number.
    QMap<int, QString> reportVerdicts(const QString &collector, const QDate &day)
    {
        ScriptedMessageService msgs;
        ConsistencyInputs in;
        in.collector = collector;
        in.periodGiven = true;
        in.periodStart = day.toString("dd/MM/yyyy") + " 00:00:00";
        in.periodEnd = day.toString("dd/MM/yyyy") + " 23:59:59";
        ConsistencyAnalysis analysis(*dm);
        if (!analysis.run(in).produced())
            return {};
        QMap<int, QString> verdicts;
        int cycle = 0;
        QString route;
        int notVisited = 0, late = 0;
        bool inversion = false, duration = false;
        auto close = [&] {
            if (cycle == 0)
                return;
            const QString status = notVisited ? "Incompleta" : inversion ? "Fora de ordem"
                                 : late || duration            ? "Fora do tempo"
                                                               : "Correta";
            verdicts[cycle] = QStringList{route, status, QString::number(notVisited), QString::number(late)}.join('|');
        };
        static const QRegularExpression header("^CICLO (\\d+) - (.*?)(  -  Duração.*)?$");
        for (const QString &line : Scenario::rows(*dm)) {
            const QStringList c = line.split('|');
            if (const auto m = header.match(c.value(0)); m.hasMatch()) {
                close();
                cycle = m.captured(1).toInt();
                route = m.captured(2);
                notVisited = late = 0;
                inversion = duration = false;
                continue;
            }
            if (c.value(0).startsWith(QString::fromUtf8("- Não Visitados: ")))
                notVisited = c.value(0).section(": ", 1).toInt();
            inversion = inversion || c.value(4) == QString::fromUtf8("Inversão") ||
                        c.value(0) == QString::fromUtf8("- Ocorreu Inversão");
            duration = duration || c.value(0).startsWith(QString::fromUtf8("- Tempo Gasto p/ realização"));
            if (!c.value(6).isEmpty())
                ++late;
        }
        close();
        return verdicts;
    }

private Q_SLOTS:
    void init() { QVERIFY(startScenario({.ini = true})); }

    void cleanup() { stopScenario(); }

    void everyStatusAsTheAnalysisMarksIt()
    {
        fillDay();
        const QDate day(2026, 12, 8);
        const std::vector<BoardCycle> cycles = board(day);
        QStringList lines;
        for (const BoardCycle &c : cycles)
            lines << c.fields().join('\t');
        const QStringList expected = {
            "RONDA A\tCOL01\t1\t08/12/2026 08:00:00\t08/12/2026 08:06:00\tCorreta\t3\t3\t0\t0",
            "RONDA A\tCOL01\t2\t08/12/2026 09:00:00\t08/12/2026 09:02:00\tIncompleta\t3\t2\t1\t0",
            "RONDA A\tCOL01\t3\t08/12/2026 10:00:00\t08/12/2026 10:03:00\tFora de ordem\t3\t3\t0\t0",
            "RONDA A\tCOL01\t4\t08/12/2026 11:00:00\t08/12/2026 11:22:00\tFora do tempo\t3\t3\t0\t1",
            "RONDA B\tCOL02\t1\t08/12/2026 08:00:00\t08/12/2026 08:10:00\tCorreta\t2\t2\t0\t0",
            "RONDA B\tCOL02\t2\t08/12/2026 12:00:00\t08/12/2026 12:50:00\tFora do tempo\t2\t2\t0\t0",
            "RONDA B\tCOL02\t3\t08/12/2026 23:50:00\t08/12/2026 23:55:00\tIncompleta\t2\t1\t1\t0",
        };
        QCOMPARE(lines, expected);

        // The same cycles, routes and verdicts as the consistency report's rows of each day.
        for (const QString collector : {"COL01", "COL02"}) {
            const QMap<int, QString> report = reportVerdicts(collector, day);
            QMap<int, QString> onBoard;
            for (const BoardCycle &c : cycles)
                if (c.collector == collector)
                    onBoard[c.number()] = QStringList{c.routeName(), statusText(c.status),
                                                      QString::number(c.notVisited),
                                                      QString::number(c.outOfTime)}.join('|');
            QCOMPARE(onBoard, report);
        }

        // Summaries per route, and what the timelines draw.
        RoundsBoard b(*dm);
        b.build(day);
        const std::vector<RouteSummary> routes = b.summaries();
        QCOMPARE(routes.size(), size_t(2));
        QCOMPARE(routes[0].text(), QString::fromUtf8("4 ciclos: 1 correto, 1 incompleto, 1 fora de ordem, 1 fora do tempo"));
        QCOMPARE(routes[1].text(), QString::fromUtf8("3 ciclos: 1 correto, 1 incompleto, 0 fora de ordem, 1 fora do tempo"));

        const TimelineModel first = timelineOf(cycles[0]);
        QCOMPARE(first.rows, (QStringList{"INICIO RONDA A", "PATIO", "GARAGEM", "PORTARIA"}));
        QStringList drawn;
        for (const TimelineModel::Mark &m : first.marks)
            drawn << QString::number(m.row);
        // The reference, the collaborator (outside), PATIO, the event, GARAGEM, the unknown
        // identifier, PORTARIA.
        QCOMPARE(drawn.join(' '), QString("0 -1 1 -1 2 -1 3"));
        QVERIFY(first.missed.empty());
        const TimelineModel incomplete = timelineOf(cycles[1]);
        QCOMPARE(incomplete.missed.size(), size_t(1));
        QCOMPARE(incomplete.missed[0].first, 2);  // GARAGEM
        const TimelineModel late = timelineOf(cycles[3]);
        QCOMPARE(late.marks[2].delay, QString("Atrasado 14,00"));
        QCOMPARE(late.marks.back().row, -1);  // CANTINA, off the route
        QVERIFY(!timelineOf(cycles[5]).duration.isEmpty());
    }

    void oneCollectorOnlyAndTheNextDay()
    {
        fillDay();
        std::vector<BoardCycle> cycles = board(QDate(2026, 12, 8), "COL02");
        QCOMPARE(cycles.size(), size_t(3));
        for (const BoardCycle &c : cycles)
            QCOMPARE(c.collector, QString("COL02"));
        // The next day: the touch after midnight belongs to no cycle; the cycle that starts at
        // 00:10 is that day's first. The analysis judged that touch against the route before
        // any reference (DEPOSITO missed, ESCRITORIO out of order) and reports both under the
        // first cycle: the board says what the consistency report of that day says.
        const QDate next(2026, 12, 9);
        cycles = board(next);
        QCOMPARE(cycles.size(), size_t(1));
        QCOMPARE(cycles[0].fields().join('\t'),
                 QString("RONDA B\tCOL02\t1\t09/12/2026 00:10:00\t09/12/2026 00:20:00\tIncompleta\t2\t1\t1\t0"));
        QCOMPARE(reportVerdicts("COL02", next).value(1), QString("RONDA B|Incompleta|1|0"));
        QVERIFY(board(QDate(2026, 12, 7)).empty());
    }

    void commandLineOutputs()
    {
        fillDay();
        const Run tsv = torvelctl({"--day", "08/12/2026", "--tsv"});
        QCOMPARE(tsv.status, 0);
        QCOMPARE(tsv.out.size(), 7);
        QVERIFY(tsv.out[0].startsWith("RONDA A\tCOL01\t1\t"));
        const Run one = torvelctl({"--day", "08/12/2026", "--collector", "COL01", "--tsv"});
        QCOMPARE(one.out, tsv.out.mid(0, 4));

        const QString pdf = env->root() + "painel.pdf";
        const Run printed = torvelctl({"--day", "08/12/2026", "--pdf", pdf});
        QVERIFY2(printed.status == 0, qPrintable(printed.err));
        QProcess info;
        info.start("pdfinfo", {pdf});
        info.waitForFinished(30000);
        const QString pages = QString::fromUtf8(info.readAllStandardOutput()).section("Pages:", 1).section('\n', 0, 0);
        // The board, then a page per route and collector.
        QVERIFY2(pages.trimmed().toInt() >= 3, qPrintable(pages));
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        text.waitForFinished(30000);
        const QString words = QString::fromUtf8(text.readAllStandardOutput());
        for (const char *expected : {"Painel do dia 08/12/2026", "Fora de ordem", "Incompleta",
                                     "RONDA B - coletor COL02", "Atrasado 14,00 min", "Fora do roteiro"})
            QVERIFY2(words.contains(QString::fromUtf8(expected)), expected);

        const QString folder = env->root() + "figuras";
        QVERIFY(QDir().mkpath(folder));
        const Run pictures = torvelctl({"--day", "08/12/2026", "--png", folder});
        QVERIFY2(pictures.status == 0, qPrintable(pictures.err));
        QStringList files = QDir(folder).entryList({"*.png"}, QDir::Files, QDir::Name);
        QCOMPARE(files, (QStringList{"COL01-1.png", "COL01-2.png", "COL01-3.png", "COL01-4.png",
                                     "COL02-1.png", "COL02-2.png", "COL02-3.png"}));
        QImage picture(folder + "/COL01-1.png");
        QVERIFY(picture.width() > 1000 && picture.height() > 200);
    }

    void windowShowsTheDayAndItsTimelines()
    {
        fillDay();
        ScriptedMessageService msgs;
        TfmPainel w;
        w.edDia->setDate(QDate(2026, 12, 8));
        QVERIFY(w.btAtualizarclick());
        QCOMPARE(w.tvCiclos->topLevelItemCount(), 2);
        QTreeWidgetItem *a = w.tvCiclos->topLevelItem(0);
        QCOMPARE(a->text(0), QString::fromUtf8("RONDA A - 4 ciclos: 1 correto, 1 incompleto, 1 fora de ordem, 1 fora do tempo"));
        QCOMPARE(a->childCount(), 4);
        QCOMPARE(a->child(1)->text(4), QString("Incompleta"));  // the word, besides the colour
        // The first cycle is chosen and drawn; another choice draws that one.
        QVERIFY(w.Linha->model().has_value());
        QCOMPARE(w.Linha->model()->rows.value(1), QString("PATIO"));
        w.tvCiclos->setCurrentItem(w.tvCiclos->topLevelItem(1)->child(2));
        QCOMPARE(w.Linha->model()->missed.size(), size_t(1));
        w.tvCiclos->setCurrentItem(a);  // a route line has no timeline
        QVERIFY(!w.Linha->model().has_value());

        // A double click shows the consistency report of that collector's day; "Imprimir" the
        // printed board.
        QStringList previews;
        ScriptedDialogRunner dialogs;
        auto seen = [&previews](QDialog *d) {
            previews << d->windowTitle();
            return int(QDialog::Rejected);
        };
        dialogs.expect("QPrintPreviewDialog", seen);
        dialogs.expect("QPrintPreviewDialog", seen);
        w.tvCiclosdoubleclick(a->child(2));
        w.tvCiclosdoubleclick(a);  // a route line opens nothing
        w.btImprimirclick();
        QCOMPARE(previews, (QStringList{QString::fromUtf8("Visualização - Consistência"),
                                        QString::fromUtf8("Visualização - Painel do dia 08/12/2026")}));
        QVERIFY2(dialogs.problems().isEmpty(), qPrintable(dialogs.problems().join('\n')));

        // One collector; the arrows move the day and build it again.
        w.cbColetor->setCurrentIndex(w.cbColetor->findData("COL02"));
        QVERIFY(w.btAtualizarclick());
        QCOMPARE(w.tvCiclos->topLevelItemCount(), 1);
        w.btProximoclick();
        QCOMPARE(w.edDia->maskedText(), QString("09/12/2026"));
        QCOMPARE(w.board().cycles().size(), size_t(1));
        w.btAnteriorclick();
        w.btAnteriorclick();
        QCOMPARE(w.tvCiclos->topLevelItemCount(), 0);
        QCOMPARE(w.lbSituacao->text(), QString("Nenhum toque em 07/12/2026 do coletor COL02."));

        msgs.expect(MessageService::Kind::Error, QString::fromUtf8("Dia: '31/02/2026' não é uma data válida (dd/mm/aaaa)"));
        w.edDia->setText("31/02/2026");
        QVERIFY(!w.btAtualizarclick());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join(", ")));
    }

    void daysRefusedAndEmpty()
    {
        fillDay();
        for (const QString bad : {"31/02/2026", " 9/12/2026", "9/12/2026", "08/12/2026 10:00", "ontem", ""}) {
            const Run r = torvelctl({"--day", bad, "--tsv"});
            QVERIFY2(r.status != 0, qPrintable(bad));
            QVERIFY2(r.err.contains(QString::fromUtf8("--day: '%1' não é uma data válida").arg(bad)),
                     qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
        }
        const Run empty = torvelctl({"--day", "01/01/2026", "--tsv"});
        QCOMPARE(empty.status, 0);
        QVERIFY(empty.out.isEmpty());
        QVERIFY2(empty.err.contains("Nenhum toque em 01/01/2026."), qPrintable(empty.err));
        const Run nobody = torvelctl({"--day", "08/12/2026", "--collector", "COL09", "--tsv"});
        QVERIFY2(nobody.err.contains("Nenhum toque em 08/12/2026 do coletor COL09."), qPrintable(nobody.err));
        QCOMPARE(torvelctl({"--day", "08/12/2026"}).status, 2);  // no output asked for
    }
};

QTEST_MAIN(TestBoard)
#include "tst_board.moc"
