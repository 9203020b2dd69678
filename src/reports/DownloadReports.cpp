#include "reports/DownloadReports.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/MessageService.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

ReportColumn dateColumn(const QString &heading, const QString &widest)
{
    ReportColumn c{heading};
    c.keepWhole = true;
    c.widest = widest;
    return c;
}

const QString kDefaultWidest = QStringLiteral("00/00/0000 00:00:00");

QList<DownloadsMember> buildMembers()
{
    QList<DownloadsMember> all;

    DownloadsMember col{DownloadsKey::Collector};
    col.cliName = QStringLiteral("downloads-by-collector");
    col.keyParam = QStringLiteral("coletor");
    // The collector's own row joins the records: listed without a condition, the table
    // multiplied every record by the number of collectors before DISTINCT folded them back.
    col.sql = {"SELECT DISTINCT ", " desctot.data_descarga,", " funcs.nome_func",
               " FROM desctot, coletor, funcs", " WHERE (desctot.data_descarga >= :data_ini)",
               " AND (desctot.data_descarga <= :data_fim)", " AND (desctot.coletor = :coletor)",
               " AND (desctot.coletor = coletor.codigo_coletor)",
               " AND (desctot.codigo_func = funcs.codigo_func)", " ORDER BY desctot.data_descarga"};
    col.fields = {"data_descarga", "nome_func"};
    col.gridTitles = {"Data da coleta", "Colaborador"};
    col.headingLabel = QStringLiteral("Coletor: ");
    col.headingHasKey = true;
    col.notRegistered = QString::fromUtf8("Coletor não cadastrado!");
    col.listing.columns = {dateColumn("Data da Descarga", kDefaultWidest), {QString::fromUtf8("Funcionário")}};
    col.listing.headingsOnEveryPage = true;
    col.listing.sheet.title = QStringLiteral("Descargas por coletor");
    col.listing.sheet.columns = {{1, "Data da descarga", true}, {3, QString::fromUtf8("Funcionário")}};
    all << col;

    DownloadsMember fun{DownloadsKey::Collaborator};
    fun.cliName = QStringLiteral("downloads-by-collaborator");
    fun.keyParam = QStringLiteral("cod_fun");
    fun.sql = {"SELECT DISTINCT ", " desctot.coletor,", " coletor.nome_coletor,", " desctot.data_descarga",
               " FROM  desctot , coletor", " WHERE (desctot.data_descarga >= :data_ini",
               " and desctot.data_descarga <= :data_fim)  and",
               " (desctot.coletor = coletor.codigo_coletor)  and", " (desctot.codigo_func = :cod_fun)"};
    fun.fields = {"data_descarga", "coletor", "nome_coletor"};
    fun.gridTitles = {"Data da coleta", QString::fromUtf8("Código do identificador"),
                      QString::fromUtf8("Descrição do identificador")};
    fun.headingLabel = QStringLiteral("Colaborador: ");
    fun.notRegistered = QString::fromUtf8("Colaborador não cadastrado!");
    fun.listing.columns = {dateColumn("Data da Descarga", kDefaultWidest), {QStringLiteral("Coletor")}, {QString()}};
    fun.listing.headingsOnEveryPage = true;
    fun.listing.sheet.title = QStringLiteral("Descargas por Colaborador");
    fun.listing.sheet.columns = {{1, "Data da descarga", true}, {3, "Coletor"}, {5, QString()}};
    all << fun;

    DownloadsMember eve{DownloadsKey::Event};
    eve.cliName = QStringLiteral("touches-by-event");
    eve.keyParam = QStringLiteral("but_evento");
    // One row per touch date-time, naming the collector and the collaborator of one touch of
    // that second (the first recorded): aggregating each name apart paired people who never
    // touched together.
    eve.sql = {"SELECT distinct", " desctot.data_toque,", " coletor.nome_coletor,", " funcs.nome_func",
               " FROM desctot, coletor, funcs",
               " WHERE (desctot.data_toque >= :data_ini and desctot.data_toque <= :data_fim )",
               " and (desctot.button = :but_evento)", " and (desctot.coletor = coletor.codigo_coletor)",
               " and (desctot.codigo_func = funcs.codigo_func)",
               " and desctot.cod = (select min(d2.cod) from desctot d2, coletor c2, funcs f2",
               "   where d2.data_toque = desctot.data_toque and d2.button = desctot.button",
               "   and d2.coletor = c2.codigo_coletor and d2.codigo_func = f2.codigo_func)",
               " ORDER BY desctot.data_toque"};
    eve.fields = {"data_toque", "nome_coletor", "nome_func"};
    eve.gridTitles = eve.fields;
    eve.headingLabel = QStringLiteral("Evento: ");
    eve.emptyMessage = false;
    eve.notRegistered = QString::fromUtf8("Evento não cadastrado!");
    eve.listing.title = QString::fromUtf8("Analítico por evento");
    eve.listing.columns = {dateColumn("Data do Toque", kDefaultWidest), {QStringLiteral("Coletor")},
                           {QString::fromUtf8("Funcionário")}};
    eve.listing.sheet.title = QString::fromUtf8("Analítico por evento");
    eve.listing.sheet.columns = {{1, "Data do toque", true}, {3, "Coletor"}, {5, QString::fromUtf8("Funcionário")}};
    all << eve;

    DownloadsMember loc{DownloadsKey::Location};
    loc.cliName = QStringLiteral("touches-by-location");
    loc.keyParam = QStringLiteral("but_local");
    loc.sql = {"SELECT desctot.data_toque, coletor.nome_coletor, funcs.nome_func",
               " FROM desctot, coletor, funcs",
               " WHERE (desctot.data_toque >= :data_ini and desctot.data_toque <= :data_fim)",
               " and (desctot.button = :but_local)", " and (desctot.coletor = coletor.codigo_coletor)",
               " and (desctot.codigo_func = funcs.codigo_func)", " ORDER BY desctot.data_toque"};
    loc.fields = eve.fields;
    loc.gridTitles = loc.fields;
    loc.headingLabel = QStringLiteral("Local: ");
    loc.touchTimeShort = true;
    loc.notRegistered = QString::fromUtf8("Local não cadastrado!");
    loc.listing = eve.listing;
    loc.listing.title = QStringLiteral("Descarga por local");
    loc.listing.columns[0].widest = QStringLiteral("00-00-00 00:00:00");
    loc.listing.sheet.title = QString::fromUtf8("Analítico por local");
    all << loc;

    for (DownloadsMember &m : all)
        m.listing.sheet.headerFontSize = 12;
    return all;
}

// A date-time as the reports write it by default; the location report's touch column as
// day-month-two-digit-year and time.
QString printed(const QVariant &value, bool shortForm)
{
    if (value.metaType().id() != QMetaType::QDateTime)
        return value.toString();
    const QDateTime when = value.toDateTime();
    return shortForm ? when.toString(QStringLiteral("dd-MM-yy hh:mm:ss")) : DateTimeText::toText(when);
}

}  // namespace

const DownloadsMember &DownloadReports::member(DownloadsKey key)
{
    static const QList<DownloadsMember> all = buildMembers();
    return all.at(int(key));
}

const DownloadsMember *DownloadReports::memberNamed(const QString &cliName)
{
    for (DownloadsKey k : {DownloadsKey::Collector, DownloadsKey::Collaborator, DownloadsKey::Event,
                           DownloadsKey::Location})
        if (member(k).cliName == cliName)
            return &member(k);
    return nullptr;
}

std::optional<QString> DownloadReports::describe(DownloadsKey key, const QString &value)
{
    switch (key) {
    case DownloadsKey::Collector:
        if (m_dm.CountByField(value, QStringLiteral("codigo_coletor"), QStringLiteral("coletor")) <= 0)
            return std::nullopt;
        m_dm.FindByField(value, QStringLiteral("codigo_coletor"), QStringLiteral("coletor"));
        return m_dm.qyProcura->text("nome_coletor");
    case DownloadsKey::Collaborator: {
        // A collaborator's code is a number: "1x" is no collaborator, not collaborator 1.
        bool number = false;
        value.trimmed().toLongLong(&number);
        if (!number)
            return std::nullopt;
        QSqlQuery q = Sql::exec(m_dm.db(),
                                QStringLiteral("select count(*) as total, nome_func from funcs \n"
                                               " where codigo_func = :pcodigo_func\n group by nome_func"),
                                {{":pcodigo_func", value.trimmed()}});
        if (!q.next() || q.value(0).toInt() <= 0)
            return std::nullopt;
        return q.value(1).toString();
    }
    case DownloadsKey::Event:
    case DownloadsKey::Location: {
        // Typed text is the identifier, as the search list fills it in.
        const bool event = key == DownloadsKey::Event;
        QSqlQuery q = Sql::exec(
            m_dm.db(),
            event ? QStringLiteral("select count(*) as total, desc_evento from eventos \n"
                                   " where button_evento = :pbutton_evento\n group by desc_evento")
                  : QStringLiteral("select count(*) as total, nome_local from locais \n"
                                   " where button_local = :pbutton_local\n group by nome_local"),
            {{event ? ":pbutton_evento" : ":pbutton_local", value}});
        if (!q.next() || q.value(0).toInt() <= 0)
            return std::nullopt;
        return q.value(1).toString();
    }
    }
    return std::nullopt;
}

std::optional<QString> DownloadReports::dateField(bool start, const QString &typed)
{
    if (typed == kBlankDate)
        return start ? QStringLiteral("01/01/0001") : QStringLiteral("31/12/9999");
    // Cut by position, a half-typed date would give the query a malformed bound, and no rows
    // or the wrong ones.
    if (!DateTimeText::wholeDate(typed)) {
        Msg::error(QString::fromUtf8("%1: '%2' não é uma data válida (dd/mm/aaaa)")
                       .arg(start ? QString::fromUtf8("Data de início") : QStringLiteral("Data final"), typed));
        return std::nullopt;
    }
    return typed;
}

std::optional<DownloadsResult> DownloadReports::run(const DownloadsInputs &in)
{
    const DownloadsMember &m = member(in.key);
    const std::optional<QString> from = dateField(true, in.from);
    if (!from)
        return std::nullopt;
    const std::optional<QString> to = dateField(false, in.to);
    if (!to)
        return std::nullopt;

    DownloadsResult result;
    result.from = *from;
    result.to = *to;
    QSqlQuery query = Sql::exec(m_dm.db(), m.sql.join(u'\n'),
                                {{":data_ini", DateTimeText::periodStart(*from)},
                                 {":data_fim", DateTimeText::periodEnd(*to)},
                                 {":" + m.keyParam, in.keyValue}});
    QList<int> at;
    for (const QString &f : m.fields)
        at << query.record().indexOf(f);
    QList<QStringList> printedRows, sheetRows;
    while (query.next()) {
        QVariantList values;
        QStringList shown, sheet;
        for (int i = 0; i < at.size(); ++i) {
            const QVariant v = query.value(at[i]);
            values << v;
            shown << printed(v, i == 0 && m.touchTimeShort);
            sheet << printed(v, false);
        }
        result.values << values;
        printedRows << shown;
        sheetRows << sheet;
    }
    const QString heading = m.headingLabel + (m.headingHasKey ? in.keyValue + u' ' : QString()) +
                            in.description + QString::fromUtf8("    Período: ") + *from + " a " + *to;
    result.listing = Listing(m.listing, heading, printedRows, sheetRows);
    return result;
}
