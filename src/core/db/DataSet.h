#pragma once

#include "core/db/Sql.h"

#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// Thrown by a Before-hook to stop the operation silently: the operation does not happen and no
// message is shown. The dataset catches it; the operation's function returns false.
class DataSetAbort : public std::exception {
public:
    const char *what() const noexcept override { return "operation aborted"; }
};

// An editable query in the manner of the data-aware datasets the system was designed around:
// the rows of a SELECT held in memory, a current row, a state (browse, edit, insert), a field
// buffer and the writes back to one table (the target) with bound parameters.
//
// Consistency rules live in hooks (on()) so that they apply whichever window edits the data;
// views and widgets follow the Qt signals. Hooks may throw, slots must not.
//
// Navigation, locate(), refresh() and insert() first leave an edit: a modified buffer is posted,
// an unmodified one cancelled. close() discards a pending edit without hooks.
class DataSet : public QObject {
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert };
    Q_ENUM(State)

    enum class Event {
        BeforeInsert, AfterInsert,
        BeforeEdit, AfterEdit,
        BeforePost, AfterPost,
        BeforeCancel, AfterCancel,
        BeforeDelete, AfterDelete,
        AfterScroll, AfterOpen,
    };

    enum LocateOption { CaseInsensitive = 0x1, PartialKey = 0x2 };
    Q_DECLARE_FLAGS(LocateOptions, LocateOption)

    using Handler = std::function<void(DataSet &)>;
    using HookId = int;

    explicit DataSet(const QSqlDatabase &db, QObject *parent = nullptr);
    ~DataSet() override;

    // --- query -----------------------------------------------------------------------------
    // Named parameters as ":name". A new text takes effect at the next open() or refresh().
    void setSql(const QString &sql);
    QString sql() const { return m_sql; }
    // `name` with or without the colon. Values keep their type when bound (text, integer,
    // date-time), so nothing typed by a user ever becomes SQL text.
    void setParam(const QString &name, const QVariant &value);
    QVariant param(const QString &name) const;
    void clearParams() { m_params.clear(); }

    // The table written by post() and remove(). Unless set, the first table after FROM in the
    // SQL text; empty means read-only.
    void setTable(const QString &table);
    QString table() const;
    QStringList primaryKey() const;

    // Runs the query and loads every row, positioned on the first. Reopens when already active.
    // Throws DbError when the statement fails (the dataset stays inactive).
    void open();
    void close();
    // Runs the query again and returns to the same row by its primary key (or its position
    // when the key is unknown or the row is gone).
    void refresh();
    bool isActive() const { return m_state != State::Inactive; }

    // --- navigation ------------------------------------------------------------------------
    void first();
    void last();
    void next();   // at the last row: eof() becomes true and the row stays
    void prior();  // at the first row: bof() becomes true and the row stays
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    int recordCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    // 1-based position of the current row; 0 when there is none (inactive, empty, inserting).
    int recNo() const { return m_current + 1; }
    void setRecNo(int recNo);  // clamped to the rows there are
    // 0-based current row, -1 when there is none.
    int currentRow() const { return m_current; }

    // First row (from the top) whose fields all match; false and no move when none does.
    // Without options the values compare as the field's type; PartialKey matches the leading
    // part of the field's text, CaseInsensitive ignores case.
    bool locate(const QString &field, const QVariant &value, LocateOptions options = {});
    bool locate(const QStringList &fields, const QVariantList &values,
                LocateOptions options = {});

    // --- fields ----------------------------------------------------------------------------
    // Names are case-insensitive. An unknown name on an active dataset throws DbError.
    QStringList fieldNames() const { return m_fieldNames; }
    bool hasField(const QString &field) const { return fieldIndex(field) >= 0; }
    int fieldIndex(const QString &field) const;
    QMetaType fieldType(const QString &field) const;
    // Declared character length (40 for char(40)) of a target-table column; 0 otherwise.
    int fieldSize(const QString &field);

    // The current row, or the edit buffer while editing or inserting; null without a row.
    QVariant value(const QString &field) const;
    bool isNull(const QString &field) const { return value(field).isNull(); }
    int asInt(const QString &field) const;  // null -> 0
    // As the program shows it: dates dd/MM/yyyy, date-times dd/MM/yyyy hh:mm:ss without the time
    // at exactly midnight, times hh:mm:ss, decimal comma, null as "".
    QString text(const QString &field) const;
    static QString displayText(const QVariant &value);

    // A stored row without moving to it (views, reports), the text with the field's format.
    QVariant valueAt(int row, const QString &field) const;
    QString textAt(int row, const QString &field) const;

    // How text() shows a number field: a fixed number of decimals, and as money ("R$ 1.234,50").
    // The text to edit (editText()) has the decimals without the symbol and the grouping.
    struct NumberFormat {
        int decimals = -1;  // -1: as many as the value needs
        bool currency = false;
        bool nonNegative = false;  // a negative value typed is refused, naming the field
    };
    void setNumberFormat(const QString &field, NumberFormat format);
    // The name the user knows a field by, used in the messages about its value; the field's
    // own name when none was given. Both settings last across open() and close().
    void setDisplayLabel(const QString &field, const QString &label);
    QString displayLabel(const QString &field) const;

    // What the user types into a field, as a data-aware control hands it over: a text that
    // converts to the field's type goes into the buffer; one that does not yet (a half-typed
    // date or number) is kept as typed and refused by post(), which names the field, so a
    // wrong value is never stored and never silently dropped. Edits first when browsing.
    bool setText(const QString &field, const QString &text);
    // The text to show in an edit field: what was typed, else the value without the currency
    // symbol and grouping.
    QString editText(const QString &field) const;

    // Writes the buffer. In Browse state it first calls edit() itself, as a data-aware control
    // does when the user types; returns false when a BeforeEdit hook aborted that. The value is
    // converted to the field's type: an empty text clears a non-text field, a date field takes
    // "dd/MM/yyyy[ hh:mm[:ss]]"; a value that does not convert throws DbError.
    bool setValue(const QString &field, const QVariant &value);

    // --- editing ---------------------------------------------------------------------------
    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    // True when the buffer differs from the row (or, inserting, from the new record's defaults).
    bool modified() const;

    // Each returns false when a Before-hook aborted with DataSetAbort and throws what any other
    // hook or a failed statement throws; either way the operation has not happened.
    // edit() on an empty dataset inserts instead.
    bool edit();
    // A new buffer holding the columns' server defaults; posted before the current row (insert)
    // or after the last one (append). Columns left at their default are not written, so the
    // server applies them, and the new row is read back (auto-increment key included).
    bool insert();
    bool append();
    // INSERT or UPDATE ... WHERE old key, of the changed columns only. On a failed statement it
    // throws DbError with the server's message and keeps the state and the buffer.
    bool post();
    bool cancel();
    // DELETE ... WHERE key; the next row becomes current (the previous one at the end).
    // While inserting it cancels the new record instead.
    bool remove();

    // --- hooks -----------------------------------------------------------------------------
    // Handlers run in registration order. A Before-hook may change the buffer (BeforePost), run
    // statements, or stop the operation by throwing. An exception from an After-hook reaches the
    // caller after the operation has completed.
    HookId on(Event event, Handler handler);
    // The handler goes away with `owner` (a window attaching rules to a shared dataset).
    HookId on(Event event, QObject *owner, Handler handler);
    void removeHook(HookId id);

    // With atomic writes, a post or delete runs its Before-hooks and its own statement in one
    // transaction: a hook that aborts or fails, or a statement the server refuses, leaves
    // nothing of the rules' statements behind. Rules that must change other tables together
    // with the row therefore run in Before-hooks.
    void setAtomicWrites(bool atomic) { m_atomic = atomic; }
    bool atomicWrites() const { return m_atomic; }

Q_SIGNALS:
    void stateChanged(DataSet::State state);
    void currentRowChanged();
    void fieldChanged(const QString &field);
    void dataReset();
    void rowUpdated(int row);
    void aboutToInsertRow(int row);
    void rowInserted(int row);
    void aboutToRemoveRow(int row);
    void rowRemoved(int row);

private:
    using Row = QVector<QVariant>;

    struct Column {
        QString name;
        int charLength = 0;
        QVariant defaultValue;  // null when none or when it is an expression
        bool autoIncrement = false;
    };
    struct TableInfo {
        QHash<QString, Column> columns;  // by lower-case name
        QStringList primaryKey;
    };

    struct Key {
        std::vector<int> columns;
        bool unique = false;  // a primary key; otherwise all columns, first match
    };
    struct Loaded {
        QStringList names;
        QVector<QMetaType> types;
        QVector<Row> rows;
    };

    QSqlDatabase db() const;
    const TableInfo &tableInfo();
    Loaded load() const;
    void apply(Loaded &&loaded);

    int requireField(const QString &field) const;
    const Row *currentValues() const;
    QVariant coerce(int column, const QVariant &value) const;
    QString formatted(int column, const QVariant &value, bool forEditing) const;
    // Throws DbError, naming the field, for the first typed text that does not convert.
    void requireTypedTextsValid() const;
    void clearBuffer();
    bool matches(const Row &row, int column, const QVariant &value, LocateOptions options) const;

    bool fire(Event event);       // false when a hook threw DataSetAbort
    void fireAfter(Event event);
    bool leaveEdit();             // post if modified, cancel otherwise
    void moveTo(int row, bool bof, bool eof);
    void setState(State state);
    bool startInsert(bool atEnd);

    void requireTable();
    Key rowKey();
    std::vector<int> writableColumns();
    QString whereClause(const Key &key, const Row &row, Bindings &bindings) const;
    Row writeInsert();
    Row writeUpdate();
    std::optional<Row> reread(const Row &stored);

    QString m_connection;
    QString m_sql;
    QHash<QString, QVariant> m_params;
    QString m_explicitTable;
    std::optional<TableInfo> m_tableInfo;

    QStringList m_fieldNames;
    QVector<QMetaType> m_fieldTypes;
    QHash<QString, int> m_fieldIndex;  // lower-case name -> column
    QVector<Row> m_rows;

    State m_state = State::Inactive;
    int m_current = -1;
    bool m_eof = true;
    bool m_bof = true;

    Row m_buffer;
    QHash<int, QString> m_typed;  // texts typed into fields while editing, by column
    QHash<QString, NumberFormat> m_formats;  // by lower-case name
    QHash<QString, QString> m_labels;        // by lower-case name
    Row m_original;            // the row (edit) or the defaults (insert) the buffer started from
    int m_insertAt = -1;       // position the new row takes when posted
    int m_rowBeforeInsert = -1;

    struct Hook {
        HookId id;
        Handler handler;
    };
    std::map<Event, std::vector<Hook>> m_hooks;
    HookId m_nextHook = 1;
    bool m_atomic = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DataSet::LocateOptions)
