#pragma once

#include <QSqlDatabase>
#include <QString>

// A route's stops (descrot), numbered "001".."N" in the order they are visited. Every change is
// one transaction, run again whole when a cluster's node undid it for another node's write.
// Two workstations may still give two stops the same number at the same moment (through two
// nodes of a cluster, nothing is locked across nodes, and the table has no unique key that
// would make one of them fail): whoever commits second sees both and numbers the route again.
namespace RouteStops {

QString position(int n);

// Adds `location` as the route's last stop (the route's number of stops plus one). Returns the
// number it ends with.
QString add(const QSqlDatabase &db, int route, int location, const QString &name);

// Removes the stop `cod` (by its own key: two stops sharing a number never go together) and
// numbers the rest of its route again from 001.
void remove(const QSqlDatabase &db, int cod);

// Swaps the stop `cod` with the one before (direction -1) or after (+1) it, as they stand in the
// database now. False when there is none.
bool move(const QSqlDatabase &db, int cod, int direction);

// Removes the route and its stops together, or neither.
void removeRoute(const QSqlDatabase &db, int route);

// Numbers the route's stops 001..N again, in their order (a shared number in the order they
// were added), when two of them share a number. True when it had to.
bool mend(const QSqlDatabase &db, int route);

}  // namespace RouteStops
