#include "TestFiles.h"
#include "PdfWords.h"
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "Unwritable.h"
#include "XlsxReader.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

// The files torvelctl writes for the user (PDF, spreadsheet, exports): a failure is told with
// the file and the reason and a failing exit status, and the file that was there is left as it
// was, with nothing beside it; a success leaves the real file and nothing else.
class TestOutputFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TestDatabase> tdb;

    struct Ctl {
        int status = -1;
        QString err;
    };

    Ctl ctl(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(TORVELCTL), args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardError())};
    }

    QString out(const QString &name) const { return env->root() + "saida/" + name; }
    QStringList outEntries() const
    {
        return QDir(env->root() + "saida").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // What the spreadsheets' own folder holds: torvelctl writes only the file asked for.
    QStringList planilhas() const
    {
        return QDir(env->root() + "docs/Planilhas").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static QByteArray readAll(const QString &path) { return TestFiles::readAll(path); }
    static void writeFile(const QString &path, const QByteArray &content) { TestFiles::writeAll(path, content); }

    // A failed run: the failing status, the message with the file and the reason, none of
    // Qt's painter warnings.
    static void checkFailure(const Ctl &r, const QString &file, const QString &reason)
    {
        QVERIFY2(r.status != 0, qPrintable(r.err));
        const QString message = QString::fromUtf8("Não foi possível gravar o arquivo %1: %2").arg(file, reason);
        QVERIFY2(r.err.contains(message), qPrintable(r.err + "\n(esperado: " + message + ")"));
        QVERIFY2(!r.err.contains("QPainter"), qPrintable(r.err));
    }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        tdb = std::make_unique<TestDatabase>();
        env->writeIniFor(tdb->params());
        QDir().mkpath(env->root() + "saida");
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('COL01', 'ALFA'), ('COL02', 'BETA')");
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria, complemento) values (1, 'JOSE', 'F00001', '7')");
        tdb->exec("insert into buttons (codigo_button, referencia) values ('E00001', 'E')");
        tdb->exec("insert into desctot (coletor, data_descarga, data_toque, button, codigo_func) values "
                  "('COL01', '2024-03-05 10:00:00', '2024-03-05 08:00:00', 'F00001', 1), "
                  "('COL01', '2024-03-05 10:00:00', '2024-03-05 08:10:00', 'E00001', 1)");
    }

    void cleanup()
    {
        tdb.reset();
        env.reset();
    }

    void pdfAndSpreadsheetThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("pdf") << "--pdf";
        QTest::newRow("xlsx") << "--xlsx";
    }

    void pdfAndSpreadsheetThatCannotBeWritten()
    {
        QFETCH(QString, option);
        const QStringList listing{"listing", "collectors"};
        // A folder.
        QDir().mkpath(out("pasta"));
        checkFailure(ctl(listing + QStringList{option, out("pasta")}), out("pasta"), QString::fromUtf8("é uma pasta"));
        QCOMPARE(QDir(out("pasta")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        // A folder that is not there.
        checkFailure(ctl(listing + QStringList{option, out("falta/r")}), out("falta/r"),
                     QString::fromUtf8("a pasta %1 não existe").arg(out("falta")));
        QCOMPARE(outEntries(), QStringList{"pasta"});
        QVERIFY(planilhas().isEmpty());

        // An old file that may not be replaced, or that lives in a folder that may not be
        // written: it stays byte for byte.
        const QByteArray old = "o relatório de ontem\n";
        writeFile(out("r"), old);
        for (const QString &locked : {out("r"), env->root() + "saida"}) {
            Unwritable guard(locked);
            if (!guard.ok())
                QSKIP("this file system cannot make a file unwritable for root");
            const Ctl r = ctl(listing + QStringList{option, out("r")});
            QVERIFY2(r.status != 0, qPrintable(r.err));
            QVERIFY2(r.err.contains(QString::fromUtf8("Não foi possível gravar o arquivo %1: ").arg(out("r"))), qPrintable(r.err));
            QCOMPARE(readAll(out("r")), old);
            QCOMPARE(outEntries(), (QStringList{"pasta", "r"}));
        }
        QVERIFY(planilhas().isEmpty());

        // Written: the real file in its place, nothing beside it.
        const Ctl r = ctl(listing + QStringList{option, out("r")});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        if (option == "--pdf")
            QVERIFY(pdfText(out("r")).contains("ALFA"));
        else
            QCOMPARE(XlsxReader(out("r")).text("A9"), QString("TOTAL: 2"));
        QCOMPARE(outEntries(), (QStringList{"pasta", "r"}));
        QVERIFY(planilhas().isEmpty());
    }

    // The same through a report and the consistency analysis, which write PDFs and
    // spreadsheets of their own.
    void reportsTellWhyAFileCannotBeWritten()
    {
        QDir().mkpath(out("pasta"));
        const QStringList report{"report", "downloads-by-collector", "--collector", "COL01"};
        checkFailure(ctl(report + QStringList{"--pdf", out("pasta")}), out("pasta"), QString::fromUtf8("é uma pasta"));
        checkFailure(ctl(report + QStringList{"--xlsx", out("pasta")}), out("pasta"), QString::fromUtf8("é uma pasta"));
        const QStringList consistency{"consistency", "--collector", "COL01"};
        checkFailure(ctl(consistency + QStringList{"--pdf", out("pasta")}), out("pasta"), QString::fromUtf8("é uma pasta"));
        checkFailure(ctl(consistency + QStringList{"--xlsx", out("falta/c.xlsx")}), out("falta/c.xlsx"),
                     QString::fromUtf8("a pasta %1 não existe").arg(out("falta")));
        QCOMPARE(outEntries(), QStringList{"pasta"});
        QVERIFY(planilhas().isEmpty());
        QVERIFY(ctl(report + QStringList{"--xlsx", out("d.xlsx")}).status == 0);
        QCOMPARE(XlsxReader(out("d.xlsx")).text("A4").isEmpty(), false);
        QCOMPARE(outEntries(), (QStringList{"d.xlsx", "pasta"}));
    }

    // The exports: appending or replacing, a file that cannot be written keeps what it had.
    void exportsKeepTheOldFileWhenTheyFail()
    {
        const QByteArray old = "******** 240304 10,00,00\r\n0,7 04/03/2024 08:00 COL01\r\n";
        writeFile(out("pontos.txt"), old);
        writeFile(out("jornal.txt"), old);
        const QStringList touches{"export-touches", "--from", "05/03/2024", "--to", "05/03/2024", "--file", out("pontos.txt")};
        const QStringList newspaper{"export-newspaper", "--collector", "COL01", "--from", "05/03/2024 00:00",
                                    "--to", "05/03/2024 23:59", "--file", out("jornal.txt")};
        const QList<std::pair<QStringList, QString>> runs{{touches, out("pontos.txt")},
                                                          {touches + QStringList{"--append"}, out("pontos.txt")},
                                                          {newspaper, out("jornal.txt")}};
        for (const QString &locked : {out("pontos.txt"), out("jornal.txt"), env->root() + "saida"}) {
            Unwritable guard(locked);
            if (!guard.ok())
                QSKIP("this file system cannot make a file unwritable for root");
            for (const auto &[args, file] : runs) {
                if (locked != file && !locked.endsWith("saida"))
                    continue;
                const Ctl r = ctl(args);
                QVERIFY2(r.status != 0, qPrintable(args.join(' ') + ": " + r.err));
                QVERIFY2(r.err.contains(file), qPrintable(r.err));
            }
            QCOMPARE(readAll(out("pontos.txt")), old);
            QCOMPARE(readAll(out("jornal.txt")), old);
            QCOMPARE(outEntries(), (QStringList{"jornal.txt", "pontos.txt"}));
        }
        // Appended: the old lines and the new one, nothing beside the file.
        QVERIFY(ctl(touches + QStringList{"--append"}).status == 0);
        QCOMPARE(readAll(out("pontos.txt")), old + "0,7 05/03/2024 08:00 COL01\r\n");
        QVERIFY(ctl(newspaper).status == 0);
        QCOMPARE(readAll(out("jornal.txt")), QByteArray("A;COL01;20240305;100000;20240305;081000;;\r\n"));
        QCOMPARE(outEntries(), (QStringList{"jornal.txt", "pontos.txt"}));
    }
};

QTEST_MAIN(TestOutputFiles)
#include "tst_outputfiles.moc"
