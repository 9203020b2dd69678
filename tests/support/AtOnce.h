#pragma once

#include "core/db/Sql.h"

#include <QList>
#include <QMutex>
#include <QStringList>
#include <QThread>
#include <functional>
#include <memory>

// Several workstations at the same moment: `work(db, i)` runs on a thread of its own for each
// server in `where`, on a connection of its own to it, all started together. Returns what
// failed (a connection refused, a DbError thrown), empty when every one finished.
inline QStringList atOnce(const QList<ConnectionParams> &where,
                          const std::function<void(const QSqlDatabase &, int)> &work, int timeoutMs = 120000)
{
    QStringList failures;
    QMutex guard;
    QList<std::shared_ptr<QThread>> stations;
    for (int i = 0; i < where.size(); ++i)
        stations << std::shared_ptr<QThread>(QThread::create([&, i] {
            const QString name = QStringLiteral("atonce%1").arg(i);
            try {
                const QString error = Sql::open(name, where[i]);
                if (!error.isEmpty())
                    throw DbError(error);
                work(QSqlDatabase::database(name, false), i);
            } catch (const DbError &e) {
                QMutexLocker lock(&guard);
                failures << e.text();
            }
            Sql::close(name);
        }));
    for (const auto &t : stations)
        t->start();
    for (const auto &t : stations)
        if (!t->wait(timeoutMs))
            failures << QStringLiteral("still running after %1 ms").arg(timeoutMs);
    return failures;
}
