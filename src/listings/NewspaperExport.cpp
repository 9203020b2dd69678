#include "listings/NewspaperExport.h"

#include "collection/ClassifyIdentifier.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/OutputFile.h"
#include "platform/Windows1252.h"

#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString dateTimeField(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyyMMdd;hhmmss"));
}

QDateTime wallClock(const QDateTime &moment)
{
    return QDateTime(moment.date(), moment.time(), Qt::UTC);
}

}  // namespace

QString NewspaperExport::locationCode(const QString &complemento)
{
    return complemento.left(6).rightJustified(6, u'0');
}

QDate NewspaperExport::editionDate(const QString &code, const QDate &touched)
{
    const QString day = code.mid(2, 2), month = code.mid(4, 2);
    const QString key = month + u'/' + day;
    const int year = key > touched.toString(QStringLiteral("MM/dd")) ? touched.year() - 1 : touched.year();
    bool dayOk = false, monthOk = false;
    const int d = day.toInt(&dayOk), m = month.toInt(&monthOk);
    if (!dayOk || !monthOk || day.size() != 2 || month.size() != 2)
        return {};
    return QDate(year, m, d);
}

NewspaperExportResult NewspaperExport::run(const NewspaperExportInputs &in)
{
    NewspaperExportResult result;
    // Written beside the file and put in its place only when whole, so a failed write leaves
    // the old file as it was.
    OutputFile file(in.path);
    if (!file.begin()) {
        result.error = QStringLiteral("Não foi possível criar o arquivo %1: %2")
                           .arg(QDir::toNativeSeparators(in.path), file.reason());
        return result;
    }
    QSqlQuery rows = Sql::exec(m_dm.db(),
                               QStringLiteral("select * from desctot where coletor = :pcoletor and "
                                              "data_descarga between :dini and :Dfim order by cod"),
                               {{"pcoletor", in.collector},
                                {"dini", QVariant(wallClock(in.from))},
                                {"Dfim", QVariant(wallClock(in.to))}});
    RegistryLookups lookups(m_dm.db());
    bool opening = true;
    QString productCode, productNumber, locationCode, openLocation;
    QDateTime locationTime;
    QByteArray out;
    const auto write = [&](const QString &record) {
        out += Windows1252::encode(record) + "\r\n";
        ++result.records;
    };
    const int button = rows.record().indexOf(QStringLiteral("button"));
    const int collectorField = rows.record().indexOf(QStringLiteral("coletor"));
    const int downloadedField = rows.record().indexOf(QStringLiteral("data_descarga"));
    const int touchedField = rows.record().indexOf(QStringLiteral("data_toque"));
    QString stop;
    while (stop.isEmpty() && rows.next()) {
        ++result.rows;
        const QString id = rows.value(button).toString();
        const QDateTime touched = rows.value(touchedField).toDateTime();
        const QChar first = id.isEmpty() ? QChar() : id.at(0);
        if (first == u'0') {
            const QDate edition = editionDate(id, touched.date());
            if (!edition.isValid()) {
                stop = QStringLiteral("'%1/%2' não é uma data válida (identificador %3)")
                           .arg(id.mid(2, 2), id.mid(4, 2), id);
                break;
            }
            write(QStringLiteral("R;") + dateTimeField(touched) + u';' +
                  edition.toString(QStringLiteral("yyyyMMdd")) + u';' + locationCode + u';' +
                  productCode + u';' + productNumber + u';');
            openLocation.clear();
        } else if (first == u'3' || first == u'4') {
            productCode = first == u'3' ? QStringLiteral("00089") : QStringLiteral("00158");
            productNumber = id.mid(1, 5);
        } else if (!id.isEmpty() && lookups.CountByField(id, QStringLiteral("codigo_button"),
                                                         QStringLiteral("buttons")) > 0) {
            const auto owner = lookups.FindByField(id, QStringLiteral("codigo_button"), QStringLiteral("buttons"));
            const QString mark = owner ? owner->value(QStringLiteral("referencia")).toString().left(1) : QString();
            if (mark == u'E') {
                write((opening ? QStringLiteral("A;") : QStringLiteral("Z;")) +
                      rows.value(collectorField).toString() + u';' +
                      dateTimeField(rows.value(downloadedField).toDateTime()) + u';' +
                      dateTimeField(touched) + QStringLiteral(";;"));
                opening = !opening;
            } else if (mark == u'L') {
                if (!openLocation.isEmpty())
                    write(QStringLiteral("E;") + dateTimeField(locationTime) + u';' + openLocation +
                          QStringLiteral(";;;"));
                const auto place = lookups.FindByField(id, QStringLiteral("button_local"), QStringLiteral("locais"));
                locationCode = NewspaperExport::locationCode(
                    place ? place->value(QStringLiteral("complemento")).toString() : QString());
                openLocation = locationCode;
                locationTime = touched;
            }
        }
        if (out.size() > (1 << 16)) {
            if (file.write(out) != out.size())
                break;  // the failure is told once the loop is left
            out.clear();
        }
    }
    // A code that is no date stops the export, and what was exported before it is still
    // written, to show how far it went. A failed write keeps nothing.
    const bool written = file.write(out) == out.size() && file.commit();
    if (!written) {
        result.error = QStringLiteral("Erro ao gravar o arquivo %1: %2").arg(QDir::toNativeSeparators(in.path), file.reason());
        if (!file.isDirect())
            result.error += file.existed() ? QString::fromUtf8("\nO arquivo ficou como estava.")
                                           : QString::fromUtf8("\nNenhum arquivo foi gravado.");
        return result;
    }
    if (!stop.isEmpty()) {
        result.error = stop + QStringLiteral("\nA exportação parou; o arquivo tem %1 registro(s).")
                                  .arg(result.records);
        return result;
    }
    result.written = true;
    return result;
}
