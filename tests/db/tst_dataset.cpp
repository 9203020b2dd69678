#include "OpenDataSet.h"
#include "TestDatabase.h"
#include "core/db/DataSet.h"

#include <QSignalSpy>
#include <QtTest>

// The editable dataset against a real server: what reaches the tables, what the dataset shows
// afterwards, and how the hooks steer each operation.
class TestDataSet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void insertFillsAutoIncrementKeyAndServerDefaults()
    {
        OpenDataSet fixture({}, "select * from roteiros order by codigo_roteiro");
        auto &[tdb, ds] = fixture;
        QCOMPARE(ds.table(), QString("roteiros"));
        QVERIFY(ds.isEmpty());

        QVERIFY(ds.insert());
        QCOMPARE(ds.state(), DataSet::State::Insert);
        QCOMPARE(ds.value("tempo_locais").toInt(), -1);  // the default shows while typing
        QVERIFY(ds.isNull("codigo_roteiro"));
        QVERIFY(!ds.modified());
        ds.setValue("nome_roteiro", "RONDA NOITE");
        QVERIFY(ds.modified());
        QVERIFY(ds.post());

        QCOMPARE(ds.state(), DataSet::State::Browse);
        QCOMPARE(ds.recordCount(), 1);
        const int first = ds.asInt("codigo_roteiro");
        QVERIFY(first > 0);
        QCOMPARE(first, tdb.scalar("select max(codigo_roteiro) from roteiros").toInt());
        QCOMPARE(ds.asInt("ordemvisitas"), -1);
        QCOMPARE(ds.text("nome_roteiro"), QString("RONDA NOITE"));

        QVERIFY(ds.append());
        ds.setValue("nome_roteiro", "RONDA DIA");
        ds.setValue("temporoteiro", 0);  // differs from the default: must be written
        QVERIFY(ds.post());
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(ds.asInt("codigo_roteiro"), first + 1);
        QCOMPARE(tdb.scalar(QString("select temporoteiro from roteiros where codigo_roteiro = %1")
                                .arg(first + 1)).toInt(), 0);
    }

    void insertGoesBeforeTheCurrentRowAppendAfterTheLast()
    {
        OpenDataSet fixture({"insert into funcao values ('A', 'um'), ('C', 'tres')"},
                            "select * from funcao order by codigo");
        auto &[tdb, ds] = fixture;
        ds.last();
        ds.insert();
        ds.setValue("codigo", "B");
        ds.post();
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(ds.textAt(2, "codigo"), QString("C"));
        ds.first();
        ds.append();
        ds.setValue("codigo", "Z");
        ds.post();
        QCOMPARE(ds.recNo(), 4);
    }

    void editPostWritesOnlyThatRowByItsCompositeKey()
    {
        OpenDataSet fixture({"insert into control (login, senha) values ('ANA', '1'), ('ANA', '2'), ('BIA', '1')"},
                            "select * from control where login <> '' order by login, senha");
        auto &[tdb, ds] = fixture;
        QCOMPARE(ds.primaryKey(), (QStringList{"login", "senha"}));
        QVERIFY(ds.locate({"login", "senha"}, {"ANA", "2"}));

        QVERIFY(ds.edit());
        ds.setValue("senha", "9");  // a key column changes: the old key finds the row
        ds.setValue("cadastros", 0);
        QVERIFY(ds.post());

        QCOMPARE(tdb.scalar("select count(*) from control where login = 'ANA' and senha = '2'").toInt(), 0);
        QCOMPARE(tdb.scalar("select cadastros from control where login = 'ANA' and senha = '9'").toInt(), 0);
        QCOMPARE(tdb.scalar("select cadastros from control where login = 'ANA' and senha = '1'").toInt(), -1);
        QCOMPARE(tdb.scalar("select cadastros from control where login = 'BIA'").toInt(), -1);
        QCOMPARE(ds.text("senha"), QString("9"));
        QCOMPARE(ds.recordCount(), 3);
    }

    void cancelRestoresTheRowAndThePosition()
    {
        OpenDataSet fixture({"insert into funcao values ('A', 'um'), ('B', 'dois')"},
                            "select * from funcao order by codigo");
        auto &[tdb, ds] = fixture;
        ds.next();
        QSignalSpy states(&ds, &DataSet::stateChanged);

        ds.setValue("descricao", "mudado");  // auto-edit
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QVERIFY(ds.cancel());
        QCOMPARE(ds.text("descricao"), QString("dois"));
        QCOMPARE(tdb.scalar("select descricao from funcao where codigo = 'B'").toString(), QString("dois"));
        QCOMPARE(states.count(), 2);

        ds.insert();
        QCOMPARE(ds.recNo(), 0);
        ds.setValue("codigo", "X");
        ds.cancel();
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(ds.text("codigo"), QString("B"));
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(tdb.scalar("select count(*) from funcao").toInt(), 2);
    }

    void navigationLeavesAnEditByPostingOrCancelling()
    {
        OpenDataSet fixture({"insert into funcao values ('A', 'um'), ('B', 'dois')"},
                            "select * from funcao order by codigo");
        auto &[tdb, ds] = fixture;
        QVERIFY(ds.bof());
        QVERIFY(!ds.eof());
        ds.prior();
        QVERIFY(ds.bof());
        QCOMPARE(ds.recNo(), 1);

        ds.setValue("descricao", "UM");
        ds.next();  // modified: posted
        QCOMPARE(ds.state(), DataSet::State::Browse);
        QCOMPARE(tdb.scalar("select descricao from funcao where codigo = 'A'").toString(), QString("UM"));
        ds.next();
        QVERIFY(ds.eof());
        QCOMPARE(ds.recNo(), 2);

        int posts = 0;
        ds.on(DataSet::Event::BeforePost, [&](DataSet &) { ++posts; });
        ds.edit();
        ds.first();  // unmodified: cancelled, nothing written
        QCOMPARE(posts, 0);
        QCOMPARE(ds.recNo(), 1);
    }

    void removeMovesToTheNextRowOrThePreviousAtTheEnd()
    {
        OpenDataSet fixture({"insert into buttons (codigo_button) values ('B1'), ('B2'), ('B3')"},
                            "select * from buttons order by codigo_button");
        auto &[tdb, ds] = fixture;
        QSignalSpy removed(&ds, &DataSet::rowRemoved);
        ds.setRecNo(2);
        QVERIFY(ds.remove());
        QCOMPARE(removed.takeFirst().at(0).toInt(), 1);
        QCOMPARE(ds.text("codigo_button"), QString("B3"));
        QVERIFY(!ds.eof());

        QVERIFY(ds.remove());
        QCOMPARE(ds.text("codigo_button"), QString("B1"));
        QVERIFY(ds.eof());
        QCOMPARE(tdb.scalar("select group_concat(codigo_button) from buttons").toString(), QString("B1"));

        ds.remove();
        QVERIFY(ds.isEmpty());
        QCOMPARE(ds.recNo(), 0);
        QVERIFY(ds.value("codigo_button").isNull());
        QVERIFY_THROWS_EXCEPTION(DbError, ds.remove());
    }

    void locateExactCaseInsensitiveAndPartial()
    {
        OpenDataSet fixture({"insert into funcs (nome_func, cidade) values ('JOÃO SILVA', 'Recife'), "
                             "('joão santos', 'Natal'), ('MARIA', 'Recife')"},
                            "select * from funcs order by codigo_func");
        auto &[tdb, ds] = fixture;

        QVERIFY(!ds.locate("nome_func", "JOÃO"));
        QVERIFY(ds.locate("nome_func", "JOÃO", DataSet::PartialKey));
        QCOMPARE(ds.recNo(), 1);
        QVERIFY(ds.locate("nome_func", "João Santos", DataSet::CaseInsensitive));
        QCOMPARE(ds.recNo(), 2);
        QVERIFY(ds.locate("nome_func", "JOÃO S", DataSet::CaseInsensitive | DataSet::PartialKey));
        QCOMPARE(ds.recNo(), 1);  // always the first match from the top
        QVERIFY(ds.locate({"cidade", "nome_func"}, {"Recife", "MARIA"}));
        QCOMPARE(ds.recNo(), 3);
        QVERIFY(ds.locate("codigo_func", "2"));  // converted to the field's type
        QCOMPARE(ds.text("nome_func"), QString("joão santos"));

        QSignalSpy scrolled(&ds, &DataSet::currentRowChanged);
        QVERIFY(!ds.locate("nome_func", "PEDRO", DataSet::PartialKey));
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(scrolled.count(), 0);
    }

    void hooksRunInOrderAndCanChangeTheBuffer()
    {
        OpenDataSet fixture({}, "select * from buttons");
        auto &[tdb, ds] = fixture;
        QStringList log;
        const auto record = [&](DataSet::Event e, const char *name) {
            ds.on(e, [&log, name](DataSet &) { log << name; });
        };
        record(DataSet::Event::BeforeInsert, "BeforeInsert");
        record(DataSet::Event::AfterInsert, "AfterInsert");
        record(DataSet::Event::BeforePost, "BeforePost");
        record(DataSet::Event::AfterPost, "AfterPost");
        record(DataSet::Event::AfterScroll, "AfterScroll");
        record(DataSet::Event::BeforeEdit, "BeforeEdit");
        record(DataSet::Event::BeforeDelete, "BeforeDelete");
        record(DataSet::Event::AfterDelete, "AfterDelete");
        const QDateTime stamp(QDate(2024, 3, 5), QTime(14, 30, 0));
        ds.on(DataSet::Event::BeforePost, [&](DataSet &d) {
            d.setValue("codigo_button", d.text("codigo_button").left(6));
            if (d.state() == DataSet::State::Insert)
                d.setValue("data_cadastro", stamp);
        });

        ds.insert();
        ds.setValue("codigo_button", "ABCDEFGHIJ");
        ds.post();
        QCOMPARE(log, (QStringList{"BeforeInsert", "AfterInsert", "AfterScroll", "BeforePost",
                                   "AfterPost", "AfterScroll"}));
        QCOMPARE(tdb.scalar("select codigo_button from buttons").toString(), QString("ABCDEF"));
        QCOMPARE(tdb.scalar("select data_cadastro from buttons").toDateTime(), stamp);
        QCOMPARE(ds.text("codigo_button"), QString("ABCDEF"));

        log.clear();
        ds.setValue("tipo_button", "R");  // auto-edit
        ds.post();
        ds.remove();
        QCOMPARE(log, (QStringList{"BeforeEdit", "BeforePost", "AfterPost", "BeforeDelete",
                                   "AfterDelete", "AfterScroll"}));
    }

    void beforeHooksAbortSilentlyOrWithAnError()
    {
        OpenDataSet fixture({"insert into buttons (codigo_button, tipo_button) values ('B1', 'L')",
                             "insert into eventos (desc_evento, button_evento) values ('RONDA', 'B1')"},
                            "select * from buttons");
        auto &[tdb, ds] = fixture;

        ds.on(DataSet::Event::BeforeDelete, [&](DataSet &d) {
            if (Sql::scalar(tdb.db(), "select count(*) from eventos where button_evento = :b",
                            {{":b", d.value("codigo_button")}}).toInt() > 0)
                throw DataSetAbort();
        });
        QVERIFY(!ds.remove());
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(tdb.scalar("select count(*) from buttons").toInt(), 1);

        const auto refuse = ds.on(DataSet::Event::BeforePost, [](DataSet &) {
            throw DbError("Código já usado.");
        });
        ds.setValue("tipo_button", "X");
        QVERIFY_THROWS_EXCEPTION(DbError, ds.post());
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QCOMPARE(ds.text("tipo_button"), QString("X"));
        QCOMPARE(tdb.scalar("select tipo_button from buttons").toString(), QString("L"));
        ds.removeHook(refuse);
        QVERIFY(ds.post());
        QCOMPARE(tdb.scalar("select tipo_button from buttons").toString(), QString("X"));

        {
            QObject window;  // a window's rule on a shared dataset goes with the window
            ds.on(DataSet::Event::BeforeEdit, &window, [](DataSet &) { throw DataSetAbort(); });
            QVERIFY(!ds.setValue("tipo_button", "Y"));
            QCOMPARE(ds.state(), DataSet::State::Browse);
            QCOMPARE(ds.text("tipo_button"), QString("X"));
        }
        QVERIFY(ds.setValue("tipo_button", "Y"));
        QCOMPARE(ds.state(), DataSet::State::Edit);
    }

    void failingPostKeepsTheInsertAndItsBuffer()
    {
        OpenDataSet fixture({"insert into buttons (codigo_button) values ('B1')"}, "select * from buttons");
        auto &[tdb, ds] = fixture;
        ds.append();
        ds.setValue("codigo_button", "B1");
        ds.setValue("tipo_button", "RD");
        try {
            ds.post();
            QFAIL("duplicate key accepted");
        } catch (const DbError &e) {
            QVERIFY2(e.text().startsWith(QString::fromUtf8("Já existe um registro com esta chave.")),
                     qPrintable(e.text()));
            QVERIFY2(e.text().contains("Duplicate"), qPrintable(e.text()));
        }
        QCOMPARE(ds.state(), DataSet::State::Insert);
        QCOMPARE(ds.text("tipo_button"), QString("RD"));
        QCOMPARE(ds.recordCount(), 1);

        ds.setValue("codigo_button", "B2");
        QVERIFY(ds.post());
        QCOMPARE(ds.recordCount(), 2);
        QCOMPARE(tdb.scalar("select tipo_button from buttons where codigo_button = 'B2'").toString(), QString("RD"));
    }

    void failingRemoveKeepsTheRow()
    {
        OpenDataSet fixture({"insert into funcao values ('A', 'um')"}, "select * from funcao");
        auto &[tdb, ds] = fixture;
        tdb.exec("create trigger nao_apaga before delete on funcao for each row "
                 "signal sqlstate '45000' set message_text = 'proibido'");
        QVERIFY_THROWS_EXCEPTION(DbError, ds.remove());
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(ds.text("codigo"), QString("A"));
    }

    void valuesAndParametersAreBoundVerbatim()
    {
        TestDatabase tdb;
        const QString nasty = QStringLiteral("O'Brien \\ 100% \"x\" ; --");
        DataSet ds(tdb.db());
        ds.setSql("select * from funcs");
        ds.open();
        ds.insert();
        ds.setValue("nome_func", nasty);
        ds.post();
        QCOMPARE(tdb.scalar("select nome_func from funcs").toString(), nasty);

        DataSet find(tdb.db());
        find.setSql("select codigo_func, nome_func from funcs where nome_func = :nome or nome_func like :padrao");
        find.setParam(":nome", nasty);
        find.setParam("padrao", "nada");
        find.open();
        QCOMPARE(find.recordCount(), 1);
        find.setParam("nome", "x");
        find.setParam("padrao", "O'Brien \\\\ 100\\%%");
        find.refresh();
        QCOMPARE(find.recordCount(), 1);
        QCOMPARE(find.text("nome_func"), nasty);
    }

    void textShowsValuesAsTheProgramDoes()
    {
        OpenDataSet fixture({"insert into roteiros (nome_roteiro, data_cadastro, hora_saida) values "
                             "('A  ', '2024-01-05 00:00:00', '07:05:09'), (null, '2024-01-05 13:04:05', null)",
                             "insert into distancia (km) values (12.5)",
                             "insert into precokm (datainicio) values ('2023-12-31')"},
                            "select * from roteiros order by codigo_roteiro");
        auto &[tdb, ds] = fixture;
        QCOMPARE(ds.text("DATA_CADASTRO"), QString("05/01/2024"));
        QCOMPARE(ds.text("hora_saida"), QString("07:05:09"));
        QCOMPARE(ds.text("nome_roteiro"), QString("A"));
        ds.next();
        QCOMPARE(ds.text("data_cadastro"), QString("05/01/2024 13:04:05"));
        QCOMPARE(ds.text("nome_roteiro"), QString());
        QVERIFY(ds.isNull("nome_roteiro"));
        QCOMPARE(ds.asInt("hora_saida"), 0);
        QVERIFY_THROWS_EXCEPTION(DbError, ds.text("no_such_field"));

        DataSet km(tdb.db());
        km.setSql("select km from distancia");
        km.open();
        QCOMPARE(km.text("km"), QString("12,5"));
        DataSet preco(tdb.db());
        preco.setSql("select datainicio from precokm");
        preco.open();
        QCOMPARE(preco.text("datainicio"), QString("31/12/2023"));
    }

    void setValueConvertsToTheFieldType()
    {
        OpenDataSet fixture({}, "select * from roteiros");
        auto &[tdb, ds] = fixture;
        ds.insert();
        ds.setValue("data_cadastro", "05/01/2024 10:30");
        ds.setValue("hora_saida", "07:15");
        ds.setValue("tempo_locais", "");
        ds.setValue("ordemvisitas", "0");
        QCOMPARE(ds.value("data_cadastro").toDateTime(), QDateTime(QDate(2024, 1, 5), QTime(10, 30)));
        QVERIFY(ds.isNull("tempo_locais"));
        QCOMPARE(ds.value("ordemvisitas").typeId(), QMetaType::Int);
        ds.setValue("data_cadastro", "  /  /       :  ");
        QVERIFY(ds.isNull("data_cadastro"));
        QVERIFY_THROWS_EXCEPTION(DbError, ds.setValue("temporoteiro", "12a"));
        QVERIFY_THROWS_EXCEPTION(DbError, ds.setValue("data_cadastro", "31/02/2024"));
    }

    // Numbers are typed the Brazilian way: the point groups thousands, the comma starts the
    // decimals. What reads two ways, or no way, is refused naming the field; so is a negative
    // distance or price.
    void numbersAreReadAsTypedInBrazil()
    {
        TestDatabase tdb;
        DataSet ds(tdb.db());
        ds.setSql("select * from distancia");
        ds.setDisplayLabel("km", "KM");
        ds.setNumberFormat("km", {.decimals = 2, .nonNegative = true});
        ds.open();
        ds.insert();
        const auto km = [&](const char *typed) {
            ds.setValue("km", QString::fromLatin1(typed));
            return ds.value("km").toDouble();
        };
        QCOMPARE(km("1.234"), 1234.0);
        QCOMPARE(km("1.234,5"), 1234.5);
        QCOMPARE(km("12,25"), 12.25);
        QCOMPARE(km("1234"), 1234.0);
        QCOMPARE(km("1.234.567,5"), 1234567.5);
        for (const char *typed : {"1.5", "1234.5", "1.23,4", "1,2,3", "12,", ",5", "1 234", "1e3"})
            QVERIFY_THROWS_EXCEPTION(DbError, ds.setValue("km", QString::fromLatin1(typed)));
        try {
            ds.setValue("km", "-1,5");
            QFAIL("a negative distance was taken");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains("KM"), e.what());
        }
        // Typed through setText, the refusal waits for post(), which names the field.
        ds.setText("km", "1.5");
        try {
            ds.post();
            QFAIL("'1.5' was stored");
        } catch (const DbError &e) {
            QVERIFY2(e.text().contains("'1.5'") && e.text().contains("KM"),
                     e.what());
        }
    }

    void fieldSizeIsTheDeclaredLength()
    {
        TestDatabase tdb;
        DataSet ds(tdb.db());
        ds.setSql("select * from funcs");
        QCOMPARE(ds.fieldSize("nome_func"), 40);  // known before opening
        ds.open();
        QCOMPARE(ds.fieldSize("UF"), 2);
        QCOMPARE(ds.fieldSize("obs"), 200);
        QCOMPARE(ds.fieldSize("codigo_func"), 0);
        ds.setSql("select * from control");
        QCOMPARE(ds.fieldSize("login"), 10);
    }

    void refreshStaysOnTheSameRowByKey()
    {
        OpenDataSet fixture({"insert into funcao values ('B', 'dois'), ('C', 'tres')"},
                            "select * from funcao order by codigo");
        auto &[tdb, ds] = fixture;
        ds.last();
        tdb.exec("insert into funcao values ('A', 'um')");
        tdb.exec("update funcao set descricao = 'TRES' where codigo = 'C'");
        QSignalSpy reset(&ds, &DataSet::dataReset);
        ds.refresh();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(ds.recordCount(), 3);
        QCOMPARE(ds.recNo(), 3);
        QCOMPARE(ds.text("descricao"), QString("TRES"));
    }

    void readOnlyQueriesRefuseWrites()
    {
        OpenDataSet fixture({"insert into funcao values ('A', 'um')"},
                            "select count(*) as total from (select * from funcao) f");
        auto &[tdb, ds] = fixture;
        QCOMPARE(ds.table(), QString());
        QCOMPARE(ds.asInt("total"), 1);
        QVERIFY_THROWS_EXCEPTION(DbError, ds.edit());

        DataSet noKey(tdb.db());
        noKey.setSql("select descricao from funcao");
        noKey.open();
        QVERIFY_THROWS_EXCEPTION(DbError, noKey.edit());
        QCOMPARE(noKey.state(), DataSet::State::Browse);
    }
};

QTEST_GUILESS_MAIN(TestDataSet)
#include "tst_dataset.moc"
