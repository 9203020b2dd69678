#include "reports/ProgrammableReport.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/TextCut.h"
#include "reports/TouchListings.h"

#include <QHash>
#include <QSqlError>
#include <QSqlRecord>

#include <unordered_map>

namespace {

const QStringList kColumns{QStringLiteral("Col1"), QStringLiteral("Col2"), QStringLiteral("Col3"),
                           QStringLiteral("Col4"), QStringLiteral("Col5")};

QList<LocalField> workingFields()
{
    return {{kColumns[0], LocalField::String, 20},
            {kColumns[1], LocalField::String, 40},
            {kColumns[2], LocalField::String, 40},
            {kColumns[3], LocalField::String, 40},
            {kColumns[4], LocalField::String, 40}};
}

void recreate(LocalTable &table)
{
    if (!table.create(workingFields()) || !table.open())
        throw DbError(table.lastError());
}

// The rows, in order; an empty text is left NULL, as a field never set.
void writeRows(LocalTable &table, const QList<QStringList> &rows)
{
    if (!table.appendTextRows(rows, true) || !table.flush())
        throw DbError(table.lastError());
}

// One of the system's lookups "select count(*) as total, <answer> from <table> where <key> =
// :param group by <answer>": the answer of the first row found, nothing when there is none (the
// grouping gives no row, and a total below 1 counts the same).
class Lookup {
public:
    Lookup(const QSqlDatabase &db, const char *table, const char *key, const char *answer, const char *param)
        : m_db(db), m_table(QLatin1String(table)), m_key(QLatin1String(key)), m_answer(QLatin1String(answer)),
          m_param(QLatin1String(param))
    {
    }

    // The statement itself, prepared at its first use.
    std::optional<QString> find(const QVariant &key)
    {
        if (!m_query)
            m_query.emplace(Sql::prepare(m_db, QStringLiteral("select count(*) as total, %1\n from %2 where %3 = %4\n"
                                                          " group by %1")
                                               .arg(m_answer, m_table, m_key, m_param)));
        Sql::Query &q = *m_query;
        q.bindValue(m_param, key);
        if (!q.exec())
            throw DbError(Sql::describe(q.lastError()));
        std::optional<QString> answer;
        if (q.next() && q.value(0).toLongLong() > 0)
            answer = q.value(1).toString();
        q.finish();
        return answer;
    }

    // What find() gives for each of `keys`, a few hundred keys to a statement: the same grouping
    // and order, per key. The keys go in as a table of their own, so the server matches each one
    // exactly as it matches find()'s parameter (letter case, trailing blanks).
    QList<std::optional<QString>> findMany(const QStringList &keys)
    {
        QList<std::optional<QString>> answers(keys.size());
        constexpr int kChunk = 500;
        for (int from = 0; from < keys.size(); from += kChunk) {
            const int count = int(qMin<qsizetype>(kChunk, keys.size() - from));
            QStringList asked{QStringLiteral("select 0 as n, ? as id")};
            for (int i = 1; i < count; ++i)
                asked << QStringLiteral("select %1, ?").arg(i);
            auto q = Sql::prepare(m_db, QStringLiteral("select k.n, count(*) as total, t.%1\n from (%2) k\n"
                                                        " join %3 t on t.%4 = k.id\n"
                                                        " group by k.n, t.%1 order by k.n, t.%1")
                                             .arg(m_answer, asked.join(QStringLiteral(" union all ")), m_table, m_key));
            for (int i = 0; i < count; ++i)
                q.bindValue(i, keys.at(from + i));
            if (!q.exec())
                throw DbError(Sql::describe(q.lastError()));
            while (q.next()) {
                std::optional<QString> &answer = answers[from + q.value(0).toInt()];
                if (!answer && q.value(1).toLongLong() > 0)
                    answer = q.value(2).toString();
            }
        }
        return answers;
    }

private:
    QSqlDatabase m_db;
    QString m_table;
    QString m_key;
    QString m_answer;
    QString m_param;
    std::optional<Sql::Query> m_query;
};

// The hash of the codes looked up at every touch (identifiers and collector codes, at most 12
// characters): a few multiplications, where the general string hash costs a tenth of the run.
struct CodeHash {
    size_t operator()(const QString &code) const noexcept
    {
        quint64 h = 14695981039346656037ull;
        for (const QChar c : code)
            h = (h ^ c.unicode()) * 1099511628211ull;
        return size_t(h);
    }
};

// Whether touches of a kind are listed, and of which identifier: a blank field lists them all,
// a field filled by a search only the stored identifier, and text typed without a search none.
bool kindListed(bool checked, const ProgrammableChoice &choice, const QString &identifier)
{
    if (!checked)
        return false;
    if (choice.text.trimmed().isEmpty())
        return true;
    return choice.stored() && identifier == choice.code;
}

}  // namespace

QString ProgrammableReport::periodLine(const ProgrammableInputs &in)
{
    return QString::fromUtf8("Período: ") + in.periodStart + QStringLiteral(" a ") + in.periodEnd;
}

QString ProgrammableReport::belongingLine(const ProgrammableInputs &in)
{
    QString line;
    if (in.byCollector && in.collector.stored())
        line += QStringLiteral("- Coletor: ") + in.collector.text;
    if (in.byCollaborator && in.collaboratorCode.stored())
        line += QStringLiteral("- Colaborador: ") + in.collaboratorCode.text;
    if (in.byRoute && in.route.stored())
        line += QStringLiteral("- Roteiro: ") + in.route.text;
    return line;
}

bool ProgrammableReport::collectorColumn(const ProgrammableInputs &in)
{
    return in.byCollector && !in.collector.stored();
}

bool ProgrammableReport::collaboratorColumn(const ProgrammableInputs &in)
{
    return in.byCollaborator && !in.collaboratorCode.stored();
}

bool ProgrammableReport::routeColumn(const ProgrammableInputs &in)
{
    return in.byRoute && !in.route.stored();
}

ListingConfig ProgrammableReport::config(const ProgrammableInputs &in)
{
    ListingConfig c;
    c.title = QString::fromUtf8("Analítico Programável");
    ReportColumn when{QStringLiteral("DATA / HORA")};
    when.keepWhole = true;
    when.widest = QStringLiteral("00/00/0000 00:00:00");
    c.columns = {when, {QString::fromUtf8("DESCRIÇÃO")}};
    // A name column the choices leave empty is not printed at all.
    if (collectorColumn(in))
        c.columns << ReportColumn{QStringLiteral("COLETOR")};
    if (collaboratorColumn(in))
        c.columns << ReportColumn{QString::fromUtf8("FUNCIONÁRIO")};
    if (routeColumn(in))
        c.columns << ReportColumn{QStringLiteral("ROTEIRO")};
    c.headingsOnEveryPage = false;

    c.sheet.title = c.title;
    c.sheet.headerLines = {periodLine(in), belongingLine(in)};
    c.sheet.headerFontSize = 12;
    c.sheet.columns = {{1, QStringLiteral("Data do toque"), true},
                       {3, QString::fromUtf8("Descrição"), true},
                       {5, QStringLiteral("Coletor"), true},
                       {7, QString::fromUtf8("Funcionário"), true},
                       {9, QStringLiteral("Roteiro"), true}};
    c.sheet.firstRow = 5;
    c.sheet.dataFontSize = 10;
    return c;
}

std::optional<Listing> ProgrammableReport::run(const ProgrammableInputs &in, Progress progress)
{
    // Both ends are checked before anything is read or written.
    std::optional<QDateTime> start, end;
    if (!PeriodField::readBoth(in.periodStart, in.periodEnd, start, end))
        return std::nullopt;

    // The filters of "Dados pertencentes ao:". The stored codes are bound, never written into
    // the statement, so whatever a code holds it is only compared.
    QString where = QStringLiteral("Where (data_toque between :dini and :dfim)");
    Bindings bindings{{":dini", start->toString(QStringLiteral("yyyy/MM/dd hh:mm")) + QStringLiteral(":00")},
                      {":dfim", end->toString(QStringLiteral("yyyy/MM/dd hh:mm")) + QStringLiteral(":59")}};
    if (in.byCollector && in.collector.stored()) {
        where += QStringLiteral("\nand (coletor = :pcoletor)");
        bindings.push_back({":pcoletor", in.collector.code});
    }
    if (in.byCollaborator && in.collaboratorCode.stored()) {
        where += QStringLiteral("\nand (codigo_func = :pcodigo_func)");
        bindings.push_back({":pcodigo_func", in.collaboratorCode.code});
    }
    if (in.byRoute && in.route.stored()) {
        where += QStringLiteral("\nand (codigo_roteiro = :pcodigo_roteiro)");
        bindings.push_back({":pcodigo_roteiro", in.route.code});
    }

    LocalTable table(m_dm.tempFolder(), kWorkingTable);
    recreate(table);
    // Whatever stops the run part-way leaves the table empty: half a report is not a report.
    struct Abandon {
        LocalTable &table;
        bool done = false;
        ~Abandon()
        {
            if (!done)
                table.create(workingFields());
        }
    } abandon{table};
    auto stopped = [] {
        Msg::information(QString::fromUtf8("Relatório cancelado."));
        return std::nullopt;
    };

    const QSqlDatabase db = m_dm.db();
    auto execute = [&bindings](Sql::Query &q) {
        for (const auto &[name, value] : bindings)
            q.bindValue(name, value);
        Sql::run(q);
    };
    // The count of touches, and the identifiers among them, which are asked of the registries
    // together before the first touch is read.
    int total = 0;
    QStringList identifiers;
    {
        auto count = Sql::prepare(db, QStringLiteral("Select button, count(*) as total From desctot\n") + where +
                                           QStringLiteral("\ngroup by button"));
        execute(count);
        while (count.next()) {
            identifiers << count.value(0).toString().left(12);
            total += count.value(1).toInt();
        }
    }
    if (!progress.begin(QString::fromUtf8("Lendo %1 toques...").arg(total), total))
        return stopped();

    Lookup buttons(db, "buttons", "codigo_button", "referencia", ":pcodigo_button");
    Lookup events(db, "eventos", "button_evento", "desc_evento", ":pbutton_evento");
    Lookup collaboratorsByIdentifier(db, "funcs", "memoria", "nome_func", ":pmemoria");
    Lookup locations(db, "locais", "button_local", "nome_local", ":pbutton_local");
    Lookup collectorNames(db, "coletor", "codigo_coletor", "nome_coletor", ":pcodigo_coletor");
    Lookup collaboratorNames(db, "funcs", "codigo_func", "nome_func", ":pcodigo_func");
    Lookup routeNames(db, "roteiros", "codigo_roteiro", "nome_roteiro", ":pcodigo_roteiro");

    // What the report does with the touches of one identifier depends on nothing else, so it is
    // decided once per identifier; each touch then costs one look in this table.
    struct Treatment {
        bool listed = false;
        bool named = false;  // an event, collaborator or location row, which takes the name columns
        QString description;
    };
    std::unordered_map<QString, Treatment, CodeHash> treatments;
    // The registry that names an identifier's touches, when its kind is listed and it passes the
    // kind's choice; none for remark rows and unknown kinds.
    auto namedBy = [&](const QString &identifier, const std::optional<QString> &reference) -> Lookup * {
        if (!reference || reference->isEmpty())
            return nullptr;
        switch (reference->at(0).unicode()) {
        case u'E':
            return kindListed(in.events, in.event, identifier) ? &events : nullptr;
        case u'F':
            return kindListed(in.collaborators, in.collaborator, identifier) ? &collaboratorsByIdentifier : nullptr;
        case u'L':
            return kindListed(in.locations, in.location, identifier) ? &locations : nullptr;
        default:
            return nullptr;
        }
    };
    auto settle = [&](const QString &identifier, const std::optional<QString> &reference,
                      const std::optional<QString> &name) -> const Treatment & {
        Treatment t;
        if (!reference) {
            t.listed = in.unregistered;
            t.description = identifier + QString::fromUtf8("  não cadastrada");
        } else if (reference->isEmpty()) {
            t.listed = in.unbound;
            t.description = identifier + QString::fromUtf8("  não associada");
        } else {
            t.listed = t.named = name.has_value();
            t.description = name.value_or(QString());
        }
        t.description = TextCut::left(t.description, 40);
        return treatments.insert_or_assign(identifier, std::move(t)).first->second;
    };
    {
        const QList<std::optional<QString>> references = buttons.findMany(identifiers);
        QHash<Lookup *, QList<int>> byRegistry;
        for (int i = 0; i < identifiers.size(); ++i)
            if (Lookup *registry = namedBy(identifiers.at(i), references.at(i)))
                byRegistry[registry] << i;
        QList<std::optional<QString>> names(identifiers.size());
        for (auto it = byRegistry.cbegin(); it != byRegistry.cend(); ++it) {
            QStringList asked;
            for (int i : it.value())
                asked << identifiers.at(i);
            const QList<std::optional<QString>> found = it.key()->findMany(asked);
            for (int j = 0; j < found.size(); ++j)
                names[it.value().at(j)] = found.at(j);
        }
        for (int i = 0; i < identifiers.size(); ++i)
            settle(identifiers.at(i), references.at(i), names.at(i));
    }
    // An identifier the grouping folded into another spelling (letter case, trailing blanks) is
    // asked on its own at its first touch.
    auto treatment = [&](const QString &identifier) -> const Treatment & {
        const auto known = treatments.find(identifier);
        if (known != treatments.end())
            return known->second;
        const std::optional<QString> reference = buttons.find(identifier);
        Lookup *registry = namedBy(identifier, reference);
        return settle(identifier, reference, registry ? registry->find(identifier) : std::nullopt);
    };
    // The names of the columns, by code.
    std::unordered_map<QString, QString, CodeHash> collectorName;
    std::unordered_map<qlonglong, QString> collaboratorName, routeName;
    auto nameOf = [](auto &names, Lookup &lookup, const auto &code, const QVariant &bound) -> const QString & {
        const auto known = names.find(code);
        if (known != names.end())
            return known->second;
        return names.emplace(code, TextCut::left(lookup.find(bound).value_or(QString()), 40)).first->second;
    };

    // Touches of the same second come in the order they were stored.
    auto touches = Sql::prepare(db, QStringLiteral("Select * From desctot\n") + where +
                                         QStringLiteral("\norder by data_toque, cod"));
    execute(touches);
    const QSqlRecord record = touches.record();
    const int touchAt = record.indexOf(QStringLiteral("data_toque"));
    const int buttonAt = record.indexOf(QStringLiteral("button"));
    const int collectorAt = record.indexOf(QStringLiteral("coletor"));
    const int funcAt = record.indexOf(QStringLiteral("codigo_func"));
    const int routeAt = record.indexOf(QStringLiteral("codigo_roteiro"));

    const bool withCollector = collectorColumn(in);
    const bool withCollaborator = collaboratorColumn(in);
    const bool withRoute = routeColumn(in);
    // The rows as the table holds them (same cuts); written to it once every touch is read, so a
    // run stopped part-way has written nothing.
    QList<QStringList> sheetRows;
    int current = 0;
    while (touches.next()) {
        const QString identifier = touches.value(buttonAt).toString().left(12);
        const Treatment &t = treatment(identifier);
        if (t.listed) {
            QStringList row{DateTimeText::withSeconds(touches.value(touchAt).toDateTime()), t.description, {}, {}, {}};
            if (t.named) {
                if (withCollector) {
                    const QString code = touches.value(collectorAt).toString();
                    row[2] = nameOf(collectorName, collectorNames, code, code);
                }
                if (withCollaborator) {
                    const QVariant code = touches.value(funcAt);
                    if (!code.isNull())
                        row[3] = nameOf(collaboratorName, collaboratorNames, code.toLongLong(), code.toString());
                }
                if (withRoute) {
                    const QVariant code = touches.value(routeAt);
                    if (!code.isNull())
                        row[4] = nameOf(routeName, routeNames, code.toLongLong(), code.toLongLong());
                }
            }
            sheetRows << std::move(row);
        }
        if (!progress.advance(++current))
            return stopped();
    }
    touches.finish();
    writeRows(table, sheetRows);
    abandon.done = true;

    // The printed report leaves out the name columns it does not show.
    QList<QStringList> printed = sheetRows;
    if (!(withCollector && withCollaborator && withRoute)) {
        for (QStringList &row : printed) {
            if (!withRoute)
                row.removeAt(4);
            if (!withCollaborator)
                row.removeAt(3);
            if (!withCollector)
                row.removeAt(2);
        }
    }

    const QStringList heading = belongingLine(in).isEmpty() ? QStringList{periodLine(in)}
                                                            : QStringList{periodLine(in), belongingLine(in)};
    // The heading lines go to the printed report's heading band here; the spreadsheet takes them
    // from its layout.
    Listing listing(config(in), QString(), printed, sheetRows);
    listing.setBands([heading](ReportDefinition &d) { d.headingLines = heading; });
    return listing;
}
