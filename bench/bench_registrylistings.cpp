// The registries' listings and the route listing against the floor: each engine's rows (with
// the identifiers' owner names looked up one by one, the routes' stops and reference events
// read route by route) and, as baseline, one query that reads the same rows in the same run.
// Data: 100,002 identifiers (33,334 locations, collaborators and events each, a tenth of those
// owners deleted), 10,000 routes of 20 stops.
//
// Usage: bench_registrylistings HOST PORT USER PASSWORD DATABASE [RUNS]
// A scratch database DATABASE_registries is created with the schema and dropped at the end.
#include "BenchSupport.h"
#include "listings/RegistryListings.h"
#include "listings/RouteListing.h"
#include "platform/MessageService.h"

#include <cstdio>

namespace {

using Bench::readAll;

constexpr int kPerKind = 33334;
constexpr int kRoutes = 10000;
constexpr int kStops = 20;

void insertAll(const QSqlDatabase &db, const QString &head, const QStringList &values)
{
    for (qsizetype i = 0; i < values.size(); i += 2000)
        Sql::exec(db, head + values.mid(i, 2000).join(','));
}

void populate(const QSqlDatabase &db)
{
    QStringList buttons, locais, funcs, eventos, roteiros, descrot;
    const char kinds[] = {'L', 'F', 'E'};
    for (int i = 0; i < kPerKind; ++i)
        for (char kind : kinds) {
            const QString code = QStringLiteral("%1%2").arg(kind).arg(i, 5, 10, QChar('0'));
            buttons << QStringLiteral("('%1','%2','2024-01-01 10:00:00')").arg(code).arg(kind);
            if (i % 10 == 9)
                continue;  // an owner since deleted
            const QString row = QStringLiteral("('NOME %1','%2','2024-01-01 10:00:00')").arg(code, code);
            (kind == 'L' ? locais : kind == 'F' ? funcs : eventos) << row;
        }
    insertAll(db, "insert into buttons (codigo_button, referencia, data_cadastro) values ", buttons);
    insertAll(db, "insert into locais (nome_local, button_local, data_cadastro) values ", locais);
    insertAll(db, "insert into funcs (nome_func, memoria, data_cadastro) values ", funcs);
    insertAll(db, "insert into eventos (desc_evento, button_evento, data_cadastro) values ", eventos);
    for (int r = 1; r <= kRoutes; ++r) {
        roteiros << QStringLiteral("(%1,'RONDA %1','E%2',0,0,'5','15')").arg(r).arg(r, 5, 10, QChar('0'));
        for (int s = 1; s <= kStops; ++s)
            descrot << QStringLiteral("(%1,'%2','PONTO %3',%4,%5)")
                           .arg(r)
                           .arg(s, 3, 10, QChar('0'))
                           .arg(s)
                           .arg(s % 5)
                           .arg(s % 5 + 5);
    }
    insertAll(db, "insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia, tempo_locais, "
                  "tempo_padrao, t_min_padrao, t_max_padrao) values ", roteiros);
    insertAll(db, "insert into descrot (codigo_roteiro, ordem, nome_local, t_min, t_max) values ", descrot);
    Sql::exec(db, "analyze table buttons, locais, funcs, eventos, roteiros, descrot");
}

}  // namespace

int main(int argc, char *argv[])
{
    return Bench::run(argc, argv, {"bench_registrylistings HOST PORT USER PASSWORD DATABASE [RUNS]", "registries", populate},
                      [](TdmzDados &dm, const Bench::Session &session) {
        const int runs = session.runs;
        const QSqlDatabase db = dm.db();
        std::printf("registry listings over %d identifiers and %d routes of %d stops; median of %d runs "
                    "(baseline: one query reading the same rows)\n",
                    3 * kPerKind, kRoutes, kStops, runs);
        Bench::compare(runs, {
            {"identifiers (owner names by reference)",
             [&] { return int(RegistryListings(dm).run(RegistryListing::Identifiers).rows().size()); },
             [&] {
                 return readAll(db, "select b.*, coalesce(e.desc_evento, f.nome_func, l.nome_local) from buttons b "
                                    "left join eventos e on b.referencia = 'E' and e.button_evento = b.codigo_button "
                                    "left join funcs f on b.referencia = 'F' and f.memoria = b.codigo_button "
                                    "left join locais l on b.referencia = 'L' and l.button_local = b.codigo_button "
                                    "order by b.codigo_button");
             }},
            {"locations",
             [&] { return int(RegistryListings(dm).run(RegistryListing::Locations).rows().size()); },
             [&] { return readAll(db, "SELECT * FROM locais ORDER BY nome_local"); }},
            {"routes (stops and event per route)",
             [&] { return int(RouteListing::printed(RouteListing(dm).routes(), false).rows().size()); },
             [&] {
                 return readAll(db, "select * from roteiros r left join eventos e on e.button_evento = "
                                    "r.button_referencia left join descrot d on d.codigo_roteiro = "
                                    "r.codigo_roteiro order by r.nome_roteiro, d.ordem");
             }},
        }, {40, "listing", "rows"});
        return 0;
    });
}
