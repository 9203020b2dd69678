#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QVector>

class DataSet;
class QTableView;

// A read-only grid over a DataSet: chosen fields as columns, the program's text forms as cells.
// It follows the dataset's changes and, bound to a view, keeps the view's current row and the
// dataset's current row the same in both directions.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit DataSetModel(DataSet &dataset, QObject *parent = nullptr);

    // `width` in pixels for a bound view; 0 leaves the view's default.
    void addColumn(const QString &field, const QString &caption, int width = 0);
    QString columnField(int column) const;
    DataSet *dataset() const { return m_dataset; }

    // Sets this model on the view with whole-row, single selection and the column widths.
    void bindView(QTableView *view);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct ColumnDef {
        QString field;
        QString caption;
        int width = 0;
    };

    void selectCurrentRow();
    void viewRowChanged(const QModelIndex &current);

    QPointer<DataSet> m_dataset;
    QVector<ColumnDef> m_columns;
    QPointer<QTableView> m_view;
    bool m_syncing = false;
};
