#include "listings/RegistryListings.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <memory>

namespace {

const QList<std::pair<RegistryListing, QString>> kNames = {
    {RegistryListing::Collectors, QStringLiteral("collectors")},
    {RegistryListing::Identifiers, QStringLiteral("identifiers")},
    {RegistryListing::Collaborators, QStringLiteral("collaborators")},
    {RegistryListing::Events, QStringLiteral("events")},
    {RegistryListing::Locations, QStringLiteral("locations")},
    {RegistryListing::Functions, QStringLiteral("functions")},
    {RegistryListing::Distances, QStringLiteral("distances")},
};

// A row read: its values by position, and by name through the column index its query
// shares with its other rows (a QSqlRecord per row would copy every field's name and
// description, most of a long listing's time).
class Row {
public:
    Row(std::shared_ptr<const QHash<QString, int>> columns, QVariantList values)
        : m_columns(std::move(columns)), m_values(std::move(values)) {}
    QVariant value(int i) const { return m_values.value(i); }
    QVariant value(const QString &name) const
    {
        const auto it = m_columns->constFind(name);
        return it == m_columns->constEnd() ? QVariant() : m_values.at(*it);
    }

private:
    std::shared_ptr<const QHash<QString, int>> m_columns;
    QVariantList m_values;
};

// Every row of `sql`, in the query's order.
QList<Row> select(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw DbError(Sql::describe(query.lastError()));
    const QSqlRecord record = query.record();
    auto columns = std::make_shared<QHash<QString, int>>();
    for (int i = 0; i < record.count(); ++i)
        columns->insert(record.fieldName(i), i);
    const int count = record.count();
    QList<Row> rows;
    while (query.next()) {
        QVariantList values;
        values.reserve(count);
        for (int i = 0; i < count; ++i)
            values << query.value(i);
        rows.append(Row(columns, std::move(values)));
    }
    return rows;
}

QString text(const Row &r, const QString &field) { return r.value(field).toString(); }

// A distance in the system's "0.0" form: one decimal, no thousands separator (1234,5).
QString kmText(double km)
{
    QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(km, 'f', 1);
}

// The spreadsheets write registration moments in full; the printed reports in the system's
// date-time text, which leaves out a midnight time.
QString sheetMoment(const Row &r)
{
    const QDateTime when = r.value(QStringLiteral("data_cadastro")).toDateTime();
    return DateTimeText::withSeconds(when);
}
QString printedMoment(const Row &r)
{
    return DateTimeText::toText(r.value(QStringLiteral("data_cadastro")).toDateTime());
}

ReportColumn textColumn(const QString &heading, double width = 1)
{
    ReportColumn c{heading};
    c.width = width;
    return c;
}

// Codes and moments are read whole; only names wrap.
ReportColumn wholeColumn(const QString &heading, const QString &widest = {})
{
    ReportColumn c{heading};
    c.keepWhole = true;
    c.widest = widest;
    c.width = 0.3;
    return c;
}

ReportColumn momentColumn()
{
    return wholeColumn(QStringLiteral("DATA CADASTRO"), QStringLiteral("00/00/0000 00:00:00"));
}

ListingConfig config(const QString &printedTitle, QList<ReportColumn> columns, const QString &sheetTitle,
                     QList<SheetColumn> sheetColumns, bool totalLine)
{
    ListingConfig c;
    c.title = printedTitle;
    c.columns = std::move(columns);
    c.headingsOnEveryPage = true;
    c.sheet.title = sheetTitle;
    c.sheet.columns = std::move(sheetColumns);
    c.sheet.totalLine = totalLine;
    return c;
}

// "TOTAL: n" under the first column, n being the registry's count.
void totalOfCount(Listing &listing, int total)
{
    listing.setBands([total](ReportDefinition &d) {
        d.summaryCount = {QStringLiteral("TOTAL: ") + QString::number(total), 0, false};
    });
}

}  // namespace

QString RegistryListings::name(RegistryListing listing)
{
    for (const auto &[l, n] : kNames)
        if (l == listing)
            return n;
    return {};
}

std::optional<RegistryListing> RegistryListings::named(const QString &name)
{
    for (const auto &[l, n] : kNames)
        if (n == name)
            return l;
    return std::nullopt;
}

QStringList RegistryListings::names()
{
    QStringList all;
    for (const auto &entry : kNames)
        all << entry.second;
    return all;
}

int RegistryListings::count(const QString &table)
{
    return Sql::scalar(m_dm.db(), QStringLiteral("select count(*) as total from ") + table).toInt();
}

Listing RegistryListings::run(RegistryListing listing)
{
    switch (listing) {
    case RegistryListing::Collectors: return collectors();
    case RegistryListing::Identifiers: return identifiers();
    case RegistryListing::Collaborators: return collaborators();
    case RegistryListing::Events: return events();
    case RegistryListing::Locations: return locations();
    case RegistryListing::Functions: return functions();
    case RegistryListing::Distances: return distances();
    }
    return {};
}

// One column of a registry listed whole: the field it shows, its printed column and its heading
// in the spreadsheet.
struct RegistryListings::Column {
    const char *field;
    ReportColumn printed;
    QString sheetHeading;
};

// A name, which wraps, and a code, read whole.
static RegistryListings::Column nameColumn(const char *field, const char *heading, const char *sheetHeading)
{
    return {field, textColumn(QString::fromUtf8(heading)), QString::fromUtf8(sheetHeading)};
}
static RegistryListings::Column codeColumn(const char *field, const char *heading, const char *sheetHeading)
{
    return {field, wholeColumn(QString::fromUtf8(heading)), QString::fromUtf8(sheetHeading)};
}

Listing RegistryListings::registry(const QString &sql, const QString &table, const QList<Column> &columns,
                                    const QString &title, const QString &sheetTitle, bool withMoment)
{
    // The spreadsheet's headings stand at these columns, whatever the listing.
    static const int kSheetPositions[] = {1, 3, 6, 10};
    QList<ReportColumn> printedColumns;
    QList<SheetColumn> sheetColumns;
    for (const Column &column : columns) {
        printedColumns << column.printed;
        sheetColumns << SheetColumn{kSheetPositions[sheetColumns.size()], column.sheetHeading};
    }
    if (withMoment) {
        printedColumns << momentColumn();
        sheetColumns << SheetColumn{kSheetPositions[sheetColumns.size()], QStringLiteral("Data do cadastro")};
    }
    QList<QStringList> printed, sheet;
    for (const Row &r : select(m_dm.db(), sql)) {
        QStringList values;
        for (const Column &column : columns)
            values << text(r, column.field);
        if (withMoment) {
            sheet << values + QStringList{sheetMoment(r)};
            values << printedMoment(r);
        }
        printed << values;
    }
    const int total = count(table);
    ListingConfig c = config(title, printedColumns, sheetTitle.isEmpty() ? title : sheetTitle, sheetColumns, true);
    c.sheet.total = total;
    Listing l(c, {}, printed, sheet);
    totalOfCount(l, total);
    return l;
}

Listing RegistryListings::collectors()
{
    return registry(QStringLiteral("select * from coletor order by nome_coletor"), QStringLiteral("coletor"),
                    {nameColumn("nome_coletor", "DESCRIÇÃO", "Descrição"), codeColumn("codigo_coletor", "CÓDIGO", "Código")},
                    QStringLiteral("Coletores"));
}

Listing RegistryListings::identifiers()
{
    // The reference kinds printed as words; any other code prints as stored.
    static const QHash<QString, QString> kWords = {{QStringLiteral("E"), QStringLiteral("Evento")},
                                                   {QStringLiteral("F"), QString::fromUtf8("Funcionário")},
                                                   {QStringLiteral("L"), QStringLiteral("Local")}};
    // Each owner registry is read once rather than asked once per identifier: per-row lookups
    // made a large registry list seventy times slower than reading its rows. Keys compare as
    // the server compares them (case aside), and with a code registered twice the first row by
    // key wins, as the server's index lookup answers.
    auto owners = [this](const QString &sql) {
        QHash<QString, QString> names;
        for (const Row &r : select(m_dm.db(), sql))
            names.insert(r.value(0).toString().toUpper(), r.value(1).toString());
        return names;
    };
    const QHash<QString, QString> events =
        owners(QStringLiteral("select button_evento, desc_evento from eventos order by codigo_evento desc"));
    const QHash<QString, QString> collaborators =
        owners(QStringLiteral("select memoria, nome_func from funcs order by codigo_func desc"));
    const QHash<QString, QString> locations =
        owners(QStringLiteral("select button_local, nome_local from locais order by codigo_local desc"));
    QList<QStringList> printed, sheet;
    for (const Row &r : select(m_dm.db(), QStringLiteral("SELECT *\nFROM buttons\nORDER BY codigo_button"))) {
        const QString id = text(r, "codigo_button");
        const QString reference = text(r, "referencia");
        // Found afresh for every identifier: a row never shows the previous one's owner.
        QString description;
        switch (reference.isEmpty() ? u' ' : reference.at(0).unicode()) {
        case u'E': description = events.value(id.toUpper()); break;
        case u'F': description = collaborators.value(id.toUpper()); break;
        case u'L': description = locations.value(id.toUpper()); break;
        default: break;
        }
        printed << QStringList{id, kWords.value(reference, reference), description, printedMoment(r)};
        sheet << QStringList{id, reference, description, sheetMoment(r)};
    }
    ListingConfig c = config(QString::fromUtf8("Memórias"),
                             {wholeColumn(QString::fromUtf8("MEMÓRIA"), QStringLiteral("FFFFFFFFFFFF")),
                              wholeColumn(QString::fromUtf8("REFERÊNCIA"), QString::fromUtf8("Funcionário")),
                              textColumn(QString::fromUtf8("DESCRIÇÃO")), momentColumn()},
                             QString::fromUtf8("Memórias"),
                             {{1, QString::fromUtf8("Memória")}, {3, QString::fromUtf8("Referência")},
                              {6, QString::fromUtf8("Descrição")}, {10, QStringLiteral("Data do cadastro")}},
                             false);
    Listing l(c, {}, printed, sheet);
    // The printed report counts what it prints; the spreadsheet has no total.
    l.setBands([](ReportDefinition &d) { d.summaryCount = {QStringLiteral("TOTAL: "), 0, true}; });
    return l;
}

Listing RegistryListings::collaborators()
{
    return registry(QStringLiteral("SELECT * FROM funcs ORDER BY nome_func"), QStringLiteral("funcs"),
                    {nameColumn("nome_func", "NOME", "Nome"), codeColumn("memoria", "MEMÓRIA", "Memória"),
                     codeColumn("fone", "TELEFONE", "Telefone")},
                    QString::fromUtf8("Funcionários"), QStringLiteral("Colaboradores"));
}

Listing RegistryListings::events()
{
    return registry(QStringLiteral("select * from eventos order by desc_evento"), QStringLiteral("eventos"),
                    {nameColumn("desc_evento", "DESCRIÇÃO", "Descrição"), codeColumn("button_evento", "MEMÓRIA", "Memória")},
                    QStringLiteral("Eventos"));
}

Listing RegistryListings::locations()
{
    return registry(QStringLiteral("SELECT * FROM locais ORDER BY nome_local"), QStringLiteral("locais"),
                    {nameColumn("nome_local", "NOME", "Descrição"), codeColumn("button_local", "MEMÓRIA", "Memória")},
                    QStringLiteral("Locais"));
}

Listing RegistryListings::functions()
{
    // Functions have no registration moment.
    return registry(QStringLiteral("select * from funcao order by descricao"), QStringLiteral("funcao"),
                    {nameColumn("descricao", "DESCRIÇÃO", "Descrição"), codeColumn("codigo", "CÓDIGO", "Código")},
                    QString::fromUtf8("Funções"), {}, false);
}

Listing RegistryListings::distances()
{
    // A point that is no registered location leaves its name empty rather than the distance
    // out of the listing.
    const QString sql = QStringLiteral("select \n"
                                       "    distancia.descricao, \n"
                                       "    a.nome_local as localA,\n"
                                       "    b.nome_local as localB,\n"
                                       "    distancia.km\n"
                                       "from distancia\n"
                                       "left join locais as a on a.button_local = distancia.pontoA\n"
                                       "left join locais as b on b.button_local = distancia.pontoB\n"
                                       "\n"
                                       "order by descricao");
    QList<QStringList> rows;
    for (const Row &r : select(m_dm.db(), sql))
        rows << QStringList{text(r, "descricao"), text(r, "localA"), text(r, "localB"),
                            kmText(r.value(QStringLiteral("km")).toDouble())};
    ReportColumn km{QStringLiteral("KM")};
    km.alignment = Qt::AlignRight;
    km.keepWhole = true;
    km.width = 0.2;
    km.widest = QStringLiteral("0000,0");
    ListingConfig c = config(QString::fromUtf8("Distâncias"),
                             {textColumn(QString::fromUtf8("Descrição"), 1.5), textColumn(QStringLiteral("Ponto A")),
                              textColumn(QStringLiteral("Ponto B")), km},
                             {}, {}, false);
    Listing l(c, {}, rows);
    l.setBands([](ReportDefinition &d) {
        d.summaryCount = {QStringLiteral("Total de registros: "), 0, true};
        d.printWhenEmpty = true;
    });
    return l;
}

void RegistryListings::open(RegistryListing listing, QWidget *parent)
{
    TdmzDados &dm = *TdmzDados::instance();
    const Listing result = RegistryListings(dm).run(listing);
    result.present(dm.excel && hasSpreadsheet(listing), dm.installationName(), parent);
}
