#include "TestFiles.h"
#include "ProgramFixture.h"
#include "core/TdmzDados.h"
#include "listings/NewspaperExport.h"
#include "listings/TfmExporta.h"
#include "listings/TfmExportaJornal.h"
#include "listings/TouchExport.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QProcess>
#include <QTableWidget>
#include <QtTest>

using Kind = MessageService::Kind;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 7, 9));

using TestFiles::readAll;

}  // namespace

// The two files written for other systems, byte for byte.
class TestExports : public QObject, public ProgramFixture {
    Q_OBJECT

    void touchAt(const char *collector, const char *moment, const char *id,
                 const char *downloaded = "2024-03-05 10:00:00")
    {
        tdb->exec(QStringLiteral("insert into desctot (coletor, data_descarga, data_toque, button) "
                                 "values ('%1', '%2', '%3', '%4')")
                      .arg(collector, downloaded, moment, id));
    }

    int runCtl(const QStringList &args, QString *out = nullptr)
    {
        const ConnectionParams p = tdb->params();
        QProcess ctl;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TORVEL_DB_PASSWORD", p.password);
        ctl.setProcessEnvironment(environment);
        ctl.start(TORVELCTL, args + QStringList{"--host", p.host, "--port", QString::number(p.port),
                                                "--user", p.user, "--database", p.database});
        ctl.waitForFinished(30000);
        if (out)
            *out = QString::fromUtf8(ctl.readAllStandardOutput() + ctl.readAllStandardError());
        return ctl.exitCode();
    }

private Q_SLOTS:
    void init() { QVERIFY(startProgram({.now = kNow})); }
    void cleanup() { stopProgram(); }

    void touchExportLinesAndHeader()
    {
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria, complemento) values "
                  "(1, 'JOSE', 'F00001', '1234  '), (2, 'ANA', 'F00002', ''), "
                  "(3, 'LUÍS', 'F00003', 'AÇÃO€'), (4, 'DUPLO', 'F00003', '99')");
        touchAt("0001", "2024-03-05 14:07:40", "F00001");
        touchAt("0001", "2024-03-04 00:00:00", "F00002");   // first second of the period
        touchAt("0002", "2024-03-05 23:59:59", "F00003");   // last second: in, shared by two
        touchAt("0001", "2024-03-06 00:00:00", "F00001");   // the day after: out
        touchAt("0001", "2024-03-05 10:00:00", "E00001");   // not a collaborator's
        const QString path = env->root() + "pontos.txt";
        TouchExportResult r = TouchExport(*dm).run({"04/03/2024", "05/03/2024", path, false});
        QVERIFY2(r.written, qPrintable(r.error));
        QByteArray content = readAll(path);
        QVERIFY(content.startsWith("******** 240305 14,07,09\r\n"));
        QList<QByteArray> lines = content.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        lines.removeFirst();
        std::sort(lines.begin(), lines.end());
        QCOMPARE(lines, (QList<QByteArray>{"0, 04/03/2024 00:00 0001\r",
                                           "0,1234 05/03/2024 14:07 0001\r",
                                           "0,99 05/03/2024 23:59 0002\r",
                                           "0,A\xC7\xC3O\x80 05/03/2024 23:59 0002\r"}));
        QCOMPARE(r.lines, 4);

        // Appending adds the records only; the same period twice duplicates them.
        r = TouchExport(*dm).run({"04/03/2024", "05/03/2024", path, true});
        QVERIFY(r.written && !r.header);
        QCOMPARE(readAll(path).count("\r\n"), 1 + 4 + 4);
        // Appending to a missing file creates it with its header.
        const QString fresh = env->root() + "novo.txt";
        r = TouchExport(*dm).run({"05/03/2024", "05/03/2024", fresh, true});
        QVERIFY(r.header);
        QVERIFY(readAll(fresh).startsWith("******** "));
        // A half-typed date is refused before anything is written.
        const QByteArray before = readAll(fresh);
        r = TouchExport(*dm).run({"05/03/20  ", "05/03/2024", fresh, false});
        QVERIFY(!r.written);
        QCOMPARE(r.error, QString::fromUtf8("'05/03/20  ' não é uma data válida"));
        QCOMPARE(readAll(fresh), before);
    }

    void touchExportThatCannotWriteSaysSo()
    {
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria, complemento) values (1, 'J', 'F00001', '1')");
        touchAt("0001", "2024-03-05 14:07:40", "F00001");
        // A folder as the file, and a device that is always full.
        TouchExportResult r = TouchExport(*dm).run({"05/03/2024", "05/03/2024", env->root(), false});
        QVERIFY(!r.written);
        QVERIFY(r.error.contains(QString::fromUtf8("Não foi possível abrir")));
        r = TouchExport(*dm).run({"05/03/2024", "05/03/2024", "/dev/full", false});
        QVERIFY(!r.written);
        QVERIFY2(r.error.contains(QString::fromUtf8("Linhas gravadas: 0 de 1")), qPrintable(r.error));

        QCOMPARE(TouchExport::withTextExtension("/tmp/pontos"), QString("/tmp/pontos.txt"));
        QCOMPARE(TouchExport::withTextExtension("/tmp/pontos.dat"), QString("/tmp/pontos.dat"));
    }

    void touchExportWindowKeepsItsSettings()
    {
        const QString path = env->root() + "janela.txt";
        {
            TfmExporta w;
            QCOMPARE(w.edInicio->maskedText(), QString("05/03/2024"));
            QVERIFY(w.cbAppend->isChecked());  // the default
            ScriptedMessageService msgs;
            msgs.expect(Kind::Information, QString::fromUtf8("Arquivo não informado !"));
            w.Button1Click();
            msgs.expectFile(Kind::SaveFile, env->root() + "escolhido");
            w.BitBtn1Click();
            QCOMPARE(w.edArquivo->text(), env->root() + "escolhido.txt");
            w.edArquivo->setText(path);
            w.cbAppend->setChecked(false);
            msgs.expect(Kind::Information, QString::fromUtf8("Fim de Processo !"));
            w.Button1Click();
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
            QVERIFY(QFile::exists(path));
            QVERIFY(w.Gauge1->isHidden());
        }
        IniFile settings(Folders::windowsFolder() + "SISTXT.INI");
        QCOMPARE(settings.readString("CONTROLE", "Arquivo"), path);
        QVERIFY(!settings.readBool("CONTROLE", "Append", true));
        TfmExporta again;
        QCOMPARE(again.edArquivo->text(), path);
        QVERIFY(!again.cbAppend->isChecked());

        // torvelctl writes the same file for the same path and period.
        const QString fromCli = env->root() + "cli.txt";
        QString out;
        QCOMPARE(runCtl({"export-touches", "--from", "05/03/2024", "--to", "05/03/2024", "--file", fromCli}, &out), 0);
        QCOMPARE(readAll(fromCli).mid(24), readAll(path).mid(24));  // past the moment in the header
    }

    void newspaperRecordsAsTheSystemReadsThem()
    {
        tdb->exec("insert into buttons (codigo_button, referencia) values ('E00001', 'E'), "
                  "('L00001', 'L'), ('L00002', 'L'), ('L00003', 'L'), ('L00004', 'L'), "
                  "('F00001', 'F')");
        tdb->exec("insert into locais (codigo_local, nome_local, button_local, complemento) values "
                  "(1, 'UM', 'L00001', '123'), (2, 'DOIS', 'L00002', '456'), "
                  "(3, 'TRES', 'L00003', '1234567890'), (4, 'QUATRO', 'L00004', '')");
        const char *d = "2024-03-14 20:00:00";
        int minute = 0;
        const auto at = [&](const char *id) {
            touchAt("J1", QStringLiteral("2024-03-14 08:%1:00").arg(minute++, 2, 10, QChar('0')).toLatin1(), id, d);
        };
        at("0A1403");  // an edition before any location or product: empty fields
        at("E00001");  // opens
        at("L00001");
        at("312345");  // product 00089 12345
        at("001403");  // edition of 14/03, same month and day as the touch: this year
        at("L00002");
        at("L00002");  // left twice without an edition: E for the first touch
        at("L00003");  // leaves L00002 again
        at("411111");  // product 00158
        at("003112");  // 31/12 after 14/03: last year
        at("F00001");  // a collaborator: nothing
        at("999999");  // unregistered: nothing
        at("L00004");  // open at the end: no record
        at("E00001");  // closes
        at("E00001");  // opens again
        touchAt("J2", "2024-03-14 08:00:00", "E00001", d);  // another collector
        const QString path = env->root() + "jornal.txt";
        const NewspaperExportResult r = NewspaperExport(*dm).run(
            {"J1", QDateTime(QDate(2024, 3, 14), QTime(0, 0)), QDateTime(QDate(2024, 3, 14), QTime(23, 59)), path});
        QVERIFY2(r.written, qPrintable(r.error));
        QCOMPARE(readAll(path), QByteArray(
            "R;20240314;080000;20240314;;;;\r\n"
            "A;J1;20240314;200000;20240314;080100;;\r\n"
            "R;20240314;080400;20240314;000123;00089;12345;\r\n"
            "E;20240314;080500;000456;;;\r\n"
            "E;20240314;080600;000456;;;\r\n"
            "R;20240314;080900;20231231;123456;00158;11111;\r\n"
            "Z;J1;20240314;200000;20240314;081300;;\r\n"
            "A;J1;20240314;200000;20240314;081400;;\r\n"));
        QCOMPARE(r.records, 8);
    }

    void newspaperEditionYearAndBadCodes()
    {
        QCOMPARE(NewspaperExport::editionDate("003112", QDate(2024, 1, 2)), QDate(2023, 12, 31));
        QCOMPARE(NewspaperExport::editionDate("001403", QDate(2024, 3, 14)), QDate(2024, 3, 14));
        QCOMPARE(NewspaperExport::editionDate("001503", QDate(2024, 3, 14)), QDate(2023, 3, 15));
        QVERIFY(!NewspaperExport::editionDate("003102", QDate(2024, 3, 14)).isValid());
        QCOMPARE(NewspaperExport::locationCode(""), QString("000000"));
        QCOMPARE(NewspaperExport::locationCode("1234567"), QString("123456"));

        // A date code that is no date stops the export and says how far it went.
        touchAt("J1", "2024-03-14 08:00:00", "0A1403", "2024-03-14 10:00:00");
        touchAt("J1", "2024-03-14 08:01:00", "003102", "2024-03-14 10:00:00");
        const QString path = env->root() + "jornal.txt";
        const NewspaperExportResult r = NewspaperExport(*dm).run(
            {"J1", QDateTime(QDate(2024, 3, 14), QTime(0, 0)), QDateTime(QDate(2024, 3, 14), QTime(23, 59)), path});
        QVERIFY(!r.written);
        QVERIFY2(r.error.contains(QString::fromUtf8("'31/02' não é uma data válida")), qPrintable(r.error));
        QVERIFY(r.error.contains("1 registro(s)"));
        QCOMPARE(readAll(path), QByteArray("R;20240314;080000;20240314;;;;\r\n"));
    }

    void newspaperWindowAndCommand()
    {
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('J2', 'B'), ('J1', 'A')");
        tdb->exec("insert into buttons (codigo_button, referencia) values ('E00001', 'E')");
        touchAt("J1", "2024-03-04 08:00:00", "E00001", "2024-03-04 00:00:00");
        TfmExportaJornal w;
        QCOMPARE(w.collector(), QString("J1"));  // ordered by name
        QCOMPARE(w.edIni->maskedText(), QString("04/03/2024 00:00"));
        QCOMPARE(w.edFim->maskedText(), QString("05/03/2024 23:59"));
        const QString path = env->root() + "saida";
        ScriptedMessageService msgs;
        msgs.expectFile(Kind::SaveFile, path);
        msgs.expect(Kind::Information, QString::fromUtf8("Fim da exportação"));
        w.Button1Click();
        QCOMPARE(readAll(path + ".txt"), QByteArray("A;J1;20240304;000000;20240304;080000;;\r\n"));
        // An existing file is replaced only on Yes.
        msgs.expectFile(Kind::SaveFile, path + ".txt");
        msgs.expectConfirm("Arquivo já existe! Sobrescrever?", false);
        w.Button1Click();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));

        QString out;
        const QString fromCli = env->root() + "cli.txt";
        QCOMPARE(runCtl({"export-newspaper", "--collector", "J1", "--from", "04/03/2024 00:00", "--to",
                         "05/03/2024 23:59", "--file", fromCli}, &out), 0);
        QCOMPARE(readAll(fromCli), readAll(path + ".txt"));
        QCOMPARE(runCtl({"export-newspaper", "--collector", "J1", "--from", "31/02/2024 00:00", "--to",
                         "05/03/2024 23:59", "--file", fromCli}, &out), 2);
        QVERIFY(out.contains(QString::fromUtf8("não é uma data e hora válida")));
    }
};

QTEST_MAIN(TestExports)
#include "tst_exports.moc"
