#pragma once

#include <QDialog>
#include <QList>
#include <QPair>

class DataSet;
class DataSetModel;
class QLineEdit;
class QTableView;
class QVBoxLayout;

// What one search list shows and how it searches.
struct SearchListConfig {
    QString caption;
    QString initialSql;     // the rows when the list opens
    QString baseSql;        // reloads: base, then the search condition, then the ordering
    QString searchColumn;   // empty: the list has no search field
    QString ordering;       // e.g. " order by nome_local"
    int searchLength = 30;
    QList<QPair<QString, QString>> columns;  // field, caption
    // Without a search column the list may still have the field "Pesquisa" that filters
    // nothing: only its arrow keys move the grid.
    bool navigationOnlySearch = false;

    // A list of every row of `table`, searched by the leading part of `column` and ordered by it.
    static SearchListConfig byColumn(const QString &caption, const QString &table, const QString &column,
                                     QList<QPair<QString, QString>> columns, int searchLength = 30)
    {
        const QString ordering = QStringLiteral(" order by ") + column;
        const QString base = QStringLiteral("select * from ") + table;
        return {caption, base + ordering, base, column, ordering, searchLength, std::move(columns)};
    }
};

// The modal pickers ("Lista de ..."): an optional upper-case search field "Pesquisa" above a
// read-only grid. Every change of the search text reloads the grid with the rows whose search
// column starts with the text. Enter anywhere or a double-click chooses (OK), Esc cancels; in
// the search field the arrow keys move the grid. The caller reads the current row of query()
// after OK, and must expect it to be empty when nothing matched.
class TfmListaBase : public QDialog {
    Q_OBJECT
public:
    explicit TfmListaBase(const SearchListConfig &config, QWidget *parent = nullptr);
    ~TfmListaBase() override;

    DataSet &query() const { return *m_query; }
    // The current row's value of `field`, empty when there is no row.
    QVariant chosen(const QString &field) const;

    QLineEdit *edPesquisa = nullptr;  // null when the list has no search field
    QTableView *dbgLista = nullptr;

    // The condition and parameter that find texts starting with `text` in `column`, with the
    // LIKE wildcards of the text taken literally.
    static QString startsWithCondition(const QString &column);
    static QString startsWithPattern(const QString &text);

    // Every column of `grid` as wide as its contents except `stretched`, which takes the room
    // left (and shrinks first when there is none).
    static void sizeColumns(QTableView *grid, int stretched);
    // The column that stretches in a list: the one searched, else the first.
    static int stretchedColumn(const SearchListConfig &config);

public Q_SLOTS:
    void edPesquisaChange();
    void choose();

protected:
    // Runs `sql` (with the search parameter when it has one) and shows its rows.
    void load(const QString &sql, const QString &searchText = {});
    QVBoxLayout *extraArea() const { return m_extra; }
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    SearchListConfig m_config;

private:
    DataSet *m_query = nullptr;
    DataSetModel *m_model = nullptr;
    QVBoxLayout *m_extra = nullptr;
};
