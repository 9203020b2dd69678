#include "TestDatabase.h"
#include "core/db/Schema.h"

#include <QSqlQuery>
#include <QtTest>

// The schema as the server reports it back, column by column, against the tables the whole
// system (and other installations' existing databases) rely on.
class TestSchema : public QObject {
    Q_OBJECT

    static QStringList describe(const TestDatabase &tdb, const QString &table)
    {
        QSqlQuery q(tdb.db());
        q.exec("SHOW CREATE TABLE " + table);
        if (!q.next())
            return {};
        QStringList lines;
        for (QString line : q.value(1).toString().split('\n')) {
            line = line.trimmed();
            if (line.endsWith(','))
                line.chop(1);
            if (line.startsWith('`') || line.startsWith("PRIMARY") || line.startsWith("KEY"))
                lines << line;
        }
        return lines;
    }

private Q_SLOTS:
    void everyTableHasItsColumnsAndKeys_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("buttons") << "buttons" << QStringList{
            "`codigo_button` char(12) NOT NULL DEFAULT ''", "`referencia` char(1) DEFAULT NULL",
            "`tipo_button` char(2) DEFAULT NULL", "`data_cadastro` datetime DEFAULT NULL",
            "PRIMARY KEY (`codigo_button`)"};
        QTest::newRow("distancia") << "distancia" << QStringList{
            "`iddistancia` int(11) NOT NULL AUTO_INCREMENT",
            "`descricao` varchar(100) DEFAULT NULL", "`pontoA` varchar(10) DEFAULT NULL",
            "`pontoB` varchar(10) DEFAULT NULL", "`km` double(10,2) DEFAULT NULL",
            "PRIMARY KEY (`iddistancia`)"};
        QTest::newRow("coletor") << "coletor" << QStringList{
            "`codigo_coletor` char(12) NOT NULL DEFAULT ''",
            "`nome_coletor` char(30) DEFAULT NULL", "`data_cadastro` datetime DEFAULT NULL",
            "`codigo_func` int(11) DEFAULT NULL", "`codigo_roteiro` int(11) DEFAULT 0",
            "`fone` char(15) DEFAULT NULL", "PRIMARY KEY (`codigo_coletor`)",
            "KEY `col_nom` (`nome_coletor`)"};
        QStringList control{"`login` char(10) NOT NULL DEFAULT ''",
                            "`senha` char(10) NOT NULL DEFAULT ''"};
        for (const char *flag : {"cadastros", "relatorios", "configuracoes", "utilitarios",
                                 "descarga", "memorias", "programa", "relcad", "reldesc",
                                 "relcons", "utilsen"})
            control << QStringLiteral("`%1` int(11) NOT NULL DEFAULT -1").arg(flag);
        control << "PRIMARY KEY (`login`,`senha`)";
        QTest::newRow("control") << "control" << control;
        QTest::newRow("descarga") << "descarga" << QStringList{
            "`coletor` char(12) DEFAULT NULL", "`data_descarga` char(19) DEFAULT NULL",
            "`button` char(12) DEFAULT NULL", "`data_toque` char(19) DEFAULT NULL",
            "`tipo_button` char(2) DEFAULT NULL"};
        QTest::newRow("descrot") << "descrot" << QStringList{
            "`cod` int(11) NOT NULL AUTO_INCREMENT", "`codigo_roteiro` int(11) DEFAULT NULL",
            "`ordem` char(3) DEFAULT NULL", "`codigo_local` int(11) DEFAULT NULL",
            "`t_min` int(11) DEFAULT NULL", "`t_max` int(11) DEFAULT NULL",
            "`nome_local` char(40) DEFAULT NULL", "PRIMARY KEY (`cod`)",
            "KEY `drot_cor` (`codigo_roteiro`,`ordem`)"};
        QTest::newRow("desctot") << "desctot" << QStringList{
            "`cod` int(11) NOT NULL AUTO_INCREMENT", "`coletor` char(12) DEFAULT NULL",
            "`data_descarga` datetime DEFAULT NULL", "`button` char(12) DEFAULT NULL",
            "`data_toque` datetime DEFAULT NULL", "`tipo_button` char(12) DEFAULT NULL",
            "`codigo_roteiro` int(11) DEFAULT NULL", "`codigo_func` int(11) DEFAULT NULL",
            "PRIMARY KEY (`cod`)"};
        QTest::newRow("eventos") << "eventos" << QStringList{
            "`codigo_evento` int(11) NOT NULL AUTO_INCREMENT",
            "`desc_evento` char(30) DEFAULT NULL", "`button_evento` char(12) DEFAULT NULL",
            "`data_cadastro` datetime DEFAULT NULL", "PRIMARY KEY (`codigo_evento`)",
            "KEY `eve_but` (`button_evento`)", "KEY `eve_desc` (`desc_evento`)"};
        QTest::newRow("funcao") << "funcao" << QStringList{
            "`codigo` char(5) NOT NULL DEFAULT ''", "`descricao` char(50) DEFAULT NULL",
            "PRIMARY KEY (`codigo`)"};
        QTest::newRow("funcs") << "funcs" << QStringList{
            "`codigo_func` int(11) NOT NULL AUTO_INCREMENT", "`nome_func` char(40) DEFAULT NULL",
            "`memoria` char(12) DEFAULT NULL", "`endereco` char(40) DEFAULT NULL",
            "`complemento` char(20) DEFAULT NULL", "`cidade` char(30) DEFAULT NULL",
            "`uf` char(2) DEFAULT NULL", "`cep` char(8) DEFAULT NULL",
            "`fone` char(12) DEFAULT NULL", "`obs` char(200) DEFAULT NULL",
            "`data_cadastro` datetime DEFAULT NULL", "PRIMARY KEY (`codigo_func`)",
            "KEY `fun_mem` (`memoria`)", "KEY `fun_nom` (`nome_func`)"};
        QTest::newRow("locais") << "locais" << QStringList{
            "`codigo_local` int(11) NOT NULL AUTO_INCREMENT",
            "`nome_local` char(40) DEFAULT NULL", "`button_local` char(12) DEFAULT NULL",
            "`endereco` char(40) DEFAULT NULL", "`complemento` char(30) DEFAULT NULL",
            "`cidade` char(40) DEFAULT NULL", "`uf` char(2) DEFAULT NULL",
            "`cep` char(8) DEFAULT NULL", "`fone` char(12) DEFAULT NULL",
            "`obs` char(200) DEFAULT NULL", "`data_cadastro` datetime DEFAULT NULL",
            "PRIMARY KEY (`codigo_local`)", "KEY `loc_but` (`button_local`)",
            "KEY `loc_nom` (`nome_local`)"};
        QTest::newRow("modem") << "modem" << QStringList{
            "`codigo` char(2) NOT NULL DEFAULT ''", "`marca` char(40) DEFAULT NULL",
            "`descricao` char(40) DEFAULT NULL", "`origem` char(200) DEFAULT NULL",
            "PRIMARY KEY (`codigo`)", "KEY `marcdesc` (`marca`,`descricao`)"};
        QTest::newRow("precokm") << "precokm" << QStringList{
            "`id` int(11) NOT NULL AUTO_INCREMENT", "`datainicio` date DEFAULT NULL",
            "`datafim` date DEFAULT NULL", "`custo` double(10,2) DEFAULT NULL",
            "PRIMARY KEY (`id`)"};
        QTest::newRow("roteiros") << "roteiros" << QStringList{
            "`codigo_roteiro` int(11) NOT NULL AUTO_INCREMENT",
            "`nome_roteiro` char(40) DEFAULT NULL", "`button_referencia` char(12) DEFAULT NULL",
            "`tempo_locais` int(11) NOT NULL DEFAULT -1",
            "`tempo_padrao` int(11) NOT NULL DEFAULT -1", "`t_min_padrao` char(11) DEFAULT NULL",
            "`t_max_padrao` char(11) DEFAULT NULL", "`data_cadastro` datetime DEFAULT NULL",
            "`hora_saida` time DEFAULT NULL", "`hora_chegada` time DEFAULT NULL",
            "`loc_meta_1` char(4) DEFAULT NULL", "`empresa` char(40) DEFAULT NULL",
            "`ordemvisitas` int(11) NOT NULL DEFAULT -1",
            "`temporoteiro` int(11) NOT NULL DEFAULT -1", "`t_rot_min` char(11) DEFAULT NULL",
            "`t_rot_max` char(11) DEFAULT NULL", "PRIMARY KEY (`codigo_roteiro`)",
            "KEY `rot_nom` (`nome_roteiro`)", "KEY `rot_ref` (`button_referencia`)"};
    }

    void everyTableHasItsColumnsAndKeys()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, expected);
        TestDatabase tdb;
        QCOMPARE(describe(tdb, table), expected);
    }

    void exactlyTheFourteenTables()
    {
        TestDatabase tdb;
        QSqlQuery q(tdb.db());
        q.exec("show tables");
        QStringList names;
        while (q.next())
            names << q.value(0).toString();
        names.sort();
        QStringList expected = Schema::tableNames();
        expected.sort();
        QCOMPARE(names, expected);
    }

    void initialRows()
    {
        TestDatabase tdb;
        QCOMPARE(tdb.scalar("select count(*) from control").toInt(), 1);
        QCOMPARE(tdb.scalar("select count(*) from control where login = '' and senha = '' and "
                            "cadastros = 0 and relatorios = 0 and configuracoes = 0 and "
                            "utilitarios = 0 and descarga = 0 and memorias = 0 and programa = 0 "
                            "and relcad = 0 and reldesc = 0 and relcons = 0 and utilsen = 0")
                     .toInt(),
                 1);
        QCOMPARE(tdb.scalar("select count(*) from modem").toInt(), 12);
        QCOMPARE(tdb.scalar("select origem from modem where codigo = '06'").toString(),
                 QString("ATQ1B1E0L1M1&D0%C0\\Q0\\J1\\N1S0=4\\M0&W0"));
        QCOMPARE(tdb.scalar("select marca from modem where codigo = '12'").toString(),
                 QString("HITECH EXTERNO 9/9/99"));
        QCOMPARE(tdb.scalar("select descricao from modem where codigo = '05'").toString(),
                 QString("REMOTO"));
    }

    void databaseNamesThatCouldCarrySqlAreRefused()
    {
        QVERIFY(Schema::isValidDatabaseName("torvel"));
        QVERIFY(Schema::isValidDatabaseName("Torvel_2026"));
        QVERIFY(!Schema::isValidDatabaseName(""));
        QVERIFY(!Schema::isValidDatabaseName("x; drop database mysql"));
        QVERIFY(!Schema::isValidDatabaseName("a`b"));
        QVERIFY(!Schema::isValidDatabaseName("torvel "));
        QVERIFY(!Schema::isValidDatabaseName(QString(65, 'a')));
        QCOMPARE(Schema::createDatabaseStatement("torvel"), QString("create database `torvel`"));
        QVERIFY(Schema::createDatabaseStatement("a b").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
