#include "listings/TouchExport.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/OutputFile.h"
#include "platform/SystemServices.h"
#include "platform/Windows1252.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

namespace {

const QString kQuery = QStringLiteral(
    "select desctot.coletor, desctot.data_toque, funcs.complemento from desctot\n"
    "      inner join funcs on funcs.memoria = desctot.button \n"
    "   where (data_toque between :dini and :dfim)");

QString trailingBlanksRemoved(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

}  // namespace

QString TouchExport::withTextExtension(const QString &path)
{
    return QFileInfo(path).suffix().isEmpty() && !path.isEmpty() ? path + QStringLiteral(".txt") : path;
}

TouchExportResult TouchExport::run(const TouchExportInputs &in,
                                   const std::function<void(int, int)> &progress)
{
    TouchExportResult result;
    // The server reads a half-typed date loosely as some other day; refuse it instead.
    for (const QString &day : {in.from, in.to}) {
        if (!DateTimeText::wholeDate(day)) {
            result.error = QString::fromUtf8("'%1' não é uma data válida").arg(day);
            return result;
        }
    }
    QSqlQuery query = Sql::exec(m_dm.db(), kQuery,
                                {{"dini", DateTimeText::periodStart(in.from)},
                                 {"dfim", DateTimeText::periodEnd(in.to)}});
    query.setForwardOnly(true);
    result.rows = query.size() > 0 ? query.size() : 0;

    // Written beside the file and put in its place only when whole: a failure leaves the file
    // as it was, appended to or not.
    OutputFile file(in.path);
    if (!file.begin(in.append ? OutputFile::Mode::Append : OutputFile::Mode::Replace)) {
        result.error = QStringLiteral("Não foi possível abrir o arquivo %1 para gravação: %2")
                           .arg(QDir::toNativeSeparators(in.path), file.reason());
        return result;
    }
    const bool appending = in.append && file.existed();
    QByteArray pending;
    const auto flush = [&] {
        if (pending.isEmpty())
            return true;
        const bool ok = file.write(pending) == pending.size();
        pending.clear();
        return ok;
    };
    if (!appending) {
        pending += "******** " +
                   SystemServices::now().toString(QStringLiteral("yyMMdd hh,mm,ss")).toLatin1() + "\r\n";
        result.header = true;
    }
    int done = 0;
    int linesInPending = 0;
    bool ok = true;
    while (ok && query.next()) {
        const QDateTime touched = query.value(1).toDateTime();
        pending += Windows1252::encode(QStringLiteral("0,") +
                                       trailingBlanksRemoved(query.value(2).toString()) + u' ' +
                                       touched.toString(QStringLiteral("dd/MM/yyyy hh:mm")) + u' ' +
                                       query.value(0).toString()) +
                   "\r\n";
        ++linesInPending;
        if (pending.size() > (1 << 16)) {
            ok = flush();
            if (ok)
                result.lines += linesInPending;
            linesInPending = 0;
        }
        if (progress)
            progress(++done, result.rows);
    }
    if (ok) {
        ok = flush();
        if (ok)
            result.lines += linesInPending;
    }
    ok = ok && file.commit();
    if (!ok) {
        // Only a device written directly keeps what went out before the failure.
        if (!file.isDirect())
            result.lines = 0;
        result.error = QStringLiteral("Erro ao gravar o arquivo %1: %2. Linhas gravadas: %3 de %4.")
                           .arg(QDir::toNativeSeparators(in.path), file.reason())
                           .arg(result.lines)
                           .arg(result.rows);
        if (file.existed() && !file.isDirect())
            result.error += QString::fromUtf8(" O arquivo ficou como estava.");
        return result;
    }
    result.written = true;
    return result;
}
