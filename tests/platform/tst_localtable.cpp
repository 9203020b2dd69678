#include "platform/LocalTable.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class TestLocalTable : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static QList<LocalField> rondaFields()
    {
        return {{"Vigilante", LocalField::String, 10},
                {"Ponto", LocalField::Integer},
                {"Valor", LocalField::Float},
                {"Horario", LocalField::DateTime},
                {"Dia", LocalField::Date},
                {"Ok", LocalField::Boolean}};
    }

    static bool appendRow(LocalTable &table, const QString &name, int point)
    {
        return table.append() && table.setValue("vigilante", name) && table.setValue("PONTO", point)
               && table.post();
    }

private Q_SLOTS:
    void valuesComeBackWithTheirTypes()
    {
        LocalTable table(m_dir.path(), "tipos");
        QVERIFY2(table.create(rondaFields()), qPrintable(table.lastError()));
        QCOMPARE(table.fileName(), m_dir.filePath("tipos.db"));
        QVERIFY(table.exists());
        const QDateTime when(QDate(2026, 12, 12), QTime(23, 59, 58, 123));
        QVERIFY(table.append());
        QCOMPARE(table.state(), LocalTable::State::Insert);
        QVERIFY(table.setValue("Vigilante", "José da Silva Sauro"));
        QVERIFY(table.setValue("ponto", 42));
        QVERIFY(table.setValue("Valor", 12.75));
        QVERIFY(table.setValue("Horario", when));
        QVERIFY(table.setValue("Dia", when));  // a date-time keeps only its date
        QVERIFY(table.setValue("Ok", true));
        QVERIFY(!table.setValue("Inexistente", 1));
        QVERIFY(table.lastError().contains("Campo inexistente"));
        QCOMPARE(table.value("Vigilante"), QVariant(QString("José da Si")));  // cut to its size
        QVERIFY(table.post());
        QVERIFY(table.append());
        QVERIFY(table.post());  // a row of nulls

        LocalTable reader(m_dir.path(), "tipos");
        table.close();
        QVERIFY2(reader.open(), qPrintable(reader.lastError()));
        QCOMPARE(reader.recordCount(), 2);
        QCOMPARE(reader.value("vigilante"), QVariant(QString("José da Si")));
        QCOMPARE(reader.value("Ponto"), QVariant(qlonglong(42)));
        QCOMPARE(reader.value("Valor"), QVariant(12.75));
        QCOMPARE(reader.value("Horario"), QVariant(when));
        QCOMPARE(reader.value("Dia"), QVariant(QDate(2026, 12, 12)));
        QCOMPARE(reader.value("Ok"), QVariant(true));
        reader.next();
        for (const LocalField &field : rondaFields())
            QVERIFY2(!reader.value(field.name).isValid(), qPrintable(field.name));
        reader.next();
        QVERIFY(reader.eof());
        QVERIFY(!reader.value("Ponto").isValid());
    }

    // The width counts characters: an emoji at the edge is kept whole (two UTF-16 units), and
    // one past it goes whole, never half.
    void widthsCutWholeCharacters()
    {
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        LocalTable table(m_dir.path(), "largura");
        QVERIFY2(table.create(rondaFields()), qPrintable(table.lastError()));
        QVERIFY(table.append());
        QVERIFY(table.setValue("Vigilante", "ABCDEFGHI" + emoji + "Z"));
        QCOMPARE(table.value("Vigilante").toString(), "ABCDEFGHI" + emoji);
        QVERIFY(table.post());
        QVERIFY(table.append());
        QVERIFY(table.setValue("Vigilante", "ABCDEFGHIJ" + emoji));
        QVERIFY(table.post());
        table.close();

        LocalTable reader(m_dir.path(), "largura");
        QVERIFY2(reader.open(), qPrintable(reader.lastError()));
        QCOMPARE(reader.value("Vigilante").toString(), "ABCDEFGHI" + emoji);
        reader.next();
        QCOMPARE(reader.value("Vigilante").toString(), QString("ABCDEFGHIJ"));
    }

    void openReadsTheFieldDefinitionsBack()
    {
        {
            LocalTable table(m_dir.path(), "campos");
            QVERIFY(table.create(rondaFields()));
        }
        LocalTable table(m_dir.path(), "campos");
        QVERIFY(table.open());
        const QList<LocalField> fields = table.fields();
        QCOMPARE(fields.size(), rondaFields().size());
        for (int i = 0; i < fields.size(); ++i) {
            QCOMPARE(fields[i].name, rondaFields()[i].name);
            QCOMPARE(fields[i].type, rondaFields()[i].type);
            QCOMPARE(fields[i].size, rondaFields()[i].size);
        }
    }

    void createStartsOverEmpty()
    {
        LocalTable table(m_dir.path(), "refeita");
        QVERIFY(table.create(rondaFields()));
        QVERIFY(appendRow(table, "A", 1));
        QVERIFY(table.create({{"Outro", LocalField::Integer}}));
        QCOMPARE(table.recordCount(), 0);
        table.first();
        QVERIFY(table.eof());
        QCOMPARE(table.fields().size(), 1);
        table.close();
        QVERIFY(table.open());
        QCOMPARE(table.recordCount(), 0);
    }

    void invalidDefinitionsAreRefused()
    {
        LocalTable table(m_dir.path(), "invalida");
        QVERIFY(!table.create({}));
        QVERIFY(!table.create({{"A", LocalField::String}, {"a", LocalField::Integer}}));
        QVERIFY(!table.create({{"torvel_row", LocalField::Integer}}));
        QVERIFY(!table.lastError().isEmpty());
        // Quotes and blanks in a name are only text.
        QVERIFY(table.create({{"Nome \"do\" ponto", LocalField::String}}));
        QVERIFY(table.append() && table.setValue("nome \"DO\" ponto", "x") && table.post());
        table.first();
        QCOMPARE(table.value("Nome \"do\" ponto"), QVariant(QString("x")));
    }

    void editCancelAndRemove()
    {
        LocalTable table(m_dir.path(), "edicao");
        QVERIFY(table.create(rondaFields()));
        for (int i = 1; i <= 4; ++i)
            QVERIFY(appendRow(table, QString("V%1").arg(i), i));

        table.first();
        table.next();
        QVERIFY(table.edit());
        QVERIFY(table.setValue("Ponto", 20));
        QCOMPARE(table.value("Ponto"), QVariant(qlonglong(20)));  // the buffer while editing
        table.cancel();
        QCOMPARE(table.value("Ponto"), QVariant(qlonglong(2)));

        QVERIFY(table.edit());
        QVERIFY(table.setValue("Ponto", 20));
        QVERIFY(table.post());
        QCOMPARE(table.value("Vigilante"), QVariant(QString("V2")));

        QVERIFY(table.remove());  // V2 goes, V3 becomes current
        QCOMPARE(table.value("Vigilante"), QVariant(QString("V3")));
        QVERIFY(table.append());
        table.cancel();
        QCOMPARE(table.recordCount(), 3);

        table.first();
        QVERIFY(table.edit());
        QVERIFY(table.setValue("Ponto", 10));
        table.next();  // moving posts the pending edit
        QCOMPARE(table.value("Vigilante"), QVariant(QString("V3")));

        table.close();
        QVERIFY(table.open());
        const QList<QVariantList> rows = table.rows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].mid(0, 2), (QVariantList{QString("V1"), qlonglong(10)}));
        QCOMPARE(rows[1].mid(0, 2), (QVariantList{QString("V3"), qlonglong(3)}));
        QCOMPARE(rows[2].mid(0, 2), (QVariantList{QString("V4"), qlonglong(4)}));

        while (!table.eof())
            QVERIFY(table.remove());
        QCOMPARE(table.recordCount(), 0);
        QVERIFY(!table.remove());
        QVERIFY(!table.edit());
    }

    // Rows written one after another that differ only in a null against an empty text (a
    // report's blank cell against a name found empty), or in one field, keep their own values.
    void repeatedValuesKeepNullsAndEmptiesApart()
    {
        LocalTable table(m_dir.path(), "repetidos");
        QVERIFY(table.create(rondaFields()));
        // An invalid entry is a field left unset; QString() is a null text set.
        const QList<QVariant> names{QString(""), QVariant(), QString(""), QString("A"), QString("A"),
                                    QString(),   QString(""), QString(),  QString("B")};
        for (const QVariant &name : names) {
            QVERIFY(table.append());
            if (name.isValid())
                QVERIFY(table.setValue("Vigilante", name));
            QVERIFY(table.setValue("Ponto", 7));
            QVERIFY(table.post());
        }
        table.first();
        QVERIFY(table.edit());
        QVERIFY(table.setValue("Vigilante", "C"));
        QVERIFY(table.post());
        table.next();
        QVERIFY(table.edit());  // the null row edited with nothing set stays null
        QVERIFY(table.setValue("Ponto", 8));
        QVERIFY(table.post());
        table.next();
        QVERIFY(table.edit());
        QVERIFY(table.setValue("Ponto", 8));
        QVERIFY(table.post());

        table.close();
        QVERIFY(table.open());
        const QList<QVariantList> rows = table.rows();
        QCOMPARE(rows.size(), names.size());
        const QList<QVariant> expected{QString("C"), QVariant(), QString(""), QString("A"), QString("A"),
                                       QVariant(),   QString(""), QVariant(), QString("B")};
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i][0].isValid(), expected[i].isValid());
            QCOMPARE(rows[i][0], expected[i]);
            QCOMPARE(rows[i][1], QVariant(qlonglong(i == 1 || i == 2 ? 8 : 7)));
        }
    }

    void rowEditingNeedsAnOpenTableAndABuffer()
    {
        LocalTable table(m_dir.path(), "fechada");
        QVERIFY(!table.append());
        QVERIFY(table.lastError().contains("não está aberta"));
        QVERIFY(!table.post());
        QVERIFY(!table.setValue("x", 1));
        table.first();
        QVERIFY(table.eof());
        QVERIFY(table.rows().isEmpty());
        QVERIFY(!table.open());
        QVERIFY(table.lastError().contains("não existe"));
    }

    void twentyThousandAppendsReadBackInOrder()
    {
        LocalTable table(m_dir.path(), "grande");
        QVERIFY(table.create({{"Seq", LocalField::Integer}, {"Texto", LocalField::String, 12}}));
        const int count = 20000;
        for (int i = 0; i < count; ++i) {
            QVERIFY(table.append());
            QVERIFY(table.setValue("Seq", i));
            QVERIFY(table.setValue("Texto", QString("linha %1").arg(i)));
            QVERIFY(table.post());
        }
        QVERIFY(table.addIndex({"Texto", "seq"}));
        QCOMPARE(table.recordCount(), count);
        int expected = 0;
        for (table.first(); !table.eof(); table.next()) {
            if (table.value("Seq").toInt() != expected)
                QFAIL(qPrintable(QString("row %1 read as %2").arg(expected).arg(table.value("Seq").toInt())));
            ++expected;
        }
        QCOMPARE(expected, count);
        const QList<QVariantList> rows = table.rows();
        QCOMPARE(rows.size(), count);
        QCOMPARE(rows.last(), (QVariantList{qlonglong(count - 1), QString("linha 19999")}));
    }

    // Rows written at once read back as rows written one by one: same conversions and cuts,
    // nulls for missing values, in order between single appends, current row the last one,
    // and an edit of a bulk row lands on that row.
    void bulkRowsReadAsSingleOnes()
    {
        LocalTable table(m_dir.path(), "lote");
        QVERIFY(table.create(rondaFields()));
        const QDateTime when(QDate(2026, 12, 12), QTime(8, 30, 5));
        QVERIFY(appendRow(table, "primeiro", 1));
        QVERIFY(table.appendRows({{"José da Silva Sauro", 2, 1.5, when, when, true},
                                  {QString::fromUtf8("123456789\U0001F600x"), "3"},
                                  {}}));
        QCOMPARE(table.value("Ponto"), QVariant());  // the last row, all null
        QVERIFY(table.appendRows({}));
        QVERIFY(appendRow(table, "ultimo", 5));
        const QList<QVariantList> rows = table.rows();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.at(0).at(0), QVariant("primeiro"));
        QCOMPARE(rows.at(1), (QVariantList{QString("José da Si"), qlonglong(2), 1.5, when, QDate(2026, 12, 12), true}));
        QCOMPARE(rows.at(2).at(0), QVariant(QString::fromUtf8("123456789\U0001F600")));
        QCOMPARE(rows.at(2).at(1), QVariant(qlonglong(3)));
        QVERIFY(!rows.at(2).at(2).isValid());
        for (const QVariant &v : rows.at(3))
            QVERIFY(!v.isValid());
        QCOMPARE(rows.at(4).at(0), QVariant("ultimo"));

        table.first();
        table.next();
        QVERIFY(table.edit() && table.setValue("Ponto", 20) && table.post());
        table.close();
        LocalTable reader(m_dir.path(), "lote");
        QVERIFY(reader.open());
        QCOMPARE(reader.rows().at(1).at(1), QVariant(qlonglong(20)));
        QCOMPARE(reader.rows().at(2).at(1), QVariant(qlonglong(3)));
    }

    // Rows of texts: an empty cell stays an empty text unless it is asked to be NULL.
    void textRowsKeepOrDropEmptyCells()
    {
        LocalTable table(m_dir.path(), "textos");
        QVERIFY(table.create(rondaFields()));
        QVERIFY(table.appendTextRows({{"um", "1"}, {"", "2"}}));
        QVERIFY(table.appendTextRows({{"", "3"}}, true));
        const QList<QVariantList> rows = table.rows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).at(0), QVariant("um"));
        QCOMPARE(rows.at(0).at(1), QVariant(qlonglong(1)));
        QCOMPARE(rows.at(1).at(0), QVariant(QString("")));
        QVERIFY(rows.at(1).at(0).isValid());
        QVERIFY(!rows.at(2).at(0).isValid());
        QCOMPARE(rows.at(2).at(1), QVariant(qlonglong(3)));
    }

    void addIndexChecksItsFields()
    {
        LocalTable table(m_dir.path(), "indice");
        QVERIFY(table.create(rondaFields()));
        QVERIFY(table.addIndex({"Dia"}));
        QVERIFY(table.addIndex({"dia"}));  // again, harmlessly
        QVERIFY(!table.addIndex({"Nada"}));
        QVERIFY(!table.addIndex({}));
    }

    void damagedFileIsReportedAndReplacedByCreate()
    {
        const QString path = m_dir.filePath("lixo.db");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, '\x5a'));
        }
        LocalTable table(m_dir.path(), "lixo");
        QVERIFY(!table.open());
        QVERIFY(table.lastError().contains("danificada"));
        QVERIFY(!table.isOpen());
        QVERIFY(table.create(rondaFields()));
        QVERIFY(appendRow(table, "A", 1));
        table.close();
        QVERIFY(table.open());
        QCOMPARE(table.recordCount(), 1);
    }

    void sqliteFileOfAnotherProgramIsNotATable()
    {
        const QString path = m_dir.filePath("alheia.db");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "alheia");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery(db).exec("CREATE TABLE x (a)");
            db.close();
        }
        QSqlDatabase::removeDatabase("alheia");
        LocalTable table(m_dir.path(), "alheia");
        QVERIFY(!table.open());
        QVERIFY(table.lastError().contains("danificada"));
    }

    void eachTableHasItsOwnConnection()
    {
        const QStringList before = QSqlDatabase::connectionNames();
        {
            LocalTable a(m_dir.path(), "a");
            LocalTable b(m_dir.path(), "b");
            QVERIFY(a.create({{"X", LocalField::Integer}}));
            QVERIFY(b.create({{"Y", LocalField::String}}));
            QVERIFY(appendRow(a, "", 1) == false);  // a has no Vigilante field
            a.cancel();
            QVERIFY(a.append() && a.setValue("x", 7) && a.post());
            QVERIFY(b.append() && b.setValue("y", "sete") && b.post());
            a.first();
            b.first();
            QCOMPARE(a.value("X"), QVariant(qlonglong(7)));
            QCOMPARE(b.value("Y"), QVariant(QString("sete")));
            QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 2);
        }
        QCOMPARE(QSqlDatabase::connectionNames(), before);
    }
};

QTEST_GUILESS_MAIN(TestLocalTable)
#include "tst_localtable.moc"
