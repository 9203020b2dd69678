#include "reports/ConsistencyAnalysis.h"

#include "collection/ClassifyIdentifier.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/BusyCursor.h"
#include "platform/DateTimeText.h"
#include "platform/MessageService.h"
#include "platform/TextCut.h"

#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

namespace {

const QString kInversion = QStringLiteral("Inversão");
const QString kNotProgrammed = QStringLiteral("Não programado");
const QDateTime kDayZero(QDate(1899, 12, 30), QTime(0, 0));

// Text compared without the blanks that pad it on the right: the server hands CHAR columns back
// without them and compares them that way, so a filter or a name typed with a trailing blank
// means what the registries mean by it.
QStringView unpadded(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return QStringView(text).left(end);
}

bool sameText(const QString &a, const QString &b) { return unpadded(a) == unpadded(b); }

QString text(const QVariant &value) { return value.isNull() ? QString() : value.toString(); }

// A limit stored as text: whole minutes, anything else counts as 0.
int wholeNumber(const QVariant &value)
{
    bool ok = false;
    const int number = text(value).trimmed().toInt(&ok);
    return ok ? number : 0;
}

// The yes/no flags: 0 is yes, anything else (the default -1) is no.
bool yes(const QVariant &value)
{
    bool ok = false;
    return !value.isNull() && value.toInt(&ok) == 0 && ok;
}

// Seconds since midnight of a "hh:mm:ss" text; nullopt when it is not one (a touch at exactly
// midnight has no time part at all).
std::optional<int> secondsOfDay(const QString &hhmmss)
{
    const QTime time = QTime::fromString(hhmmss, QStringLiteral("hh:mm:ss"));
    if (!time.isValid())
        return std::nullopt;
    return time.msecsSinceStartOfDay() / 1000;
}

std::optional<QDateTime> dateTime(const QString &text)
{
    return DateTimeText::parse(text);
}

void invalidDateTime(const QString &text)
{
    Msg::error(QStringLiteral("'%1' não é uma data e hora válida").arg(text));
}

// One row of the working table; empty cells are empty text.
struct Row {
    QString c1, c2, c3, c4, c5, c6, c7;
};

struct Route {
    bool found = false;
    QString code;
    QString name;
    QString company;
    QString reference;
    bool timeBetween = false;    // tempo_locais
    bool standardLimits = false; // tempo_padrao
    bool checkOrder = false;     // ordemvisitas
    bool checkDuration = false;  // temporoteiro
    int standardMin = 0;
    int standardMax = 0;
    int durationMin = 0;
    int durationMax = 0;
    std::optional<int> departure;  // hora_saida, seconds of the day

    // A route that cannot be read (code 0, or one deleted since the touch was recorded) checks
    // nothing: every option no, every limit 0, no reference.
    static Route from(const std::optional<QSqlRecord> &row)
    {
        Route r;
        if (!row)
            return r;
        r.found = true;
        r.code = text(row->value("codigo_roteiro"));
        r.name = text(row->value("nome_roteiro"));
        r.company = text(row->value("empresa"));
        r.reference = text(row->value("button_referencia"));
        r.timeBetween = yes(row->value("tempo_locais"));
        r.standardLimits = yes(row->value("tempo_padrao"));
        r.checkOrder = yes(row->value("ordemvisitas"));
        r.checkDuration = yes(row->value("temporoteiro"));
        r.standardMin = wholeNumber(row->value("t_min_padrao"));
        r.standardMax = wholeNumber(row->value("t_max_padrao"));
        r.durationMin = wholeNumber(row->value("t_rot_min"));
        r.durationMax = wholeNumber(row->value("t_rot_max"));
        const QVariant departure = row->value("hora_saida");
        if (!departure.isNull()) {
            const QTime time = departure.toTime();
            if (time.isValid())
                r.departure = time.msecsSinceStartOfDay() / 1000;
        }
        return r;
    }
};

struct Stop {
    QString name;
    int tMin = 0;
    int tMax = 0;
};

// The expected locations of one route, in their order, and the names they carry.
struct StopList {
    std::vector<Stop> stops;
    QSet<QString> names;  // unpadded
};

// What one identifier is, each answer asked the first time it is needed.
struct Identifier {
    QString code;
    std::vector<int> positions;  // where it was touched in the selection, ascending

    std::optional<bool> registered;
    QString mark;  // buttons.referencia
    std::optional<QString> eventDescription;
    std::optional<bool> routeReference;
    std::optional<Route> route;  // the route it is the reference of
    std::optional<QString> locationName;
    std::optional<QString> collaboratorName;
};

struct Touch {
    int identifier = 0;  // index into the run's identifiers
    QString time;        // the date-time text, first 19 characters
    QDateTime moment;    // the date-time, to the second
    QString route;       // codigo_roteiro recorded with the touch
    QString collaborator;
};

struct FunctionTotal {
    QString codigo;
    QString descricao;
    std::optional<qint64> total;
};

}  // namespace

QList<LocalField> ConsistencyAnalysis::workingFields()
{
    return {{"Contador", LocalField::Integer, 0}, {"Col1", LocalField::String, 150},
            {"Col2", LocalField::String, 40},     {"Col3", LocalField::String, 40},
            {"Col4", LocalField::String, 40},     {"Col5", LocalField::String, 30},
            {"Col6", LocalField::String, 25},     {"Col7", LocalField::String, 25}};
}

QList<LocalField> ConsistencyAnalysis::totalsFields()
{
    return {{"codigo", LocalField::String, 11},
            {"descricao", LocalField::String, 50},
            {"total", LocalField::Integer, 0}};
}

QString FormatDuration(double days)
{
    // Spans are whole seconds; a day fraction is first taken to its nearest second.
    return FormatDurationSeconds(std::llround(days * 86400.0));
}

QString FormatDurationSeconds(qint64 seconds)
{
    return DateTimeText::formatDurationSeconds(seconds) + QStringLiteral(" h");
}

// The state of one run, from the selection of the touches to the last cycle's end.
class ConsistencyAnalysis::Run {
public:
    Run(TdmzDados &dm, const ConsistencyInputs &inputs, Progress &progress, bool keepCycles)
        : m_db(dm.db()), m_in(inputs), m_lookups(m_db),
          m_table(dm.tempFolder(), kWorkingTable), m_totals(dm.tempFolder(), kTotalsTable),
          m_progress(progress), m_keepCycles(keepCycles) {}

    std::vector<AnalysedCycle> takeCycles()
    {
        std::vector<AnalysedCycle> cycles;
        cycles.reserve(m_cycles.size());
        for (auto &[number, cycle] : m_cycles)
            cycles.push_back(std::move(cycle));
        m_cycles.clear();
        return cycles;
    }

    ConsistencyResult execute()
    {
        ConsistencyResult result;
        if (!m_progress.begin(QStringLiteral("Lendo os toques..."))) {
            result.outcome = ConsistencyResult::Outcome::Cancelled;
            return result;
        }
        if (!selectTouches(result))
            return result;
        prepare();
        loadInitialRoute();
        if (!m_progress.begin(QString::fromUtf8("Analisando %1 toques...").arg(m_touches.size()),
                              qint64(m_touches.size()))
            || !analyse()) {
            // Nothing half-written stays behind to be taken for a result.
            if (!m_table.create(workingFields()) || !m_totals.create(totalsFields()))
                throw DbError(m_table.lastError().isEmpty() ? m_totals.lastError() : m_table.lastError());
            result = ConsistencyResult{};
            result.outcome = ConsistencyResult::Outcome::Cancelled;
            return result;
        }
        finish(result);
        return result;
    }

    int statementsRun() const { return m_statements + m_lookups.statementsRun(); }

private:
    // Step 1: the touches, in the order they were stored.
    bool selectTouches(ConsistencyResult &result)
    {
        QString where;
        Bindings bindings;
        if (m_in.periodGiven) {
            const auto start = dateTime(m_in.periodStart);
            if (!start) {
                invalidDateTime(m_in.periodStart);
                result.outcome = ConsistencyResult::Outcome::InvalidPeriod;
                return false;
            }
            const auto end = dateTime(m_in.periodEnd);
            if (!end) {
                invalidDateTime(m_in.periodEnd);
                result.outcome = ConsistencyResult::Outcome::InvalidPeriod;
                return false;
            }
            if (m_in.collectorNamed) {
                where = QStringLiteral("WHERE (coletor = :cod_coletor) and (data_toque between :ini and :fim)");
                bindings.push_back({":cod_coletor", QVariant(m_in.collector)});
            } else {
                where = QStringLiteral("WHERE (data_toque between :ini and :fim)");
            }
            bindings.push_back({":ini", QVariant(DateTimeText::toParam(*start))});
            bindings.push_back({":fim", QVariant(DateTimeText::toParam(*end))});
        } else {
            const QString download = TextCut::left(m_in.download, 20);
            if (download.isEmpty()) {
                Msg::information(QStringLiteral("Não há data de descarga"));
                result.outcome = ConsistencyResult::Outcome::NoDownload;
                return false;
            }
            const auto moment = dateTime(download);
            if (!moment) {
                invalidDateTime(download);
                result.outcome = ConsistencyResult::Outcome::InvalidPeriod;
                return false;
            }
            where = QStringLiteral("WHERE coletor = :cod_coletor and  data_descarga = :dta_desc");
            bindings.push_back({":cod_coletor", QVariant(m_in.collector)});
            bindings.push_back(
                {":dta_desc", QVariant(moment->toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))});
        }

        Sql::Query query(m_db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT * FROM desctot\n") + where + QStringLiteral("\n order by cod"));
        for (const Binding &b : bindings)
            query.bindValue(b.first, b.second);
        ++m_statements;
        if (!query.exec())
            throw DbError(Sql::describe(query.lastError()));
        const QSqlRecord columns = query.record();
        const int button = columns.indexOf("button");
        const int touched = columns.indexOf("data_toque");
        const int route = columns.indexOf("codigo_roteiro");
        const int collaborator = columns.indexOf("codigo_func");
        while (query.next()) {
            Touch touch;
            touch.identifier = intern(text(query.value(button)), int(m_touches.size()));
            const QDateTime moment = query.value(touched).toDateTime();
            touch.time = DateTimeText::toText(moment).left(19);
            touch.moment = moment;
            touch.route = text(query.value(route));
            touch.collaborator = text(query.value(collaborator));
            m_touches.push_back(std::move(touch));
        }
        result.touches = int(m_touches.size());
        prefetchRegistry();
        if (m_touches.empty()) {
            Msg::information(QStringLiteral("Nenhuma informação encontrada para o relatório!"));
            result.outcome = ConsistencyResult::Outcome::NoTouches;
            return false;
        }
        return true;
    }

    // Every registry answer the walk may ask about the selection's identifiers, in a few
    // statements whatever the slice, so a long period costs no more round trips than a short
    // one over a slow link.
    void prefetchRegistry()
    {
        QStringList codes;
        codes.reserve(qsizetype(m_identifiers.size()));
        for (const Identifier &id : m_identifiers)
            codes << id.code;
        m_lookups.prefetch(codes, QStringLiteral("codigo_button"), QStringLiteral("buttons"));
        m_lookups.prefetch(codes, QStringLiteral("button_referencia"), QStringLiteral("roteiros"));
        m_lookups.prefetch(codes, QStringLiteral("button_local"), QStringLiteral("locais"));
        m_lookups.prefetch(codes, QStringLiteral("memoria"), QStringLiteral("funcs"));
        m_lookups.prefetch(codes, QStringLiteral("button_evento"), QStringLiteral("eventos"));
    }

    int intern(const QString &code, int position)
    {
        auto it = m_identifierIndex.find(code);
        if (it == m_identifierIndex.end()) {
            it = m_identifierIndex.insert(code, int(m_identifiers.size()));
            m_identifiers.push_back(Identifier{code, {}});
        }
        m_identifiers[it.value()].positions.push_back(position);
        return it.value();
    }

    // Step 2: both working tables recreated, the job functions read.
    void prepare()
    {
        if (!m_table.create(workingFields()))
            throw DbError(m_table.lastError());
        if (!m_totals.create(totalsFields()))
            throw DbError(m_totals.lastError());
        ++m_statements;
        QSqlQuery functions = Sql::exec(m_db, QStringLiteral("select * from funcao"));
        while (functions.next())
            m_functions.push_back({text(functions.value("codigo")),
                                   text(functions.value("descricao")), std::nullopt});
    }

    // Step 3: the route recorded on the first touch, until a reference touch says otherwise.
    void loadInitialRoute()
    {
        const Touch &first = m_touches.front();
        Route route;
        if (first.route != u"0") {
            route = Route::from(m_lookups.FindByField(first.route, "codigo_roteiro", "roteiros"));
            route.code = first.route;
            if (m_lookups.CountByField(first.collaborator, "codigo_func", "funcs") >= 1) {
                const auto row = m_lookups.FindByField(first.collaborator, "codigo_func", "funcs");
                m_firstCollaborator =
                    row ? TextCut::left(text(row->value("nome_func")), 40) : QString();
            }
        } else {
            route.code = first.route;
        }
        takeRoute(route);
        takeDuration(route);
        m_betweenMin = wholeNumber(m_in.betweenMin);
        m_betweenMax = wholeNumber(m_in.betweenMax);
        openStops(m_route.code);
    }

    // The options a route brings into force at once (all but the cycle duration).
    void takeRoute(const Route &route)
    {
        m_route = route;
        m_intervalMin = route.standardMin;
        m_intervalMax = route.standardMax;
    }

    void takeDuration(const Route &route)
    {
        m_checkDuration = route.checkDuration;
        m_durationMin = route.durationMin;
        m_durationMax = route.durationMax;
    }

    void openStops(const QString &routeCode)
    {
        auto it = m_stopLists.find(routeCode);
        if (it == m_stopLists.end()) {
            StopList list;
            Sql::Query &query = prepared(QStringLiteral(
                "SELECT *\nFROM descrot\nWHERE codigo_roteiro = :roteiro\nORDER BY ordem"));
            query.bindValue(QStringLiteral(":roteiro"), QVariant(routeCode));
            execute(query);
            while (query.next()) {
                Stop stop{text(query.value("nome_local")), query.value("t_min").toInt(),
                          query.value("t_max").toInt()};
                list.names.insert(unpadded(stop.name).toString());
                list.stops.push_back(std::move(stop));
            }
            query.finish();
            it = m_stopLists.emplace(routeCode, std::move(list)).first;
        }
        m_stops = &it->second;
        m_cursor = 0;
    }

    // Steps 4 to 10 over the whole selection; false when the user stopped it.
    bool analyse()
    {
        const int count = int(m_touches.size());
        int i = 0;
        while (i < count) {
            if (!m_progress.advance(i))
                return false;
            if (classify(i)) {
                ++i;
            } else {
                // A reference touch of a route filtered out: its cycle is left out up to the
                // next reference touch of any route, which is classified as usual.
                int next = i + 1;
                while (next < count && !isReferenceTouch(next))
                    ++next;
                if (next < count) {
                    i = next;
                    continue;
                }
                i = count;
            }
            if (i >= count || m_cyclePending)
                endCycle();
        }
        return m_progress.advance(count);
    }

    // Step 4; false when the touch is a reference touch that the filters reject.
    bool classify(int i)
    {
        const Touch &touch = m_touches[i];
        Identifier &id = m_identifiers[touch.identifier];
        QChar kind;
        if (registered(id)) {
            if (id.mark.isEmpty()) {
                append({.c5 = id.code + QStringLiteral(" não associada"), .c6 = touch.time});
                m_inconsistent = true;
            } else {
                kind = id.mark.at(0);
            }
        } else if (id.code.startsWith(u'3') || id.code.startsWith(u'4')) {
            dataCode(id.code);
        } else {
            append({.c5 = id.code + QStringLiteral(" não cadastrada"), .c6 = touch.time});
            m_inconsistent = true;
        }
        if (kind == u'E')
            return eventTouch(i, id);
        if (kind == u'F') {
            append({.c2 = collaboratorName(id), .c6 = touch.time});
            keepTouch(m_cycle, {.kind = AnalysedTouch::Kind::Collaborator, .at = touch.moment,
                                .label = collaboratorName(id)});
        } else if (kind == u'L') {
            locationTouch(i, id);
        } else {
            keepTouch(m_cycle, {.kind = AnalysedTouch::Kind::Other, .at = touch.moment, .label = id.code});
        }
        return true;
    }

    // A job-function or quantity code; the pair becomes one row once both have been touched.
    void dataCode(const QString &code)
    {
        if (code.startsWith(u'3'))
            m_pendingFunction = TextCut::mid(code, 1, 5);
        else
            m_pendingQuantity = TextCut::mid(code, 1, 5);
        if (m_pendingFunction.isEmpty() || m_pendingQuantity.isEmpty())
            return;
        QString line;
        if (m_lookups.CountByField(m_pendingFunction, "codigo", "funcao") > 0) {
            const auto row = m_lookups.FindByField(m_pendingFunction, "codigo", "funcao");
            line = QStringLiteral("   - ") + (row ? text(row->value("descricao")) : QString());
        } else {
            line = QStringLiteral("   - ") + m_pendingFunction + QStringLiteral(" não cadastrada");
        }
        append({.c4 = line, .c5 = m_pendingQuantity});
        bool ok = false;
        const int quantity = m_pendingQuantity.trimmed().toInt(&ok);
        if (!m_functions.empty() && ok && quantity > 0) {
            m_sumOfQuantities += quantity;
            for (FunctionTotal &f : m_functions) {
                if (f.codigo.startsWith(m_pendingFunction)) {
                    f.total = f.total.value_or(0) + quantity;
                    break;
                }
            }
        }
        m_pendingFunction.clear();
        m_pendingQuantity.clear();
    }

    // Step 5: an ordinary event, or the reference touch of a route (step 7).
    bool eventTouch(int i, Identifier &id)
    {
        const QString description = eventDescription(id);
        if (!routeReference(id)) {
            append({.c3 = description, .c6 = m_touches[i].time});
            keepTouch(m_cycle, {.kind = AnalysedTouch::Kind::Event, .at = m_touches[i].moment,
                                .label = description});
            return true;
        }
        const Route route = referencedRoute(id);
        if ((!m_in.company.isEmpty() && !sameText(m_in.company, route.company)) ||
            (!m_in.routeName.isEmpty() && !sameText(m_in.routeName, route.name)))
            return false;

        const bool firstReference = m_noReferenceYet;
        if (firstReference) {
            takeDuration(route);
            m_noReferenceYet = false;
        } else {
            // The ending cycle keeps its duration limits until it has been judged.
            m_cyclePending = true;
            m_pendingTouch = i;
            m_pendingRoute = route;
        }
        m_firstLocation = true;
        takeRoute(route);
        m_latestRoute = route;
        ++m_cycle;
        if (AnalysedCycle *kept = keptCycle(m_cycle)) {
            kept->routeCode = route.code;
            kept->routeName = route.name;
            kept->touches.push_back({.kind = AnalysedTouch::Kind::Reference,
                                     .at = m_touches[i].moment, .label = description});
        }
        if (firstReference)
            writeOpening(i, route, false);
        return true;
    }

    // Step 8.
    void locationTouch(int i, Identifier &id)
    {
        const Touch &touch = m_touches[i];
        if (m_untimed) {
            m_firstLocationAt = touch.moment;
            m_untimed = false;
        }
        m_lastLocationAt = touch.moment;
        if (m_firstLocation)
            m_firstLocationPos = i;

        const QString touched = locationName(id);
        AnalysedTouch kept{.kind = AnalysedTouch::Kind::Stop, .at = touch.moment, .label = touched};
        // A touch elsewhere than expected: at its stop when the route has one of its name.
        auto keepVerdict = [&](const QString &verdict) {
            if (verdict == kInversion) {
                kept.stop = stopNamed(touched);
                kept.inversion = !shownVerdict(verdict).isEmpty();
            } else {
                kept.kind = AnalysedTouch::Kind::NotProgrammed;
            }
        };
        if (m_cursor >= m_stops->stops.size()) {
            const QString verdict = judgeAgainstRoute(touched);
            append({.c4 = touched, .c5 = shownVerdict(verdict), .c6 = touch.time});
            keepVerdict(verdict);
        } else {
            const Stop &expected = m_stops->stops[m_cursor];
            QString interval;
            if (m_route.timeBetween) {
                if (!m_route.standardLimits) {
                    m_intervalMin = expected.tMin;
                    m_intervalMax = expected.tMax;
                }
                interval = intervalVerdict(touch.moment);
                m_previousIntervalAt = touch.moment;
            }
            Row row{.c1 = expected.name, .c4 = touched, .c6 = touch.time};
            kept.stop = int(m_cursor);
            if (!sameText(expected.name, touched)) {
                const QString verdict = judgeAgainstRoute(touched);
                row.c5 = shownVerdict(verdict);
                keepVerdict(verdict);
                if (!searchInCycle(expected.name)) {
                    m_notVisited << expected.name;
                    if (AnalysedCycle *cycle = keptCycle(m_cycle))
                        cycle->notVisited.push_back(int(m_cursor));
                }
            }
            if (m_route.timeBetween && !m_firstLocation) {
                row.c7 = interval;
                kept.interval = interval;
            }
            append(row);
            ++m_cursor;
        }
        keepTouch(m_cycle, std::move(kept));
        m_firstLocation = false;
    }

    // Judged in whole seconds against the limits in seconds, so an interval exactly at a limit
    // is within it and the excess shown is never a stray 0,00.
    QString intervalVerdict(const QDateTime &at)
    {
        if (!m_previousIntervalAt)
            return {};
        const qint64 seconds = DateTimeText::secondsBetween(*m_previousIntervalAt, at);
        const qint64 minimum = qint64(m_intervalMin) * 60;
        const qint64 maximum = qint64(m_intervalMax) * 60;
        if (seconds < minimum) {
            m_inconsistent = true;
            return QStringLiteral("Adiantado ") +
                   DateTimeText::formatNumber(DateTimeText::minutesFromSeconds(minimum - seconds), 2);
        }
        if (seconds <= maximum)
            return {};
        m_inconsistent = true;
        return QStringLiteral("Atrasado ") +
               DateTimeText::formatNumber(DateTimeText::minutesFromSeconds(seconds - maximum), 2);
    }

    // A touched location that is not the expected one: elsewhere in the route, or not in it.
    QString judgeAgainstRoute(const QString &name)
    {
        m_inconsistent = true;
        if (m_stops->names.contains(unpadded(name).toString())) {
            m_noInversion = false;
            return kInversion;
        }
        m_notProgrammed << name;
        return kNotProgrammed;
    }

    QString shownVerdict(const QString &verdict) const
    {
        return verdict == kInversion && !m_route.checkOrder ? QString() : verdict;
    }

    // Whether a touch of the cycle, from its first location touch up to the next touch of the
    // current reference (or the end), is at a location of this name. Answered from the
    // positions of each identifier, so a search costs the same however far it reaches.
    bool searchInCycle(const QString &name)
    {
        if (m_firstLocationPos < 0)
            return false;
        buildNameIndex();
        const auto byName = m_nameIndex.constFind(unpadded(name).toString());
        if (byName == m_nameIndex.constEnd())
            return false;
        int stop = int(m_touches.size());
        if (!m_route.reference.isEmpty()) {
            if (const auto ref = m_identifierIndex.constFind(m_route.reference);
                ref != m_identifierIndex.constEnd()) {
                const std::vector<int> &at = m_identifiers[ref.value()].positions;
                const auto next = std::lower_bound(at.begin(), at.end(), m_firstLocationPos);
                if (next != at.end())
                    stop = *next;
            }
        }
        for (int index : byName.value()) {
            const std::vector<int> &at = m_identifiers[index].positions;
            const auto next = std::lower_bound(at.begin(), at.end(), m_firstLocationPos);
            if (next != at.end() && *next < stop)
                return true;
        }
        return false;
    }

    // The first stop of the route with this name, searched from the expected one on.
    int stopNamed(const QString &name) const
    {
        const auto &stops = m_stops->stops;
        const int count = int(stops.size());
        for (int k = 0; k < count; ++k) {
            const int at = (int(m_cursor) + k) % count;
            if (sameText(stops[at].name, name))
                return at;
        }
        return -1;
    }

    void buildNameIndex()
    {
        if (m_nameIndexBuilt)
            return;
        for (int i = 0; i < int(m_identifiers.size()); ++i) {
            if (m_identifiers[i].code.isEmpty())
                continue;  // no identifier is no location
            const QString name = locationName(m_identifiers[i]);
            m_nameIndex[unpadded(name).toString()].push_back(i);
        }
        m_nameIndexBuilt = true;
    }

    // Step 10.
    void endCycle()
    {
        // The cycle number already counts a pending cycle.
        const int endingCycle = m_cycle - (m_cyclePending ? 1 : 0);
        AnalysedCycle *kept = keptCycle(endingCycle);
        for (; m_cursor < m_stops->stops.size(); ++m_cursor) {
            const QString &name = m_stops->stops[m_cursor].name;
            Row row{.c1 = name};
            if (!searchInCycle(name)) {
                row.c5 = QStringLiteral("Não visitado");
                m_notVisited << name;
                m_inconsistent = true;
                if (kept)
                    kept->notVisited.push_back(int(m_cursor));
            } else {
                m_noInversion = false;
                if (m_route.checkOrder) {
                    row.c5 = kInversion;
                    m_inconsistent = true;
                    if (kept)
                        kept->outOfOrder.push_back(int(m_cursor));
                }
            }
            append(row);
        }
        m_firstLocationPos = -1;

        if (kept)
            kept->notVisitedNames = m_notVisited;
        summary(QStringLiteral("- Não Visitados: "), m_notVisited);
        summary(QStringLiteral("- Não Programados: "), m_notProgrammed);
        if (!m_noInversion && m_route.checkOrder) {
            append({.c1 = QStringLiteral("- Ocorreu Inversão")});
            m_inconsistent = true;
            if (kept)
                kept->inversion = true;
        }

        if (m_checkDuration) {
            const QString line = judgeTime(QStringLiteral("- Tempo Gasto p/ realização do ciclo: "),
                                           DateTimeText::secondsBetween(m_firstLocationAt, m_lastLocationAt),
                                           m_durationMin, m_durationMax);
            if (kept)
                kept->duration = line;
        }
        if (m_latestRoute)
            takeDuration(*m_latestRoute);

        // Only a cycle with one before it is compared with it.
        if (m_in.betweenCycles && endingCycle >= 2)
            judgeTime(QStringLiteral("- Tempo Gasto entre ciclos: "),
                      DateTimeText::secondsBetween(m_previousCycleLastAt, m_firstLocationAt),
                      m_betweenMin, m_betweenMax);

        m_previousCycleLastAt = m_lastLocationAt;
        m_untimed = true;
        openStops(m_route.code);
        m_previousIntervalAt.reset();
        m_notVisited.clear();
        m_notProgrammed.clear();
        m_noInversion = true;

        if (m_cyclePending) {
            writeOpening(m_pendingTouch, m_pendingRoute, true);
            m_cyclePending = false;
        }
    }

    void summary(const QString &title, const QStringList &names)
    {
        if (names.isEmpty())
            return;
        append({.c1 = title + QString::number(names.size())});
        for (const QString &name : names)
            append({.c2 = name});
        m_inconsistent = true;
    }

    // A span of whole seconds judged in whole minutes (halves to the even neighbour) against its
    // limits; the excess is the unrounded span less the limit.
    // The line written, empty when the span is within its limits.
    QString judgeTime(const QString &title, qint64 seconds, int minimum, int maximum)
    {
        const qint64 rounded = DateTimeText::roundedMinutes(seconds);
        QString line;
        if (rounded < minimum)
            line = title + FormatDurationSeconds(seconds) + QStringLiteral("  -  Adiantado: ") +
                   FormatDurationSeconds(qint64(minimum) * 60 - seconds);
        else if (rounded > maximum)
            line = title + FormatDurationSeconds(seconds) + QStringLiteral("  -  Atrasado: ") +
                   FormatDurationSeconds(seconds - qint64(maximum) * 60);
        else
            return {};
        append({.c1 = line});
        m_inconsistent = true;
        return line;
    }

    // Step 11: the separator, the header, the reference event row and the departure check.
    void writeOpening(int i, const Route &route, bool afterCycle)
    {
        const Touch &touch = m_touches[i];
        if (!afterCycle)
            openStops(route.code);
        if (AnalysedCycle *kept = keptCycle(m_cycle))
            for (const Stop &stop : m_stops->stops)
                kept->stops << stop.name;
        append({});
        QString header = QStringLiteral("CICLO %1 - ").arg(m_cycle) + route.name;
        if (m_checkDuration)
            header += QStringLiteral("  -  Duração (min): Mínimo: %1 Máximo: %2")
                          .arg(m_durationMin)
                          .arg(m_durationMax);
        append({.c1 = header});
        const bool lastTouch = i == int(m_touches.size()) - 1;
        append({.c1 = afterCycle && lastTouch ? QStringLiteral("-") : QString(),
                .c3 = eventDescription(m_identifiers[touch.identifier]),
                .c6 = touch.time});

        const std::optional<int> at = secondsOfDay(touch.time.mid(11, 8));
        if (!route.departure || !at)
            return;
        constexpr int tolerance = 10 * 60;
        if (*route.departure - tolerance <= *at && *at <= *route.departure + tolerance) {
            append({.c1 = QStringLiteral("Realizado na hora programada")});
        } else {
            append({.c5 = afterCycle ? QStringLiteral("HORARIO DIVERGENTE")
                                     : QStringLiteral("HORÁRIO DIVERGENTE")});
            m_inconsistent = true;
        }
    }

    void finish(ConsistencyResult &result)
    {
        for (const FunctionTotal &f : m_functions) {
            m_totals.append();
            m_totals.setValue("codigo", f.codigo);
            m_totals.setValue("descricao", f.descricao);
            if (f.total)
                m_totals.setValue("total", *f.total);
            if (!m_totals.post())
                throw DbError(m_totals.lastError());
        }
        if (!m_table.flush())
            throw DbError(m_table.lastError());
        m_table.close();
        m_totals.close();
        result.outcome = ConsistencyResult::Outcome::Produced;
        result.inconsistent = m_inconsistent;
        result.sumOfQuantities = m_sumOfQuantities;
        result.firstCollaborator = m_firstCollaborator;
        result.rows = m_rowCount;
        result.functionTotals = !m_functions.empty();
    }

    void append(const Row &row)
    {
        m_table.append();
        m_table.setValue("Contador", ++m_rowCount);
        m_table.setValue("Col1", row.c1);
        m_table.setValue("Col2", row.c2);
        m_table.setValue("Col3", row.c3);
        m_table.setValue("Col4", row.c4);
        m_table.setValue("Col5", row.c5);
        m_table.setValue("Col6", row.c6);
        m_table.setValue("Col7", row.c7);
        if (!m_table.post())
            throw DbError(m_table.lastError());
    }

    // --- registry answers ---

    bool registered(Identifier &id)
    {
        if (!id.registered) {
            id.registered = m_lookups.CountByField(id.code, "codigo_button", "buttons") != 0;
            if (*id.registered) {
                const auto row = m_lookups.FindByField(id.code, "codigo_button", "buttons");
                id.mark = row ? text(row->value("referencia")) : QString();
            }
        }
        return *id.registered;
    }

    bool routeReference(Identifier &id)
    {
        if (!id.routeReference)
            id.routeReference = m_lookups.CountByField(id.code, "button_referencia", "roteiros") >= 1;
        return *id.routeReference;
    }

    // Where a rejected cycle's skip stops: a registered event that is some route's reference.
    bool isReferenceTouch(int i)
    {
        Identifier &id = m_identifiers[m_touches[i].identifier];
        return registered(id) && id.mark == u"E" && routeReference(id);
    }

    QString eventDescription(Identifier &id)
    {
        if (!id.eventDescription) {
            const auto row = m_lookups.FindByField(id.code, "button_evento", "eventos");
            id.eventDescription = row ? text(row->value("desc_evento")) : QString();
        }
        return *id.eventDescription;
    }

    Route referencedRoute(Identifier &id)
    {
        if (!id.route) {
            id.route = Route::from(m_lookups.FindByField(id.code, "button_referencia", "roteiros"));
        }
        return *id.route;
    }

    QString locationName(Identifier &id)
    {
        if (!id.locationName) {
            const auto row = m_lookups.FindByField(id.code, "button_local", "locais");
            id.locationName = row ? text(row->value("nome_local")) : QString();
        }
        return *id.locationName;
    }

    QString collaboratorName(Identifier &id)
    {
        if (!id.collaboratorName) {
            const auto row = m_lookups.FindByField(id.code, "memoria", "funcs");
            id.collaboratorName = row ? text(row->value("nome_func")) : QString();
        }
        return *id.collaboratorName;
    }

    // The cycle kept for cycles(), made at its first mark; nullptr when cycles are not kept.
    AnalysedCycle *keptCycle(int number)
    {
        if (!m_keepCycles)
            return nullptr;
        AnalysedCycle &cycle = m_cycles[number];
        cycle.number = number;
        return &cycle;
    }

    void keepTouch(int cycle, AnalysedTouch touch)
    {
        if (AnalysedCycle *kept = keptCycle(cycle))
            kept->touches.push_back(std::move(touch));
    }

    Sql::Query &prepared(const QString &sql)
    {
        auto it = m_prepared.find(sql);
        if (it == m_prepared.end()) {
            it = m_prepared.try_emplace(sql, m_db).first;
            it->second.setForwardOnly(true);
            it->second.prepare(sql);
        }
        return it->second;
    }

    void execute(Sql::Query &query)
    {
        ++m_statements;
        if (!query.exec())
            throw DbError(Sql::describe(query.lastError()));
    }

    QSqlDatabase m_db;
    const ConsistencyInputs &m_in;
    RegistryLookups m_lookups;
    std::map<QString, Sql::Query> m_prepared;
    int m_statements = 0;
    LocalTable m_table;
    LocalTable m_totals;
    int m_rowCount = 0;

    std::vector<Touch> m_touches;
    std::vector<Identifier> m_identifiers;
    QHash<QString, int> m_identifierIndex;
    QHash<QString, std::vector<int>> m_nameIndex;  // unpadded location name -> identifiers
    bool m_nameIndexBuilt = false;
    std::map<QString, StopList> m_stopLists;
    std::vector<FunctionTotal> m_functions;

    // The run.
    int m_cycle = 0;
    Route m_route;
    std::optional<Route> m_latestRoute;
    int m_intervalMin = 0;
    int m_intervalMax = 0;
    bool m_checkDuration = false;
    int m_durationMin = 0;
    int m_durationMax = 0;
    int m_betweenMin = 0;
    int m_betweenMax = 0;
    bool m_noReferenceYet = true;
    bool m_cyclePending = false;
    int m_pendingTouch = -1;
    Route m_pendingRoute;
    int m_sumOfQuantities = 0;
    bool m_inconsistent = false;
    QString m_firstCollaborator;
    QString m_pendingFunction;
    QString m_pendingQuantity;

    // The cycle.
    const StopList *m_stops = nullptr;
    size_t m_cursor = 0;
    bool m_firstLocation = true;
    int m_firstLocationPos = -1;
    // Until a location touch sets them these stand at the start of the system's day count
    // (30/12/1899), the zero the between-cycles span is measured from.
    QDateTime m_firstLocationAt = kDayZero;
    QDateTime m_lastLocationAt = kDayZero;
    QDateTime m_previousCycleLastAt = kDayZero;
    bool m_untimed = true;
    Progress &m_progress;
    std::optional<QDateTime> m_previousIntervalAt;
    bool m_noInversion = true;
    QStringList m_notVisited;
    QStringList m_notProgrammed;

    bool m_keepCycles = false;
    std::map<int, AnalysedCycle> m_cycles;
};

ConsistencyAnalysis::ConsistencyAnalysis(TdmzDados &dm) : m_dm(dm) {}

ConsistencyResult ConsistencyAnalysis::run(const ConsistencyInputs &inputs, Progress progress)
{
    BusyCursor busy;
    Run run(m_dm, inputs, progress, m_keepCycles);
    m_cycles.clear();
    try {
        const ConsistencyResult result = run.execute();
        m_statementsRun = run.statementsRun();
        if (result.produced())
            m_cycles = run.takeCycles();
        return result;
    } catch (...) {
        m_statementsRun = run.statementsRun();
        throw;
    }
}
