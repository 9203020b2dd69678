#include "platform/LocalTable.h"

#include "platform/TextCut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <cstring>
#include <iterator>
#include <optional>

#include <sqlite3.h>

namespace {

// Names of our own in every file; a field may not take them.
const QString dataTable = QStringLiteral("\"data\"");
const QString fieldsTable = QStringLiteral("torvel_fields");
const QString rowColumn = QStringLiteral("torvel_row");

const char *const typeNames[] = {"String", "Integer", "Float", "DateTime", "Date", "Boolean"};
const char *const sqlTypes[] = {"TEXT", "INTEGER", "REAL", "TEXT", "TEXT", "INTEGER"};

// Text that sorts in time order, so an index on a date-time field serves ranges.
const QString dateTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");

QString quoted(const QString &identifier)
{
    return u'"' + QString(identifier).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

std::optional<LocalField::Type> typeFromName(const QString &name)
{
    for (int i = 0; i < int(std::size(typeNames)); ++i)
        if (name == QLatin1String(typeNames[i]))
            return LocalField::Type(i);
    return std::nullopt;
}

// Whether binding `b` where `a` is bound would write the same thing. QVariant's equality alone
// is not enough: a null and an empty text are equal there but are NULL and '' in the file, and
// 0.0 equals -0.0.
bool sameBinding(const QVariant &a, const QVariant &b)
{
    if (a.metaType() != b.metaType())
        return false;
    switch (a.typeId()) {
    case QMetaType::UnknownType:
        return true;
    case QMetaType::QString: {
        const QString &x = *static_cast<const QString *>(a.constData());
        const QString &y = *static_cast<const QString *>(b.constData());
        return x.isNull() == y.isNull() && x == y;
    }
    case QMetaType::Double:
        return std::memcmp(a.constData(), b.constData(), sizeof(double)) == 0;
    case QMetaType::LongLong:
    case QMetaType::Int:
        return a == b;
    default:
        return false;
    }
}

}  // namespace

struct LocalTable::Statements {
    QSqlQuery insert;
    QSqlQuery update;
    QSqlQuery select;
    QSqlQuery remove;
    // What insert and update hold bound; empty until their first run.
    QVariantList insertBound;
    QVariantList updateBound;
    // appendRows()'s insert, on the connection's own handle; finalised before it closes.
    sqlite3_stmt *rawInsert = nullptr;
    sqlite3 *handle = nullptr;

    Statements(QSqlQuery i, QSqlQuery u, QSqlQuery s, QSqlQuery r)
        : insert(std::move(i)), update(std::move(u)), select(std::move(s)), remove(std::move(r)) {}
    Statements(const Statements &) = delete;
    Statements &operator=(const Statements &) = delete;
    ~Statements()
    {
        if (rawInsert)
            sqlite3_finalize(rawInsert);
    }
};

LocalTable::LocalTable(const QString &folder, const QString &name)
    : m_name(name), m_fileName(QDir(folder).filePath(name + QStringLiteral(".db")))
{
    static std::atomic<int> counter{0};
    m_connection = QStringLiteral("torvel-local-%1").arg(++counter);
}

LocalTable::~LocalTable()
{
    close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool LocalTable::exists() const
{
    return QFileInfo(m_fileName).isFile();
}

bool LocalTable::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

bool LocalTable::exec(QSqlQuery &query, const QString &what)
{
    if (query.exec())
        return true;
    return fail(QStringLiteral("Erro ao %1 na tabela local %2: %3")
                    .arg(what, m_fileName, query.lastError().text()));
}

bool LocalTable::execSql(const QString &sql, const QString &what)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (query.exec(sql))
        return true;
    return fail(QStringLiteral("Erro ao %1 na tabela local %2: %3")
                    .arg(what, m_fileName, query.lastError().text()));
}

bool LocalTable::openConnection()
{
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_fileName);
    if (!db.open())
        return fail(QStringLiteral("Não foi possível abrir a tabela local %1: %2")
                        .arg(m_fileName, db.lastError().text()));
    // A working table is rebuilt at every run, so durability is not worth a sync per write.
    return execSql(QStringLiteral("PRAGMA synchronous = OFF"), QStringLiteral("configurar"))
           && execSql(QStringLiteral("PRAGMA journal_mode = MEMORY"), QStringLiteral("configurar"));
}

void LocalTable::closeConnection()
{
    m_statements.reset();
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::database(m_connection, false).close();
    m_state = State::Closed;
    m_inTransaction = false;
    m_rowIds.clear();
    m_pos = 0;
    m_current.clear();
    m_buffer.clear();
}

bool LocalTable::prepareStatements()
{
    QStringList columns, placeholders, assignments;
    for (const LocalField &field : m_fields) {
        columns << quoted(field.name);
        placeholders << QStringLiteral("?");
        assignments << quoted(field.name) + QStringLiteral(" = ?");
    }
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    m_statements = std::make_unique<Statements>(
        QSqlQuery(db), QSqlQuery(db), QSqlQuery(db), QSqlQuery(db));
    const QString where = QStringLiteral(" WHERE ") + rowColumn + QStringLiteral(" = ?");
    const bool prepared =
        m_statements->insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(dataTable, columns.join(u','), placeholders.join(u',')))
        && m_statements->update.prepare(QStringLiteral("UPDATE %1 SET %2").arg(dataTable, assignments.join(u','))
                                        + where)
        && m_statements->select.prepare(QStringLiteral("SELECT %1 FROM %2").arg(columns.join(u','), dataTable)
                                        + where)
        && m_statements->remove.prepare(QStringLiteral("DELETE FROM %1").arg(dataTable) + where);
    if (!prepared)
        return fail(QStringLiteral("A tabela local %1 está danificada ou não é uma tabela do "
                                   "programa.").arg(m_fileName));
    for (QSqlQuery *query : {&m_statements->insert, &m_statements->update, &m_statements->select})
        query->setForwardOnly(true);
    return true;
}

bool LocalTable::create(const QList<LocalField> &fields)
{
    close();
    m_fields.clear();
    QStringList seen{rowColumn};
    for (const LocalField &field : fields) {
        if (field.name.trimmed().isEmpty() || seen.contains(field.name, Qt::CaseInsensitive))
            return fail(QStringLiteral("Nome de campo inválido ou repetido na tabela local %1: \"%2\"")
                            .arg(m_fileName, field.name));
        seen << field.name;
    }
    if (fields.isEmpty())
        return fail(QStringLiteral("A tabela local %1 precisa de ao menos um campo.").arg(m_fileName));

    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    for (const QString &path : {m_fileName, m_fileName + QStringLiteral("-journal")})
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return fail(QStringLiteral("Não foi possível substituir a tabela local %1.").arg(path));
    if (!openConnection())
        return false;
    // Text is kept as the program holds it (UTF-16), so writing and reading a row converts
    // nothing; an older file in UTF-8 still opens.
    if (!execSql(QStringLiteral("PRAGMA encoding = \"UTF-16le\""), QStringLiteral("configurar")))
        return false;

    QStringList columns{rowColumn + QStringLiteral(" INTEGER PRIMARY KEY")};
    for (const LocalField &field : fields)
        columns << quoted(field.name) + u' ' + QLatin1String(sqlTypes[field.type]);
    const QString what = QStringLiteral("criar a estrutura");
    bool ok = execSql(QStringLiteral("BEGIN"), what)
              && execSql(QStringLiteral("CREATE TABLE %1 (pos INTEGER, name TEXT, type TEXT, size INTEGER)")
                             .arg(fieldsTable), what)
              && execSql(QStringLiteral("CREATE TABLE %1 (%2)").arg(dataTable, columns.join(u',')), what);
    QSqlQuery define(QSqlDatabase::database(m_connection, false));
    define.prepare(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?)").arg(fieldsTable));
    for (int i = 0; ok && i < fields.size(); ++i) {
        define.addBindValue(i);
        define.addBindValue(fields[i].name);
        define.addBindValue(QLatin1String(typeNames[fields[i].type]));
        define.addBindValue(fields[i].size);
        ok = exec(define, what);
    }
    m_fields = fields;
    if (!ok || !execSql(QStringLiteral("COMMIT"), what) || !prepareStatements()) {
        closeConnection();
        m_fields.clear();
        return false;
    }
    m_state = State::Browse;
    return true;
}

bool LocalTable::open()
{
    close();
    m_fields.clear();
    if (!exists())
        return fail(QStringLiteral("A tabela local %1 não existe.").arg(m_fileName));
    const QString damaged = QStringLiteral("A tabela local %1 está danificada ou não é uma tabela "
                                           "do programa.").arg(m_fileName);
    // SQLite notices a file that is not a database at its first statement, the first pragma.
    if (!openConnection()) {
        closeConnection();
        return fail(damaged);
    }
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral("SELECT name, type, size FROM %1 ORDER BY pos").arg(fieldsTable))) {
        closeConnection();
        return fail(damaged + u' ' + query.lastError().text());
    }
    while (query.next()) {
        const std::optional<LocalField::Type> type = typeFromName(query.value(1).toString());
        if (!type) {
            closeConnection();
            return fail(damaged);
        }
        m_fields.append({query.value(0).toString(), *type, query.value(2).toInt()});
    }
    if (m_fields.isEmpty() || !prepareStatements()
        || !query.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(rowColumn, dataTable))) {
        closeConnection();
        m_fields.clear();
        return fail(damaged);
    }
    while (query.next())
        m_rowIds.append(query.value(0).toLongLong());
    m_state = State::Browse;
    first();
    return true;
}

void LocalTable::close()
{
    if (m_state == State::Closed)
        return;
    if (m_state != State::Browse)
        cancel();
    flush();
    closeConnection();
}

bool LocalTable::requireOpen()
{
    return isOpen() || fail(QStringLiteral("A tabela local %1 não está aberta.").arg(m_fileName));
}

bool LocalTable::beginWrite()
{
    if (m_inTransaction)
        return true;
    m_inTransaction = execSql(QStringLiteral("BEGIN"), QStringLiteral("gravar"));
    return m_inTransaction;
}

bool LocalTable::flush()
{
    if (!m_inTransaction)
        return true;
    m_inTransaction = false;
    return execSql(QStringLiteral("COMMIT"), QStringLiteral("gravar"));
}

bool LocalTable::postPending()
{
    return m_state != State::Insert && m_state != State::Edit ? true : post();
}

int LocalTable::fieldIndex(const QString &name) const
{
    // Callers nearly always spell the name as it was defined; the exact comparison is a
    // fraction of the case-insensitive one, which runs for every value of every row.
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name == name)
            return i;
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant LocalTable::toStored(int field, const QVariant &value) const
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    const LocalField &f = m_fields[field];
    switch (f.type) {
    case LocalField::String:
        // Cut by characters: half of a character outside the basic plane is no text at all.
        return f.size > 0 ? TextCut::left(value.toString(), f.size) : value.toString();
    case LocalField::Integer:
        return value.toLongLong();
    case LocalField::Float:
        return value.toDouble();
    case LocalField::DateTime: {
        const QDateTime dateTime = value.toDateTime();
        return dateTime.isValid() ? QVariant(dateTime.toString(dateTimeFormat)) : QVariant();
    }
    case LocalField::Date: {
        const QDate date = value.toDate();
        return date.isValid() ? QVariant(date.toString(Qt::ISODate)) : QVariant();
    }
    case LocalField::Boolean:
        return value.toBool() ? 1 : 0;
    }
    return QVariant();
}

QVariant LocalTable::fromStored(int field, const QVariant &stored) const
{
    if (!stored.isValid() || stored.isNull())
        return QVariant();
    switch (m_fields[field].type) {
    case LocalField::String:
        // Text comes back as text; sharing it saves a copy for every field read or set.
        return stored.typeId() == QMetaType::QString ? stored : QVariant(stored.toString());
    case LocalField::Integer:
        return stored.toLongLong();
    case LocalField::Float:
        return stored.toDouble();
    case LocalField::DateTime:
        return QDateTime::fromString(stored.toString(), dateTimeFormat);
    case LocalField::Date:
        return QDate::fromString(stored.toString(), Qt::ISODate);
    case LocalField::Boolean:
        return stored.toLongLong() != 0;
    }
    return QVariant();
}

namespace {
// The SQLite connection behind Qt's driver (the system's SQLite, as Debian builds Qt);
// null when the driver is not SQLite's.
sqlite3 *rawHandle(const QString &connection)
{
    const QVariant handle = QSqlDatabase::database(connection, false).driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.data());
}
}  // namespace

bool LocalTable::appendTextRows(const QList<QStringList> &rows, bool emptyAsNull)
{
    QList<QVariantList> values;
    values.reserve(rows.size());
    for (const QStringList &row : rows) {
        QVariantList v;
        v.reserve(row.size());
        for (const QString &cell : row)
            v << (emptyAsNull && cell.isEmpty() ? QVariant() : QVariant(cell));
        values << v;
    }
    return appendRows(values);
}

bool LocalTable::appendRows(const QList<QVariantList> &rows)
{
    if (!requireOpen() || !postPending())
        return false;
    if (rows.isEmpty())
        return true;
    if (!beginWrite())
        return false;
    Statements &st = *m_statements;
    if (!st.rawInsert) {
        if (!(st.handle = rawHandle(m_connection)))
            return fail(QStringLiteral("Erro ao gravar na tabela local %1: conexão sem SQLite").arg(m_fileName));
        QStringList columns, marks;
        for (const LocalField &field : m_fields) {
            columns << quoted(field.name);
            marks << QStringLiteral("?");
        }
        const QByteArray sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(dataTable, columns.join(u','), marks.join(u','))
                                   .toUtf8();
        if (sqlite3_prepare_v2(st.handle, sql.constData(), int(sql.size()), &st.rawInsert, nullptr) != SQLITE_OK)
            return fail(QStringLiteral("Erro ao gravar na tabela local %1: %2")
                            .arg(m_fileName, QString::fromUtf8(sqlite3_errmsg(st.handle))));
    }
    for (const QVariantList &row : rows) {
        sqlite3_reset(st.rawInsert);
        int rc = SQLITE_OK;
        for (int i = 0; rc == SQLITE_OK && i < m_fields.size(); ++i) {
            static const QVariant null;
            const QVariant &value = i < row.size() ? row.at(i) : null;
            // A text that fits its field is bound where it lies, with no copy: the caller's
            // rows outlive the statement's run, and the bindings are cleared before returning.
            if (value.typeId() == QMetaType::QString && m_fields[i].type == LocalField::String) {
                const QString &text = *static_cast<const QString *>(value.constData());
                if (!text.isNull() && (m_fields[i].size <= 0 || text.size() <= m_fields[i].size)) {
                    rc = sqlite3_bind_text16(st.rawInsert, i + 1, text.utf16(),
                                             int(text.size() * sizeof(char16_t)), SQLITE_STATIC);
                    continue;
                }
            }
            const QVariant stored = toStored(i, value);
            switch (stored.typeId()) {
            case QMetaType::UnknownType:
                rc = sqlite3_bind_null(st.rawInsert, i + 1);
                break;
            case QMetaType::QString: {
                const QString &text = *static_cast<const QString *>(stored.constData());
                rc = sqlite3_bind_text16(st.rawInsert, i + 1, text.utf16(), int(text.size() * sizeof(char16_t)),
                                         SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::Double:
                rc = sqlite3_bind_double(st.rawInsert, i + 1, stored.toDouble());
                break;
            default:
                rc = sqlite3_bind_int64(st.rawInsert, i + 1, stored.toLongLong());
                break;
            }
        }
        if (rc != SQLITE_OK || sqlite3_step(st.rawInsert) != SQLITE_DONE) {
            const QString reason = QString::fromUtf8(sqlite3_errmsg(st.handle));
            sqlite3_reset(st.rawInsert);
            sqlite3_clear_bindings(st.rawInsert);
            return fail(QStringLiteral("Erro ao gravar na tabela local %1: %2").arg(m_fileName, reason));
        }
        m_rowIds.append(sqlite3_last_insert_rowid(st.handle));
    }
    sqlite3_reset(st.rawInsert);
    sqlite3_clear_bindings(st.rawInsert);
    m_pos = m_rowIds.size() - 1;
    m_current.clear();
    for (int i = 0; i < m_fields.size(); ++i)
        m_current.append(fromStored(i, toStored(i, rows.last().value(i))));
    return true;
}

bool LocalTable::append()
{
    if (!requireOpen() || !postPending())
        return false;
    m_buffer = QVariantList(m_fields.size());
    m_state = State::Insert;
    return true;
}

bool LocalTable::edit()
{
    if (!requireOpen() || !postPending())
        return false;
    if (eof())
        return fail(QStringLiteral("Nenhum registro corrente na tabela local %1.").arg(m_fileName));
    m_buffer = m_current;
    m_state = State::Edit;
    return true;
}

bool LocalTable::setValue(const QString &field, const QVariant &value)
{
    if (m_state != State::Insert && m_state != State::Edit)
        return fail(QStringLiteral("A tabela local %1 não está em inclusão nem em edição.")
                        .arg(m_fileName));
    const int index = fieldIndex(field);
    if (index < 0)
        return fail(QStringLiteral("Campo inexistente na tabela local %1: %2").arg(m_fileName, field));
    m_buffer[index] = fromStored(index, toStored(index, value));
    return true;
}

bool LocalTable::post()
{
    if (m_state != State::Insert && m_state != State::Edit)
        return fail(QStringLiteral("A tabela local %1 não está em inclusão nem em edição.")
                        .arg(m_fileName));
    if (!beginWrite())
        return false;
    const bool inserting = m_state == State::Insert;
    QSqlQuery &query = inserting ? m_statements->insert : m_statements->update;
    // A prepared statement keeps its values from one run to the next, and binding costs more
    // than the write itself: appends repeat most of their values, so only changes are bound.
    QVariantList &bound = inserting ? m_statements->insertBound : m_statements->updateBound;
    const bool first = bound.size() != m_fields.size();
    if (first)
        bound.resize(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i) {
        QVariant stored = toStored(i, m_buffer[i]);
        if (!first && sameBinding(bound[i], stored))
            continue;
        query.bindValue(i, stored);
        bound[i] = std::move(stored);
    }
    if (!inserting)
        query.bindValue(int(m_fields.size()), m_rowIds[m_pos]);
    if (!exec(query, QStringLiteral("gravar")))
        return false;
    if (inserting) {
        m_rowIds.append(query.lastInsertId().toLongLong());
        m_pos = m_rowIds.size() - 1;
    }
    query.finish();
    m_current = m_buffer;
    m_buffer.clear();
    m_state = State::Browse;
    return true;
}

void LocalTable::cancel()
{
    if (m_state == State::Insert || m_state == State::Edit)
        m_state = State::Browse;
    m_buffer.clear();
}

bool LocalTable::remove()
{
    if (!requireOpen())
        return false;
    cancel();
    if (eof())
        return fail(QStringLiteral("Nenhum registro corrente na tabela local %1.").arg(m_fileName));
    if (!beginWrite())
        return false;
    m_statements->remove.bindValue(0, m_rowIds[m_pos]);
    if (!exec(m_statements->remove, QStringLiteral("excluir")))
        return false;
    m_rowIds.removeAt(m_pos);
    loadCurrent();
    return true;
}

void LocalTable::loadCurrent()
{
    m_current.clear();
    if (eof())
        return;
    QSqlQuery &select = m_statements->select;
    select.bindValue(0, m_rowIds[m_pos]);
    if (!exec(select, QStringLiteral("ler")) || !select.next())
        return;
    for (int i = 0; i < m_fields.size(); ++i)
        m_current.append(fromStored(i, select.value(i)));
    select.finish();
}

void LocalTable::first()
{
    if (!isOpen() || !postPending())
        return;
    flush();
    m_pos = 0;
    loadCurrent();
}

void LocalTable::next()
{
    if (!isOpen() || !postPending() || eof())
        return;
    ++m_pos;
    loadCurrent();
}

bool LocalTable::eof() const
{
    return m_pos >= m_rowIds.size();
}

QVariant LocalTable::value(const QString &field) const
{
    const int index = fieldIndex(field);
    if (index < 0)
        return QVariant();
    const QVariantList &row =
        m_state == State::Insert || m_state == State::Edit ? m_buffer : m_current;
    return row.value(index);
}

QList<QVariantList> LocalTable::rows()
{
    QList<QVariantList> result;
    if (!requireOpen())
        return result;
    flush();
    QStringList columns;
    for (const LocalField &field : m_fields)
        columns << quoted(field.name);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columns.join(u','), dataTable, rowColumn);
    // Read straight from SQLite: a long report reads back every row it wrote, and Qt's
    // result cache costs several times the reading.
    sqlite3 *handle = rawHandle(m_connection);
    sqlite3_stmt *stmt = nullptr;
    if (!handle || sqlite3_prepare16_v2(handle, sql.utf16(), int(sql.size() * sizeof(char16_t)), &stmt, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("Erro ao ler na tabela local %1: %2")
                 .arg(m_fileName, handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("conexão sem SQLite")));
        return result;
    }
    result.reserve(m_rowIds.size());
    const int count = int(m_fields.size());
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantList row;
        row.reserve(count);
        for (int i = 0; i < count; ++i) {
            QVariant stored;
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_NULL:
                break;
            case SQLITE_INTEGER:
                stored = qlonglong(sqlite3_column_int64(stmt, i));
                break;
            case SQLITE_FLOAT:
                stored = sqlite3_column_double(stmt, i);
                break;
            default: {
                const void *text = sqlite3_column_text16(stmt, i);
                stored = QString(static_cast<const QChar *>(text), sqlite3_column_bytes16(stmt, i) / int(sizeof(QChar)));
                break;
            }
            }
            row.append(fromStored(i, stored));
        }
        result.append(std::move(row));
    }
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("Erro ao ler na tabela local %1: %2").arg(m_fileName, QString::fromUtf8(sqlite3_errmsg(handle))));
    sqlite3_finalize(stmt);
    return result;
}

bool LocalTable::addIndex(const QStringList &fields)
{
    if (!requireOpen() || !postPending() || !flush())
        return false;
    QStringList columns;
    for (const QString &name : fields) {
        const int index = fieldIndex(name);
        if (index < 0)
            return fail(QStringLiteral("Campo inexistente na tabela local %1: %2").arg(m_fileName, name));
        columns << quoted(m_fields[index].name);
    }
    if (columns.isEmpty())
        return fail(QStringLiteral("Índice sem campos na tabela local %1.").arg(m_fileName));
    const QString indexName = quoted(QStringLiteral("ix_") + fields.join(u'_').toLower());
    return execSql(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                       .arg(indexName, dataTable, columns.join(u',')),
                   QStringLiteral("criar o índice"));
}
