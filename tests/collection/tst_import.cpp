#include "ProgramFixture.h"
#include "collection/CollectionImport.h"
#include "collection/Commands.h"
#include "collection/TfmDelDesc.h"
#include "core/TdmzDados.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QProcess>
#include <QTableWidget>
#include <QtTest>

using Kind = MessageService::Kind;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(15, 30, 0));

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A touch line: moment at 2-13 (seconds at 14-15 are not read), identifier at 26-31.
QByteArray touch(const char *stamp, const char *id) { return QByteArray(" ") + stamp + " 02 000000" + id + "\r\n"; }

}  // namespace

// The import of external collections and the deletion of downloads, against a real database.
class TestImport : public QObject, public ProgramFixture {
    Q_OBJECT

    QStringList records() const
    {
        QSqlQuery q = Sql::exec(tdb->db(), "select coletor, data_descarga, data_toque, button, "
                                           "coalesce(tipo_button, 'null'), coalesce(codigo_roteiro, "
                                           "'null') from desctot order by cod");
        QStringList rows;
        while (q.next())
            rows << QStringList{q.value(0).toString(),
                                q.value(1).toDateTime().toString("dd/MM/yyyy hh:mm:ss"),
                                q.value(2).toDateTime().toString("dd/MM/yyyy hh:mm:ss"),
                                q.value(3).toString(), q.value(4).toString(), q.value(5).toString()}
                        .join('|');
        return rows;
    }

private Q_SLOTS:
    void init() { QVERIFY(startProgram({.now = kNow})); }
    void cleanup() { stopProgram(); }

    void importsHeadersAndTouchesByPosition()
    {
        const QString file = env->root() + "externa.txt";
        write(file, touch("20240304220059", "AAA001")                      // before any header
                        + "H 04/03/2024 23:10:00 COL001\r\n"
                        + touch("20240304221545", "BBB002") + "\r\n"
                        + "T 000\r\n"
                        + touch("20241399250000", "CCC003")                // impossible moment
                        + "lixo\r\n"
                        + "H 31/02/2024 10:00:00 COL002\r\n"               // unreadable header
                        + touch("20240304223000", "DDD004")                // whose collector is unknown
                        + "H 05/03/2024 08:00:00 COL003\r\n"
                        + touch("20240305073000", "EEE005"));
        const ImportResult result = CollectionImport(*dm).importFile(file);
        QVERIFY(result.opened && !result.failed);
        QCOMPARE(result.imported, 3);
        QCOMPARE(result.skipped, 4);
        // No type, route or collaborator; touches at whole minutes; before the first header an
        // empty collector and the moment of the import.
        QCOMPARE(records(), QStringList({
            "|05/03/2024 15:30:00|04/03/2024 22:00:00|AAA001|null|null",
            "COL001|04/03/2024 23:10:00|04/03/2024 22:15:00|BBB002|null|null",
            "COL003|05/03/2024 08:00:00|05/03/2024 07:30:00|EEE005|null|null"}));
        QCOMPARE(CollectionImport::summary(result),
                 QString::fromUtf8("Fim da importação. Registros importados: 3\nLinhas ignoradas "
                                   "(não são toques nem cabeçalhos legíveis): 4"));

        // A header and a trailer only: nothing, and nothing said of skipped lines.
        write(file, "H 04/03/2024 23:10:00 COL001\r\nT 000\r\n");
        const ImportResult empty = CollectionImport(*dm).importFile(file);
        QCOMPARE(CollectionImport::summary(empty), QString::fromUtf8("Fim da importação. Registros importados: 0"));
    }

    void badFilesAndARefusingServer()
    {
        // A folder, a device and a missing file are refused with a message; nothing stored.
        for (const QString &path : {env->root(), QString("/dev/zero"), env->root() + "nada.txt"}) {
            const ImportResult r = CollectionImport(*dm).importFile(path);
            QVERIFY(!r.opened);
            QVERIFY(!r.error.isEmpty());
        }
        // Binary bytes are lines that do not decode.
        const QString file = env->root() + "binario.bin";
        write(file, QByteArray("\x00\x01\xff\xfe\x12\r\n\x89PNG\x1a\x00\r\n", 15) + touch("20240304220000", "AAA001"));
        ImportResult r = CollectionImport(*dm).importFile(file);
        QCOMPARE(r.imported, 1);
        QCOMPARE(r.skipped, 2);

        // A refused touch is skipped and counted; the rest are stored.
        tdb->exec("delete from desctot");
        tdb->exec("create trigger desctot_refuse before insert on desctot for each row "
                  "if new.button = 'DEAD01' then signal sqlstate '45000' set message_text = "
                  "'recusado'; end if");
        write(file, touch("20240304220000", "AAA001") + touch("20240304220100", "DEAD01"));
        r = CollectionImport(*dm).importFile(file);
        QCOMPARE(r.imported, 1);
        QCOMPARE(r.refused, 1);
        QCOMPARE(records().size(), 1);

    }

    void theImportCommandAsTheUserMeetsIt()
    {
        const QString file = env->root() + "externa.txt";
        write(file, "H 04/03/2024 23:10:00 COL001\r\n" + touch("20240304221545", "BBB002"));
        ScriptedMessageService msgs;
        msgs.expectFile(Kind::OpenFile, file);
        msgs.expect(Kind::Information, QString::fromUtf8("Fim da importação. Registros importados: 1"));
        Collection::importExternalCollections();
        msgs.expectFile(Kind::OpenFile, QString());  // cancelled: nothing happens
        Collection::importExternalCollections();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(records().size(), 1);

        // torvelctl import prints the same summary.
        const ConnectionParams p = tdb->params();
        QProcess ctl;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TORVEL_DB_PASSWORD", p.password);
        ctl.setProcessEnvironment(environment);
        // The file is imported already: again only when asked.
        ctl.start(TORVELCTL, {"import", file, "--host", p.host, "--port", QString::number(p.port),
                              "--user", p.user, "--database", p.database});
        QVERIFY(ctl.waitForFinished(30000));
        QCOMPARE(ctl.exitCode(), 1);
        QVERIFY(QString::fromUtf8(ctl.readAllStandardError()).contains(QString::fromUtf8("já foi importado")));
        ctl.start(TORVELCTL, {"import", file, "--again", "--host", p.host, "--port", QString::number(p.port),
                              "--user", p.user, "--database", p.database});
        QVERIFY(ctl.waitForFinished(30000));
        QCOMPARE(ctl.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(ctl.readAllStandardOutput()).trimmed(),
                 QString::fromUtf8("Fim da importação. Registros importados: 1"));
        ctl.start(TORVELCTL, {"import", env->root(), "--host", p.host, "--port", QString::number(p.port),
                              "--user", p.user, "--database", p.database});
        QVERIFY(ctl.waitForFinished(30000));
        QCOMPARE(ctl.exitCode(), 1);
        QVERIFY(ctl.readAllStandardError().contains("arquivo comum"));
    }

    void deletionUpToALimitAndItsWindow()
    {
        tdb->exec("insert into desctot (coletor, data_descarga, data_toque, button) values "
                  "('C1', '2024-03-01 10:00:00', '2024-03-01 08:00:00', 'A'), "
                  "('C1', '2024-03-01 10:00:00', '2024-03-01 08:05:00', 'B'), "
                  // A Lumet download: each record its own moment.
                  "('L1', '2024-03-02 09:00:01', '2024-03-02 07:00:00', 'C'), "
                  "('L1', '2024-03-02 09:00:02', '2024-03-02 07:01:00', 'D'), "
                  "('C2', '2024-03-04 12:00:00', '2024-03-04 11:00:00', 'E')");
        // A limit equal to a download's moment takes that download too; Lumet records go one by
        // one.
        QCOMPARE(DownloadDeletion::deleteUpTo(*dm, QDateTime(QDate(2024, 3, 2), QTime(9, 0, 1))), 3);
        QCOMPARE(tdb->scalar("select count(*) from desctot").toInt(), 2);

        TfmDelDesc w;
        QCOMPARE(w.edLimite->maskedText(), QString("05/03/2024 15:30:00"));
        QCOMPARE(w.dbgDescargas->rowCount(), 2);
        QCOMPARE(w.dbgDescargas->item(0, 0)->text(), QString("02/03/2024 09:00:02"));
        w.dbgDescargasDblClick();
        QCOMPARE(w.edLimite->maskedText(), QString("04/03/2024 12:00:00"));
        w.edLimite->setMaskedText("02/03/2024 09:00:02");
        ScriptedMessageService msgs;
        msgs.expectConfirm("Deseja realmente excluir as descargas?", false);
        w.btapagaclick();
        QCOMPARE(tdb->scalar("select count(*) from desctot").toInt(), 2);
        msgs.expectConfirm("Deseja realmente excluir as descargas?", true);
        w.btapagaclick();
        QCOMPARE(tdb->scalar("select count(*) from desctot").toInt(), 1);
        QCOMPARE(w.dbgDescargas->rowCount(), 0);
        // An impossible limit deletes nothing and says why.
        w.edLimite->setMaskedText("31/02/2024 10:00:00");
        msgs.expectConfirm("Deseja realmente excluir as descargas?", true);
        msgs.expect(Kind::Error, QString::fromUtf8("'31/02/2024 10:00:00' não é uma data e hora válida. "
                                                   "Nenhuma descarga foi excluída."));
        w.btapagaclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(tdb->scalar("select count(*) from desctot").toInt(), 1);
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
