#include "TestDatabase.h"
#include "core/db/Sql.h"

#include <QSqlError>
#include <QtTest>

// What a user reads when the server refuses a statement: a Portuguese sentence for the common
// refusals, the server's own text kept after it, and the old prefixes for anything else.
class TestSqlErrors : public QObject {
    Q_OBJECT

    static QString refusal(const TestDatabase &tdb, const QString &sql)
    {
        try {
            Sql::exec(tdb.db(), sql);
        } catch (const DbError &e) {
            return e.text();
        }
        return QStringLiteral("(aceito)");
    }

private Q_SLOTS:
    void serverRefusalsAreExplainedInPortuguese()
    {
        TestDatabase tdb(false);
        tdb.exec("create table pai (id int primary key, nome varchar(5) not null) engine=InnoDB");
        tdb.exec("create table filho (id int primary key, pai int, "
                 "foreign key (pai) references pai (id)) engine=InnoDB");
        tdb.exec("insert into pai values (1, 'A')");
        tdb.exec("insert into filho values (1, 1)");
        tdb.exec("create table medida (km double(10,2))");

        const struct {
            const char *sql;
            const char *explanation;
            const char *serverText;
        } cases[] = {
            {"insert into pai values (1, 'B')", "Já existe um registro com esta chave.",
             "Duplicate entry"},
            {"delete from pai where id = 1",
             "O registro não pode ser excluído ou alterado: há outros registros que dependem "
             "dele.",
             "foreign key constraint fails"},
            {"insert into filho values (2, 9)",
             "O registro se refere a outro registro que não existe.",
             "foreign key constraint fails"},
            {"insert into pai values (2, 'LONGO DEMAIS')",
             "Um dos valores é longo demais para o campo.", "Data too long"},
            {"insert into pai values (3, null)", "Um campo obrigatório não foi preenchido.",
             "cannot be null"},
            // Values a column cannot hold name that column in Portuguese.
            {"insert into medida values (1e12)", "O valor está fora do intervalo aceito pelo campo km.",
             "Out of range"},
            {"insert into medida values ('muito')", "O valor não é aceito pelo campo km.", "km"},
        };
        for (const auto &c : cases) {
            const QString text = refusal(tdb, QString::fromUtf8(c.sql));
            QVERIFY2(text.startsWith(QString::fromUtf8(c.explanation) +
                                     "\nMensagem do servidor: "),
                     qPrintable(text));
            QVERIFY2(text.contains(QLatin1String(c.serverText)), qPrintable(text));
        }
        // Anything else keeps the general prefix and the server's text.
        const QString other = refusal(tdb, "select * from tabela_que_nao_existe");
        QVERIFY2(other.startsWith("Erro no banco de dados: "), qPrintable(other));
        QVERIFY2(other.contains("tabela_que_nao_existe"), qPrintable(other));
    }

    // Refusals a single test server cannot easily provoke, by the codes the driver reports.
    void refusalsByCode()
    {
        const struct {
            const char *code;
            QSqlError::ErrorType type;
            const char *start;
        } cases[] = {
            {"1142", QSqlError::StatementError, "Acesso negado pelo servidor de dados"},
            {"1044", QSqlError::StatementError, "Acesso negado pelo servidor de dados"},
            {"1205", QSqlError::StatementError, "O registro está em uso em outra estação."},
            {"1213", QSqlError::StatementError, "Conflito com uma gravação de outra estação."},
            {"2013", QSqlError::StatementError,
             "A conexão com o servidor de dados foi perdida.\nMensagem do servidor: "},
            {"2006", QSqlError::StatementError,
             "A conexão com o servidor de dados foi perdida.\nMensagem do servidor: "},
        };
        for (const auto &c : cases) {
            const QString text =
                Sql::describe(QSqlError("QMYSQL: erro", "server says no", c.type, c.code));
            QVERIFY2(text.startsWith(QString::fromUtf8(c.start)), qPrintable(text));
            QVERIFY2(text.endsWith("server says no"), qPrintable(text));
        }
    }
};

QTEST_MAIN(TestSqlErrors)
#include "tst_sqlerrors.moc"
