#include "registries/RouteStops.h"

#include "core/db/Cluster.h"
#include "core/db/Sql.h"

#include <QList>
#include <QSqlQuery>
#include <utility>

namespace RouteStops {

namespace {

struct Stop {
    int cod = 0;
    QString order;
};

// The route's stops in their visiting order, locked until the transaction ends, so a second
// change to the same route on this server waits for the first.
QList<Stop> lockedStops(const QSqlDatabase &db, int route)
{
    QSqlQuery q = Sql::exec(db,
                            QStringLiteral("select cod, ordem from descrot where codigo_roteiro = "
                                           ":pcodigo_roteiro order by ordem, cod for update"),
                            {{"pcodigo_roteiro", route}});
    QList<Stop> stops;
    while (q.next())
        stops.append({q.value(0).toInt(), q.value(1).toString()});
    return stops;
}

// Writes 001..N over the stops in the given order; a stop that already has its number is not
// written, so a cluster sees only the rows that changed.
void number(const QSqlDatabase &db, const QList<Stop> &stops)
{
    for (int i = 0; i < stops.size(); ++i) {
        const QString wanted = position(i + 1);
        if (stops[i].order != wanted)
            Sql::exec(db, QStringLiteral("UPDATE descrot SET ordem= :pordem WHERE cod = :pcod"),
                      {{"pordem", wanted}, {"pcod", stops[i].cod}});
    }
}

int routeOf(const QSqlDatabase &db, int cod)
{
    const QVariant route = Sql::scalar(db, QStringLiteral("select codigo_roteiro from descrot where cod = :pcod"),
                                       {{"pcod", cod}});
    return route.isValid() && !route.isNull() ? route.toInt() : -1;
}

}  // namespace

QString position(int n) { return QStringLiteral("%1").arg(n, 3, 10, QChar('0')); }

QString add(const QSqlDatabase &db, int route, int location, const QString &name)
{
    QString order;
    Sql::retrying(db, [&] {
        Sql::Transaction transaction(db);
        order = position(int(lockedStops(db, route).size()) + 1);
        // The stop carries the location's whole code: cutting it to four characters would
        // point the stop at another location.
        Sql::exec(db,
                  QStringLiteral("INSERT INTO descrot (") +
                      QStringLiteral(" codigo_roteiro, ordem, codigo_local, t_min, t_max, nome_local) ") +
                      QStringLiteral(" VALUES (") +
                      QStringLiteral(":pcodigo_roteiro, :pordem, :pcodigo_local, :pt_min, :pt_max, :pnome_local)"),
                  {{"pcodigo_roteiro", route},
                   {"pordem", order},
                   {"pcodigo_local", location},
                   {"pt_min", 0},
                   {"pt_max", 0},
                   {"pnome_local", name}});
        transaction.commit();
    });
    if (mend(db, route))
        order = Sql::scalar(db, QStringLiteral("select ordem from descrot where codigo_roteiro = :pcodigo_roteiro "
                                               "order by ordem desc limit 1"),
                            {{"pcodigo_roteiro", route}})
                    .toString();
    return order;
}

void remove(const QSqlDatabase &db, int cod)
{
    Sql::retrying(db, [&] {
        const int route = routeOf(db, cod);
        if (route < 0)
            return;  // already gone (another workstation removed it)
        // Removal and renumbering together: a failure leaves no gap behind.
        Sql::Transaction transaction(db);
        Sql::exec(db, QStringLiteral("delete from descrot where cod = :pcod"), {{"pcod", cod}});
        number(db, lockedStops(db, route));
        transaction.commit();
    });
}

bool move(const QSqlDatabase &db, int cod, int direction)
{
    bool moved = false;
    Sql::retrying(db, [&] {
        moved = false;
        const int route = routeOf(db, cod);
        if (route < 0)
            return;
        Sql::Transaction transaction(db);
        QList<Stop> stops = lockedStops(db, route);
        int at = -1;
        for (int i = 0; i < stops.size(); ++i)
            if (stops[i].cod == cod)
                at = i;
        const int other = at + direction;
        if (at < 0 || other < 0 || other >= stops.size())
            return;
        // The two stops trade places and every stop keeps or gets the number of its place, so
        // two stops that shared a number are told apart on the way.
        std::swap(stops[at], stops[other]);
        number(db, stops);
        transaction.commit();
        moved = true;
    });
    return moved;
}

void removeRoute(const QSqlDatabase &db, int route)
{
    Sql::retrying(db, [&] {
        Sql::Transaction transaction(db);
        Sql::exec(db, QStringLiteral("delete from descrot where codigo_roteiro = :pcodigo_roteiro"),
                  {{"pcodigo_roteiro", route}});
        Sql::exec(db, QStringLiteral("delete from roteiros where codigo_roteiro = :pcodigo_roteiro"),
                  {{"pcodigo_roteiro", route}});
        transaction.commit();
    });
}

bool mend(const QSqlDatabase &db, int route)
{
    // A stop another node committed before this one is here already: the node commits in the
    // cluster's order. The one that commits second always finds the shared number, and looks
    // again after numbering: a stop added elsewhere meanwhile may have taken a number again.
    const auto shared = [&] {
        const QVariant order = Sql::scalar(db,
                                           QStringLiteral("select ordem from descrot where codigo_roteiro = "
                                                          ":pcodigo_roteiro group by ordem having count(*) > 1 limit 1"),
                                           {{"pcodigo_roteiro", route}});
        return order.isValid() && !order.isNull();
    };
    bool mended = false;
    for (int round = 0; round < Sql::kTransactionAttempts && shared(); ++round) {
        Sql::retrying(db, [&] {
            Sql::Transaction transaction(db);
            number(db, lockedStops(db, route));
            transaction.commit();
        });
        mended = true;
    }
    return mended;
}

}  // namespace RouteStops
