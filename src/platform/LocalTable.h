#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class QSqlQuery;

struct LocalField {
    QString name;
    enum Type { String, Integer, Float, DateTime, Date, Boolean } type = String;
    int size = 0;  // String: most characters (code points) kept, a longer value is cut; 0 for no limit
};

// A working table of a report or of the collection dialog: one SQLite file <folder>/<name>.db,
// recreated at every run, edited row by row as the windows did with their local tables.
//
// append() or edit() opens the row buffer, setValue() fills it, post() writes it and cancel()
// drops it; moving (first/next), append() and edit() post a pending buffer first. Rows come back
// in insertion order. Appends are gathered in one transaction, committed by first(), rows(),
// flush() and close(), so tens of thousands of them cost little.
//
// value() gives String as QString, Integer as qlonglong, Float as double, DateTime as
// QDateTime, Date as QDate and Boolean as bool; a null field (never set) is an invalid QVariant.
// Field names are case-insensitive.
class LocalTable {
public:
    enum class State { Closed, Browse, Insert, Edit };

    LocalTable(const QString &folder, const QString &name);
    ~LocalTable();
    LocalTable(const LocalTable &) = delete;
    LocalTable &operator=(const LocalTable &) = delete;

    // Replaces whatever file is there (even a damaged one) with an empty table.
    bool create(const QList<LocalField> &fields);
    // An existing table, with the field definitions it was created with.
    bool open();
    void close();
    bool isOpen() const { return m_state != State::Closed; }
    bool exists() const;
    QList<LocalField> fields() const { return m_fields; }
    QString fileName() const { return m_fileName; }
    QString lastError() const { return m_lastError; }
    State state() const { return m_state; }

    // Appends whole rows at once, values in field order (missing ones NULL), each converted and
    // cut as setValue() does; the last one becomes current. For reports that write tens of
    // thousands of rows: the values go to SQLite straight, without a row buffer and without Qt's
    // binding, which costs more than the write itself. The rows are gathered in the running
    // transaction like append()'s. A pending append or edit is posted first.
    bool appendRows(const QList<QVariantList> &rows);
    // appendRows() of rows of texts: each cell a text, or NULL where it is empty and
    // `emptyAsNull`.
    bool appendTextRows(const QList<QStringList> &rows, bool emptyAsNull = false);
    bool append();
    bool edit();
    bool setValue(const QString &field, const QVariant &value);
    bool post();
    void cancel();
    // Deletes the current row; the next one becomes current.
    bool remove();

    void first();
    void next();
    bool eof() const;
    int recordCount() const { return int(m_rowIds.size()); }
    // The row buffer while appending or editing, else the current row.
    QVariant value(const QString &field) const;
    // Every row in insertion order, values in field order; the current row is kept.
    QList<QVariantList> rows();

    bool addIndex(const QStringList &fields);
    // Commits the appends gathered so far.
    bool flush();

private:
    bool openConnection();
    bool prepareStatements();
    void closeConnection();
    bool exec(QSqlQuery &query, const QString &what);
    bool execSql(const QString &sql, const QString &what);
    bool fail(const QString &message);
    bool requireOpen();
    bool postPending();
    bool beginWrite();
    void loadCurrent();
    int fieldIndex(const QString &name) const;
    QVariant toStored(int field, const QVariant &value) const;
    QVariant fromStored(int field, const QVariant &stored) const;

    QString m_name;
    QString m_fileName;
    QString m_connection;
    QList<LocalField> m_fields;
    QString m_lastError;
    State m_state = State::Closed;
    bool m_inTransaction = false;

    QList<qint64> m_rowIds;  // insertion order
    qsizetype m_pos = 0;
    QVariantList m_current;
    QVariantList m_buffer;

    struct Statements;
    std::unique_ptr<Statements> m_statements;
};
