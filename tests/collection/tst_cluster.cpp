#include "AtOnce.h"
#include "FaultProxy.h"
#include "collection/terminals/TerminalSimulators.h"
#include "core/db/Sql.h"
#include "registries/RouteStops.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/types.h>

// Torvel on a three-node Galera cluster started by scripts/cluster.sh: downloads stored through
// two nodes at once are both whole, a node killed in the middle of a download loses nothing and
// duplicates nothing (the download goes on through the next server of the host list, and a
// second run through the list finds it stored; through a single host it fails, its file kept,
// and is stored once through the list), and the nodes hold the same rows.
namespace {

const QString kScript = QStringLiteral(TORVEL_SOURCE_DIR "/scripts/cluster.sh");
const QDateTime kDownloaded(QDate(2024, 5, 6), QTime(7, 0));

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run run(const QString &program, const QStringList &args, const QByteArray &input = {},
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(), int timeoutMs = 240000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// A Lumet dump of `count` touches of collector `collector`; `seed` makes each file's touches
// its own.
QStringList lumetDump(const QString &folder, const QString &collector, int count, int seed)
{
    QList<TerminalSimulator::Touch> touches;
    for (int i = 0; i < count; ++i)
        touches.append({QStringLiteral("%1").arg(0xA00000 + (i + seed) % 97, 6, 16).toUpper(),
                        QDateTime(QDate(2024, 5, 5), QTime(20, 0)).addSecs(7 * i + seed)});
    TerminalSimulator::Terminal lumet(TerminalSimulator::Kind::Lumet, folder);
    lumet.setIdentifier(collector);
    lumet.setMemory(touches);
    return lumet.lumetDump(kDownloaded);
}

bool galeraFound()
{
    const QString chosen = qEnvironmentVariable("TORVEL_GALERA_PROVIDER");
    for (const QString &f : {chosen, QStringLiteral("/usr/lib/galera/libgalera_smm.so"),
                             QStringLiteral("/usr/lib/galera-4/libgalera_smm.so"),
                             QStringLiteral("/usr/lib64/galera-4/libgalera_smm.so"),
                             QStringLiteral("/usr/lib64/galera/libgalera_smm.so")})
        if (!f.isEmpty() && QFile::exists(f))
            return true;
    return false;
}

}  // namespace

class TestCluster : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString dir;  // the cluster's folder
    QList<int> ports;
    QString password;

    // A home of its own for one torvelctl run, its TORVEL.INI naming `hosts`.
    QProcessEnvironment home(const QString &name, const QString &hosts) const
    {
        const QString root = tmp.path() + u'/' + name + u'/';
        for (const char *sub : {"home", "windir", "backup", "docs"})
            QDir().mkpath(root + QLatin1String(sub));
        QFile ini(root + "home/TORVEL.INI");
        if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ini.write(QStringLiteral("[CONFIG]\nCNFBD=1\n[BANCO]\nDatabase=torvel\nHostName=%1\nport=3306\n"
                                     "User=torvel\nPassword=%2\n")
                          .arg(hosts, password)
                          .toUtf8());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TORVEL_HOME", root + "home");
        env.insert("TORVEL_WINDIR", root + "windir");
        env.insert("TORVEL_BACKUP_DIR", root + "backup");
        env.insert("TORVEL_DOCUMENTS", root + "docs");
        return env;
    }
    QString dumpIn(const QProcessEnvironment &env) const { return env.value("TORVEL_HOME") + "/DATALM.TMD"; }
    QString hostOf(int node) const { return QStringLiteral("127.0.0.1:%1").arg(ports[node - 1]); }
    // The node behind a link that holds the download's COMMIT back (killAtTheCommit).
    static QString heldHost(FaultProxy &proxy)
    {
        proxy.startListening();
        return QStringLiteral("127.0.0.1:%1").arg(proxy.port());
    }

    QString sql(int node, const QString &statements) const
    {
        const Run r = run(kScript, {"sql", dir, QString::number(node), "-N", "-B"}, statements.toUtf8());
        if (r.exitCode != 0)
            qWarning("node%d: %s", node, qPrintable(r.err));
        return r.out.trimmed();
    }
    // What a node holds, read after it applied everything the cluster committed before.
    QString holding(int node) const
    {
        return sql(node, "set session wsrep_sync_wait = 15;\n"
                         "select concat(coletor, '=', count(*)) from torvel.desctot group by coletor order by coletor;\n"
                         "select concat('registros=', count(*), ' toques=', sum(toques)) from torvel.tv_descargas;\n"
                         "checksum table torvel.desctot, torvel.tv_descargas;");
    }
    int pidOf(int node) const
    {
        QFile f(dir + QStringLiteral("/node%1/pid").arg(node));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toInt() : 0;
    }
    struct Stored {
        QString problem;  // why the node was not killed at the right moment; empty when it was
        int exitCode = -1;
        QString said;
    };
    // Stores `dump` with torvelctl through the list of `env` and kills `node` once the download
    // is all on it, not committed: `link`, the first of the list, holds its COMMIT back.
    Stored storedWhileKilled(int node, const QProcessEnvironment &env, const QStringList &dump,
                             const FaultProxy &link) const
    {
        if (!TerminalSimulator::writeLines(dumpIn(env), dump))
            return {QStringLiteral("the dump could not be written")};
        QProcess ingest;
        ingest.setProcessEnvironment(env);
        ingest.start(TORVELCTL, {"ingest", "--model", "lumet", "--file", dumpIn(env)});
        if (!ingest.waitForStarted())
            return {QStringLiteral("torvelctl did not start")};
        QElapsedTimer clock;
        clock.start();
        // waitForFinished also lets the process's end be noticed: its state changes only when
        // Qt looks.
        while (link.commitsHeld() == 0 && clock.elapsed() < 120000 && !ingest.waitForFinished(5)) {
        }
        QString problem;
        if (link.commitsHeld() == 0)
            problem = QStringLiteral("the download's commit never came (%1 ms): %2")
                          .arg(clock.elapsed())
                          .arg(QString::fromUtf8(ingest.readAllStandardError()));
        // The transaction is open on the node, its rows written.
        else if (sql(node, "select coalesce(sum(trx_rows_modified), 0) from information_schema.innodb_trx")
                     .toLongLong() == 0)
            problem = QStringLiteral("no open transaction on node %1 while its commit is held").arg(node);
        else if (pidOf(node) <= 0 || ::kill(pid_t(pidOf(node)), SIGKILL) != 0)
            problem = QStringLiteral("node %1 could not be killed").arg(node);
        if (!problem.isEmpty()) {
            ingest.kill();
            ingest.waitForFinished();
            return {problem};
        }
        if (!ingest.waitForFinished(180000))
            return {QStringLiteral("the download never ended")};
        return {{}, ingest.exitCode(), QString::fromUtf8(ingest.readAllStandardError())};
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        dir = tmp.path() + "/cluster";
        const Run start = run(kScript, {"start", dir, "3"});
        QVERIFY2(start.exitCode == 0, qPrintable(start.err));
        // One line per node, nothing else.
        const QStringList lines = start.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QStringList parts = lines[i].split(u' ');
            QCOMPARE(parts.size(), 3);
            QCOMPARE(parts[0], QStringLiteral("node%1").arg(i + 1));
            QCOMPARE(parts[1], QStringLiteral("127.0.0.1"));
            ports << parts[2].toInt();
            QVERIFY(pidOf(i + 1) > 0);
        }
        QFile pw(dir + "/password");
        QVERIFY(pw.open(QIODevice::ReadOnly));
        password = QString::fromUtf8(pw.readAll()).trimmed();
        QCOMPARE(sql(2, "show status like 'wsrep_cluster_size'").section(u'\t', 1), QStringLiteral("3"));
        // Only the owner's socket account, root on the socket, the server's locked account and the
        // program's, which is reachable from this computer alone.
        QCOMPARE(sql(3, "select group_concat(concat(user, '@', host) order by user) from mysql.global_priv "
                        "where user not in ('root', 'mariadb.sys') and concat(user, '@', host) <> current_user()"),
                 QStringLiteral("torvel@127.0.0.1"));

        const Run create = run(TORVELCTL, {"create-database"}, {}, home("create", hostOf(1)));
        QVERIFY2(create.exitCode == 0, qPrintable(create.err));
        // Every table has a primary key: the cluster replicates rows by it.
        QCOMPARE(sql(2, "select count(*) from information_schema.tables t where table_schema = 'torvel' "
                        "and not exists (select 1 from information_schema.table_constraints c where "
                        "c.table_schema = t.table_schema and c.table_name = t.table_name and "
                        "c.constraint_type = 'PRIMARY KEY')"),
                 QStringLiteral("0"));
    }

    void cleanupTestCase()
    {
        if (!dir.isEmpty())
            run(kScript, {"stop", dir});
    }

    // Two workstations in two offices store their downloads at the same moment, each through
    // its own node: both are whole, neither waits for nor spoils the other.
    void twoDownloadsAtOnceThroughTwoNodes()
    {
        const QProcessEnvironment a = home("a", hostOf(1));
        const QProcessEnvironment b = home("b", hostOf(2));
        QVERIFY(TerminalSimulator::writeLines(dumpIn(a), lumetDump(tmp.path(), "LUMETA", 5000, 1)));
        QVERIFY(TerminalSimulator::writeLines(dumpIn(b), lumetDump(tmp.path(), "LUMETB", 5000, 2)));
        QProcess first, second;
        first.setProcessEnvironment(a);
        second.setProcessEnvironment(b);
        first.start(TORVELCTL, {"ingest", "--model", "lumet", "--file", dumpIn(a)});
        second.start(TORVELCTL, {"ingest", "--model", "lumet", "--file", dumpIn(b)});
        QVERIFY(first.waitForFinished(180000));
        QVERIFY(second.waitForFinished(180000));
        QVERIFY2(first.exitCode() == 0, first.readAllStandardError().constData());
        QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
        for (int node = 1; node <= 3; ++node)
            QCOMPARE(holding(node).section(u'\n', 0, 2),
                     QStringLiteral("LUMETA=5000\nLUMETB=5000\nregistros=2 toques=10000"));
    }

    // Two offices add stops to the same route at the same moment through two nodes: locks do not
    // cross nodes, yet the route ends numbered 001..N on every node, no stop lost.
    void stopsAddedThroughTwoNodesAtOnce()
    {
        sql(1, "insert into torvel.roteiros (codigo_roteiro, nome_roteiro) values (900, 'RONDA DUPLA')");
        constexpr int kEach = 12;
        QList<ConnectionParams> offices;
        for (int node = 1; node <= 2; ++node) {
            ConnectionParams p;
            p.host = QStringLiteral("127.0.0.1");
            p.port = ports[node - 1];
            p.user = QStringLiteral("torvel");
            p.password = password;
            p.database = QStringLiteral("torvel");
            offices << p;
        }
        const QStringList failures = atOnce(offices, [](const QSqlDatabase &db, int office) {
            for (int i = 0; i < kEach; ++i)
                RouteStops::add(db, 900, office + 1, QStringLiteral("LOCAL %1-%2").arg(office + 1).arg(i));
        });
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
        QStringList numbers;
        for (int i = 1; i <= 2 * kEach; ++i)
            numbers << RouteStops::position(i);
        for (int node = 1; node <= 3; ++node)
            QCOMPARE(sql(node, "set session wsrep_sync_wait = 15;\n"
                               "select group_concat(ordem order by ordem separator ' ') from torvel.descrot "
                               "where codigo_roteiro = 900"),
                     numbers.join(u' '));
    }

    // A copy taken through one node while another node keeps writing: its manifest and its rows
    // are the same moment's, so it restores without a difference.
    void copyWhileAnotherNodeWrites()
    {
        QProcess writer;
        writer.start(kScript, {"sql", dir, "2"});
        QVERIFY(writer.waitForStarted());
        // Writes that never pause for long: the copy must not wait for a quiet moment.
        writer.write("delimiter //\n"
                     "begin not atomic\n"
                     "  declare i int default 0;\n"
                     "  while i < 600 do\n"
                     "    insert into torvel.eventos (desc_evento) values (concat('CARGA ', i));\n"
                     "    do sleep(0.005);\n"
                     "    set i = i + 1;\n"
                     "  end while;\n"
                     "end//\n");
        writer.closeWriteChannel();
        const QProcessEnvironment f = home("f", hostOf(1));
        const QString file = tmp.path() + "/f/backup/durante.sql.gz";
        QTRY_VERIFY_WITH_TIMEOUT(sql(1, "select count(*) from torvel.eventos where desc_evento like 'CARGA%'").toInt() > 0,
                                 30000);
        const Run copy = run(TORVELCTL, {"backup", "--file", file}, {}, f);
        QVERIFY(writer.waitForFinished(120000));
        QVERIFY2(copy.exitCode == 0, qPrintable(copy.err));
        // The program's account may make only the database it was given.
        sql(1, "create database copia_durante; grant all on copia_durante.* to 'torvel'@'127.0.0.1'");
        const Run restore = run(TORVELCTL, {"restore", file, "--database", "copia_durante", "--replace"}, {}, f);
        QVERIFY2(restore.exitCode == 0, qPrintable(restore.err + restore.out));
        const int copied = sql(1, "select count(*) from copia_durante.eventos").toInt();
        QVERIFY2(copied > 0 && copied < 600, qPrintable(QString::number(copied)));
        sql(1, "drop database copia_durante");
    }

    // The node a download goes through dies with the download's rows all on it and its commit on
    // the way (the link holds it back), so the ingest cannot know whether it was kept: it goes on
    // through the next server of its list and stores it there, whole; running it again through
    // the list, dead node first, finds it stored. The nodes left agree row for row.
    void nodeKilledInTheMiddleOfADownload()
    {
        FaultProxy link(quint16(ports[2]), FaultProxy::Mode::HoldCommit);
        const QString list = QStringList{heldHost(link), hostOf(1), hostOf(2)}.join(u',');
        const QProcessEnvironment c = home("c", list);
        const QStringList dump = lumetDump(tmp.path(), "LUMETC", 20000, 3);
        const Stored stored = storedWhileKilled(3, c, dump, link);
        QVERIFY2(stored.problem.isEmpty(), qPrintable(stored.problem));
        QVERIFY2(stored.exitCode == 0, qPrintable(stored.said));

        // Again through the list, the dead node first: stored once already.
        if (!QFile::exists(dumpIn(c)))
            QVERIFY(TerminalSimulator::writeLines(dumpIn(c), dump));
        const Run again = run(TORVELCTL, {"ingest", "--model", "lumet", "--file", dumpIn(c)}, {}, c);
        QVERIFY2(again.exitCode == 0, qPrintable(again.err));
        QVERIFY2(again.err.contains(QStringLiteral("já foi gravada")), qPrintable(again.err));

        const QString first = holding(1);
        QCOMPARE(first.section(u'\n', 0, 3),
                 QStringLiteral("LUMETA=5000\nLUMETB=5000\nLUMETC=20000\nregistros=3 toques=30000"));
        QCOMPARE(holding(2), first);
    }

    // A workstation that knows one node only: the download fails when the node dies and its file
    // is kept; the node back, stored through a list with another dead node first, it is stored
    // once, and every node holds the same rows.
    void nodeKilledUnderASingleHost()
    {
        const Run restart = run(kScript, {"start", dir, "3"});
        QVERIFY2(restart.exitCode == 0, qPrintable(restart.err));
        QCOMPARE(sql(3, "show status like 'wsrep_cluster_size'").section(u'\t', 1), QStringLiteral("3"));

        FaultProxy link(quint16(ports[1]), FaultProxy::Mode::HoldCommit);
        const QProcessEnvironment d = home("d", heldHost(link));
        const QStringList dump = lumetDump(tmp.path(), "LUMETD", 20000, 4);
        const Stored stored = storedWhileKilled(2, d, dump, link);
        QVERIFY2(stored.problem.isEmpty(), qPrintable(stored.problem));
        QVERIFY(stored.exitCode != 0);
        QVERIFY(QFile::exists(dumpIn(d)));

        const QProcessEnvironment e = home("e", QStringList{hostOf(2), hostOf(3), hostOf(1)}.join(u','));
        QVERIFY(TerminalSimulator::writeLines(dumpIn(e), dump));
        const Run again = run(TORVELCTL, {"ingest", "--model", "lumet", "--file", dumpIn(e)}, {}, e);
        QVERIFY2(again.exitCode == 0, qPrintable(again.err));

        const Run back = run(kScript, {"start", dir, "3"});
        QVERIFY2(back.exitCode == 0, qPrintable(back.err));
        const QString first = holding(1);
        QCOMPARE(first.section(u'\n', 0, 4),
                 QStringLiteral("LUMETA=5000\nLUMETB=5000\nLUMETC=20000\nLUMETD=20000\n"
                                "registros=4 toques=50000"));
        QCOMPARE(holding(2), first);
        QCOMPARE(holding(3), first);
    }
};

int main(int argc, char **argv)
{
    if (!galeraFound()) {
        std::fprintf(stderr, "Galera (libgalera_smm.so) não encontrado: instale galera-4 para rodar "
                             "este teste; teste ignorado.\n");
        return 77;
    }
    QCoreApplication app(argc, argv);
    TestCluster test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cluster.moc"
