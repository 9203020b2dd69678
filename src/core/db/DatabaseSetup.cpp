#include "core/db/DatabaseSetup.h"

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
    } catch (...) {
        Sql::close(connection);
        throw;
    }
    Sql::close(connection);
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
