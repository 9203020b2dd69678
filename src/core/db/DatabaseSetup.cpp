#include "core/db/DatabaseSetup.h"

#include <QList>
#include <QSqlQuery>

#include "core/db/Schema.h"

#include <QSqlQuery>

namespace DatabaseSetup {

void createTables(const QSqlDatabase &db)
{
    for (const QString &statement : Schema::statements())
        Sql::exec(db, statement);
}

void createDatabase(const ConnectionParams &server, const QString &name,
                    const std::function<void(const QString &)> &status)
{
    auto say = [&](const QString &text) {
        if (status)
            status(text);
    };
    const QString create = Schema::createDatabaseStatement(name);
    if (create.isEmpty())
        throw DbError(QStringLiteral("Nome de banco de dados inválido: use apenas letras, "
                                     "números e sublinhado."));
    const QString connection = QStringLiteral("torvel_setup");
    ConnectionParams params = server;
    params.database.clear();
    say(QStringLiteral("Conectando ao servidor"));
    QString error = Sql::open(connection, params);
    if (!error.isEmpty()) {
        Sql::close(connection);
        throw DbError(error);
    }
    try {
        say(QStringLiteral("Conectado"));
        say(QStringLiteral("Criando banco de dados"));
        Sql::exec(QSqlDatabase::database(connection, false), create);
        say(QStringLiteral("Banco de dados criado!"));
        Sql::close(connection);
        params.database = name;
        say(QStringLiteral("Conectando ao novo banco de dados"));
        error = Sql::open(connection, params);
        if (!error.isEmpty())
            throw DbError(error);
        say(QStringLiteral("Criando tabelas"));
        createTables(QSqlDatabase::database(connection, false));
        addProgramTables(QSqlDatabase::database(connection, false));
        say(QString::fromUtf8("Criando índices"));
        addIndexes(QSqlDatabase::database(connection, false));
    } catch (...) {
        Sql::close(connection);
        throw;
    }
    Sql::close(connection);
}

QList<Index> indexes()
{
    // Chosen from the statements the program runs: downloads of a collector (consistency,
    // download lists, newspaper export), a collector's touches over a period (consistency,
    // repeated downloads), touches over a period (exports, reports by period), touches of an
    // identifier (reports by event and location, the export's join), of a route (listing by
    // route) and downloads up to a moment (deletion, reports by download period), a collaborator's
    // downloads (the collector is in the index, so that list never reads the table). The
    // registries' own keys already serve the identifier lookups.
    return {{QStringLiteral("tv_desctot_coletor_descarga"), QStringLiteral("desctot"), QStringLiteral("coletor, data_descarga")},
            {QStringLiteral("tv_desctot_coletor_toque"), QStringLiteral("desctot"), QStringLiteral("coletor, data_toque")},
            {QStringLiteral("tv_desctot_toque"), QStringLiteral("desctot"), QStringLiteral("data_toque")},
            {QStringLiteral("tv_desctot_button_toque"), QStringLiteral("desctot"), QStringLiteral("button, data_toque")},
            {QStringLiteral("tv_desctot_roteiro_toque"), QStringLiteral("desctot"), QStringLiteral("codigo_roteiro, data_toque")},
            {QStringLiteral("tv_desctot_descarga"), QStringLiteral("desctot"), QStringLiteral("data_descarga")},
            {QStringLiteral("tv_desctot_func_descarga"), QStringLiteral("desctot"),
             QStringLiteral("codigo_func, data_descarga, coletor")}};
}

QStringList missingIndexes(const QSqlDatabase &db)
{
    QSqlQuery q = Sql::exec(db, QStringLiteral("select distinct index_name from information_schema.statistics "
                                               "where table_schema = database() and index_name like 'tv\\_%'"));
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    QStringList missing;
    for (const Index &index : indexes())
        if (!present.contains(index.name, Qt::CaseInsensitive))
            missing << index.name;
    return missing;
}

QStringList programTableStatements()
{
    // The fingerprint and the repetition are the key: a file is stored once (repetition 0),
    // and again only when the user asks for it (the import's "again"), each time with the next
    // repetition. A primary key, as a Galera cluster requires of every table.
    return {QStringLiteral("create table if not exists tv_descargas (\n"
                           "  impressao char(64) not null,\n"
                           "  repeticao int not null default 0,\n"
                           "  modelo varchar(12) not null,\n"
                           "  coletor varchar(12) not null default '',\n"
                           "  momento datetime not null,\n"
                           "  arquivo varchar(255) not null default '',\n"
                           "  toques int not null default 0,\n"
                           "  primary key (impressao, repeticao)\n"
                           ") engine=InnoDB default charset=utf8mb4")};
}

void addProgramTables(const QSqlDatabase &db)
{
    for (const QString &statement : programTableStatements())
        Sql::exec(db, statement);
}

void addMissingKeys(const QSqlDatabase &db)
{
    // A Galera cluster replicates the rows of a table by its primary key: one without a key is
    // copied and deleted with a full search on every node. The older system's `descarga`, which
    // Torvel never reads or writes, has none: it gets a numbered key, invisible, so the other
    // system's "insert into descarga values (...)" and "select *" see the columns they always
    // saw. A server without invisible columns (MySQL before 8.0.23) keeps the table as it is.
    QSqlQuery keyless(db);
    if (!keyless.exec(QStringLiteral(
            "select t.table_name from information_schema.tables t where t.table_schema = database() "
            "and t.table_type = 'BASE TABLE' and t.table_name = 'descarga' and not exists (select 1 "
            "from information_schema.table_constraints c where c.table_schema = t.table_schema and "
            "c.table_name = t.table_name and c.constraint_type = 'PRIMARY KEY')")))
        return;
    if (!keyless.next())
        return;
    QSqlQuery(db).exec(QStringLiteral("alter table descarga add column tv_linha bigint not null "
                                      "auto_increment invisible, add primary key (tv_linha)"));
}

int addIndexes(const QSqlDatabase &db, const std::function<void(int, int, const QString &)> &progress)
{
    addProgramTables(db);
    addMissingKeys(db);
    const QStringList missing = missingIndexes(db);
    int done = 0;
    for (const Index &index : indexes()) {
        if (!missing.contains(index.name))
            continue;
        if (progress)
            progress(done, int(missing.size()),
                     QString::fromUtf8("Criando o índice %1 (%2 de %3)")
                         .arg(index.name).arg(done + 1).arg(missing.size()));
        const QString add = QStringLiteral("alter table %1 add index %2 (%3)").arg(index.table, index.name, index.columns);
        QSqlQuery online(db);
        // In place and without a lock, so other workstations keep reading and writing; a server
        // that cannot build it so builds it the ordinary way.
        if (!online.exec(add + QStringLiteral(", algorithm=inplace, lock=none")))
            Sql::exec(db, add);
        ++done;
    }
    // The server samples 20 pages of an index for its statistics: over millions of touches it
    // takes 25 collectors for twelve thousand and picks a poor plan for the lists that read a
    // whole history (a collaborator's downloads: 8.6 s instead of 0.07 s at ten million). A
    // larger sample, kept with the table and used by the server's own recalculations, and the
    // statistics taken once now. A server that refuses the option keeps its defaults.
    QSqlQuery options(db);
    const bool sampled = options.exec(QStringLiteral("select create_options from information_schema.tables where "
                                                     "table_schema = database() and table_name = 'desctot'"))
                         && options.next() && options.value(0).toString().contains(QLatin1String("stats_sample_pages"));
    if (done > 0 || !sampled) {
        if (progress)
            progress(done, int(missing.size()), QString::fromUtf8("Atualizando as estatísticas"));
        QSqlQuery sample(db);
        if (sample.exec(QStringLiteral("alter table desctot stats_sample_pages = 2000")))
            Sql::exec(db, QStringLiteral("analyze table desctot"));
    }
    if (progress)
        progress(done, int(missing.size()), QString::fromUtf8("Índices prontos"));
    return done;
}

QStringList userDatabases(const QSqlDatabase &serverConnection)
{
    QStringList names;
    QSqlQuery q = Sql::exec(serverConnection, QStringLiteral("show databases"));
    while (q.next()) {
        const QString name = q.value(0).toString();
        const QString lower = name.toLower();
        if (lower != QLatin1String("mysql") && lower != QLatin1String("information_schema"))
            names << name;
    }
    return names;
}

}  // namespace DatabaseSetup
