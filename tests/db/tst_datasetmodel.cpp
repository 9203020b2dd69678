#include "OpenDataSet.h"
#include "TestDatabase.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"

#include <QTableView>
#include <QtTest>

// The grid model over a dataset: what it shows, how it follows edits, and the current row kept
// the same in the view and in the dataset.
class TestDataSetModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsChosenFieldsAsText()
    {
        TestDatabase tdb;
        tdb.exec("insert into buttons values ('B1', 'A', 'L', '2024-01-05 00:00:00'), "
                 "('B2', null, 'R', '2024-01-05 08:00:00')");
        DataSet ds(tdb.db());
        ds.setSql("select * from buttons order by codigo_button");
        DataSetModel model(ds);
        model.addColumn("codigo_button", "Código", 80);
        model.addColumn("data_cadastro", "Cadastro");
        QCOMPARE(model.rowCount(), 0);

        ds.open();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Código"));
        QCOMPARE(model.data(model.index(0, 1)).toString(), QString("05/01/2024"));
        QCOMPARE(model.data(model.index(1, 1)).toString(), QString("05/01/2024 08:00:00"));
        QVERIFY(!model.data(model.index(0, 0), Qt::EditRole).isValid());

        ds.close();
        QCOMPARE(model.rowCount(), 0);
    }

    void followsInsertUpdateAndRemove()
    {
        OpenDataSet fixture({"insert into funcao values ('A', 'um'), ('C', 'tres')"},
                            "select * from funcao order by codigo");
        auto &[tdb, ds] = fixture;
        DataSetModel model(ds);
        model.addColumn("codigo", "Código");
        model.addColumn("descricao", "Descrição");
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        ds.last();
        ds.insert();
        ds.setValue("codigo", "B");
        QCOMPARE(model.rowCount(), 2);  // not a row until posted
        ds.post();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 1);
        QCOMPARE(model.data(model.index(1, 0)).toString(), QString("B"));

        ds.setValue("descricao", "dois");
        ds.post();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.data(model.index(1, 1)).toString(), QString("dois"));

        ds.remove();
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.data(model.index(1, 0)).toString(), QString("C"));
    }

    void viewAndDatasetShareTheCurrentRow()
    {
        OpenDataSet fixture({"insert into funcao values ('A', 'um'), ('B', 'dois'), ('C', 'tres')"},
                            "select * from funcao order by codigo");
        auto &[tdb, ds] = fixture;
        DataSetModel model(ds);
        model.addColumn("codigo", "Código", 60);
        model.addColumn("descricao", "Descrição");
        QTableView view;
        model.bindView(&view);
        QCOMPARE(view.columnWidth(0), 60);
        QCOMPARE(view.currentIndex().row(), 0);

        ds.setRecNo(3);
        QCOMPARE(view.currentIndex().row(), 2);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
        QCOMPARE(view.selectionModel()->selectedRows().at(0).row(), 2);

        view.selectionModel()->setCurrentIndex(model.index(1, 1), QItemSelectionModel::ClearAndSelect |
                                                                      QItemSelectionModel::Rows);
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(ds.text("codigo"), QString("B"));

        // a pending edit goes in before the row changes; a rule refusing it keeps the view put
        ds.setValue("descricao", "DOIS");
        ds.on(DataSet::Event::BeforePost, [](DataSet &) { throw DataSetAbort(); });
        view.selectionModel()->setCurrentIndex(model.index(0, 0), QItemSelectionModel::ClearAndSelect |
                                                                      QItemSelectionModel::Rows);
        QCOMPARE(ds.recNo(), 2);
        QCOMPARE(ds.state(), DataSet::State::Edit);
        QCOMPARE(view.currentIndex().row(), 1);

        ds.cancel();
        ds.refresh();
        QCOMPARE(view.currentIndex().row(), 1);
    }
};

QTEST_MAIN(TestDataSetModel)
#include "tst_datasetmodel.moc"
