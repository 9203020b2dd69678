#include "collection/CollectionImport.h"

#include "collection/BatchInsert.h"
#include "collection/DownloadRecord.h"
#include "collection/DumpFormats.h"
#include "core/db/Cluster.h"
#include "core/db/DatabaseSetup.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/SystemServices.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

using namespace DumpFormats;

namespace {

const QString kInsert = QStringLiteral(
    "insert into desctot (coletor, data_descarga, button, data_toque) values (:p1, :p2, :p3, :p4)");

// A touch moment at whole minutes from the positions of a touch line, as the text the server reads.
std::optional<QString> touchMoment(const QString &line)
{
    const int y = number(line, 2, 5), mo = number(line, 6, 7), d = number(line, 8, 9);
    const int h = number(line, 10, 11), mi = number(line, 12, 13);
    const QDate date(y, mo, d);
    const QTime time(h, mi);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QDateTime wallClockMoment(const QDateTime &moment)
{
    const QTime t = moment.time();
    return QDateTime(moment.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
}

// A moment as the server reads a date-time text: bound as text, no time zone comes between.
QString wallClock(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

}  // namespace

ImportResult CollectionImport::importFile(const QString &path, bool again)
{
    ImportResult result;
    DumpReader reader(path);
    if (const QString error = reader.open(); !error.isEmpty()) {
        result.error = error;
        return result;
    }
    result.opened = true;
    const QString fingerprint = DownloadRecord::fingerprint(path, &result.error);
    if (fingerprint.isEmpty()) {
        result.opened = false;
        return result;
    }
    QList<QVariantList> rows;
    QString firstCollector;
    if (!readTouches(reader, rows, firstCollector, result))
        return result;
    try {
        int repetition = 0;
        if (const auto earlier = DownloadRecord::find(m_dm.db(), fingerprint)) {
            result.storedEarlierText = DownloadRecord::describe(*earlier);
            if (!again) {
                result.storedEarlier = true;
                return result;
            }
            repetition = DownloadRecord::nextRepetition(m_dm.db(), fingerprint);
        }
        // Run again whole when the server undid it (a cluster's conflict) or was lost before
        // the commit; an import made again whose repetition another workstation took meanwhile
        // takes the next one.
        for (int attempt = 1;; ++attempt) {
            try {
                const QSqlDatabase store = m_dm.db();
                Sql::Transaction transaction(store);
                if (!transaction.active())
                    throw Sql::ConnectionLost(QStringLiteral("Não foi possível iniciar a gravação no banco de dados."));
                const QDateTime now = SystemServices::now();
                DownloadRecord::write(store, fingerprint, repetition, QStringLiteral("importacao"),
                                      firstCollector, now.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")),
                                      QFileInfo(path).fileName(), int(rows.size()));
                BatchInsert insert(store,
                                   QStringLiteral("insert into desctot (coletor, data_descarga, button, data_toque) values"),
                                   kInsert, {":p1", ":p2", ":p3", ":p4"});
                insert.store(rows);
                result.imported = insert.stored();
                result.refused = insert.refused();
                result.skipped += insert.refused();
                try {
                    transaction.commit();
                } catch (const CommitOutcomeUnknown &lost) {
                    const auto outcome = DownloadRecord::settle(m_dm.db(), lost.connectionId(), fingerprint, repetition);
                    if (outcome == DownloadRecord::Outcome::NotStored)
                        throw;
                    if (outcome == DownloadRecord::Outcome::Unknown) {
                        result.failed = true;
                        result.imported = 0;
                        result.error = lost.text() +
                                       QStringLiteral("\nNão foi possível saber se o arquivo foi importado: "
                                                      "importe-o de novo; um arquivo já importado não é "
                                                      "gravado outra vez.");
                        return result;
                    }
                }
                break;
            } catch (const DownloadRecord::AlreadyRecorded &) {
                if (repetition == 0 || attempt >= Sql::kTransactionAttempts)
                    throw;
                repetition = DownloadRecord::nextRepetition(m_dm.db(), fingerprint);
            } catch (const Sql::Conflict &) {
                if (attempt >= Sql::kTransactionAttempts)
                    throw;
                Sql::pauseBeforeRetry(attempt);
            } catch (const Sql::ConnectionLost &) {
                if (attempt >= Sql::kTransactionAttempts)
                    throw;
                Sql::pauseBeforeRetry(attempt);
            } catch (const CommitOutcomeUnknown &) {  // settled: not imported
                if (attempt >= Sql::kTransactionAttempts)
                    throw;
                Sql::pauseBeforeRetry(attempt);
            } catch (const InsertFailed &e) {
                if (!(e.retryable || e.connectionLost) || attempt >= Sql::kTransactionAttempts)
                    throw;
                Sql::pauseBeforeRetry(attempt);
            }
        }
    } catch (const DownloadRecord::AlreadyRecorded &) {
        // Another run imported this very file meanwhile.
        result.storedEarlier = true;
        result.imported = 0;
    } catch (const InsertFailed &e) {
        result.failed = true;
        result.imported = 0;
        result.error = e.text + QStringLiteral("\nNenhum registro foi importado.");
    } catch (const DbError &e) {
        result.failed = true;
        result.imported = 0;
        result.error = e.text() + QStringLiteral("\nNenhum registro foi importado.");
    }
    return result;
}

bool CollectionImport::readTouches(DumpReader &reader, QList<QVariantList> &rows, QString &firstCollector,
                                   ImportResult &result)
{
    QString collector = QString::fromLatin1("");
    QString downloaded = wallClock(SystemServices::now());
    bool anyHeader = false;
    bool orphaned = false;  // after a header that does not read, up to the next one that does
    QString line;
    QByteArray raw;
    while (reader.next(line, raw)) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed == QStringLiteral("\x1a") || isTrailer(line))
            continue;
        if (line.startsWith(u'H')) {
            const auto stamp = outsideFormat(line) ? std::nullopt
                                                   : DateTimeText::parse(field(line, 3, 21).trimmed());
            if (!stamp) {
                ++result.skipped;
                orphaned = true;
                continue;
            }
            orphaned = false;
            downloaded = wallClock(*stamp);
            collector = field(line, 23, 28).trimmed();
            if (!anyHeader)
                firstCollector = collector;
            anyHeader = true;
            continue;
        }
        // Any other first character is a touch line, "T" included: this format has no trailer
        // but the terminal dump's own "T 000", passed over above.
        const auto touched = outsideFormat(line) ? std::nullopt : touchMoment(line);
        const QString identifier = field(line, 26, 31).trimmed();
        if (orphaned || !touched || identifier.isEmpty()) {
            ++result.skipped;
            continue;
        }
        rows.append({QVariant(collector), QVariant(downloaded), QVariant(identifier), QVariant(*touched)});
    }
    if (!reader.error().isEmpty()) {
        result.failed = true;
        result.error = reader.error() + QStringLiteral("\nNenhum registro foi importado.");
        return false;
    }
    return true;
}

QString CollectionImport::summary(const ImportResult &result)
{
    QString text = QStringLiteral("Fim da importação. Registros importados: %1").arg(result.imported);
    if (result.skipped > 0)
        text += QStringLiteral("\nLinhas ignoradas (não são toques nem cabeçalhos legíveis): %1")
                    .arg(result.skipped);
    return text;
}

namespace DownloadDeletion {

QList<Download> list(TdmzDados &dm, const QDateTime &limit)
{
    QSqlQuery q = Sql::exec(dm.db(),
                            QStringLiteral("SELECT DISTINCT data_descarga, coletor from desctot\n"
                                           " where data_descarga <= :pdata_descarga\n"
                                           " order by data_descarga"),
                            {{"pdata_descarga", QVariant(wallClockMoment(limit))}});
    QList<Download> downloads;
    while (q.next())
        downloads.append({q.value(0).toDateTime(), q.value(1).toString()});
    return downloads;
}

int deleteUpTo(TdmzDados &dm, const QDateTime &limit)
{
    QSqlQuery q = Sql::exec(dm.db(), QStringLiteral("delete from desctot where data_descarga <= :pdata_descarga"),
                            {{"pdata_descarga", QVariant(wallClockMoment(limit))}});
    return q.numRowsAffected();
}

}  // namespace DownloadDeletion
