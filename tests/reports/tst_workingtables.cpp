#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "platform/Folders.h"
#include "platform/LocalTable.h"
#include "platform/SystemServices.h"
#include "reports/DistancesTravelled.h"
#include "reports/ProgrammableReport.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

// Reports that run at the same time, in torvelctl and beside the desktop program, each on its
// own working tables: the programmable report and the distances both build a table "temp".
class TestWorkingTables : public QObject, public ProgramFixture {
    Q_OBJECT

    struct Run {
        QStringList args;
        QString expected;
    };

    static QStringList programmable(const QString &collector)
    {
        return {"report", "programmable", "--from", "01/03/2024 00:00", "--to", "31/03/2024 23:59",
                "--collector", collector, "--unregistered", "yes", "--unbound", "yes", "--tsv"};
    }
    static QStringList distances(const QString &form)
    {
        return {"report", "distances", "--collector", "COL01", "--from", "01/03/2024", "--to", "31/03/2024",
                "--form", form, "--tsv"};
    }

    static QString runAlone(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(TORVELCTL), args);
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            return QStringLiteral("<failed: %1>").arg(QString::fromUtf8(p.readAllStandardError()));
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // The TEMP folder's entries, hidden ones too.
    static QStringList tempEntries()
    {
        return QDir(Folders::tempFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.ini = true}));
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('COL01', 'ALFA'), "
                  "('COL02', 'BETA'), ('COL03', 'GAMA')");
        tdb->exec("insert into buttons (codigo_button, referencia) values ('L00001', 'L'), ('L00002', 'L'), "
                  "('L00003', 'L'), ('F00001', 'F')");
        tdb->exec("insert into locais (nome_local, button_local) values ('PORTARIA', 'L00001'), "
                  "('PATIO', 'L00002'), ('GUARITA', 'L00003')");
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria) values (1, 'JOSE', 'F00001')");
        tdb->exec("insert into distancia (descricao, pontoA, pontoB, km) values ('a', 'L00001', 'L00002', 12), "
                  "('b', 'L00002', 'L00003', 5), ('c', 'L00003', 'L00001', 7)");
        tdb->exec("insert into precokm (datainicio, datafim, custo) values ('2024-03-01', null, 2.5)");
        // Every day of March, each collector its own round of touches: enough rows that runs
        // at the same time overlap.
        QStringList values;
        const QStringList buttons{"L00001", "L00002", "L00003", "F00001"};
        for (int day = 1; day <= 31; ++day)
            for (int i = 0; i < 12; ++i)
                for (const char *collector : {"COL01", "COL02", "COL03"})
                    values << QStringLiteral("('%1', '2024-04-01 10:00:00', '%2', '2024-03-%3 %4:%5:00', 0, 0)")
                                  .arg(QLatin1String(collector), buttons.at((i + day) % buttons.size()))
                                  .arg(day, 2, 10, QChar('0'))
                                  .arg(8 + i, 2, 10, QChar('0'))
                                  .arg(QLatin1String(collector) == QLatin1String("COL02") ? 15 : 30);
        tdb->exec("insert into desctot (coletor, data_descarga, button, data_toque, codigo_roteiro, codigo_func) values " +
                  values.join(','));
    }

    void cleanup() { stopProgram(); }

    // The data module's working tables are its own: a private folder under TEMP, gone with it.
    void theDataModuleWorksInAFolderOfItsOwn()
    {
        const QString mine = dm->tempFolder();
        QVERIFY(mine.startsWith(Folders::tempFolder()));
        QVERIFY(mine != Folders::tempFolder());
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(mine).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);

        // A table of this process, named as the distances' table, outlives a torvelctl run of
        // the distances.
        {
            LocalTable table(mine, DistancesTravelled::kWorkingTable);
            QVERIFY(table.create({{"Col1", LocalField::String, 20}}));
            QVERIFY(table.appendRows({{"DESTE PROCESSO"}}));
            QVERIFY(table.flush());
        }
        const QString report = runAlone(distances("synthetic"));
        QVERIFY2(report.contains("PORTARIA"), qPrintable(report));
        LocalTable table(mine, DistancesTravelled::kWorkingTable);
        QVERIFY2(table.open(), qPrintable(table.lastError()));
        QCOMPARE(table.rows(), (QList<QVariantList>{{"DESTE PROCESSO"}}));
        table.close();
        // torvelctl took its folder away when it ended.
        QCOMPARE(tempEntries().size(), 2);  // this process's folder and its lock

        dm.reset();
        QVERIFY(!QFileInfo::exists(mine));
        QVERIFY(tempEntries().isEmpty());
    }

    // Reports run at the same time, again and again: each prints its own rows, whole.
    void reportsRunAtTheSameTimePrintTheirOwnRows()
    {
        QList<Run> runs{{programmable("COL02"), {}}, {distances("analytic"), {}},
                        {programmable("COL03"), {}}, {distances("synthetic"), {}}};
        for (Run &run : runs) {
            run.expected = runAlone(run.args);
            QVERIFY2(run.expected.count('\n') > 20, qPrintable(run.args.join(' ') + ": " + run.expected));
        }
        QVERIFY(runs[0].expected != runs[2].expected);
        QVERIFY(runs[1].expected != runs[3].expected);

        for (int round = 0; round < 5; ++round) {
            std::vector<std::unique_ptr<QProcess>> processes;
            for (const Run &run : runs) {
                processes.push_back(std::make_unique<QProcess>());
                processes.back()->start(QStringLiteral(TORVELCTL), run.args);
            }
            for (size_t i = 0; i < processes.size(); ++i) {
                QProcess &p = *processes[i];
                QVERIFY(p.waitForFinished(120000));
                const QString what = QStringLiteral("round %1, %2: %3")
                                         .arg(round)
                                         .arg(runs[int(i)].args.join(' '), QString::fromUtf8(p.readAllStandardError()));
                QVERIFY2(p.exitCode() == 0, qPrintable(what));
                QVERIFY2(QString::fromUtf8(p.readAllStandardOutput()) == runs[int(i)].expected, qPrintable(what));
            }
        }
        // Every run took its working folder away; only this process's is left.
        QCOMPARE(tempEntries().size(), 2);
    }
};

QTEST_MAIN(TestWorkingTables)
#include "tst_workingtables.moc"
