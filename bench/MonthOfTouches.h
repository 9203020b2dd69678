#pragma once

// The month the listing benchmarks read: 100,000 touches in March 2024 from 40 collectors (a
// download a day each at 07:00 of the touches since the last one), 8 routes, 100 locations,
// 20 collaborators and 5 events. Each benchmark chooses which identifier a touch reads.
#include "core/db/Sql.h"

#include <QDateTime>
#include <QStringList>
#include <functional>
#include <random>
#include <vector>

namespace MonthOfTouches {

inline QString collector(int i) { return QStringLiteral("COL%1").arg(i, 3, 10, QChar('0')); }
inline QString location(int i) { return QStringLiteral("L%1").arg(i, 5, 10, QChar('0')); }
inline QString memory(int i) { return QStringLiteral("F%1").arg(i, 5, 10, QChar('0')); }
inline QString event(int i) { return QStringLiteral("E%1").arg(i, 5, 10, QChar('0')); }
// An identifier no registry knows.
inline QString unknown(std::mt19937 &random) { return QStringLiteral("X%1").arg(int(random() % 500), 5, 10, QChar('0')); }

// The registries' sizes.
constexpr int kCollectors = 40;
constexpr int kRoutes = 8;
constexpr int kLocations = 100;
constexpr int kCollaborators = 20;
constexpr int kEvents = 5;

// The collectors, locations, collaborators, events and routes.
inline void registries(const QSqlDatabase &db)
{
    for (int i = 1; i <= kCollectors; ++i)
        Sql::exec(db, "insert into coletor (codigo_coletor, nome_coletor) values (:c, :n)",
                  {{":c", collector(i)}, {":n", QStringLiteral("COLETOR %1").arg(i)}});
    for (int i = 1; i <= kLocations; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'L')", {{":c", location(i)}});
        Sql::exec(db, "insert into locais (nome_local, button_local) values (:n, :c)",
                  {{":n", QStringLiteral("PONTO %1").arg(i)}, {":c", location(i)}});
    }
    for (int i = 1; i <= kCollaborators; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'F')", {{":c", memory(i)}});
        Sql::exec(db, "insert into funcs (codigo_func, nome_func, memoria) values (:f, :n, :c)",
                  {{":f", i}, {":n", QStringLiteral("VIGIA %1").arg(i)}, {":c", memory(i)}});
    }
    for (int i = 1; i <= kEvents; ++i) {
        Sql::exec(db, "insert into buttons (codigo_button, referencia) values (:c, 'E')", {{":c", event(i)}});
        Sql::exec(db, "insert into eventos (desc_evento, button_evento) values (:n, :c)",
                  {{":n", QStringLiteral("EVENTO %1").arg(i)}, {":c", event(i)}});
    }
    for (int r = 1; r <= kRoutes; ++r)
        Sql::exec(db, "insert into roteiros (codigo_roteiro, nome_roteiro) values (:r, :n)",
                  {{":r", r}, {":n", QStringLiteral("RONDA %1").arg(r)}});
}

constexpr int kTouches = 100000;

// One kind of identifier a touch reads and the share of a hundred touches that read it. The
// identifier comes from the generator and the collector's collaborator.
struct Share {
    int percent;
    std::function<QString(std::mt19937 &, int func)> identifier;
};

inline QString anyLocation(std::mt19937 &random, int) { return location(1 + int(random() % kLocations)); }
inline QString ownMemory(std::mt19937 &, int func) { return memory(func); }
inline QString anyEvent(std::mt19937 &random, int) { return event(1 + int(random() % kEvents)); }

// The month's touches, each reading one of `shares` drawn by its percentage, the hundred's
// remainder an identifier no registry knows. The generator is seeded the same every time, so
// every run reads the same month.
inline void touches(const QSqlDatabase &db, const std::vector<Share> &shares)
{
    std::mt19937 random(7);
    auto identifier = [&](std::mt19937 &generator, int func) {
        int pick = int(generator() % 100);
        for (const Share &share : shares) {
            if (pick < share.percent)
                return share.identifier(generator, func);
            pick -= share.percent;
        }
        return unknown(generator);
    };
    const QDateTime start(QDate(2024, 3, 1), QTime(7, 0));
    QStringList values;
    auto flush = [&] {
        if (!values.isEmpty())
            Sql::exec(db, "insert into desctot (coletor, data_descarga, button, data_toque, tipo_button, "
                          "codigo_roteiro, codigo_func) values " + values.join(','));
        values.clear();
    };
    const int perCollector = kTouches / kCollectors;
    for (int c = 1; c <= kCollectors; ++c) {
        const int func = 1 + c % kCollaborators;
        const int route = 1 + c % kRoutes;
        for (int t = 0; t < perCollector; ++t) {
            const QDateTime when = start.addSecs(qint64(t) * 30 * 86400 / perCollector + c);
            const QDateTime download(when.date().addDays(1), QTime(7, 0));
            values << QStringLiteral("('%1','%2','%3','%4','',%5,%6)")
                          .arg(collector(c), download.toString("yyyy-MM-dd hh:mm:ss"), identifier(random, func),
                               when.toString("yyyy-MM-dd hh:mm:ss"))
                          .arg(route)
                          .arg(func);
            if (values.size() >= 2000)
                flush();
        }
    }
    flush();
}

}  // namespace MonthOfTouches
