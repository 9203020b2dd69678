#include "collection/CollectionImport.h"

#include "collection/DumpFormats.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/SystemServices.h"

#include <QSqlError>
#include <QSqlQuery>

using namespace DumpFormats;

namespace {

const QString kInsert = QStringLiteral(
    "insert into desctot (coletor, data_descarga, button, data_toque) values (:p1, :p2, :p3, :p4)");

// A touch moment at whole minutes from the positions of a touch line.
std::optional<QDateTime> touchMoment(const QString &line)
{
    const int y = number(line, 2, 5), mo = number(line, 6, 7), d = number(line, 8, 9);
    const int h = number(line, 10, 11), mi = number(line, 12, 13);
    const QDate date(y, mo, d);
    const QTime time(h, mi);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

QDateTime wallClock(const QDateTime &moment)
{
    const QTime t = moment.time();
    return QDateTime(moment.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
}

}  // namespace

ImportResult CollectionImport::importFile(const QString &path)
{
    ImportResult result;
    DumpReader reader(path);
    if (const QString error = reader.open(); !error.isEmpty()) {
        result.error = error;
        return result;
    }
    result.opened = true;
    QString collector = QString::fromLatin1("");
    QDateTime downloaded = wallClock(SystemServices::now());
    QString line;
    QByteArray raw;
    try {
        Sql::Transaction transaction(m_dm.db());
        if (!transaction.active())
            throw DbError(QStringLiteral("Não foi possível iniciar a gravação no banco de dados."));
        QSqlQuery insert(m_dm.db());
        if (!insert.prepare(kInsert))
            throw DbError(Sql::describe(insert.lastError()));
        while (reader.next(line, raw)) {
            const QString trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed == QStringLiteral("\x1a") || line.startsWith(u'T'))
                continue;
            if (hasControlCharacters(line)) {
                ++result.skipped;
                continue;
            }
            if (line.startsWith(u'H')) {
                const auto stamp = DateTimeText::parse(field(line, 3, 21).trimmed());
                if (!stamp) {
                    ++result.skipped;
                    continue;
                }
                downloaded = wallClock(*stamp);
                collector = field(line, 23, 28).trimmed();
                continue;
            }
            const auto touched = touchMoment(line);
            const QString identifier = field(line, 26, 31).trimmed();
            if (!touched || identifier.isEmpty()) {
                ++result.skipped;
                continue;
            }
            insert.bindValue(QStringLiteral(":p1"), QVariant(collector));
            insert.bindValue(QStringLiteral(":p2"), QVariant(downloaded));
            insert.bindValue(QStringLiteral(":p3"), QVariant(identifier));
            insert.bindValue(QStringLiteral(":p4"), QVariant(*touched));
            if (insert.exec()) {
                ++result.imported;
                continue;
            }
            const QSqlError error = insert.lastError();
            if (Sql::isConnectionLost(error))
                throw DbError(Sql::describe(error));
            ++result.refused;
            ++result.skipped;
        }
        if (!reader.error().isEmpty())
            throw DbError(reader.error());
        transaction.commit();
    } catch (const DbError &e) {
        result.failed = true;
        result.imported = 0;
        result.error = e.text() + QStringLiteral("\nNenhum registro foi importado.");
    }
    return result;
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
                            {{"pdata_descarga", QVariant(wallClock(limit))}});
    QList<Download> downloads;
    while (q.next())
        downloads.append({q.value(0).toDateTime(), q.value(1).toString()});
    return downloads;
}

int deleteUpTo(TdmzDados &dm, const QDateTime &limit)
{
    QSqlQuery q = Sql::exec(dm.db(), QStringLiteral("delete from desctot where data_descarga <= :pdata_descarga"),
                            {{"pdata_descarga", QVariant(wallClock(limit))}});
    return q.numRowsAffected();
}

}  // namespace DownloadDeletion
