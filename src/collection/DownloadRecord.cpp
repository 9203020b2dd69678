#include "collection/DownloadRecord.h"

#include "core/db/Cluster.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Sql.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace DownloadRecord {

QString fingerprint(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Não foi possível ler o arquivo %1: %2").arg(path, file.errorString());
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        if (error)
            *error = QStringLiteral("Não foi possível ler o arquivo %1: %2").arg(path, file.errorString());
        return {};
    }
    return QString::fromLatin1(hash.result().toHex());
}

std::optional<Stored> find(const QSqlDatabase &db, const QString &fingerprint)
{
    // The moment as text, read as it was written: no time zone comes between.
    // On a cluster, what the other nodes committed before this read is seen.
    Sql::causalReads(db);
    const QString sql = QStringLiteral("select date_format(momento, '%d/%m/%Y %H:%i:%s'), toques, coletor, "
                                       "arquivo from tv_descargas where impressao = ? order by repeticao limit 1");
    for (int attempt = 0;; ++attempt) {
        Sql::Query q(db);
        if (q.prepare(sql)) {
            q.addBindValue(fingerprint);
            if (q.exec()) {
                if (!q.next())
                    return std::nullopt;
                return Stored{q.value(0).toString(), q.value(1).toInt(), q.value(2).toString(),
                              q.value(3).toString()};
            }
        }
        // A database made before the table existed gets it on first use (not in a transaction).
        if (attempt == 0 && q.lastError().nativeErrorCode() == QLatin1String("1146")) {
            DatabaseSetup::addProgramTables(db);
            continue;
        }
        const QSqlError error = q.lastError();
        if (Sql::isConnectionLost(error)) {
            Sql::failover(db);
            throw Sql::ConnectionLost(Sql::describe(error));
        }
        if (Sql::isRetryable(error))
            throw Sql::Conflict(Sql::describe(error));
        throw DbError(Sql::describe(error));
    }
}

bool exists(const QSqlDatabase &db, const QString &fingerprint, int repetition)
{
    return Sql::scalar(db,
                       QStringLiteral("select count(*) from tv_descargas where impressao = :pimpressao "
                                      "and repeticao = :prepeticao"),
                       {{"pimpressao", fingerprint}, {"prepeticao", repetition}})
               .toInt() > 0;
}

int nextRepetition(const QSqlDatabase &db, const QString &fingerprint)
{
    const QVariant last = Sql::scalar(db,
                                      QStringLiteral("select max(repeticao) from tv_descargas where "
                                                     "impressao = :pimpressao"),
                                      {{"pimpressao", fingerprint}});
    return last.isNull() ? 0 : last.toInt() + 1;
}

void write(const QSqlDatabase &db, const QString &fingerprint, int repetition, const QString &model,
           const QString &collector, const QString &moment, const QString &file, int touches)
{
    Sql::Query q(db);
    if (!q.prepare(QStringLiteral("insert into tv_descargas (impressao, repeticao, modelo, coletor, "
                                  "momento, arquivo, toques) values (:pimpressao, :prepeticao, "
                                  ":pmodelo, :pcoletor, str_to_date(:pmomento, '%d/%m/%Y %H:%i:%s'), "
                                  ":parquivo, :ptoques)")))
        throw DbError(Sql::describe(q.lastError()));
    q.bindValue(QStringLiteral(":pimpressao"), fingerprint);
    q.bindValue(QStringLiteral(":prepeticao"), repetition);
    // Texts never bound as NULL: an empty collector is an empty text.
    const auto text = [](const QString &value) { return QVariant(QString::fromLatin1("") + value); };
    q.bindValue(QStringLiteral(":pmodelo"), text(model));
    q.bindValue(QStringLiteral(":pcoletor"), text(collector.left(12)));
    q.bindValue(QStringLiteral(":pmomento"), moment);
    q.bindValue(QStringLiteral(":parquivo"), text(file.right(255)));
    q.bindValue(QStringLiteral(":ptoques"), touches);
    if (q.exec())
        return;
    const QSqlError error = q.lastError();
    if (error.nativeErrorCode() == QLatin1String("1062"))
        throw AlreadyRecorded{};
    if (Sql::isConnectionLost(error))
        throw Sql::ConnectionLost(Sql::describe(error));
    if (Sql::isRetryable(error))
        throw Sql::Conflict(Sql::describe(error));
    throw DbError(Sql::describe(error));
}

Outcome settle(const QSqlDatabase &db, const QVariant &lostConnection, const QString &fingerprint,
               int repetition)
{
    if (!Sql::settleLostConnection(db, lostConnection))
        return Outcome::Unknown;
    try {
        return exists(db, fingerprint, repetition) ? Outcome::Stored : Outcome::NotStored;
    } catch (const DbError &) {
        return Outcome::Unknown;
    }
}

QString describe(const Stored &stored)
{
    return QStringLiteral("%1, %2 toques").arg(stored.moment).arg(stored.touches);
}

}  // namespace DownloadRecord
