#include "core/db/DataSet.h"

#include "core/db/Cluster.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString quoted(const QString &identifier)
{
    QString name = identifier;
    return '`' + name.replace('`', QLatin1String("``")) + '`';
}

// Null-aware: a null text and an empty one are different values to the database.
bool differs(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() != b.isNull();
    return a != b;
}

bool isDateType(int id)
{
    return id == QMetaType::QDateTime || id == QMetaType::QDate || id == QMetaType::QTime;
}

bool isNumericType(int id)
{
    switch (id) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Double: case QMetaType::Float:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Char: case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

QVariant parseDateText(const QString &text, int typeId)
{
    static const QStringList dateTimeFormats{"dd/MM/yyyy hh:mm:ss", "dd/MM/yyyy hh:mm",
                                             "dd/MM/yyyy",          "yyyy-MM-dd hh:mm:ss",
                                             "yyyy-MM-ddThh:mm:ss", "yyyy-MM-dd"};
    static const QStringList timeFormats{"hh:mm:ss", "hh:mm"};
    if (typeId == QMetaType::QTime) {
        for (const QString &f : timeFormats)
            if (QTime t = QTime::fromString(text, f); t.isValid())
                return t;
        return {};
    }
    for (const QString &f : dateTimeFormats) {
        const QDateTime dt = QDateTime::fromString(text, f);
        if (dt.isValid())
            return typeId == QMetaType::QDate ? QVariant(dt.date()) : QVariant(dt);
    }
    return {};
}

// COLUMN_DEFAULT as MariaDB reports it: literals quoted ('abc'), numbers bare, NULL as the word,
// expressions such as current_timestamp() bare. MySQL reports literals bare and marks
// expressions DEFAULT_GENERATED. Expressions are left to the server.
QVariant parseColumnDefault(const QVariant &raw, const QString &extra)
{
    if (raw.isNull())
        return {};
    QString text = raw.toString();
    if (text.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
        return {};
    if (text.size() >= 2 && text.startsWith('\'') && text.endsWith('\'')) {
        text = text.mid(1, text.size() - 2);
        return text.replace(QLatin1String("''"), QLatin1String("'"));
    }
    if (extra.contains(QLatin1String("DEFAULT_GENERATED"), Qt::CaseInsensitive) ||
        text.contains('(') || text.startsWith(QLatin1String("current_timestamp"), Qt::CaseInsensitive))
        return {};
    return text;
}

QString closedMessage() { return QStringLiteral("Operação impossível: a consulta não está aberta."); }

}  // namespace

DataSet::DataSet(const QSqlDatabase &db, QObject *parent)
    : QObject(parent), m_connection(db.connectionName())
{
}

DataSet::~DataSet() = default;

QSqlDatabase DataSet::db() const { return QSqlDatabase::database(m_connection, false); }

// --- query ---------------------------------------------------------------------------------

void DataSet::setSql(const QString &sql)
{
    m_sql = sql;
    if (m_explicitTable.isEmpty())
        m_tableInfo.reset();
}

void DataSet::setParam(const QString &name, const QVariant &value)
{
    m_params.insert(name.startsWith(':') ? name.mid(1) : name, value);
}

QVariant DataSet::param(const QString &name) const
{
    return m_params.value(name.startsWith(':') ? name.mid(1) : name);
}

void DataSet::setTable(const QString &table)
{
    m_explicitTable = table;
    m_tableInfo.reset();
}

QString DataSet::table() const
{
    if (!m_explicitTable.isEmpty())
        return m_explicitTable;
    // Only the first FROM counts: "from (select ..." is a derived table and stays read-only.
    static const QRegularExpression select(QStringLiteral("^\\s*select\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression from(QStringLiteral("\\bfrom\\s+"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression name(QStringLiteral("\\G`?([A-Za-z0-9_$]+)`?"));
    if (!select.match(m_sql).hasMatch())
        return {};
    const QRegularExpressionMatch f = from.match(m_sql);
    if (!f.hasMatch())
        return {};
    const QRegularExpressionMatch n = name.match(m_sql, f.capturedEnd());
    return n.hasMatch() ? n.captured(1) : QString();
}

QStringList DataSet::primaryKey() const
{
    return const_cast<DataSet *>(this)->tableInfo().primaryKey;
}

const DataSet::TableInfo &DataSet::tableInfo()
{
    if (m_tableInfo)
        return *m_tableInfo;
    TableInfo info;
    const QString name = table();
    if (!name.isEmpty()) {
        QSqlQuery q = Sql::exec(db(),
                                QStringLiteral("SELECT COLUMN_NAME, CHARACTER_MAXIMUM_LENGTH, "
                                               "COLUMN_DEFAULT, EXTRA FROM information_schema.COLUMNS "
                                               "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = :t"),
                                {{QStringLiteral(":t"), name}});
        while (q.next()) {
            Column c;
            c.name = q.value(0).toString();
            c.charLength = q.value(1).toInt();
            const QString extra = q.value(3).toString();
            c.defaultValue = parseColumnDefault(q.value(2), extra);
            c.autoIncrement = extra.contains(QLatin1String("auto_increment"), Qt::CaseInsensitive);
            info.columns.insert(c.name.toLower(), c);
        }
        const QSqlIndex pk = db().primaryIndex(name);
        for (int i = 0; i < pk.count(); ++i)
            info.primaryKey << pk.fieldName(i);
    }
    m_tableInfo = info;
    return *m_tableInfo;
}

DataSet::Loaded DataSet::load() const
{
    Sql::Query q(db());
    q.setForwardOnly(true);
    q.prepare(m_sql);
    for (auto it = m_params.cbegin(); it != m_params.cend(); ++it) {
        const QRegularExpression used(':' + QRegularExpression::escape(it.key()) + "(?![A-Za-z0-9_])");
        if (m_sql.contains(used))
            q.bindValue(':' + it.key(), it.value());
    }
    if (!q.exec())
        throw DbError(Sql::describe(q.lastError()));

    Loaded loaded;
    const QSqlRecord record = q.record();
    for (int i = 0; i < record.count(); ++i) {
        loaded.names << record.fieldName(i);
        loaded.types << record.field(i).metaType();
    }
    while (q.next()) {
        Row row(record.count());
        for (int i = 0; i < record.count(); ++i)
            row[i] = q.isNull(i) ? QVariant(loaded.types[i]) : q.value(i);
        loaded.rows.push_back(std::move(row));
    }
    return loaded;
}

void DataSet::apply(Loaded &&loaded)
{
    m_fieldNames = loaded.names;
    m_fieldTypes = loaded.types;
    m_fieldIndex.clear();
    for (int i = 0; i < m_fieldNames.size(); ++i)
        m_fieldIndex.insert(m_fieldNames[i].toLower(), i);
    m_rows = std::move(loaded.rows);
    clearBuffer();
}

void DataSet::open()
{
    if (isActive())
        close();
    apply(load());
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.isEmpty();
    setState(State::Browse);
    Q_EMIT dataReset();
    Q_EMIT currentRowChanged();
    fireAfter(Event::AfterOpen);
    fireAfter(Event::AfterScroll);
}

void DataSet::close()
{
    if (!isActive())
        return;
    apply({});
    m_current = -1;
    m_bof = m_eof = true;
    setState(State::Inactive);
    Q_EMIT dataReset();
    Q_EMIT currentRowChanged();
}

void DataSet::refresh()
{
    if (!isActive()) {
        open();
        return;
    }
    if (!leaveEdit())
        return;
    Key key;
    try {
        key = rowKey();
    } catch (const DbError &) {
        // no usable key: the position is the best there is
    }
    Row keyRow = m_current >= 0 ? m_rows[m_current] : Row();
    const int oldRow = m_current;

    apply(load());
    int row = -1;
    if (!keyRow.isEmpty() && key.unique) {
        for (int r = 0; r < m_rows.size() && row < 0; ++r) {
            bool same = true;
            for (int c : key.columns)
                same = same && c < m_rows[r].size() && !differs(m_rows[r][c], keyRow[c]);
            if (same)
                row = r;
        }
    }
    if (row < 0 && !m_rows.isEmpty())
        row = qBound(0, oldRow, int(m_rows.size()) - 1);
    m_current = row;
    m_bof = m_eof = m_rows.isEmpty();
    Q_EMIT dataReset();
    Q_EMIT currentRowChanged();
    fireAfter(Event::AfterScroll);
}

// --- navigation ----------------------------------------------------------------------------

void DataSet::moveTo(int row, bool bof, bool eof)
{
    m_bof = bof;
    m_eof = eof;
    if (row == m_current)
        return;
    m_current = row;
    Q_EMIT currentRowChanged();
    fireAfter(Event::AfterScroll);
}

void DataSet::first()
{
    if (!isActive() || !leaveEdit())
        return;
    moveTo(m_rows.isEmpty() ? -1 : 0, true, m_rows.isEmpty());
}

void DataSet::last()
{
    if (!isActive() || !leaveEdit())
        return;
    moveTo(int(m_rows.size()) - 1, m_rows.isEmpty(), true);
}

void DataSet::next()
{
    if (!isActive() || !leaveEdit())
        return;
    if (m_current + 1 >= m_rows.size())
        moveTo(m_current, m_rows.isEmpty(), true);
    else
        moveTo(m_current + 1, false, false);
}

void DataSet::prior()
{
    if (!isActive() || !leaveEdit())
        return;
    if (m_current <= 0)
        moveTo(m_current, true, m_rows.isEmpty());
    else
        moveTo(m_current - 1, false, false);
}

void DataSet::setRecNo(int recNo)
{
    if (!isActive() || !leaveEdit() || m_rows.isEmpty())
        return;
    moveTo(qBound(0, recNo - 1, int(m_rows.size()) - 1), false, false);
}

bool DataSet::matches(const Row &row, int column, const QVariant &value, LocateOptions options) const
{
    const QVariant &have = row[column];
    if (!options) {
        if (value.isNull() || have.isNull())
            return value.isNull() == have.isNull();
        QVariant want;
        try {
            want = coerce(column, value);
        } catch (const DbError &) {
            return false;
        }
        return !differs(have, want);
    }
    const QString haveText = displayText(have);
    const QString wantText =
        value.typeId() == QMetaType::QString ? value.toString() : displayText(value);
    const Qt::CaseSensitivity cs =
        options.testFlag(CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    return options.testFlag(PartialKey) ? haveText.startsWith(wantText, cs)
                                        : haveText.compare(wantText, cs) == 0;
}

bool DataSet::locate(const QString &field, const QVariant &value, LocateOptions options)
{
    return locate(QStringList{field}, QVariantList{value}, options);
}

bool DataSet::locate(const QStringList &fields, const QVariantList &values, LocateOptions options)
{
    if (!isActive())
        return false;
    if (fields.size() != values.size()) {
        qWarning("DataSet::locate: %d fields, %d values", int(fields.size()), int(values.size()));
        return false;
    }
    std::vector<int> columns;
    for (const QString &f : fields)
        columns.push_back(requireField(f));
    if (!leaveEdit())
        return false;
    for (int r = 0; r < m_rows.size(); ++r) {
        bool all = true;
        for (size_t i = 0; i < columns.size() && all; ++i)
            all = matches(m_rows[r], columns[i], values[int(i)], options);
        if (all) {
            moveTo(r, false, false);
            return true;
        }
    }
    return false;
}

// --- fields --------------------------------------------------------------------------------

int DataSet::fieldIndex(const QString &field) const
{
    return m_fieldIndex.value(field.toLower(), -1);
}

int DataSet::requireField(const QString &field) const
{
    const int column = fieldIndex(field);
    if (column < 0)
        throw DbError(QStringLiteral("Campo '%1' não encontrado.").arg(field));
    return column;
}

QMetaType DataSet::fieldType(const QString &field) const
{
    const int column = fieldIndex(field);
    return column < 0 ? QMetaType() : m_fieldTypes[column];
}

int DataSet::fieldSize(const QString &field)
{
    try {
        const TableInfo &info = tableInfo();
        const auto it = info.columns.constFind(field.toLower());
        return it == info.columns.cend() ? 0 : it->charLength;
    } catch (const DbError &) {
        m_tableInfo.reset();
        return 0;  // unknown: no limit rather than a failing window
    }
}

const DataSet::Row *DataSet::currentValues() const
{
    if (isEditing())
        return &m_buffer;
    return m_current >= 0 ? &m_rows[m_current] : nullptr;
}

QVariant DataSet::value(const QString &field) const
{
    if (!isActive())
        return {};
    const int column = requireField(field);
    const Row *row = currentValues();
    return row ? (*row)[column] : QVariant(m_fieldTypes[column]);
}

int DataSet::asInt(const QString &field) const { return value(field).toInt(); }

QString DataSet::text(const QString &field) const
{
    if (!isActive())
        return {};
    const int column = requireField(field);
    if (isEditing() && m_typed.contains(column))
        return m_typed.value(column);
    return formatted(column, value(field), false);
}

QString DataSet::editText(const QString &field) const
{
    if (!isActive())
        return {};
    const int column = requireField(field);
    if (isEditing() && m_typed.contains(column))
        return m_typed.value(column);
    return formatted(column, value(field), true);
}

QString DataSet::textAt(int row, const QString &field) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const int column = requireField(field);
    return formatted(column, m_rows[row][column], false);
}

QString DataSet::formatted(int column, const QVariant &value, bool forEditing) const
{
    const auto it = m_formats.constFind(m_fieldNames[column].toLower());
    if (it == m_formats.cend() || value.isNull() || !isNumericType(value.typeId()))
        return displayText(value);
    QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    const bool money = it->currency && !forEditing;
    if (!money)
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const int decimals = it->decimals >= 0 ? it->decimals : QLocale::FloatingPointShortest;
    const QString number = locale.toString(value.toDouble(), 'f', decimals);
    return money ? QStringLiteral("R$ ") + number : number;
}

void DataSet::setNumberFormat(const QString &field, NumberFormat format)
{
    m_formats.insert(field.toLower(), format);
}

void DataSet::setDisplayLabel(const QString &field, const QString &label)
{
    m_labels.insert(field.toLower(), label);
}

QString DataSet::displayLabel(const QString &field) const
{
    return m_labels.value(field.toLower(), field);
}

QVariant DataSet::valueAt(int row, const QString &field) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows[row][requireField(field)];
}

QString DataSet::displayText(const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.toString(dt.time() == QTime(0, 0) ? QStringLiteral("dd/MM/yyyy")
                                                    : QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    }
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("hh:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float: {
        QLocale locale(QLocale::Portuguese, QLocale::Brazil);
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    }
    default:
        return value.toString();
    }
}

QVariant DataSet::coerce(int column, const QVariant &value) const
{
    const QMetaType type = m_fieldTypes[column];
    if (value.isNull())
        return QVariant(type);
    if (value.metaType() == type)
        return value;
    const auto invalid = [&] {
        const QString what = isDateType(type.id()) ? QStringLiteral("uma data válida")
                                                   : QStringLiteral("um valor válido");
        return DbError(QStringLiteral("'%1' não é %2 para o campo %3.")
                           .arg(value.toString().trimmed(), what,
                                displayLabel(m_fieldNames[column])));
    };
    if (value.typeId() == QMetaType::QString && type.id() != QMetaType::QString) {
        const QString text = value.toString().trimmed();
        // A blank or a masked field's bare literals ("  /  /    ") clear the field.
        static const QRegularExpression digit(QStringLiteral("\\d"));
        if (!text.contains(digit))
            return QVariant(type);
        if (isDateType(type.id())) {
            const QVariant parsed = parseDateText(text, type.id());
            if (!parsed.isValid())
                throw invalid();
            return parsed;
        }
        if (isNumericType(type.id())) {
            // Typed the Brazilian way only: "1.234" is a thousand and more, never 1,234; a
            // point that does not group thousands ("1.5", "1.23,4") is no number at all
            // rather than a guess. A currency field may keep its "R$ " as shown.
            static const QRegularExpression ptBr(
                QStringLiteral(R"(^(-?)(?:R\$\s*)?(\d{1,3}(?:\.\d{3})+|\d+)(?:,(\d+))?$)"));
            const QRegularExpressionMatch m = ptBr.match(text);
            if (!m.hasMatch())
                throw invalid();
            QString cForm = m.captured(1) + QString(m.captured(2)).remove(u'.');
            if (m.hasCaptured(3))
                cForm += u'.' + m.captured(3);
            QVariant number(cForm);
            if (!number.convert(type))
                throw invalid();
            const auto format = m_formats.constFind(m_fieldNames[column].toLower());
            if (format != m_formats.cend() && format->nonNegative && number.toDouble() < 0)
                throw DbError(QString::fromUtf8("'%1' não é um valor válido para o campo %2: não pode ser negativo.")
                                  .arg(text, displayLabel(m_fieldNames[column])));
            return number;
        }
    }
    QVariant converted = value;
    if (!converted.convert(type))
        throw invalid();
    return converted;
}

bool DataSet::setText(const QString &field, const QString &text)
{
    if (!isActive())
        throw DbError(closedMessage());
    const int column = requireField(field);
    if (m_fieldTypes[column].id() == QMetaType::QString)
        return setValue(field, text);
    if (!isEditing() && !edit())
        return false;
    QVariant converted;
    try {
        converted = coerce(column, text);
    } catch (const DbError &) {
        m_typed.insert(column, text);  // refused by post() until it is corrected
        return true;
    }
    m_typed.insert(column, text);
    if (differs(m_buffer[column], converted)) {
        m_buffer[column] = converted;
        Q_EMIT fieldChanged(m_fieldNames[column]);
    }
    return true;
}

void DataSet::requireTypedTextsValid() const
{
    for (int column = 0; column < m_fieldNames.size(); ++column)
        if (m_typed.contains(column))
            coerce(column, m_typed.value(column));  // throws, naming the field
}

void DataSet::clearBuffer()
{
    m_buffer.clear();
    m_original.clear();
    m_typed.clear();
}

bool DataSet::setValue(const QString &field, const QVariant &value)
{
    if (!isActive())
        throw DbError(closedMessage());
    const int column = requireField(field);
    const QVariant converted = coerce(column, value);
    if (!isEditing() && !edit())
        return false;
    m_typed.remove(column);
    if (!differs(m_buffer[column], converted))
        return true;
    m_buffer[column] = converted;
    Q_EMIT fieldChanged(m_fieldNames[column]);
    return true;
}

// --- editing -------------------------------------------------------------------------------

bool DataSet::modified() const
{
    if (!isEditing())
        return false;
    try {
        requireTypedTextsValid();
    } catch (const DbError &) {
        return true;  // a wrong value typed is a change: post() must say so, never drop it
    }
    for (int c = 0; c < m_buffer.size(); ++c)
        if (differs(m_buffer[c], m_original[c]))
            return true;
    return false;
}

void DataSet::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

bool DataSet::leaveEdit()
{
    if (!isEditing())
        return true;
    return modified() ? post() : cancel();
}

void DataSet::requireTable()
{
    const QString name = table();
    if (name.isEmpty())
        throw DbError(QStringLiteral("A consulta não pode ser alterada: não tem tabela de destino."));
    if (tableInfo().columns.isEmpty()) {
        m_tableInfo.reset();
        throw DbError(QStringLiteral("A tabela %1 não foi encontrada no banco de dados.").arg(name));
    }
}

DataSet::Key DataSet::rowKey()
{
    Key key;
    if (table().isEmpty())
        return key;
    const TableInfo &info = tableInfo();
    if (info.primaryKey.isEmpty()) {
        // Without a primary key a row is told apart by all its values (first match only).
        key.columns = writableColumns();
        return key;
    }
    for (const QString &name : info.primaryKey) {
        const int column = fieldIndex(name);
        if (column < 0)
            throw DbError(QStringLiteral("A consulta não traz a chave primária (%1) da tabela %2.")
                              .arg(info.primaryKey.join(QLatin1String(", ")), table()));
        key.columns.push_back(column);
    }
    key.unique = true;
    return key;
}

std::vector<int> DataSet::writableColumns()
{
    std::vector<int> columns;
    const TableInfo &info = tableInfo();
    for (int c = 0; c < m_fieldNames.size(); ++c)
        if (info.columns.contains(m_fieldNames[c].toLower()))
            columns.push_back(c);
    return columns;
}

QString DataSet::whereClause(const Key &key, const Row &row, Bindings &bindings) const
{
    QStringList terms;
    for (int c : key.columns) {
        const QString mark = QStringLiteral(":k%1").arg(bindings.size());
        terms << quoted(m_fieldNames[c]) + (key.unique ? " = " : " <=> ") + mark;
        bindings.emplace_back(mark, row[c]);
    }
    return terms.join(QLatin1String(" AND ")) + (key.unique ? QString() : QStringLiteral(" LIMIT 1"));
}

std::optional<DataSet::Row> DataSet::reread(const Row &stored)
{
    try {
        const Key key = rowKey();
        if (!key.unique)
            return std::nullopt;
        Bindings bindings;
        const QString sql = "SELECT * FROM " + quoted(table()) + " WHERE " +
                            whereClause(key, stored, bindings);
        QSqlQuery q = Sql::exec(db(), sql, bindings);
        if (!q.next())
            return std::nullopt;
        Row row = stored;
        const QSqlRecord record = q.record();
        for (int c = 0; c < m_fieldNames.size(); ++c) {
            const int i = record.indexOf(m_fieldNames[c]);
            if (i >= 0)
                row[c] = q.isNull(i) ? QVariant(m_fieldTypes[c]) : q.value(i);
        }
        return row;
    } catch (const DbError &) {
        // The write itself succeeded (failing here would invite posting it twice); the buffer
        // is what was stored.
        return std::nullopt;
    }
}

DataSet::Row DataSet::writeInsert()
{
    const TableInfo &info = tableInfo();
    QStringList names, marks;
    Bindings bindings;
    for (int c : writableColumns()) {
        if (!differs(m_buffer[c], m_original[c]))
            continue;  // left to the server's default
        const QString mark = QStringLiteral(":v%1").arg(bindings.size());
        names << quoted(m_fieldNames[c]);
        marks << mark;
        bindings.emplace_back(mark, m_buffer[c]);
    }
    const QString sql = "INSERT INTO " + quoted(table()) + " (" + names.join(", ") +
                        ") VALUES (" + marks.join(", ") + ")";
    QSqlQuery q = Sql::exec(db(), sql, bindings);

    Row stored = m_buffer;
    for (int c = 0; c < m_fieldNames.size(); ++c) {
        const auto it = info.columns.constFind(m_fieldNames[c].toLower());
        if (it != info.columns.cend() && it->autoIncrement && stored[c].isNull()) {
            const QVariant id = q.lastInsertId();
            if (id.isValid())
                stored[c] = coerce(c, id);
        }
    }
    return reread(stored).value_or(stored);
}

DataSet::Row DataSet::writeUpdate()
{
    const Key key = rowKey();
    if (key.columns.empty())
        throw DbError(QStringLiteral("A consulta não pode ser alterada: não tem tabela de destino."));
    QStringList sets;
    Bindings bindings;
    for (int c : writableColumns()) {
        if (!differs(m_buffer[c], m_original[c]))
            continue;
        const QString mark = QStringLiteral(":v%1").arg(bindings.size());
        sets << quoted(m_fieldNames[c]) + " = " + mark;
        bindings.emplace_back(mark, m_buffer[c]);
    }
    if (sets.isEmpty())
        return m_buffer;
    const QString sql = "UPDATE " + quoted(table()) + " SET " + sets.join(", ") + " WHERE " +
                        whereClause(key, m_original, bindings);
    Sql::exec(db(), sql, bindings);
    return reread(m_buffer).value_or(m_buffer);
}

bool DataSet::edit()
{
    if (!isActive())
        throw DbError(closedMessage());
    if (isEditing())
        return true;
    if (m_rows.isEmpty())
        return insert();
    requireTable();
    if (rowKey().columns.empty())
        throw DbError(QStringLiteral("A consulta não pode ser alterada: não tem tabela de destino."));
    if (!fire(Event::BeforeEdit))
        return false;
    m_original = m_buffer = m_rows[m_current];
    setState(State::Edit);
    fireAfter(Event::AfterEdit);
    return true;
}

bool DataSet::insert() { return startInsert(false); }
bool DataSet::append() { return startInsert(true); }

bool DataSet::startInsert(bool atEnd)
{
    if (!isActive())
        throw DbError(closedMessage());
    if (!leaveEdit())
        return false;
    requireTable();
    if (!fire(Event::BeforeInsert))
        return false;
    const TableInfo &info = tableInfo();
    Row defaults(m_fieldNames.size());
    for (int c = 0; c < m_fieldNames.size(); ++c) {
        defaults[c] = QVariant(m_fieldTypes[c]);
        const auto it = info.columns.constFind(m_fieldNames[c].toLower());
        if (it != info.columns.cend() && !it->defaultValue.isNull()) {
            try {
                defaults[c] = coerce(c, it->defaultValue);
            } catch (const DbError &) {
                // a default we cannot read stays to the server
            }
        }
    }
    m_original = m_buffer = defaults;
    m_rowBeforeInsert = m_current;
    m_insertAt = (atEnd || m_current < 0) ? int(m_rows.size()) : m_current;
    m_current = -1;
    m_bof = m_eof = false;
    setState(State::Insert);
    Q_EMIT currentRowChanged();
    fireAfter(Event::AfterInsert);
    fireAfter(Event::AfterScroll);
    return true;
}

namespace {

// A write with its hooks in one transaction is run again whole when a cluster's node undid it
// for another node's write to the same rows. Without a transaction, each statement that reached
// the server stays, so only the statement itself is sent again (Sql::exec).
void writeAtomically(const QSqlDatabase &db, bool atomic, const std::function<void()> &write)
{
    if (atomic)
        Sql::retrying(db, write);
    else
        write();
}

}  // namespace

bool DataSet::post()
{
    if (!isEditing())
        return true;
    requireTypedTextsValid();
    Row stored;
    bool refused = false;
    writeAtomically(db(), m_atomic, [&] {
        Sql::Transaction transaction(db(), m_atomic);
        // A hook refused, or settled the edit itself.
        refused = !fire(Event::BeforePost) || !isEditing();
        if (refused)
            return;
        stored = m_state == State::Insert ? writeInsert() : writeUpdate();
        transaction.commit();
    });
    if (refused)
        return false;
    if (m_state == State::Insert) {
        const int row = m_insertAt;
        Q_EMIT aboutToInsertRow(row);
        m_rows.insert(row, stored);
        Q_EMIT rowInserted(row);
        clearBuffer();
        m_current = row;
        m_bof = m_eof = false;
        setState(State::Browse);
        Q_EMIT currentRowChanged();
        fireAfter(Event::AfterPost);
        fireAfter(Event::AfterScroll);
    } else {
        m_rows[m_current] = stored;
        clearBuffer();
        setState(State::Browse);
        Q_EMIT rowUpdated(m_current);
        fireAfter(Event::AfterPost);
    }
    return true;
}

bool DataSet::cancel()
{
    if (!isEditing())
        return true;
    if (!fire(Event::BeforeCancel))
        return false;
    const bool wasInsert = m_state == State::Insert;
    clearBuffer();
    if (wasInsert) {
        m_current = m_rowBeforeInsert;
        m_bof = m_eof = m_rows.isEmpty();
    }
    setState(State::Browse);
    if (wasInsert)
        Q_EMIT currentRowChanged();
    fireAfter(Event::AfterCancel);
    if (wasInsert)
        fireAfter(Event::AfterScroll);
    return true;
}

bool DataSet::remove()
{
    if (!isActive())
        throw DbError(closedMessage());
    if (m_state == State::Insert)
        return cancel();
    if (m_current < 0)
        throw DbError(QStringLiteral("Não há registro para excluir."));
    requireTable();
    const Key key = rowKey();
    bool refused = false;
    writeAtomically(db(), m_atomic, [&] {
        Sql::Transaction transaction(db(), m_atomic);
        refused = !fire(Event::BeforeDelete);
        if (refused)
            return;
        Bindings bindings;
        const QString sql = "DELETE FROM " + quoted(table()) + " WHERE " +
                            whereClause(key, m_rows[m_current], bindings);
        Sql::exec(db(), sql, bindings);
        transaction.commit();
    });
    if (refused)
        return false;

    const int row = m_current;
    clearBuffer();  // an edit in progress goes with its row
    setState(State::Browse);
    Q_EMIT aboutToRemoveRow(row);
    m_rows.remove(row);
    Q_EMIT rowRemoved(row);
    m_current = m_rows.isEmpty() ? -1 : qMin(row, int(m_rows.size()) - 1);
    m_bof = m_rows.isEmpty();
    m_eof = row >= m_rows.size();  // the last row went: the end is reached, as loops expect
    Q_EMIT currentRowChanged();
    fireAfter(Event::AfterDelete);
    fireAfter(Event::AfterScroll);
    return true;
}

// --- hooks ---------------------------------------------------------------------------------

DataSet::HookId DataSet::on(Event event, Handler handler)
{
    const HookId id = m_nextHook++;
    m_hooks[event].push_back({id, std::move(handler)});
    return id;
}

DataSet::HookId DataSet::on(Event event, QObject *owner, Handler handler)
{
    const HookId id = on(event, std::move(handler));
    connect(owner, &QObject::destroyed, this, [this, id] { removeHook(id); });
    return id;
}

void DataSet::removeHook(HookId id)
{
    for (auto &[event, hooks] : m_hooks)
        std::erase_if(hooks, [id](const Hook &h) { return h.id == id; });
}

bool DataSet::fire(Event event)
{
    // A copy: a handler may add or remove hooks while they run.
    const std::vector<Hook> hooks = m_hooks[event];
    try {
        for (const Hook &h : hooks)
            h.handler(*this);
    } catch (const DataSetAbort &) {
        return false;
    }
    return true;
}

void DataSet::fireAfter(Event event) { fire(event); }
