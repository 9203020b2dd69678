#include "core/db/DataSetModel.h"

#include "core/db/DataSet.h"
#include "platform/MessageService.h"

#include <QHeaderView>
#include <QScopedValueRollback>
#include <QItemSelectionModel>
#include <QTableView>

DataSetModel::DataSetModel(DataSet &dataset, QObject *parent)
    : QAbstractTableModel(parent), m_dataset(&dataset)
{
    connect(&dataset, &DataSet::dataReset, this, [this] {
        beginResetModel();
        endResetModel();
        selectCurrentRow();
    });
    connect(&dataset, &DataSet::aboutToInsertRow, this,
            [this](int row) { beginInsertRows({}, row, row); });
    connect(&dataset, &DataSet::rowInserted, this, [this] { endInsertRows(); });
    connect(&dataset, &DataSet::aboutToRemoveRow, this,
            [this](int row) { beginRemoveRows({}, row, row); });
    connect(&dataset, &DataSet::rowRemoved, this, [this] { endRemoveRows(); });
    connect(&dataset, &DataSet::rowUpdated, this, [this](int row) {
        if (!m_columns.isEmpty())
            Q_EMIT dataChanged(index(row, 0), index(row, int(m_columns.size()) - 1));
    });
    connect(&dataset, &DataSet::currentRowChanged, this, &DataSetModel::selectCurrentRow);
}

void DataSetModel::addColumn(const QString &field, const QString &caption, int width)
{
    const int column = int(m_columns.size());
    beginInsertColumns({}, column, column);
    m_columns.push_back({field, caption, width});
    endInsertColumns();
    if (m_view && width > 0)
        m_view->setColumnWidth(column, width);
}

QString DataSetModel::columnField(int column) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column].field : QString();
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataset || !m_dataset->isActive())
        return 0;
    return m_dataset->recordCount();
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || !m_dataset)
        return {};
    const QString &field = m_columns[index.column()].field;
    if (!m_dataset->hasField(field))
        return {};
    return m_dataset->textAt(index.row(), field);
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < m_columns.size() ? m_columns[section].caption : QVariant();
}

void DataSetModel::bindView(QTableView *view)
{
    m_view = view;
    view->setModel(this);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns[c].width > 0)
            view->setColumnWidth(c, m_columns[c].width);
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { viewRowChanged(current); });
    selectCurrentRow();
}

void DataSetModel::selectCurrentRow()
{
    if (!m_view || !m_view->selectionModel() || !m_dataset || m_syncing)
        return;
    QItemSelectionModel *selection = m_view->selectionModel();
    const QScopedValueRollback guard(m_syncing, true);
    const int row = m_dataset->currentRow();
    if (row < 0 || row >= rowCount() || m_columns.isEmpty()) {
        selection->clear();
        return;
    }
    const int column = qMax(0, selection->currentIndex().column());
    const QModelIndex target = index(row, qMin(column, int(m_columns.size()) - 1));
    selection->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect |
                                           QItemSelectionModel::Rows);
    m_view->scrollTo(target);
}

void DataSetModel::viewRowChanged(const QModelIndex &current)
{
    if (m_syncing || !current.isValid() || !m_dataset)
        return;
    if (current.row() != m_dataset->currentRow()) {
        try {
            // leaving a pending edit may post it, and posting may fail
            m_dataset->setRecNo(current.row() + 1);
        } catch (const std::exception &e) {
            const auto *db = dynamic_cast<const DbError *>(&e);
            Msg::error(db ? db->text() : QString::fromLocal8Bit(e.what()));
        }
    }
    if (m_dataset->currentRow() != current.row())
        selectCurrentRow();  // the dataset did not follow: the view goes back
}
