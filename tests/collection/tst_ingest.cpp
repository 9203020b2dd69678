#include "TestFiles.h"
#include "ProgramFixture.h"
#include "collection/ClassifyIdentifier.h"
#include "collection/DumpFormats.h"
#include "collection/Ingest.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"
#include "platform/IniFile.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QtTest>

#include <sys/stat.h>

using Kind = MessageService::Kind;

namespace {

const QDateTime kNow(QDate(2008, 11, 5), QTime(10, 20, 30));

using TestFiles::readAll;

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray crlf(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

// A Lumet touch line: date-time at 2-15, type 17-18, identifier 26-31, terminal 33-38.
QString lumetTouch(const QString &stamp, const QString &id, const QString &terminal = {},
                   const QString &type = "02")
{
    return (" " + stamp + " " + type + " 000000" + id + " " + terminal).trimmed().prepend(' ');
}

}  // namespace

// The ingest of every terminal model against a real database: the backup copy, the collection
// records with their attribution, the working table and what happens to the dump.
class TestIngest : public QObject, public ProgramFixture {
    Q_OBJECT

    QStringList logLines;
    int reviews = 0;

    Ingest makeIngest()
    {
        return Ingest(*dm, {[this](const QString &line) { logLines << line; },
                            [this] { ++reviews; }});
    }

    QString backup(const QString &name) const { return env->root() + "backup/" + name; }

    QStringList records() const
    {
        QSqlQuery q = Sql::exec(tdb->db(), "select coletor, data_descarga, data_toque, button, "
                                           "tipo_button, codigo_roteiro, codigo_func from desctot "
                                           "order by cod");
        QStringList rows;
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < 7; ++i) {
                const QVariant v = q.value(i);
                row << (v.typeId() == QMetaType::QDateTime
                            ? v.toDateTime().toString("yyyy-MM-dd hh:mm:ss")
                            : v.toString());
            }
            rows << row.join('|');
        }
        return rows;
    }

    QStringList workingRows() const
    {
        LocalTable table(dm->tempFolder(), "tmpdesc");
        if (!table.open())
            return {"<no table>"};
        QStringList rows;
        for (const QVariantList &row : table.rows()) {
            QStringList fields;
            for (const QVariant &v : row)
                fields << v.toString();
            rows << fields.join('|');
        }
        return rows;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = kNow}));
        logLines.clear();
        reviews = 0;
        tdb->exec("insert into buttons (codigo_button, referencia) values ('AAA001','E'), "
                  "('BBB002','F'), ('CCC003','L'), ('DDD004',''), ('EEE005','E'), "
                  "('AB0002','E'), ('GGG007', NULL)");
        tdb->exec("insert into eventos (codigo_evento, desc_evento, button_evento) values "
                  "(1, 'RONDA NOITE', 'AAA001'), (2, 'RONDA DIA', 'AB0002')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia) values "
                  "(1, 'ROTA A', 'AAA001'), (2, 'ROTA B', 'AB0002')");
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria) values "
                  "(1, 'JOSE DA SILVA', 'BBB002'), (2, 'MARIA', 'CD0007'), (3, 'PEDRO', 'AB0002')");
        tdb->exec("insert into locais (codigo_local, nome_local, button_local) values "
                  "(1, 'PORTARIA PRINCIPAL DO PREDIO', 'CCC003')");
        tdb->exec("insert into coletor (codigo_coletor, codigo_func, codigo_roteiro) values "
                  "('LUM01', 2, 2), ('LUM02', NULL, 2), ('WAT001', 1, 2), ('Q9001', 1, 2)");
        QVERIFY(TmpDesc::recreate(*dm));
    }

    void cleanup() { stopProgram(); }

    void classifiesByOwnerKind()
    {
        RegistryLookups lookups(dm->db());
        const std::pair<const char *, const char *> answers[] = {
            {"FFF006", "Não cadastrado"}, {"EEE005", "Referência errada"},
            {"DDD004", "Não associado"}, {"GGG007", "Não associado"},
            {"AAA001", "RONDA NOITE"}, {"BBB002", "JOSE DA SILVA"},
            {"CCC003", "PORTARIA PRINCIPAL DO PREDIO"},
            {"BBB002      XYZ", "JOSE DA SILVA"},  // only the first 12 characters count
        };
        for (const auto &[id, answer] : answers)
            QCOMPARE(lookups.ClassifyIdentifier(id), QString(answer));
        // A mark "F" whose collaborator is gone is a wrong reference too.
        tdb->exec("update buttons set referencia = 'F' where codigo_button = 'DDD004'");
        QCOMPARE(ClassifyIdentifier("DDD004"), QString("Referência errada"));

        // Asked again, the answers come from memory.
        const int before = lookups.statementsRun();
        for (const char *id : {"FFF006", "EEE005", "AAA001", "BBB002"})
            lookups.ClassifyIdentifier(id);
        QCOMPARE(lookups.statementsRun(), before);
    }

    void lumetDumpEndToEnd()
    {
        write(backup("ro200811.txt"), "earlier\r\n");
        const QString dump = env->programFolder() + "DATALM.TMD";
        write(dump, crlf({"H 20081105101500 00 LUM01", lumetTouch("20081104223000", "AAA001", "LUM01"),
                          lumetTouch("20081104224512", "FFF006", "LUM01", "03"),
                          lumetTouch("20081105000000", "CCC003"), "T 000"}));

        ScriptedMessageService msgs;
        const IngestResult result = makeIngest().IngestTerminalDump(dump);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));

        QVERIFY(result.ran && !result.failed);
        QCOMPARE(result.stored, 3);
        QCOMPARE(readAll(backup("ro200811.txt")),
                 "earlier\r\n" + crlf({"DATA DA COLETA: 05/11/2008 10:15:00   TERMINAL: 000000LUM01",
                                       "04/11/2008 22:30:00 000000AAA001",
                                       "04/11/2008 22:45:00 000000FFF006", "",
                                       "DATA DA COLETA: 05/11/2008 10:15:00   TERMINAL: 000000",
                                       "05/11/2008 00:00:00 000000CCC003", ""}));
        QCOMPARE(records(), QStringList({
            "LUM01|2008-11-05 10:20:30|2008-11-04 22:30:00|AAA001|02|1|2",
            "LUM01|2008-11-05 10:20:30|2008-11-04 22:45:12|FFF006|03|1|2",
            "LUM01|2008-11-05 10:20:30|2008-11-05 00:00:00|CCC003|02|1|2"}));
        QCOMPARE(workingRows(), QStringList({
            "|LUM01|05/11/2008 10:20:30|AAA001|04/11/2008 22:30:00|02|RONDA NOITE",
            "|LUM01|05/11/2008 10:20:30|FFF006|04/11/2008 22:45:12|03|Não cadastrado",
            "|LUM01|05/11/2008 10:20:30|CCC003|05/11/2008|02|PORTARIA PRINCIPAL D"}));
        QCOMPARE(logLines, QStringList({"Coletor: LUM01 Descarga: 2008/11/05 10:15:00", "Gravando 3 toques..."}));
        QVERIFY(!QFile::exists(dump));
        QCOMPARE(reviews, 1);
    }

    void attributionCarriesForward()
    {
        const QString dump = env->programFolder() + "DATALM.TMD";
        write(dump, crlf({"H 20081105101500 00 LUM01",
                          lumetTouch("20081104220000", "CCC003"),   // the collector's programming
                          lumetTouch("20081104220100", "AAA001"),   // route reference: route 1
                          lumetTouch("20081104220200", "BBB002"),   // memory: collaborator 1
                          lumetTouch("20081104220300", "AB0002"),   // both: only the route, 2
                          lumetTouch("20081104220400", "CCC003"),
                          "H 20081105101500 00 LUM99",               // not registered: nothing
                          lumetTouch("20081104220500", "CCC003"),
                          lumetTouch("20081104220600", "BBB002"),
                          lumetTouch("20081104220700", "AAA001"),
                          "H 20081105101500 00 LUM02",               // no collaborator programmed
                          lumetTouch("20081104220800", "CCC003"), "T 000"}));
        ScriptedMessageService msgs;
        const IngestResult result = makeIngest().IngestTerminalDump(dump);
        QVERIFY(msgs.done());
        QCOMPARE(result.stored, 9);
        QStringList attribution;
        for (const QString &row : records()) {
            const QStringList f = row.split('|');
            attribution << f[0] + ' ' + f[3] + ' ' + f[5] + '/' + f[6];
        }
        QCOMPARE(attribution, QStringList({"LUM01 CCC003 2/2", "LUM01 AAA001 1/2",
                                           "LUM01 BBB002 1/1", "LUM01 AB0002 2/1",
                                           "LUM01 CCC003 2/1", "LUM99 CCC003 0/0",
                                           "LUM99 BBB002 0/1", "LUM99 AAA001 1/1",
                                           "LUM02 CCC003 2/0"}));
        QCOMPARE(logLines.size(), 4);
    }

    void touchTimesIgnoreTheWorkstationsDaylightSaving()
    {
        // In this zone 19/10/2008 began at 01:00; the terminal's 00:30 is still stored as read.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "America/Sao_Paulo");
        const QString dump = env->programFolder() + "DATALM.TMD";
        write(dump, crlf({"H 20081019080000 00 LUM01", lumetTouch("20081019003000", "AAA001")}));
        ScriptedMessageService msgs;
        const IngestResult result = makeIngest().IngestTerminalDump(dump);
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        QVERIFY(msgs.done());
        QCOMPARE(result.stored, 1);
        QCOMPARE(records().first().section('|', 2, 2), QString("2008-10-19 00:30:00"));
        QCOMPARE(workingRows().first().section('|', 4, 4), QString("19/10/2008 00:30:00"));
    }

    void watchDataEndToEnd()
    {
        const QString dump = env->programFolder() + "watch.dat";
        write(dump, crlf({"H                   WAT001", "    20081104223015 03       AAA001",
                          "    20081104224000 03       BBB002", "T"}));
        ScriptedMessageService msgs;
        const IngestResult result = makeIngest().IngestWatchData(dump);
        QVERIFY(msgs.done());
        QCOMPARE(result.stored, 2);
        QCOMPARE(readAll(backup("ro200811.txt")),
                 crlf({"DATA DA COLETA: 05/11/2008 10:20   TERMINAL: 000000WAT001",
                       "04/11/2008 22:30:15 000000AAA001 WAT001",
                       "04/11/2008 22:40:00 000000BBB002 WAT001", ""}));
        QCOMPARE(records(), QStringList({
            "WAT001|2008-11-05 10:20:30|2008-11-04 22:30:15|AAA001|03|1|1",
            "WAT001|2008-11-05 10:20:30|2008-11-04 22:40:00|BBB002|03|1|1"}));
        QCOMPARE(workingRows().first(),
                 QString("|WAT001|05/11/2008 10:20:30|AAA001|04/11/2008 22:30:15|03|RONDA NOITE"));
        QCOMPARE(logLines, QStringList({"Coletor: WAT001 Descarga: 2008/11/05 10:20:30", "Gravando 2 toques..."}));
        QVERIFY(!QFile::exists(dump));
        QCOMPARE(reviews, 1);
    }

    void vigiaFileEndToEnd()
    {
        // A row left from the previous collection must go: this model empties the table itself.
        {
            LocalTable table(dm->tempFolder(), "tmpdesc");
            QVERIFY(table.open());
            table.append();
            table.setValue("button", "OLD");
            table.post();
        }
        dm->config().writeBool("OPERACAO", "CRIOUDESCARGA", false);
        const QString file = env->root() + "docs/MVIGIA/NOVOS.TXT";
        write(file, crlf({"000000BBB002 05/11/2008 08:15", "xxxxxxCCC003 31/02/2008 08:15",
                          "", "12345678CCC003 garbage"}) + "000000CCC003 05/11/2008 09:00");
        ScriptedMessageService msgs;
        msgs.expect(Kind::Warning, "2 linha(s) do arquivo " + file + " não puderam ser lidas e não "
                                   "foram gravadas; os outros 2 toques foram gravados.\n\nO arquivo "
                                   "foi guardado em " + backup("NOVOS.TXT.separado-20081105-102030") +
                                   " e as linhas não lidas em " + backup("ro200811-rejeitadas.txt") + ".");
        const IngestResult result = makeIngest().IngestVigiaFile(file, "VIG01");
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(result.stored, 2);
        QCOMPARE(result.rejected, 2);
        QVERIFY(!result.complete());
        QVERIFY(dm->config().readBool("OPERACAO", "CRIOUDESCARGA", false));
        QCOMPARE(readAll(backup("ro200811.txt")),
                 crlf({"DATA DA COLETA: 05/11/2008 10:20:30   TERMINAL: 000000",
                       "05/11/2008 08:15:00 000000BBB002",
                       "LINHA NÃO GRAVADA: xxxxxxCCC003 31/02/2008 08:15",
                       "LINHA NÃO GRAVADA: 12345678CCC003 garbage",
                       "05/11/2008 09:00:00 000000CCC003", ""}));
        QCOMPARE(readAll(backup("ro200811-rejeitadas.txt")),
                 crlf({"ARQUIVO: " + file + " LIDO EM: 05/11/2008 10:20:30",
                       "xxxxxxCCC003 31/02/2008 08:15", "12345678CCC003 garbage", ""}));
        QCOMPARE(records(), QStringList({
            "VIG01|2008-11-05 10:20:30|2008-11-05 08:15:00|BBB002|01|0|1",
            "VIG01|2008-11-05 10:20:30|2008-11-05 09:00:00|CCC003|01|0|1"}));
        QCOMPARE(workingRows(), QStringList({
            "|VIG01|05/11/2008 10:20:30|BBB002|05/11/2008 08:15:00|01|JOSE DA SILVA",
            "|VIG01|05/11/2008 10:20:30|CCC003|05/11/2008 09:00:00|01|PORTARIA PRINCIPAL D"}));
        // Set aside whole, where no collection reads it again.
        QVERIFY(!QFile::exists(file));
        QCOMPARE(result.setAsidePath, backup("NOVOS.TXT.separado-20081105-102030"));
        QCOMPARE(readAll(result.setAsidePath), crlf({"000000BBB002 05/11/2008 08:15",
                 "xxxxxxCCC003 31/02/2008 08:15", "", "12345678CCC003 garbage"}) + "000000CCC003 05/11/2008 09:00");
        QCOMPARE(reviews, 1);
    }

    void emptyVigiaFileStillShowsTheReview()
    {
        const QString file = env->root() + "docs/MVIGIA/NOVOS.TXT";
        write(file, "");
        ScriptedMessageService msgs;
        const IngestResult result = makeIngest().IngestVigiaFile(file, "");
        QVERIFY(msgs.done());
        QVERIFY(result.ran);
        QCOMPARE(readAll(backup("ro200811.txt")),
                 crlf({"DATA DA COLETA: 05/11/2008 10:20:30   TERMINAL: 000000", ""}));
        QVERIFY(records().isEmpty());
        QVERIFY(workingRows().isEmpty());
        QCOMPARE(reviews, 1);
    }

    void q90ListingConvertedAndIngested()
    {
        const QString listing = env->root() + "q90.tmd";
        const QStringList listingLines{"DESCARGA DE DADOS - Coletor Q90", "VERSÃO .........: WEB 1.4",
                                       "DATA DESCARGA ..: 05/11/08", "HORA DESCARGA ..: 10:20",
                                       "ID COLETOR .....: 12345678", "Nº REG DESCARGA : 2", "",
                                       "DATA     HORA  iButton", "-------- ----- ------",
                                       "04/11/08 22:30 0A1B2C", "05/11/08 07:05 ABCDEF"};
        write(listing, crlf(listingLines));
        write(env->programFolder() + "TMPQ90.TXT", "scratch");
        ScriptedMessageService msgs;
        IngestResult result = makeIngest().ConvertAndIngestQ90Listing("Q9001", listing);
        QVERIFY(msgs.done());
        QCOMPARE(result.stored, 2);
        QCOMPARE(readAll(env->programFolder() + "DATA.TMD"),
                 crlf({"H 20081105102030 00 0000001234", " 20081104223000 31 000000FA1B2C",
                       " 20081105070500 31 000000FBCDEF", "T 000"}));
        const QByteArray copy = crlf({"", "DATA DA COLETA: 05/11/2008 10:20:30 TERMINAL: 0000001234",
                                      "04/11/2008 22:30:00 000000FA1B2C",
                                      "05/11/2008 07:05:00 000000FBCDEF"});
        QCOMPARE(readAll(backup("ro200811")), copy);
        QCOMPARE(records(), QStringList({
            "Q9001|2008-11-05 10:20:30|2008-11-04 22:30:00|FA1B2C|31|2|1",
            "Q9001|2008-11-05 10:20:30|2008-11-05 07:05:00|FBCDEF|31|2|1"}));
        QCOMPARE(workingRows(), QStringList({
            "000001|Q9001|05/11/2008 10:20:30|FA1B2C|04/11/2008 22:30:00|31|Não cadastrado",
            "000002|Q9001|05/11/2008 10:20:30|FBCDEF|05/11/2008 07:05:00|31|Não cadastrado"}));
        QCOMPARE(logLines, listingLines + QStringList({"", "Fim da comunicação", "Gravando 2 toques..."}));
        QVERIFY(!QFile::exists(env->programFolder() + "TMPQ90.TXT"));
        QVERIFY(QFile::exists(listing));
        QVERIFY(QFile::exists(env->programFolder() + "DATA.TMD"));
        QCOMPARE(reviews, 1);

        // A second collection in the month appends to the same copy; an unregistered collector
        // leaves route and collaborator at 0. (The very same listing again is stored already.)
        QVERIFY(TmpDesc::recreate(*dm));
        result = makeIngest().ConvertAndIngestQ90Listing("Q9999", listing);
        QVERIFY(result.storedEarlier && result.complete());
        QCOMPARE(result.stored, 0);
        write(listing, crlf(QStringList(listingLines) << ""));  // another download, the same touches
        result = makeIngest().ConvertAndIngestQ90Listing("Q9999", listing);
        QCOMPARE(result.stored, 2);
        QCOMPARE(readAll(backup("ro200811")), copy + copy);
        QCOMPARE(records().at(2), QString("Q9999|2008-11-05 10:20:30|2008-11-04 22:30:00|FA1B2C|31|0|0"));
        QCOMPARE(workingRows().size(), 2);
    }

    void unreadableLinesAreKeptAndTheDumpSetAside()
    {
        const QString dump = env->programFolder() + "DATALM.TMD";
        QByteArray bytes = "H 20081105101500 00 LUM01\n";                    // LF only
        bytes += lumetTouch("20081104220000", "AAA001").toUtf8() + "\n";
        bytes += " 2008\r\n";                                                // cut touch
        bytes += QByteArray("\x01\xff\xfe garbage \x00 bytes\r\n", 21);      // binary
        bytes += " 20081399250000 02 000000BBB002\r\n";                      // impossible date
        bytes += QByteArray(" 20081104220000 02 000000CC\x00""003\r\n", 33);  // NUL in the code
        bytes += "\r\n   \r\n\x1a\r\n";                                      // blank, DOS end mark
        bytes += lumetTouch("20081104220100", "CCC003").toUtf8();            // no final newline
        write(dump, bytes);
        ScriptedMessageService msgs;
        msgs.expect(Kind::Warning, "");
        IngestResult result = makeIngest().IngestTerminalDump(dump);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY2(msgs.shown().first().contains(": 4 linha(s) do arquivo " + dump),
                 qPrintable(msgs.shown().first()));
        QCOMPARE(result.stored, 2);
        QCOMPARE(result.rejected, 4);
        QVERIFY(!result.complete());
        QCOMPARE(records().size(), 2);
        QVERIFY(logLines.contains("Linhas não gravadas: 4"));
        // The dump is moved aside byte for byte; the rejected lines are kept as read.
        QVERIFY(!QFile::exists(dump));
        QCOMPARE(readAll(result.setAsidePath), bytes);
        const QByteArray rejected = readAll(backup("ro200811-rejeitadas.txt"));
        QVERIFY(rejected.contains(QByteArray("\r\n\x01\xff\xfe garbage \x00 bytes\r\n", 23)));
        QVERIFY(rejected.contains(QByteArray("CC\x00""003\r\n", 8)));
        // No control character reaches the copy people read.
        const QByteArray copy = readAll(backup("ro200811.txt"));
        for (char c : copy)
            QVERIFY2(c == '\r' || c == '\n' || uchar(c) >= 0x20, qPrintable(QString::number(uchar(c))));
        QVERIFY(copy.contains("LINHA NÃO GRAVADA: ?"));

        // An empty dump stores nothing and shows no review; a missing one does nothing at all.
        reviews = 0;
        write(dump, "");
        result = makeIngest().IngestTerminalDump(dump);
        QVERIFY(result.complete());
        QCOMPARE(result.touches, 0);
        QCOMPARE(reviews, 0);
        QFile::remove(backup("ro200811.txt"));
        result = makeIngest().IngestWatchData(env->programFolder() + "watch.dat");
        QVERIFY(!result.ran);
        QVERIFY(!QFile::exists(backup("ro200811.txt")));
        QVERIFY(msgs.done());
    }

    void aDumpOfAnotherModelStoresNothingAndIsNeverDeleted()
    {
        const QString dump = env->programFolder() + "watch.dat";
        const QByteArray bytes = crlf({"H 20081105101500 00 LUM01", lumetTouch("20081104220000", "AAA001")});
        write(dump, bytes);
        ScriptedMessageService msgs;
        msgs.expect(Kind::Warning, "");
        const IngestResult result = makeIngest().IngestWatchData(dump);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(result.stored, 0);
        QCOMPARE(result.rejected, 2);  // the header does not read as this model's, nor its touch
        QVERIFY(!result.complete());
        QCOMPARE(readAll(result.setAsidePath), bytes);
        QVERIFY(records().isEmpty());
    }

    void lineEndsAndEncodingsOfEveryKind()
    {
        const QStringList lines{"H 20081105101500 00 LUM01", lumetTouch("20081104220000", "AAA001"),
                                lumetTouch("20081104220100", "CCC003"), "T 000"};
        const QString dump = env->programFolder() + "DATALM.TMD";
        const QString text = lines.join("\r\n") + "\r\n";
        QByteArray utf16le("\xff\xfe", 2), utf16be("\xfe\xff", 2);
        for (QChar c : text) {
            utf16le += char(c.unicode() & 0xff);
            utf16le += char(c.unicode() >> 8);
            utf16be += char(c.unicode() >> 8);
            utf16be += char(c.unicode() & 0xff);
        }
        const QList<QByteArray> forms{lines.join('\r').toUtf8() + '\r', utf16le, utf16be,
                                      "\xef\xbb\xbf" + crlf(lines)};
        int expected = 0;
        for (const QByteArray &bytes : forms) {
            write(dump, bytes);
            ScriptedMessageService msgs;
            const IngestResult result = makeIngest().IngestTerminalDump(dump);
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
            QCOMPARE(result.rejected, 0);
            QCOMPARE(result.stored, 2);
            QVERIFY(result.complete() && result.dumpDeleted);
            expected += 2;
            QCOMPARE(records().size(), expected);
            QCOMPARE(records().last().section('|', 3, 3), QString("CCC003"));
        }
    }

    void onlyRegularFilesAreRead()
    {
        // A device or a FIFO given as the dump is refused at once: nothing hangs, nothing is
        // stored, nothing is deleted.
        const QString fifo = env->root() + "fifo.tmd";
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &path : {QString("/dev/zero"), QString("/dev/null"), fifo}) {
            ScriptedMessageService msgs;
            msgs.expect(Kind::Error, path + " não é um arquivo comum e não foi lido.");
            const IngestResult result = makeIngest().IngestTerminalDump(path);
            QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
            QVERIFY(result.failed && !result.complete());
            QVERIFY(QFileInfo::exists(path));
        }
        QVERIFY(records().isEmpty());
    }

    void touchesAnEarlierDownloadHeldAreStoredAndCounted()
    {
        const QString dump = env->programFolder() + "DATALM.TMD";
        const QStringList first{"H 20081105101500 00 LUM01", lumetTouch("20081104220000", "AAA001"),
                                lumetTouch("20081104220100", "CCC003")};
        write(dump, crlf(first));
        ScriptedMessageService msgs;
        IngestResult result = makeIngest().IngestTerminalDump(dump);
        QCOMPARE(result.repeated, 0);
        QVERIFY(dm->downloadNote.isEmpty());
        // The terminal was not erased: the next download gives the two again, and one new.
        QVERIFY(TmpDesc::recreate(*dm));
        write(dump, crlf(first + QStringList{lumetTouch("20081104230000", "BBB002")}));
        // Another collector's touch at the same moment is no repeat.
        tdb->exec("insert into desctot (coletor, data_descarga, data_toque, button) values "
                  "('LUM02', '2008-11-05 10:00:00', '2008-11-04 23:00:00', 'BBB002')");
        result = makeIngest().IngestTerminalDump(dump);
        QVERIFY(msgs.done());
        QVERIFY(result.complete());
        QCOMPARE(result.stored, 3);
        QCOMPARE(result.repeated, 2);
        const QString note = QString::fromUtf8("2 dos 3 toques repetem uma descarga anterior deste "
                                               "coletor (o coletor não tinha sido apagado) e foram "
                                               "gravados de novo.");
        QCOMPARE(dm->downloadNote, note);
        QVERIFY(logLines.contains(note));
        QCOMPARE(records().size(), 6);
    }

    void touchesBeforeTheFirstHeaderKeepAnEmptyCollector()
    {
        const QString dump = env->programFolder() + "DATALM.TMD";
        write(dump, crlf({lumetTouch("20081104220000", "AAA001"), "H 20081105101500 00 LUM01",
                          lumetTouch("20081104220100", "CCC003")}));
        ScriptedMessageService msgs;
        QVERIFY(makeIngest().IngestTerminalDump(dump).complete());
        QCOMPARE(tdb->scalar("select count(*) from desctot where coletor = ''").toInt(), 1);
        QCOMPARE(tdb->scalar("select count(*) from desctot where coletor is null").toInt(), 0);
    }

    void aRefusedTouchStoresNothingAndTheRetryStoresEachOnce()
    {
        tdb->exec("create trigger desctot_refuse before insert on desctot for each row "
                  "if new.button = 'DEAD01' then signal sqlstate '45000' set message_text = "
                  "'recusado'; end if");
        const QString dump = env->programFolder() + "DATALM.TMD";
        write(dump, crlf({"H 20081105101500 00 LUM01", lumetTouch("20081104220000", "AAA001"),
                          lumetTouch("20081104220100", "DEAD01"),
                          lumetTouch("20081104220200", "CCC003")}));
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, "O banco de dados recusou 1 dos 3 toques. Primeiro erro: Erro no "
                                 "banco de dados: recusado\n\nNenhum dos 3 toques desta descarga foi "
                                 "gravado. O arquivo " + dump + " foi mantido para uma nova tentativa.");
        IngestResult result = makeIngest().IngestTerminalDump(dump);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(result.failed && !result.complete());
        QVERIFY(records().isEmpty());
        QVERIFY(workingRows().isEmpty());
        QVERIFY(QFile::exists(dump));
        QCOMPARE(reviews, 0);
        const QByteArray copy = readAll(backup("ro200811.txt"));

        // Once the server takes them, each touch is stored once and the copy is not doubled.
        tdb->exec("drop trigger desctot_refuse");
        result = makeIngest().IngestTerminalDump(dump);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(result.complete());
        QCOMPARE(records().size(), 3);
        QCOMPARE(readAll(backup("ro200811.txt")), copy);
        QVERIFY(!QFile::exists(dump));
        QVERIFY(!QFile::exists(dump + ".copiado"));
        QCOMPARE(reviews, 1);
    }

    void q90RefusalsAreReportedOnceWithTheirCount()
    {
        const QString listing = env->root() + "q90.tmd";
        QStringList lines{"", "", "", "", "ID COLETOR .....: 12345678", "", "", "", ""};
        for (int i = 0; i < 40; ++i)
            lines << QString("04/11/08 22:%1 0DEAD1").arg(i, 2, 10, QChar('0'));
        lines << "05/11/08 07:05 ABCDEF";
        write(listing, crlf(lines));
        tdb->exec("create trigger desctot_refuse before insert on desctot for each row "
                  "if new.button = 'FDEAD1' then signal sqlstate '45000' set message_text = "
                  "'recusado'; end if");
        ScriptedMessageService msgs;
        msgs.expect(Kind::Error, "O banco de dados recusou 40 dos 41 toques. Primeiro erro: Erro no "
                                 "banco de dados: recusado\n\nNenhum dos 41 toques desta descarga foi "
                                 "gravado. O arquivo " + listing + " foi mantido para uma nova tentativa.");
        IngestResult result = makeIngest().ConvertAndIngestQ90Listing("Q9001", listing);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(result.failed);
        QVERIFY(records().isEmpty());
        QVERIFY(QFile::exists(listing));
        QCOMPARE(reviews, 0);
        tdb->exec("drop trigger desctot_refuse");
        result = makeIngest().ConvertAndIngestQ90Listing("Q9001", listing);
        QVERIFY(result.complete());
        QCOMPARE(records().size(), 41);
    }

    void aConnectionLostMidIngestIsStoredOnceByTheNextAttempt()
    {
        const QString dump = env->programFolder() + "DATALM.TMD";
        write(dump, crlf({"H 20081105101500 00 LUM01", lumetTouch("20081104220000", "AAA001"),
                          "H 20081105101500 00 LUM02", lumetTouch("20081104220100", "CCC003")}));
        // The server drops the ingest's connection inside its transaction: the client's
        // reconnection must not let the touches be committed on their own, and the next attempt,
        // on a new connection, stores the download whole, once.
        bool killed = false;
        QStringList log;
        Ingest ingest(*dm, {[&](const QString &line) {
                                log << line;
                                if (line.startsWith("Gravando") && !killed) {
                                    killed = true;
                                    // Every connection of the program to this database.
                                    QSqlQuery q = Sql::exec(tdb->db(), "select id from information_schema.processlist "
                                                                       "where db = database() and id <> connection_id()");
                                    while (q.next())
                                        tdb->exec("kill " + q.value(0).toString());
                                }
                            },
                            [] {}});
        const IngestResult result = ingest.IngestTerminalDump(dump);
        QVERIFY(killed);
        QVERIFY2(result.complete(), qPrintable(log.join('\n')));
        QVERIFY2(log.contains(QStringLiteral("Gravando de novo (tentativa 2 de 6)...")), qPrintable(log.join('\n')));
        QCOMPARE(records().size(), 2);
        QCOMPARE(tdb->scalar("select count(*) from tv_descargas").toInt(), 1);
        QVERIFY(!QFile::exists(dump));
        QCOMPARE(Sql::scalar(dm->db(), "select @@autocommit").toInt(), 1);
    }

    void backupFolderThatCannotBeMadeStopsEverything()
    {
        write(env->root() + "blocker", "x");
        const QString folder = env->root() + "blocker/COLETA";
        qputenv("TORVEL_BACKUP_DIR", folder.toUtf8());
        const QString dump = env->programFolder() + "DATALM.TMD";
        write(dump, crlf({"H 20081105101500 00 LUM01", lumetTouch("20081104220000", "AAA001")}));
        ScriptedMessageService msgs;
        msgs.expect(Kind::Information, "Falha ao criar diretório de backup de coletas. Favor criar "
                                       "manualmente: \"" + folder + "\"");
        const IngestResult result = makeIngest().IngestTerminalDump(dump);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QVERIFY(!result.ran);
        QVERIFY(records().isEmpty());
        QVERIFY(QFile::exists(dump));
    }
};

QTEST_GUILESS_MAIN(TestIngest)
#include "tst_ingest.moc"
