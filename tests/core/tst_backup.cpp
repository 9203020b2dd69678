#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "collection/terminals/TerminalSimulators.h"
#include "core/db/Backup.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <zlib.h>

// Copies of the database as a script and the daily job make them with torvelctl, restored on
// the real test server and compared table by table.
class TestBackup : public QObject {
    Q_OBJECT

    struct Run {
        int code = -1;
        QString out, err;
    };

    static Run torvelctl(const QStringList &args, const QString &shellPrefix = {})
    {
        QProcess p;
        if (shellPrefix.isEmpty()) {
            p.start(QStringLiteral(TORVELCTL), args);
        } else {
            QStringList quoted;
            for (const QString &a : args)
                quoted << "'" + a + "'";
            p.start("/bin/sh", {"-c", shellPrefix + "; exec '" + QStringLiteral(TORVELCTL) +
                                          "' " + quoted.join(' ')});
        }
        p.waitForFinished(300000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    // A Lumet dump of `count` touches of collector `collector`.
    static QString writeDump(const TestEnvironment &env, const QString &collector, int count)
    {
        TerminalSimulator::Terminal lumet(TerminalSimulator::Kind::Lumet, env.programFolder());
        lumet.setIdentifier(collector);
        QList<TerminalSimulator::Touch> touches;
        const QDateTime start(QDate(2026, 11, 2), QTime(6, 0));
        for (int i = 0; i < count; ++i)
            touches.append({QStringLiteral("%1").arg(0x100000 + i % 5000, 6, 16, QChar('0')).toUpper(),
                            start.addSecs(i * 7)});
        lumet.setMemory(touches);
        const QString dump = env.root() + collector + ".tmd";
        if (!TerminalSimulator::writeLines(dump, lumet.lumetDump(start.addDays(1))))
            return {};
        return dump;
    }

    // The SQL of a copy, uncompressed.
    static QByteArray unzipped(const QString &copy)
    {
        QByteArray sql;
        gzFile gz = gzopen(QFile::encodeName(copy).constData(), "rb");
        char buffer[65536];
        int n;
        while ((n = gzread(gz, buffer, sizeof buffer)) > 0)
            sql.append(buffer, n);
        gzclose(gz);
        return sql;
    }

    // Rows of `table` in the dump of a copy that hold `value`.
    static int rowsInDump(const QString &copy, const QByteArray &table, const QByteArray &value)
    {
        const QByteArray sql = unzipped(copy);
        // An insert runs over several lines (a row a line) up to its ";".
        int rows = 0;
        bool inInsert = false;
        for (const QByteArray &line : sql.split('\n')) {
            if (line.startsWith("INSERT INTO `" + table + "`"))
                inInsert = true;
            if (inInsert)
                rows += line.count(value);
            if (line.endsWith(';'))
                inInsert = false;
        }
        return rows;
    }

    static bool databaseExists(const TestDatabase &tdb, const QString &name)
    {
        return tdb.scalar("select count(*) from information_schema.schemata where schema_name = '" +
                          name + "'")
                   .toInt() > 0;
    }

    static QList<Backup::TableSum> sumsOf(const QString &database)
    {
        ConnectionParams p = TestDatabase::server();
        p.database = database;
        const QString name = "sums_" + database;
        const QString error = Sql::open(name, p);
        QList<Backup::TableSum> sums;
        if (error.isEmpty())
            sums = Backup::tableSums(QSqlDatabase::database(name, false));
        Sql::close(name);
        return sums;
    }

    static QStringList filesIn(const QString &folder)
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Drops the restored databases whatever the test's outcome.
    struct Dropper {
        const TestDatabase &tdb;
        QStringList names;
        ~Dropper()
        {
            for (const QString &n : names)
                tdb.exec("drop database if exists `" + n + "`");
        }
    };

private Q_SLOTS:
    void copiedAndRestoredTableForTable()
    {
        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        QCOMPARE(torvelctl({"demo"}).code, 0);
        const QString dump = writeDump(env, "EXTRA1", 1000);
        const Run ingest = torvelctl({"ingest", "--model", "lumet", "--file", dump});
        QVERIFY2(ingest.code == 0, qPrintable(ingest.err));
        QCOMPARE(tdb.scalar("select count(*) from desctot where coletor = 'EXTRA1'").toInt(), 1000);

        const QString folder = env.root() + "copias/";
        QDir().mkpath(folder);
        const QString copy = folder + "demo.sql.gz";
        const Run backup = torvelctl({"backup", "--file", copy});
        QVERIFY2(backup.code == 0, qPrintable(backup.err));
        QCOMPARE(filesIn(folder), QStringList{"demo.sql.gz"});
        Backup::Manifest manifest;
        QCOMPARE(Backup::check(copy, &manifest), QString());
        const QList<Backup::TableSum> original = sumsOf(tdb.name());
        QCOMPARE(manifest.tables, original);
        QVERIFY(std::any_of(original.begin(), original.end(),
                            [](const Backup::TableSum &s) { return s.table == "tv_descargas"; }));

        const QString restored = tdb.name() + "_r";
        Dropper dropper{tdb, {restored}};
        const Run restore = torvelctl({"restore", copy, "--database", restored});
        QVERIFY2(restore.code == 0, qPrintable(restore.out + restore.err));
        QCOMPARE(sumsOf(restored), original);
        QVERIFY(restore.out.contains("desctot: "));

        // Over the database in use: refused without --replace, and nothing changes.
        tdb.exec("insert into desctot (coletor, button) values ('DEPOIS', '000001')");
        const QList<Backup::TableSum> current = sumsOf(tdb.name());
        const Run refused = torvelctl({"restore", copy, "--database", tdb.name()});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains(QString::fromUtf8("já existe")), qPrintable(refused.err));
        QCOMPARE(sumsOf(tdb.name()), current);

        // With --replace, what is replaced is copied first.
        const Run replaced = torvelctl({"restore", copy, "--database", restored, "--replace"});
        QVERIFY2(replaced.code == 0, qPrintable(replaced.out + replaced.err));
        QCOMPARE(sumsOf(restored), original);
        const QStringList before =
            QDir(Backup::copiesFolder()).entryList({"torvel-*.sql.gz"}, QDir::Files);
        QCOMPARE(before.size(), 1);
        QCOMPARE(Backup::check(Backup::copiesFolder() + before.first()), QString());
    }

    void damagedCopiesRefusedBeforeAnythingIsCreated()
    {
        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        QCOMPARE(torvelctl({"demo"}).code, 0);
        const QString copy = env.root() + "inteira.sql.gz";
        QCOMPARE(torvelctl({"backup", "--file", copy}).code, 0);
        QFile whole(copy);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();

        auto writeFile = [&](const QString &name, const QByteArray &content) {
            QFile f(env.root() + name);
            f.open(QIODevice::WriteOnly);
            f.write(content);
            return f.fileName();
        };
        // The SQL without its last line, compressed whole: a dump the tool did not finish.
        const QByteArray sql = unzipped(copy);
        QVERIFY(sql.trimmed().endsWith(sql.trimmed().split('\n').last()));
        const QByteArray unfinished = sql.left(sql.trimmed().lastIndexOf('\n'));
        const QString unfinishedFile = env.root() + "sem-fim.sql.gz";
        {
            gzFile gz = gzopen(QFile::encodeName(unfinishedFile).constData(), "wb");
            gzwrite(gz, unfinished.constData(), unsigned(unfinished.size()));
            gzclose(gz);
        }
        const QStringList cases = {
            writeFile("metade.sql.gz", bytes.left(bytes.size() / 2)),
            writeFile("sem-gzip.sql.gz", sql),
            unfinishedFile,
        };
        const QString target = tdb.name() + "_d";
        Dropper dropper{tdb, {target}};
        for (const QString &file : cases) {
            const Run r = torvelctl({"restore", file, "--database", target});
            QVERIFY2(r.code == 1, qPrintable(file));
            QVERIFY2(r.err.contains(QString::fromUtf8("Cópia não restaurada")), qPrintable(r.err));
            QVERIFY2(!databaseExists(tdb, target), qPrintable(file));
        }
    }

    void copyDuringIngestHoldsTheDownloadWholeOrNotAtAll()
    {
        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        QCOMPARE(torvelctl({"demo"}).code, 0);
        QCOMPARE(tdb.scalar("select count(*) from desctot").toInt(), 0);
        const int touches = 30000;
        const QString dump = writeDump(env, "GRANDE", touches);
        QProcess ingest;
        ingest.start(QStringLiteral(TORVELCTL), {"ingest", "--model", "lumet", "--file", dump});
        QVERIFY(ingest.waitForStarted());
        // Copies one after another for as long as the ingest runs, so some are taken while
        // its transaction is open.
        QStringList copies;
        while (ingest.state() != QProcess::NotRunning || copies.isEmpty()) {
            const QString copy = env.root() + QStringLiteral("durante-%1.sql.gz").arg(copies.size());
            const Run backup = torvelctl({"backup", "--file", copy});
            QVERIFY2(backup.code == 0, qPrintable(backup.err));
            copies << copy;
            ingest.waitForFinished(10);
        }
        QCOMPARE(ingest.exitStatus(), QProcess::NormalExit);
        QCOMPARE(ingest.exitCode(), 0);
        QStringList seen;
        for (const QString &copy : copies) {
            Backup::Manifest manifest;
            QCOMPARE(Backup::check(copy, &manifest), QString());
            const int inDump = rowsInDump(copy, "desctot", "'GRANDE'");
            QVERIFY2(inDump == 0 || inDump == touches, qPrintable(QString::number(inDump)));
            for (const Backup::TableSum &t : manifest.tables)
                if (t.table == "desctot")
                    QCOMPARE(t.rows, qint64(inDump));
            seen << QString::number(inDump);
        }
        qInfo("touches of the download in each copy taken during the ingest: %s",
              qPrintable(seen.join(' ')));
        // The restore compares every table with the manifest: the dump holds what it counted.
        const QString restored = tdb.name() + "_g";
        Dropper dropper{tdb, {restored}};
        const Run r = torvelctl({"restore", copies.first(), "--database", restored});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    }

    void fullDiskLeavesNoCopy()
    {
        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        QCOMPARE(torvelctl({"demo"}).code, 0);
        QCOMPARE(torvelctl({"ingest", "--model", "lumet", "--file", writeDump(env, "CHEIO", 20000)})
                     .code,
                 0);
        const QString folder = env.root() + "pequena/";
        QDir().mkpath(folder);
        // A limit on the size of any file the program writes, as a full disk would stop it.
        const Run r = torvelctl({"backup", "--file", folder + "cheia.sql.gz"}, "ulimit -f 16");
        QVERIFY2(r.code == 1, qPrintable(r.err));
        QVERIFY2(r.err.contains(QString::fromUtf8("Não foi possível gravar o arquivo")),
                 qPrintable(r.err));
        QCOMPARE(filesIn(folder), QStringList());
    }

    void automaticCopyOncePerDayAndPruned()
    {
        // The newest of each of the last 7 days, and of each of the 4 latest weeks.
        QStringList names;
        for (int day = 0; day < 40; ++day)
            for (const char *time : {"080000", "200000"})
                names << "torvel-" + QDate(2026, 11, 30).addDays(-day).toString("yyyyMMdd") +
                             "-" + time + ".sql.gz";
        names << "outra.sql.gz";
        const QStringList kept = Backup::retained(names);
        QStringList expected;
        for (int day = 0; day < 7; ++day)  // 30/11 (a Monday) back to 24/11
            expected << "torvel-" + QDate(2026, 11, 30).addDays(-day).toString("yyyyMMdd") +
                            "-200000.sql.gz";
        // Weeks: 30/11 and 24-29/11 are covered; then the Sundays 22/11 and 15/11.
        expected << "torvel-20261122-200000.sql.gz" << "torvel-20261115-200000.sql.gz";
        QCOMPARE(kept, expected);

        TestEnvironment env;
        TestDatabase tdb;
        env.writeIniFor(tdb.params());
        const Run first = torvelctl({"backup", "--automatic"});
        QVERIFY2(first.code == 0, qPrintable(first.err));
        const Run second = torvelctl({"backup", "--automatic"});
        QVERIFY2(second.code == 0, qPrintable(second.err));
        QVERIFY(second.out.contains(QString::fromUtf8("já foi feita")));
        QCOMPARE(QDir(Backup::copiesFolder()).entryList({"torvel-*.sql.gz"}, QDir::Files).size(), 1);
        QVERIFY(Backup::lastCopy().isValid());
        QCOMPARE(Backup::lastFailure(), QString());

        // A failed automatic copy is remembered for the next start, and then cleared.
        QFile::remove(Backup::copiesFolder() +
                      QDir(Backup::copiesFolder()).entryList({"torvel-*.sql.gz"}).value(0));
        QCOMPARE(torvelctl({"backup", "--automatic", "--port", "1"}).code, 1);
        QVERIFY(!Backup::lastFailure().isEmpty());
        QCOMPARE(torvelctl({"backup", "--automatic"}).code, 0);
        QCOMPARE(Backup::lastFailure(), QString());
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
