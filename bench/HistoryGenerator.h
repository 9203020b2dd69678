#pragma once

// A multi-year history of an installation, the same at every run, for the scale benchmarks:
// 25 collectors, each on its own route of 20 stops, a download an evening of about 400
// touches. A day of a collector is rounds of its route (the reference event, then the stops
// in order a few minutes apart), a collaborator touch at the start of each of the three
// shifts, and the faults of the field: a stop skipped, two stops touched in the wrong order,
// an identifier nobody registered, a registered identifier that belongs to nothing, a first
// round that leaves late. Route and collaborator of each touch are attributed as the ingest
// attributes them, so the stored rows are what a real installation holds.
//
// Every day of every collector is drawn from its own seed, so one day can be produced again
// on its own (the benchmarks build their dumps with it) and the table is the same whatever
// its size. The history ends at kLastDay.
#include "core/db/Sql.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace History {

constexpr int kCollectors = 25;
constexpr int kStops = 20;
constexpr int kCollaboratorsPerCollector = 4;
constexpr int kRoundsPerDay = 19;
constexpr int kRoundMinutes = 72;
constexpr int kUnregistered = 200;  // identifiers touched that no registry knows
constexpr int kUnbound = 20;        // registered identifiers that belong to nothing
constexpr int kOtherEvents = 5;     // events that are no route's reference
constexpr int kTouchesPerDay = 396; // on average, per collector
const QDate kLastDay(2026, 11, 30);
constexpr unsigned kSeed = 20261130;

// Codes as the terminals and registries hold them. Identifiers are the six characters a Lumet
// dump carries; none starts with 0, 3 or 4, which the analyses read as data codes.
inline QString collector(int c) { return QStringLiteral("CL%1").arg(c, 2, 10, QChar('0')); }
inline int route(int c) { return c; }  // each collector walks its own route
inline QString hex(const char *prefix, int n)
{
    return QLatin1String(prefix) + QStringLiteral("%1").arg(n, 4, 16, QChar('0')).toUpper();
}
inline QString reference(int route) { return hex("2E", route); }
inline QString event(int i) { return hex("2F", i); }  // the other events, i from 1
inline int locationCode(int route, int stop) { return (route - 1) * kStops + stop; }  // stop from 1
inline QString location(int route, int stop) { return hex("1C", locationCode(route, stop)); }
inline int collaboratorCode(int c, int k) { return (c - 1) * kCollaboratorsPerCollector + k + 1; }  // k from 0
inline QString memory(int c, int k) { return hex("5F", collaboratorCode(c, k)); }
inline QString unregistered(int i) { return hex("9D", i); }
inline QString unbound(int i) { return hex("8B", i); }

inline const char *const kPlaces[kStops] = {
    "Portaria", "Garagem", "Almoxarifado", "Refeitório", "Caldeira", "Doca Norte", "Doca Sul",
    "Escritório", "Laboratório", "Subestação", "Torre de Água", "Pátio", "Galpão A", "Galpão B",
    "Galpão C", "Oficina", "Ambulatório", "Estacionamento", "Cerca Leste", "Cerca Oeste"};

// "007 - Oficina 03": the stop's order, its place and its route, as the routes list them.
inline QString locationName(int route, int stop)
{
    return QStringLiteral("%1 - %2 %3")
        .arg(stop, 3, 10, QChar('0'))
        .arg(QString::fromUtf8(kPlaces[stop - 1]))
        .arg(route, 2, 10, QChar('0'));
}

// The first round leaves at the route's departure time, 00:10 to 00:14.
inline int departureSeconds(int route) { return 600 + (route % 5) * 60; }
inline QTime departure(int route) { return QTime(0, 0).addSecs(departureSeconds(route)); }

// A collector's evening download, after its last round.
inline QDateTime downloadMoment(int c, const QDate &day) { return QDateTime(day, QTime(23, c, 7)); }

struct Touch {
    int seconds;     // of the day
    QString identifier;
    int route;       // codigo_roteiro as the ingest attributes it
    int func;        // codigo_func as the ingest attributes it
};

// The touches of one collector's day in time order, each with the route and collaborator the
// ingest gives it: the collector's programming at the download's header, then whatever the
// last reference or collaborator touch said.
inline std::vector<Touch> day(int c, const QDate &date, unsigned seed = kSeed)
{
    std::mt19937 random(seed ^ (unsigned(c) * 2654435761u) ^ (unsigned(date.toJulianDay()) * 40503u));
    const auto chance = [&random](int perMille) { return int(random() % 1000) < perMille; };
    const int r = route(c);
    std::vector<Touch> touches;
    touches.reserve(kTouchesPerDay + 16);
    const auto add = [&](const QString &identifier, int seconds) {
        touches.push_back({std::min(seconds, 86399), identifier, 0, 0});
    };

    // Three shifts a day; the four collaborators of the post take them in turn.
    for (int shift = 0; shift < 3; ++shift)
        add(memory(c, int((date.toJulianDay() * 3 + shift) % kCollaboratorsPerCollector)),
            shift * 8 * 3600 + 60 + int(random() % 240));

    const int late = chance(30) ? (20 + int(random() % 25)) * 60 : 0;
    for (int round = 0; round < kRoundsPerDay; ++round) {
        int t = departureSeconds(r) + round * kRoundMinutes * 60 + int(random() % 90) + (round == 0 ? late : 0);
        add(reference(r), t);
        int order[kStops];
        for (int s = 0; s < kStops; ++s)
            order[s] = s + 1;
        for (int s = 0; s + 1 < kStops; ++s)
            if (chance(20))
                std::swap(order[s], order[s + 1]);
        for (int stop : order) {
            t += 100 + int(random() % 140);
            if (chance(20))
                continue;  // walked past without touching it
            add(location(r, stop), t);
            if (chance(5))
                add(unregistered(1 + int(random() % kUnregistered)), t + 15 + int(random() % 30));
            else if (chance(2))
                add(unbound(1 + int(random() % kUnbound)), t + 15 + int(random() % 30));
        }
    }
    std::stable_sort(touches.begin(), touches.end(),
                     [](const Touch &a, const Touch &b) { return a.seconds < b.seconds; });

    int currentRoute = r, currentFunc = collaboratorCode(c, 0);
    const QString ownReference = reference(r);
    const QString memoryPrefix = QStringLiteral("5F");
    for (Touch &t : touches) {
        if (t.identifier == ownReference)
            currentRoute = r;
        else if (t.identifier.startsWith(memoryPrefix))
            currentFunc = t.identifier.mid(2).toInt(nullptr, 16);
        t.route = currentRoute;
        t.func = currentFunc;
    }
    return touches;
}

// The days a history of about `touches` touches spans, ending at kLastDay.
inline int daysFor(qint64 touches)
{
    return int(std::max<qint64>(1, (touches + kCollectors * kTouchesPerDay / 2) / (kCollectors * kTouchesPerDay)));
}

// Multi-row inserts of whatever rows are added, `batch` rows a statement.
class BatchInsert {
public:
    BatchInsert(const QSqlDatabase &db, QString head, int batch = 1000)
        : m_db(db), m_head(head.toStdString()), m_batch(batch) {}

    std::string &row()
    {
        if (m_rows == m_batch)
            flush();
        m_sql += m_rows++ ? ",(" : "(";
        return m_sql;
    }
    void endRow() { m_sql += ')'; }
    void flush()
    {
        if (m_rows == 0)
            return;
        QSqlQuery q(m_db);
        if (!q.exec(QString::fromStdString(m_head + m_sql)))
            throw DbError(Sql::describe(q.lastError()));
        m_sql.clear();
        m_rows = 0;
    }
    static void text(std::string &out, const QString &value)
    {
        out += '\'';
        for (const char ch : value.toStdString()) {
            if (ch == '\'' || ch == '\\')
                out += '\\';
            out += ch;
        }
        out += '\'';
    }

private:
    QSqlDatabase m_db;
    std::string m_head;
    std::string m_sql;
    int m_batch;
    int m_rows = 0;
};

inline void exec(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw DbError(Sql::describe(q.lastError()));
}

// Every registry the touches refer to, in a database with the schema and no rows of its own.
// `firstDay` sets the years of the prices per km. Throws DbError.
inline void writeRegistries(const QSqlDatabase &db, const QDate &firstDay)
{
    const QString registered = QStringLiteral("'2023-06-01 09:00:00'");
    QStringList buttons, locais, descrot, roteiros, eventos, funcs, coletores, distancias;
    for (int r = 1; r <= kCollectors; ++r) {
        buttons << QStringLiteral("('%1','E','02',%2)").arg(reference(r), registered);
        eventos << QStringLiteral("('INICIO RONDA %1','%2',%3)").arg(r, 2, 10, QChar('0')).arg(reference(r), registered);
        roteiros << QStringLiteral("(%1,'RONDA POSTO %2','%3',0,-1,'1','5',%4,'%5','23:00:00','EMPRESA %6',0,0,'40','80')")
                        .arg(r)
                        .arg(r, 2, 10, QChar('0'))
                        .arg(reference(r), registered, departure(r).toString("hh:mm:ss"))
                        .arg(1 + r % 5);
        for (int s = 1; s <= kStops; ++s) {
            const QString name = locationName(r, s);
            buttons << QStringLiteral("('%1','L','02',%2)").arg(location(r, s), registered);
            locais << QStringLiteral("(%1,'%2','%3','RUA %4, %5','%6','SAO PAULO','SP','01000000',%7)")
                          .arg(locationCode(r, s))
                          .arg(name, location(r, s))
                          .arg(r)
                          .arg(s)
                          .arg(locationCode(r, s), 6, 10, QChar('0'))
                          .arg(registered);
            descrot << QStringLiteral("(%1,'%2',%3,1,5,'%4')")
                           .arg(r)
                           .arg(s, 3, 10, QChar('0'))
                           .arg(locationCode(r, s))
                           .arg(name);
            // Each leg in the direction the rounds walk it, the last stop back to the first.
            const int next = s % kStops + 1;
            distancias << QStringLiteral("('%1 A %2','%3','%4',%5)")
                              .arg(s, 3, 10, QChar('0'))
                              .arg(next, 3, 10, QChar('0'))
                              .arg(location(r, s), location(r, next))
                              .arg(0.15 + ((r * 7 + s * 13) % 30) * 0.05, 0, 'f', 2);
        }
    }
    for (int i = 1; i <= kOtherEvents; ++i) {
        static const char *const names[kOtherEvents] = {"ALARME", "PORTA ABERTA", "LUZ APAGADA", "VISITANTE", "OCORRENCIA"};
        buttons << QStringLiteral("('%1','E','02',%2)").arg(event(i), registered);
        eventos << QStringLiteral("('%1','%2',%3)").arg(QLatin1String(names[i - 1]), event(i), registered);
    }
    for (int c = 1; c <= kCollectors; ++c) {
        coletores << QStringLiteral("('%1','COLETOR %2',%3,%4,%5,'1133334444')")
                         .arg(collector(c))
                         .arg(c, 2, 10, QChar('0'))
                         .arg(registered)
                         .arg(collaboratorCode(c, 0))
                         .arg(route(c));
        for (int k = 0; k < kCollaboratorsPerCollector; ++k) {
            buttons << QStringLiteral("('%1','F','02',%2)").arg(memory(c, k), registered);
            funcs << QStringLiteral("(%1,'VIGILANTE %2','%3','RUA B, %4','%5','SAO PAULO','SP',%6)")
                         .arg(collaboratorCode(c, k))
                         .arg(collaboratorCode(c, k), 3, 10, QChar('0'))
                         .arg(memory(c, k))
                         .arg(collaboratorCode(c, k))
                         .arg(1000 + collaboratorCode(c, k))
                         .arg(registered);
        }
    }
    for (int i = 1; i <= kUnbound; ++i)
        buttons << QStringLiteral("('%1',NULL,'02',%2)").arg(unbound(i), registered);

    auto insert = [&db](const QString &head, const QStringList &rows) {
        for (qsizetype i = 0; i < rows.size(); i += 500)
            exec(db, head + rows.mid(i, 500).join(','));
    };
    insert("insert into buttons (codigo_button, referencia, tipo_button, data_cadastro) values ", buttons);
    insert("insert into eventos (desc_evento, button_evento, data_cadastro) values ", eventos);
    insert("insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia, tempo_locais, tempo_padrao, "
           "t_min_padrao, t_max_padrao, data_cadastro, hora_saida, hora_chegada, empresa, ordemvisitas, "
           "temporoteiro, t_rot_min, t_rot_max) values ", roteiros);
    insert("insert into locais (codigo_local, nome_local, button_local, endereco, complemento, cidade, uf, cep, "
           "data_cadastro) values ", locais);
    insert("insert into descrot (codigo_roteiro, ordem, codigo_local, t_min, t_max, nome_local) values ", descrot);
    insert("insert into distancia (descricao, pontoA, pontoB, km) values ", distancias);
    insert("insert into coletor (codigo_coletor, nome_coletor, data_cadastro, codigo_func, codigo_roteiro, fone) "
           "values ", coletores);
    insert("insert into funcs (codigo_func, nome_func, memoria, endereco, complemento, cidade, uf, data_cadastro) "
           "values ", funcs);
    exec(db, "insert into funcao (codigo, descricao) values ('00001', 'VIGILANTE'), ('00002', 'PORTEIRO'), "
             "('00003', 'SUPERVISOR')");
    QStringList prices;
    for (int year = firstDay.year(); year <= kLastDay.year() + 1; ++year)
        prices << QStringLiteral("('%1-01-01','%1-12-31',%2)").arg(year).arg(1.10 + (year - 2020) * 0.15, 0, 'f', 2);
    insert("insert into precokm (datainicio, datafim, custo) values ", prices);
}

namespace detail {
inline void two(std::string &out, int n)
{
    out += char('0' + n / 10);
    out += char('0' + n % 10);
}
// "yyyy-MM-dd hh:mm:ss" of a day's text and its seconds.
inline void moment(std::string &out, const std::string &dayText, int seconds)
{
    out += dayText;
    two(out, seconds / 3600);
    out += ':';
    two(out, seconds / 60 % 60);
    out += ':';
    two(out, seconds % 60);
}
}  // namespace detail

// Stores the touches of `days` days ending at kLastDay: day by day, the collectors' downloads
// one after another, as the evenings' downloads stored them. `progress(rows)` after each
// statement. Rows go in `batch` rows a statement, committed every `commitEvery` rows. Returns
// the rows stored. Throws DbError.
inline qint64 writeTouches(const QSqlDatabase &db, int days, const std::function<void(qint64)> &progress = {},
                           int batch = 2000, int commitEvery = 100000)
{
    exec(db, "set autocommit = 0");
    exec(db, "set unique_checks = 0");
    exec(db, "set foreign_key_checks = 0");
    BatchInsert insert(db, QStringLiteral("insert into desctot (coletor, data_descarga, button, data_toque, "
                                          "tipo_button, codigo_roteiro, codigo_func) values "),
                       batch);
    qint64 rows = 0, sinceCommit = 0;
    const QDate first = kLastDay.addDays(1 - days);
    for (QDate date = first; date <= kLastDay; date = date.addDays(1)) {
        const std::string dayText = date.toString("yyyy-MM-dd ").toStdString();
        for (int c = 1; c <= kCollectors; ++c) {
            const std::string collectorText = QStringLiteral("'%1','").arg(collector(c)).toStdString();
            std::string downloaded;
            detail::moment(downloaded, dayText, QTime(0, 0).secsTo(downloadMoment(c, date).time()));
            downloaded += "','";
            for (const Touch &t : day(c, date)) {
                std::string &out = insert.row();
                out += collectorText;
                out += downloaded;
                out += t.identifier.toStdString();
                out += "','";
                detail::moment(out, dayText, t.seconds);
                out += "','02',";
                out += std::to_string(t.route);
                out += ',';
                out += std::to_string(t.func);
                insert.endRow();
                ++rows;
                if (++sinceCommit >= commitEvery) {
                    insert.flush();
                    exec(db, "commit");
                    sinceCommit = 0;
                    if (progress)
                        progress(rows);
                }
            }
        }
    }
    insert.flush();
    exec(db, "commit");
    exec(db, "set autocommit = 1");
    exec(db, "set unique_checks = 1");
    exec(db, "set foreign_key_checks = 1");
    if (progress)
        progress(rows);
    return rows;
}

// The tv_ indexes present on desctot's database, as (table, index).
inline QList<std::pair<QString, QString>> tvIndexes(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec("select distinct table_name, index_name from information_schema.statistics where "
                "table_schema = database() and index_name like 'tv\\_%'"))
        throw DbError(Sql::describe(q.lastError()));
    QList<std::pair<QString, QString>> found;
    while (q.next())
        found.append({q.value(0).toString(), q.value(1).toString()});
    return found;
}

// Whether any tv_ index is present.
inline bool indexesPresent(const QSqlDatabase &db) { return !tvIndexes(db).isEmpty(); }

// Drops every tv_ index; returns how many there were.
inline int dropIndexes(const QSqlDatabase &db)
{
    const QList<std::pair<QString, QString>> found = tvIndexes(db);
    for (const auto &[table, index] : found)
        exec(db, QStringLiteral("alter table %1 drop index %2").arg(table, index));
    return int(found.size());
}

}  // namespace History
