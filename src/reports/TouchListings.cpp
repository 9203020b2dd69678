#include "reports/TouchListings.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/TextCut.h"

#include <QSqlError>
#include <QSqlRecord>

namespace {

QList<LocalField> workingFields(int firstSize)
{
    return {{QStringLiteral("Col1"), LocalField::String, firstSize},
            {QStringLiteral("Col2"), LocalField::String, 40},
            {QStringLiteral("Col3"), LocalField::String, 40},
            {QStringLiteral("Col4"), LocalField::String, 40}};
}

// The working table, recreated empty.
void recreate(LocalTable &table, int firstSize)
{
    if (!table.create(workingFields(firstSize)) || !table.open())
        throw DbError(table.lastError());
}

// Writes the rows, in order, at once (a row's missing cells are left NULL), and gives them as
// the table now holds them, each text cut to its field's size: what the report prints is what
// the working table holds, without reading every row back.
QList<QStringList> store(LocalTable &table, const QList<QStringList> &rows)
{
    const QList<LocalField> fields = table.fields();
    QList<QStringList> held;
    held.reserve(rows.size());
    for (const QStringList &row : rows) {
        QStringList cells;
        cells.reserve(fields.size());
        for (int i = 0; i < fields.size(); ++i) {
            const QString cell = i < row.size() ? row.at(i) : QString();
            cells << (fields.at(i).size > 0 ? TextCut::left(cell, fields.at(i).size) : cell);
        }
        held << cells;
    }
    if (!table.appendTextRows(rows) || !table.flush())
        throw DbError(table.lastError());
    return held;
}

// "dd/mm/yyyy hh:nn" or, with seconds, "dd/mm/yyyy hh:nn:ss"; "" when invalid.
QString touchText(const QDateTime &when, bool seconds)
{
    return seconds ? DateTimeText::withSeconds(when) : DateTimeText::withMinutes(when);
}

// A run the user stopped: the working table is left empty, so nothing half-built is taken for
// a result, and there is no listing.
std::optional<Listing> stopped(LocalTable &table, int firstSize)
{
    table.close();
    recreate(table, firstSize);
    return std::nullopt;
}

QSqlQuery run(const QSqlDatabase &db, const QString &sql, const Bindings &bindings)
{
    Sql::Query query(db);
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const auto &[name, value] : bindings)
        query.bindValue(name, value);
    if (!query.exec())
        throw DbError(Sql::describe(query.lastError()));
    return query.takeResult();
}

}  // namespace

// --- period fields ---

bool PeriodField::filled(const QString &masked)
{
    return std::any_of(masked.begin(), masked.end(), [](QChar c) { return c.isDigit(); });
}

std::optional<QDateTime> PeriodField::read(const QString &field, const QString &masked)
{
    // Every position of the mask must be filled: "05/03/2024 1:  " is no time.
    const std::optional<QDateTime> value = DateTimeText::wholeDateTime(masked);
    if (!value || masked.size() != 16) {
        Msg::error(QString::fromUtf8("%1: '%2' não é uma data e hora válida").arg(field, masked));
        return std::nullopt;
    }
    return value;
}

bool PeriodField::readBoth(const QString &startMasked, const QString &endMasked, std::optional<QDateTime> &start,
                           std::optional<QDateTime> &end)
{
    start = read(QString::fromUtf8("Início"), startMasked);
    if (!start)
        return false;
    end = read(QStringLiteral("Fim"), endMasked);
    return end.has_value();
}

// --- identifier names ---

QString IdentifierNames::ask(Lookup &lookup, const QString &identifier)
{
    const auto known = lookup.answers.constFind(identifier);
    if (known != lookup.answers.constEnd())
        return *known;
    if (!lookup.query) {
        lookup.query.emplace(m_dm.db());
        lookup.query->setForwardOnly(true);
        lookup.query->prepare(lookup.sql);
    }
    Sql::Query &q = *lookup.query;
    q.bindValue(lookup.param, identifier);
    if (!q.exec())
        throw DbError(Sql::describe(q.lastError()));
    const QString answer = q.next() ? q.value(0).toString() : QString();
    q.finish();
    lookup.answers.insert(identifier, answer);
    return answer;
}

QString IdentifierNames::collaborator(const QString &identifier) { return ask(m_funcs, identifier); }
QString IdentifierNames::location(const QString &identifier) { return ask(m_locais, identifier); }
QString IdentifierNames::event(const QString &identifier) { return ask(m_eventos, identifier); }

void IdentifierNames::prefetch(const QStringList &identifiers)
{
    // A report's touches repeat a few identifiers thousands of times: each is looked at once.
    QStringList distinct;
    QSet<QString> seen;
    for (const QString &id : identifiers)
        if (!m_buttons.answers.contains(id) && !seen.contains(id)) {
            seen.insert(id);
            distinct << id;
        }
    if (distinct.isEmpty())
        return;
    for (Lookup *lookup : {&m_buttons, &m_funcs, &m_locais, &m_eventos})
        prefetch(*lookup, distinct);
}

void IdentifierNames::prefetch(Lookup &lookup, const QStringList &identifiers)
{
    QStringList wanted;
    QSet<QString> seen;
    for (const QString &id : identifiers)
        if (!lookup.answers.contains(id) && !seen.contains(id)) {
            seen.insert(id);
            wanted << id;
        }
    // The server decides which registered key each identifier is (its collation also makes
    // accents equal); each identifier takes the first row found, as the one-by-one lookup does.
    QVector<std::optional<QString>> firsts(wanted.size());
    Sql::probeEach(m_dm.db(), lookup.table, lookup.field, wanted, [&](qsizetype i, const QSqlRecord &row) {
        if (!firsts[i])
            firsts[i] = row.value(lookup.answer).toString();
    });
    for (qsizetype i = 0; i < wanted.size(); ++i)
        lookup.answers.insert(wanted[i], firsts[i].value_or(QString()));
}

QChar IdentifierNames::referenceKind(const QString &identifier)
{
    const QString reference = ask(m_buttons, identifier);
    return reference.isEmpty() ? QChar(u' ') : reference.at(0);
}

// --- by collector ---

ListingConfig TouchesByCollector::config()
{
    ListingConfig c;
    c.title = QString::fromUtf8("Analítico por Coletor");
    ReportColumn when{QStringLiteral("DATA DO TOQUE")};
    when.keepWhole = true;
    when.widest = QStringLiteral("00/00/0000 00:00");
    c.columns = {when, {QString::fromUtf8("FUNCIONÁRIO")}, {QStringLiteral("LOCAL")}, {QStringLiteral("EVENTO")}};
    c.sheet.title = QString::fromUtf8("Relatório Analítico por Coletor");
    c.sheet.columns = {{1, QStringLiteral("Data do toque"), true},
                       {3, QString::fromUtf8("Funcionário"), true},
                       {6, QStringLiteral("Local"), true},
                       {9, QStringLiteral("Evento"), true}};
    c.sheet.dataFontSize = 8;
    return c;
}

std::optional<Listing> TouchesByCollector::run(const TouchesByCollectorInputs &in, Progress progress)
{
    if (!in.download.isValid()) {
        Msg::warning(QString::fromUtf8("Não existe dados para serem exibidos!"));
        return std::nullopt;
    }
    if (in.collector.isEmpty()) {
        Msg::information(QString::fromUtf8("Não encontrado Coletor ou Descarga para o relatório!"));
        return std::nullopt;
    }
    // A field typed in part or with an impossible date stops the command; the period counts
    // only with both fields typed.
    std::optional<QDateTime> start, end;
    if (PeriodField::filled(in.periodStart) && !(start = PeriodField::read(QString::fromUtf8("Início"), in.periodStart)))
        return std::nullopt;
    if (PeriodField::filled(in.periodEnd) && !(end = PeriodField::read(QStringLiteral("Fim"), in.periodEnd)))
        return std::nullopt;
    const bool period = start && end;

    QString header = QStringLiteral("Coletor: ") + in.collector + " - " + in.collectorName + "   ";
    QString sql = QStringLiteral("SELECT * FROM desctot WHERE ((coletor = :cod_coletor) and ");
    Bindings bindings{{":cod_coletor", in.collector}};
    if (period) {
        header += QString::fromUtf8("Período: ") + in.periodStart + " a " + in.periodEnd;
        sql += QStringLiteral("(data_toque between :dini and :dfim))");
        // Both ends at second 00 of their minute.
        bindings.push_back({":dini", start->toString(QStringLiteral("yyyy/MM/dd hh:mm:00"))});
        bindings.push_back({":dfim", end->toString(QStringLiteral("yyyy/MM/dd hh:mm:00"))});
    } else {
        const QString download = DateTimeText::toParam(in.download);
        header += QStringLiteral("Descarga: ") + download;
        sql += QStringLiteral("(data_descarga = :data_desc))");
        bindings.push_back({":data_desc", download});
    }
    // The order of storage, which the terminal's order of touches follows.
    sql += QStringLiteral(" ORDER BY cod");

    LocalTable table(m_dm.tempFolder(), kWorkingTable);
    recreate(table, 20);
    IdentifierNames names(m_dm);
    QSqlQuery touches = ::run(m_dm.db(), sql, bindings);
    const int touchAt = touches.record().indexOf(QStringLiteral("data_toque"));
    const int buttonAt = touches.record().indexOf(QStringLiteral("button"));
    QList<std::pair<QString, QString>> read;  // when, identifier
    QStringList ids;
    if (!progress.begin(QStringLiteral("Lendo os toques...")))
        return stopped(table, 20);
    while (touches.next()) {
        const QString id = touches.value(buttonAt).toString();
        read.append({touchText(touches.value(touchAt).toDateTime(), false), id});
        ids << id;
        if (!progress.advance(read.size()))
            return stopped(table, 20);
    }
    touches.finish();
    names.prefetch(ids);
    // Each identifier's three names, asked once; a touch then costs one lookup.
    QHash<QString, QStringList> byId;
    QList<QStringList> rows;
    rows.reserve(read.size());
    for (const auto &[when, id] : read) {
        auto it = byId.constFind(id);
        if (it == byId.constEnd())
            it = byId.insert(id, {names.collaborator(id), names.location(id), names.event(id)});
        rows.append({when, it->at(0), it->at(1), it->at(2)});
    }
    if (!progress.begin(QString::fromUtf8("Gravando %1 linhas...").arg(rows.size()), rows.size()))
        return stopped(table, 20);
    return Listing(config(), header, store(table, rows));
}

// --- by route ---

ListingConfig TouchesByRoute::config()
{
    ListingConfig c;
    c.title = QString::fromUtf8("Analítico por roteiro");
    ReportColumn when{QStringLiteral("DATA")};
    when.keepWhole = true;
    when.widest = QStringLiteral("00/00/0000 00:00:00");
    c.columns = {when, {QString::fromUtf8("FUNCIONÁRIO")}, {QStringLiteral("LOCAL")}, {QStringLiteral("EVENTO")}};
    // A route's name stands alone on its row and runs on beside the date column.
    c.spillIntoEmptyColumns = true;
    c.sheet.title = QString::fromUtf8("Analítico por roteiro");
    c.sheet.columns = {{1, QStringLiteral("Data")},
                       {3, QString::fromUtf8("Funcionário")},
                       {5, QStringLiteral("Local")},
                       {7, QStringLiteral("Evento")}};
    c.sheet.dataFontSize = 10;
    return c;
}

std::optional<Listing> TouchesByRoute::run(const TouchesByRouteInputs &in, Progress progress)
{
    std::optional<QDateTime> start, end;
    if (!PeriodField::readBoth(in.periodStart, in.periodEnd, start, end))
        return std::nullopt;
    // The end minute is included to its last second.
    const QString from = start->toString(QStringLiteral("yyyy/MM/dd hh:mm")) + QStringLiteral(":00");
    const QString to = end->toString(QStringLiteral("yyyy/MM/dd hh:mm")) + QStringLiteral(":59");
    QString header = QString::fromUtf8("Período: ") + in.periodStart + " a " + in.periodEnd;
    if (!in.route.isEmpty())
        header += QStringLiteral("  Roteiro: ") + in.routeName;

    LocalTable table(m_dm.tempFolder(), kWorkingTable);
    recreate(table, 40);
    QString routesSql = QStringLiteral("Select * from roteiros");
    Bindings routeBindings;
    if (!in.route.isEmpty()) {
        routesSql += QStringLiteral(" Where codigo_roteiro = :cod_rot");
        routeBindings.push_back({":cod_rot", in.route});
    }
    routesSql += QStringLiteral(" ORDER BY codigo_roteiro");
    QSqlQuery routes = ::run(m_dm.db(), routesSql, routeBindings);
    QList<std::pair<QVariant, QString>> routeList;
    while (routes.next())
        routeList.append({routes.value(QStringLiteral("codigo_roteiro")),
                          routes.value(QStringLiteral("nome_roteiro")).toString()});

    // Every route's touches in one statement (the server pairs each touch with its route, as a
    // statement per route would), and the names of all their identifiers asked at once: the
    // round trips do not grow with the number of routes.
    IdentifierNames names(m_dm);
    QString touchesSql = QStringLiteral("select r.codigo_roteiro as tv_rota, d.data_toque, d.button from roteiros r "
                                        "join desctot d on d.codigo_roteiro = r.codigo_roteiro "
                                        "where d.data_toque between :inicio and :fim");
    Bindings touchBindings{{":inicio", from}, {":fim", to}};
    if (!in.route.isEmpty()) {
        touchesSql += QStringLiteral(" and r.codigo_roteiro = :cod_rot");
        touchBindings.push_back({":cod_rot", in.route});
    }
    touchesSql += QStringLiteral(" order by r.codigo_roteiro, d.cod");
    QHash<QString, QList<std::pair<QString, QString>>> byRoute;  // route -> (when, identifier)
    QStringList ids;
    {
        QSqlQuery touches = ::run(m_dm.db(), touchesSql, touchBindings);
        while (touches.next()) {
            const QString id = touches.value(2).toString();
            byRoute[touches.value(0).toString()].append({touchText(touches.value(1).toDateTime(), true), id});
            ids << id;
        }
    }
    names.prefetch(ids);
    QSet<int> nameRows, kept;
    QList<QStringList> rows;
    int row = 0;
    progress.begin(QString::fromUtf8("Lendo os toques de %1 roteiros...").arg(routeList.size()), routeList.size());
    int routesDone = 0;
    for (const auto &[code, name] : routeList) {
        if (!progress.advance(routesDone++))
            return stopped(table, 40);
        rows.append(QStringList());
        rows.append({name});
        rows.append(QStringList());
        nameRows << row + 1;
        kept << row + 1 << row + 2;
        row += 3;
        const QList<std::pair<QString, QString>> read = byRoute.value(code.toString());
        for (const auto &[when, id] : read) {
            if (!progress.advance(routesDone - 1))
                return stopped(table, 40);
            // The identifier's reference kind says which registry names it.
            QStringList cells;
            switch (names.referenceKind(id).unicode()) {
            case u'E':
                if (const QString d = names.event(id); !d.isEmpty())
                    cells = {when, {}, {}, d};
                break;
            case u'F':
                if (const QString n = names.collaborator(id); !n.isEmpty())
                    cells = {when, n, {}, {}};
                break;
            case u'L':
                if (const QString n = names.location(id); !n.isEmpty())
                    cells = {when, {}, n, {}};
                break;
            default:
                break;
            }
            if (!cells.isEmpty()) {
                rows.append(cells);
                ++row;
            }
        }
    }
    if (!progress.advance(routeList.size()))
        return stopped(table, 40);
    Listing listing(config(), header, store(table, rows));
    listing.setGroupRows(nameRows, kept);
    return listing;
}
