#include "core/db/Backup.h"

#include "platform/Folders.h"
#include "platform/OutputFile.h"
#include "platform/Progress.h"
#include "platform/SystemServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSqlError>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace Backup {
namespace {

const QByteArray kManifestStart = "-- TORVEL COPIA DO BANCO DE DADOS";
const QByteArray kManifestEnd = "-- FIM DO MANIFESTO";
const QByteArray kDumpCompleted = "-- Dump completed";
constexpr qint64 kChunk = 256 * 1024;

QString quoted(const QString &identifier)
{
    return '`' + QString(identifier).replace('`', "``") + '`';
}

bool plainIdentifier(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]{1,64}$"));
    return plain.match(name).hasMatch();
}

// The server's programs are looked for where scripts/mariadb.sh looks: Debian keeps some
// outside an ordinary account's PATH.
QString findProgram(const QStringList &names)
{
    QStringList dirs;
    if (qEnvironmentVariableIsSet("TORVEL_MARIADB_PATH"))
        dirs = qEnvironmentVariable("TORVEL_MARIADB_PATH").split(':', Qt::SkipEmptyParts);
    else
        dirs = qEnvironmentVariable("PATH").split(':', Qt::SkipEmptyParts) +
               QStringList{"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin",
                           "/usr/libexec", "/usr/libexec/mariadb", "/sbin", "/bin"};
    for (const QString &name : names) {
        const QString found = QStandardPaths::findExecutable(name, dirs);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

// An option file with the connection, mode 0600 in a folder of mode 0700, so the password is
// on no command line.
class ClientOptions {
public:
    explicit ClientOptions(const ConnectionParams &p)
    {
        m_path = m_dir.path() + "/cliente.cnf";
        auto value = [](QString v) {
            return '"' + v.replace('\\', "\\\\").replace('"', "\\\"") + '"';
        };
        QByteArray text = "[client]\n";
        text += "host=" + value(p.host).toUtf8() + "\n";
        text += "port=" + QByteArray::number(p.port) + "\n";
        text += "user=" + value(p.user).toUtf8() + "\n";
        text += "password=" + value(p.password).toUtf8() + "\n";
        text += "default-character-set=utf8mb4\n";
        const int fd = ::open(QFile::encodeName(m_path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        m_ok = fd >= 0 && ::write(fd, text.constData(), text.size()) == text.size();
        if (fd >= 0)
            ::close(fd);
    }
    bool ok() const { return m_ok && m_dir.isValid(); }
    QString argument() const { return "--defaults-file=" + m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    bool m_ok = false;
};

// The parameters with the one server the connection `db` is on: the client programs take a
// single server, not the list of a cluster's nodes.
ConnectionParams onServerOf(ConnectionParams p, const QSqlDatabase &db)
{
    p.host = db.hostName();
    p.port = db.port();
    return p;
}

// A connection of its own, closed and removed when the object goes.
class OwnConnection {
public:
    OwnConnection(const ConnectionParams &params)
        : m_name("torvel-copia-" + QUuid::createUuid().toString(QUuid::WithoutBraces))
    {
        m_error = Sql::open(m_name, params);
    }
    ~OwnConnection() { Sql::close(m_name); }
    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    QString m_error;
};

QStringList baseTables(const QSqlDatabase &db)
{
    QStringList tables;
    QSqlQuery q = Sql::exec(db, "show full tables where Table_type = 'BASE TABLE'");
    while (q.next())
        tables << q.value(0).toString();
    tables.sort();
    return tables;
}

QByteArray manifestText(const Manifest &m)
{
    QByteArray t = kManifestStart + "\n";
    t += "-- momento: " + m.moment.toString("yyyy-MM-dd hh:mm:ss").toUtf8() + "\n";
    t += "-- servidor: " + m.serverVersion.toUtf8() + "\n";
    t += "-- banco: " + m.database.toUtf8() + "\n";
    for (const TableSum &s : m.tables)
        t += "-- tabela: " + s.table.toUtf8() + " linhas=" + QByteArray::number(s.rows) +
             " soma=" + s.checksum.toUtf8() + "\n";
    t += kManifestEnd + "\n";
    return t;
}

bool parseManifestLine(const QByteArray &line, Manifest &m)
{
    auto after = [&](const char *prefix) { return QString::fromUtf8(line.mid(qstrlen(prefix))); };
    if (line.startsWith("-- momento: "))
        m.moment = QDateTime::fromString(after("-- momento: "), "yyyy-MM-dd hh:mm:ss");
    else if (line.startsWith("-- servidor: "))
        m.serverVersion = after("-- servidor: ");
    else if (line.startsWith("-- banco: "))
        m.database = after("-- banco: ");
    else if (line.startsWith("-- tabela: ")) {
        static const QRegularExpression re(QStringLiteral("^(\\S+) linhas=(\\d+) soma=(\\S*)$"));
        const auto match = re.match(after("-- tabela: "));
        if (!match.hasMatch())
            return false;
        m.tables.append({match.captured(1), match.captured(2).toLongLong(), match.captured(3)});
    } else
        return false;
    return true;
}

QString zlibReason(gzFile gz)
{
    int code = Z_OK;
    const char *text = gzerror(gz, &code);
    if (code == Z_ERRNO)
        return OutputFile::reasonFor(errno);
    return QString::fromUtf8(text);
}

bool syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

Outcome failed(const QString &message, const QString &file = {})
{
    Outcome o;
    o.message = message;
    o.file = file;
    return o;
}

// The number of the last transaction a cluster node committed (its own and the ones it applied
// for the other nodes), or -1 on a server that is not a cluster node.
qint64 clusterCommits(const QSqlDatabase &db)
{
    QSqlQuery on(db);
    if (!on.exec(QStringLiteral("select @@global.wsrep_on")) || !on.next() || on.value(0).toInt() != 1)
        return -1;
    QSqlQuery status(db);
    if (!status.exec(QStringLiteral("show global status like 'wsrep_last_committed'")) || !status.next())
        return -1;
    bool ok = false;
    const qint64 seqno = status.value(1).toLongLong(&ok);
    return ok ? seqno : -1;
}

Outcome copyLocked(const ConnectionParams &params, const QString &target, Progress &progress,
                   const QString &partial)
{
    const QString dumpTool = findProgram({"mariadb-dump", "mysqldump"});
    if (dumpTool.isEmpty())
        return failed(QString::fromUtf8("O programa mariadb-dump não foi encontrado (instale o "
                                        "pacote mariadb-client)."));
    if (!plainIdentifier(params.database))
        return failed(QString::fromUtf8("Nome de banco de dados inválido: \"%1\"")
                          .arg(params.database));
    OwnConnection conn(params);
    if (!conn.error().isEmpty())
        return failed(QString::fromUtf8("Não foi possível conectar. Mensagem: ") + conn.error());
    const QSqlDatabase db = conn.db();
    ClientOptions options(onServerOf(params, db));
    if (!options.ok())
        return failed(QString::fromUtf8("Não foi possível preparar a conexão do mariadb-dump."));

    if (!progress.begin(QString::fromUtf8("Contando as linhas das tabelas...")))
        return Outcome{false, true, {}, {}, {}};
    Manifest manifest;
    manifest.moment = SystemServices::now();
    manifest.database = params.database;
    manifest.serverVersion = Sql::scalar(db, "select version()").toString();
    // Writers wait from here until the dump's snapshot is open: both then see the same rows.
    // A table made meanwhile (the ingest creates its record table on first use) would be in
    // the dump and not in the manifest, so the list is read again under the lock.
    QStringList tables = baseTables(db);
    for (;;) {
        if (tables.isEmpty())
            break;
        QStringList locks;
        for (const QString &t : tables)
            locks << quoted(t) + " read";
        Sql::exec(db, "lock tables " + locks.join(", "));
        const QStringList now = baseTables(db);
        if (now == tables)
            break;
        Sql::exec(db, "unlock tables");
        tables = now;
    }
    bool locked = !tables.isEmpty();
    // On a cluster node the lock is the node's own: it holds back the node's writers and, as
    // the server stands today, the writes it applies for the other nodes, which then wait in
    // its queue. Nothing in the cluster promises the second, so the node's count of committed
    // transactions is read under the lock and again once the dump's snapshot is open: another
    // number means something was committed between the counting and the snapshot, and the copy
    // is taken again.
    const qint64 commitsBefore = locked ? clusterCommits(db) : -1;
    bool movedMeanwhile = false;
    bool awaitingSnapshot = !tables.isEmpty();
    struct Unlock {
        const QSqlDatabase &db;
        bool &locked;
        ~Unlock()
        {
            if (locked)
                QSqlQuery(db).exec("unlock tables");
        }
    } unlockAtEnd{db, locked};
    manifest.tables = tableSums(db);

    gzFile gz = gzopen(QFile::encodeName(partial).constData(), "wb6");
    if (!gz)
        return failed(QString::fromUtf8("Não foi possível gravar o arquivo %1: %2")
                          .arg(target, OutputFile::reasonFor(errno)));
    bool gzOpen = true;
    auto closeGz = [&] {
        const bool ok = gzclose(gz) == Z_OK;
        gzOpen = false;
        return ok;
    };
    struct CloseGz {
        bool &open;
        gzFile &gz;
        ~CloseGz()
        {
            if (open)
                gzclose(gz);
        }
    } closeAtEnd{gzOpen, gz};
    auto write = [&](const QByteArray &bytes) {
        return bytes.isEmpty() || gzwrite(gz, bytes.constData(), unsigned(bytes.size())) ==
                                      int(bytes.size());
    };
    const QString writeFailure = QString::fromUtf8("Não foi possível gravar o arquivo %1: %2");
    if (!write(manifestText(manifest)))
        return failed(writeFailure.arg(target, zlibReason(gz)));

    QProcess dump;
    dump.setProgram(dumpTool);
    dump.setArguments({options.argument(), "--single-transaction", "--skip-lock-tables",
                       "--triggers", "--hex-blob", "--default-character-set=utf8mb4",
                       params.database});
    dump.start(QIODevice::ReadOnly);
    if (!dump.waitForStarted(10000))
        return failed(QString::fromUtf8("Não foi possível executar %1.").arg(dumpTool));
    progress.begin(QString::fromUtf8("Copiando o banco de dados %1...").arg(params.database));
    qint64 written = 0;
    QByteArray tail;  // the end of what came so far: the marker may span two reads
    auto stopDump = [&] {
        dump.kill();
        dump.waitForFinished(5000);
    };
    for (;;) {
        const bool more = dump.waitForReadyRead(200) || dump.bytesAvailable() > 0;
        if (!more && dump.state() == QProcess::NotRunning)
            break;
        const QByteArray bytes = dump.read(kChunk);
        if (awaitingSnapshot && !bytes.isEmpty()) {
            // The dump tool opens its snapshot before it writes the first table.
            const QByteArray seen = tail + bytes;
            if (seen.contains("CREATE TABLE")) {
                awaitingSnapshot = false;
                if (locked) {
                    Sql::exec(db, "unlock tables");
                    locked = false;
                }
                if (commitsBefore >= 0 && clusterCommits(db) != commitsBefore)
                    movedMeanwhile = true;
            }
            tail = bytes.right(16);
        }
        if (!write(bytes)) {
            const QString reason = zlibReason(gz);
            stopDump();
            return failed(writeFailure.arg(target, reason));
        }
        written += bytes.size();
        if (!progress.advance(written)) {
            stopDump();
            return Outcome{false, true, {}, {}, {}};
        }
    }
    dump.waitForFinished(-1);
    if (dump.exitStatus() != QProcess::NormalExit || dump.exitCode() != 0) {
        const QString error = QString::fromLocal8Bit(dump.readAllStandardError()).trimmed();
        Outcome o = failed(QString::fromUtf8("O mariadb-dump falhou: %1").arg(error));
        // A table made after the dump's snapshot was opened (error 1412): taken again.
        if (error.contains("Error 1412"))
            o.details << QStringLiteral("tabelas mudaram");
        return o;
    }
    // A table made or dropped between the lock and the dump's snapshot is in one of them
    // only, as is a row a cluster committed between them; the copy is then taken again.
    if (movedMeanwhile || baseTables(db) != tables) {
        Outcome changed = failed(movedMeanwhile ? QString::fromUtf8("o banco foi alterado durante a cópia em todas as tentativas (gravações no "
                                                                   "cluster); tente de novo num momento de menos movimento")
                                                : QString::fromUtf8("as tabelas do banco mudaram durante a cópia"));
        changed.details << QStringLiteral("tabelas mudaram");
        return changed;
    }
    if (!closeGz())
        return failed(writeFailure.arg(target, OutputFile::reasonFor(errno)));
    if (!syncFile(partial))
        return failed(writeFailure.arg(target, OutputFile::reasonFor(errno)));
    progress.begin(QString::fromUtf8("Conferindo a cópia..."));
    const QString problem = check(partial);
    if (!problem.isEmpty())
        return failed(writeFailure.arg(target, problem));
    if (::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) !=
        0)
        return failed(writeFailure.arg(target, OutputFile::reasonFor(errno)));
    Outcome o;
    o.ok = true;
    o.file = target;
    o.message = QString::fromUtf8("Cópia do banco %1 gravada em %2 (%3 tabelas).")
                    .arg(params.database, target)
                    .arg(manifest.tables.size());
    return o;
}

void prune()
{
    const QDir dir(copiesFolder());
    const QStringList names = dir.entryList({"torvel-*.sql.gz"}, QDir::Files, QDir::Name);
    const QStringList keep = retained(names);
    for (const QString &name : names)
        if (!keep.contains(name))
            QFile::remove(dir.filePath(name));
}

QDateTime momentOf(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^torvel-(\\d{8}-\\d{6})\\.sql\\.gz$"));
    const auto m = re.match(name);
    return m.hasMatch() ? QDateTime::fromString(m.captured(1), "yyyyMMdd-hhmmss") : QDateTime();
}

}  // namespace

QString copiesFolder()
{
    const QString folder = Folders::backupFolder() + "copias/";
    QDir().mkpath(folder);
    return folder;
}

QString defaultFile(const QDateTime &moment)
{
    // Two copies in one second (the copy made before a restore, right after the one being
    // restored) must never overwrite each other: the later one takes the next free second.
    for (QDateTime at = moment;; at = at.addSecs(1)) {
        const QString path =
            copiesFolder() + "torvel-" + at.toString("yyyyMMdd-hhmmss") + ".sql.gz";
        if (!QFileInfo::exists(path))
            return path;
    }
}

QList<TableSum> tableSums(const QSqlDatabase &db)
{
    QList<TableSum> sums;
    for (const QString &table : baseTables(db)) {
        TableSum s;
        s.table = table;
        s.rows = Sql::scalar(db, "select count(*) from " + quoted(table)).toLongLong();
        QSqlQuery q = Sql::exec(db, "checksum table " + quoted(table));
        s.checksum = q.next() ? q.value(1).toString() : QString();
        sums << s;
    }
    return sums;
}

Outcome copy(const ConnectionParams &params, const QString &target, Progress &progress)
{
    const QFileInfo info(target);
    if (info.isDir())
        return failed(QString::fromUtf8("Não foi possível gravar o arquivo %1: é uma pasta")
                          .arg(target));
    if (!info.absoluteDir().exists())
        return failed(QString::fromUtf8("Não foi possível gravar o arquivo %1: a pasta %2 não "
                                        "existe")
                          .arg(target, info.absolutePath()));
    // Hidden and without the copy's ending while it is written: nothing half-written ever
    // looks like a copy.
    const QString partial = info.absolutePath() + "/." + info.fileName() + ".parcial-" +
                            QString::number(QCoreApplication::applicationPid());
    // A full disk or a file size limit is a failure to report, not a reason to die.
    std::signal(SIGXFSZ, SIG_IGN);
    Outcome o;
    // A busy cluster may write between the counting and the snapshot more than once.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0)
            QThread::msleep(unsigned(200 * attempt));
        try {
            o = copyLocked(params, target, progress, partial);
        } catch (const DbError &e) {
            o = failed(e.text());
        }
        if (!o.ok)
            QFile::remove(partial);
        if (o.ok || o.details.isEmpty())
            break;
        o.details.clear();
    }
    return o;
}

QString check(const QString &file, Manifest *manifest)
{
    gzFile gz = gzopen(QFile::encodeName(file).constData(), "rb");
    if (!gz)
        return QString::fromUtf8("não foi possível abrir o arquivo %1: %2")
            .arg(file, OutputFile::reasonFor(errno));
    Manifest m;
    QByteArray pending;  // the current incomplete line while the manifest is read
    QByteArray tail;
    enum { Start, InManifest, Body } state = Start;
    QString problem;
    // zlib's own words ("unexpected end of file") mean nothing to the user.
    const QString damaged = QString::fromUtf8("o arquivo está danificado ou cortado (a "
                                              "compactação gzip não confere até o fim)");
    QByteArray buffer(int(kChunk), Qt::Uninitialized);
    bool first = true;
    for (;;) {
        const int n = gzread(gz, buffer.data(), unsigned(buffer.size()));
        if (n < 0) {
            problem = damaged;
            break;
        }
        if (first && gzdirect(gz)) {
            problem = QString::fromUtf8("o arquivo não é uma cópia compactada (gzip)");
            break;
        }
        first = false;
        if (n == 0) {
            int code = Z_OK;
            gzerror(gz, &code);
            if (code != Z_OK)
                problem = damaged;
            break;
        }
        const QByteArray bytes = buffer.left(n);
        if (state != Body) {
            pending += bytes;
            int nl;
            bool bad = false;
            while (!bad && state != Body && (nl = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.left(nl);
                pending.remove(0, nl + 1);
                if (state == Start)
                    bad = line != kManifestStart;
                if (state == Start)
                    state = InManifest;
                else if (line == kManifestEnd)
                    state = Body;
                else
                    bad = !parseManifestLine(line, m);
            }
            if (bad || (state != Body && pending.size() > 65536)) {
                problem = QString::fromUtf8("o arquivo não começa com o manifesto de uma cópia "
                                            "do Torvel");
                break;
            }
        }
        tail = (tail + bytes).right(4096);
    }
    gzclose(gz);
    if (!problem.isEmpty())
        return problem;
    if (state != Body)
        return QString::fromUtf8("o arquivo não começa com o manifesto de uma cópia do Torvel");
    const QList<QByteArray> lines = tail.trimmed().split('\n');
    if (lines.isEmpty() || !lines.last().startsWith(kDumpCompleted))
        return QString::fromUtf8("o arquivo está incompleto (falta a linha final do "
                                 "mariadb-dump)");
    if (manifest)
        *manifest = m;
    return {};
}

Outcome restore(const ConnectionParams &server, const QString &file, const QString &database,
                bool replace, Progress &progress)
{
    const QString refused = QString::fromUtf8("Cópia não restaurada: %1");
    if (!plainIdentifier(database))
        return failed(refused.arg(QString::fromUtf8("nome de banco de dados inválido: \"%1\"")
                                      .arg(database)),
                      file);
    progress.begin(QString::fromUtf8("Conferindo a cópia..."));
    Manifest manifest;
    const QString problem = check(file, &manifest);
    if (!problem.isEmpty())
        return failed(refused.arg(problem), file);
    const QString client = findProgram({"mariadb", "mysql"});
    if (client.isEmpty())
        return failed(refused.arg(QString::fromUtf8("o programa mariadb não foi encontrado "
                                                    "(instale o pacote mariadb-client)")),
                      file);
    ConnectionParams serverOnly = server;
    serverOnly.database.clear();
    OwnConnection conn(serverOnly);
    if (!conn.error().isEmpty())
        return failed(QString::fromUtf8("Não foi possível conectar. Mensagem: ") + conn.error(),
                      file);
    Outcome o;
    o.file = file;
    try {
        const QSqlDatabase db = conn.db();
        const bool exists =
            Sql::scalar(db, "select count(*) from information_schema.schemata where "
                            "schema_name = :name",
                        {{":name", database}})
                .toInt() > 0;
        if (exists && !replace)
            return failed(refused.arg(QString::fromUtf8("o banco %1 já existe (use --replace "
                                                        "para substituí-lo)")
                                          .arg(database)),
                          file);
        if (exists) {
            ConnectionParams current = server;
            current.database = database;
            const Outcome before = copy(current, defaultFile(SystemServices::now()),
                                        progress);
            if (!before.ok)
                return failed(refused.arg(QString::fromUtf8("não foi possível copiar antes o "
                                                            "banco %1: %2")
                                              .arg(database, before.message)),
                              file);
            o.details << QString::fromUtf8("Cópia do banco substituído: %1").arg(before.file);
            Sql::exec(db, "drop database " + quoted(database));
        }
        Sql::exec(db, "create database " + quoted(database));

        ClientOptions options(onServerOf(server, db));
        QProcess mariadb;
        mariadb.setProgram(client);
        mariadb.setArguments({options.argument(), "--database=" + database});
        mariadb.setProcessChannelMode(QProcess::MergedChannels);
        mariadb.start();
        bool ok = options.ok() && mariadb.waitForStarted(10000);
        gzFile gz = gzopen(QFile::encodeName(file).constData(), "rb");
        ok = ok && gz;
        progress.begin(QString::fromUtf8("Restaurando o banco de dados %1...").arg(database),
                       QFileInfo(file).size());
        QByteArray buffer(int(kChunk), Qt::Uninitialized);
        bool stopped = false;
        while (ok) {
            const int n = gzread(gz, buffer.data(), unsigned(buffer.size()));
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            if (mariadb.write(buffer.constData(), n) != n)
                ok = false;
            while (ok && mariadb.bytesToWrite() > 0)
                if (!mariadb.waitForBytesWritten(1000) && mariadb.state() == QProcess::NotRunning)
                    ok = false;
            if (!progress.advance(gzoffset(gz))) {
                stopped = true;
                ok = false;
            }
        }
        if (gz)
            gzclose(gz);
        mariadb.closeWriteChannel();
        if (stopped)
            mariadb.kill();
        mariadb.waitForFinished(-1);
        const QString output = QString::fromLocal8Bit(mariadb.readAll()).trimmed();
        ok = ok && mariadb.exitStatus() == QProcess::NormalExit && mariadb.exitCode() == 0;
        if (!ok) {
            // A half-restored database is no copy of anything.
            Sql::exec(db, "drop database " + quoted(database));
            if (stopped)
                return Outcome{false, true, file, {}, o.details};
            o.message = QString::fromUtf8("A restauração falhou: %1").arg(output);
            return o;
        }

        progress.begin(QString::fromUtf8("Conferindo as tabelas restauradas..."));
        ConnectionParams restoredParams = server;
        restoredParams.database = database;
        OwnConnection restored(restoredParams);
        if (!restored.error().isEmpty())
            throw DbError(restored.error());
        const QList<TableSum> now = tableSums(restored.db());
        int differences = 0;
        for (const TableSum &expected : manifest.tables) {
            const auto it = std::find_if(now.begin(), now.end(), [&](const TableSum &s) {
                return s.table == expected.table;
            });
            if (it == now.end()) {
                ++differences;
                o.details << QString::fromUtf8("%1: tabela ausente").arg(expected.table);
            } else if (!(*it == expected)) {
                ++differences;
                o.details << QString::fromUtf8("%1: DIFERENTE (linhas %2, esperadas %3; soma %4, "
                                               "esperada %5)")
                                 .arg(expected.table)
                                 .arg(it->rows)
                                 .arg(expected.rows)
                                 .arg(it->checksum, expected.checksum);
            } else {
                o.details << QString::fromUtf8("%1: %2 linhas, soma %3 conferem")
                                 .arg(expected.table)
                                 .arg(it->rows)
                                 .arg(it->checksum);
            }
        }
        for (const TableSum &s : now)
            if (std::none_of(manifest.tables.begin(), manifest.tables.end(),
                             [&](const TableSum &e) { return e.table == s.table; })) {
                ++differences;
                o.details << QString::fromUtf8("%1: tabela que não está no manifesto")
                                 .arg(s.table);
            }
        o.ok = differences == 0;
        o.message = o.ok ? QString::fromUtf8("Banco %1 restaurado de %2: %3 tabelas conferem "
                                             "com a cópia.")
                               .arg(database, file)
                               .arg(manifest.tables.size())
                         : QString::fromUtf8("Banco %1 restaurado de %2, mas %3 tabela(s) "
                                             "diferem da cópia.")
                               .arg(database, file)
                               .arg(differences);
    } catch (const DbError &e) {
        o.ok = false;
        o.message = e.text();
    }
    return o;
}

QStringList retained(const QStringList &names)
{
    QStringList sorted = names;
    sorted.erase(std::remove_if(sorted.begin(), sorted.end(),
                                [](const QString &n) { return !momentOf(n).isValid(); }),
                 sorted.end());
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    QStringList keep;
    QList<QDate> days;
    QList<QPair<int, int>> weeks;
    for (const QString &name : sorted) {
        const QDate day = momentOf(name).date();
        int year = 0;
        const int week = day.weekNumber(&year);
        const bool newDay = !days.contains(day) && days.size() < 7;
        const bool newWeek = !weeks.contains({year, week}) && weeks.size() < 4;
        if (!days.contains(day) && days.size() < 7)
            days << day;
        if (!weeks.contains({year, week}) && weeks.size() < 4)
            weeks << QPair<int, int>(year, week);
        if (newDay || newWeek)
            keep << name;
    }
    return keep;
}

QDateTime lastCopy()
{
    const QStringList names =
        QDir(copiesFolder()).entryList({"torvel-*.sql.gz"}, QDir::Files, QDir::Name);
    for (auto it = names.crbegin(); it != names.crend(); ++it)
        if (momentOf(*it).isValid())
            return momentOf(*it);
    return {};
}

QString lastFailure()
{
    QFile f(copiesFolder() + "ULTIMA-FALHA.txt");
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

Outcome automaticCopy(const ConnectionParams &params, const QDateTime &now, Progress &progress)
{
    const QDateTime last = lastCopy();
    if (last.isValid() && last.date() == now.date() && lastFailure().isEmpty()) {
        Outcome o;
        o.ok = true;
        o.message = QString::fromUtf8("A cópia de hoje já foi feita.");
        return o;
    }
    const Outcome o = copy(params, defaultFile(now), progress);
    const QString failureFile = copiesFolder() + "ULTIMA-FALHA.txt";
    if (o.ok) {
        QFile::remove(failureFile);
        prune();
    } else {
        QSaveFile f(failureFile);
        if (f.open(QIODevice::WriteOnly)) {
            f.write((now.toString("dd/MM/yyyy hh:mm") + ": " +
                     (o.cancelled ? QString::fromUtf8("cópia interrompida") : o.message))
                        .toUtf8());
            f.commit();
        }
    }
    return o;
}

}  // namespace Backup
