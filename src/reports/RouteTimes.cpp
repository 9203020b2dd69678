#include "reports/RouteTimes.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/MessageService.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemServices.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVector>

namespace {

const QString kEventSql = QStringLiteral("select * from eventos where button_evento = :pcod");
const QString kTouchesSql = QStringLiteral(
    "select distinct data_toque from desctot where button = :pbutton and data_toque between :dini and :dfim "
    "order by data_toque");
const QString kStopsSql = QStringLiteral(
    "select\n"
    "   locais.button_local,\n"
    "   descrot.* from descrot\n"
    "left join locais on locais.codigo_local = descrot.codigo_local\n"
    "where descrot.codigo_roteiro = :pcod order by descrot.ordem");

// A spreadsheet has 16384 columns, the first two taken by the code and the name.
constexpr qint64 kMostDays = 16384 - RouteTimes::kFirstDayColumn + 1;

// The day cells of each identifier, one per day of the period: " hh:nn" for every distinct
// touch time of the day, in time order.
//
// The days partition the period, so the distinct times of the whole period, split by day, are
// exactly those the same statement gives day by day; asked once per identifier for the whole
// period, a month costs one statement instead of thirty-one. An identifier that comes back
// (a stop visited twice, the event also a stop) is asked once.
class TouchTimes {
public:
    TouchTimes(const QSqlDatabase &db, const QDate &first, int days)
        : m_query(Sql::prepare(db, kTouchesSql)), m_first(first), m_days(days)
    {
    }

    const QVector<QString> &of(const QString &identifier)
    {
        if (const auto it = m_cells.constFind(identifier); it != m_cells.constEnd())
            return it.value();
        QVector<QString> cells(m_days);
        // A stop or route registered without an identifier has no touches: a touch stored
        // without one is never taken for a visit.
        if (!identifier.trimmed().isEmpty() && m_days > 0) {
            // The bounds go as text, so a midnight that the workstation's zone skips for daylight
            // saving still bounds its day.
            m_query.bindValue(QStringLiteral(":pbutton"), identifier);
            m_query.bindValue(QStringLiteral(":dini"), m_first.toString(QStringLiteral("yyyy-MM-dd")) +
                                                           QStringLiteral(" 00:00:00"));
            m_query.bindValue(QStringLiteral(":dfim"), m_first.addDays(m_days - 1).toString(QStringLiteral("yyyy-MM-dd")) +
                                                           QStringLiteral(" 23:59:59"));
            Sql::run(m_query);
            while (m_query.next()) {
                const QDateTime when = m_query.value(0).toDateTime();
                const qint64 day = m_first.daysTo(when.date());
                if (day >= 0 && day < m_days)
                    cells[day] += u' ' + when.time().toString(QStringLiteral("hh:mm"));
            }
            m_query.finish();
        }
        return m_cells.insert(identifier, cells).value();
    }

private:
    Sql::Query m_query;
    QDate m_first;
    int m_days;
    QHash<QString, QVector<QString>> m_cells;
};

}  // namespace

int RouteTimesSheet::rowCount() const
{
    int rows = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        rows = std::max(rows, it.key().first);
    return rows;
}

int RouteTimesSheet::columnCount() const
{
    int columns = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        columns = std::max(columns, it.key().second);
    return columns;
}

QStringList RouteTimesSheet::tsv() const
{
    QVector<QStringList> rows(rowCount());
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        const auto [row, column] = it.key();
        QStringList &line = rows[row - 1];
        while (line.size() < column)
            line << QString();
        line[column - 1] = it.value();
    }
    QStringList lines;
    for (QStringList &line : rows) {
        while (!line.isEmpty() && line.last().isEmpty())
            line.removeLast();
        lines << line.join(u'\t');
    }
    return lines;
}

void RouteTimesSheet::writeTo(Spreadsheet &sheet) const
{
    QHash<int, qsizetype> widest;  // column -> longest text from the headings down
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        sheet.setValue(it.key().first, it.key().second, it.value());
        if (it.key().first >= 4)
            widest[it.key().second] = std::max(widest.value(it.key().second), it.value().size());
    }
    sheet.setFontSize(1, 1, kTitleSize);
    // Every column as wide as what it holds, so no name or time is hidden behind the next
    // cell (the title lines above the headings run on over the empty cells).
    for (auto it = widest.cbegin(); it != widest.cend(); ++it)
        sheet.setColumnWidth(it.key(), int(std::max<qsizetype>(8, it.value() + 2)));
}

QString RouteTimes::dayLabel(const QDate &day)
{
    static const char *const months[] = {"jan", "fev", "mar", "abr", "mai", "jun",
                                         "jul", "ago", "set", "out", "nov", "dez"};
    return QStringLiteral("%1/%2").arg(day.day(), 2, 10, QChar(u'0')).arg(QLatin1String(months[day.month() - 1]));
}

std::pair<QString, QString> RouteTimes::splitLocationName(const QString &name)
{
    const qsizetype dash = name.indexOf(u'-');
    if (dash < 0)
        return {QString(), name};
    // The blank that usually comes before the "-" is not part of the code.
    return {name.left(std::max<qsizetype>(0, dash - 1)), name.mid(dash + 1)};
}

std::optional<QDate> RouteTimes::readDay(const QString &field, const QString &typed)
{
    const std::optional<QDate> day = DateTimeText::wholeDate(typed);
    if (!day) {
        Msg::error(QString::fromUtf8("%1: '%2' não é uma data válida").arg(field, typed));
        return std::nullopt;
    }
    return day;
}

std::optional<std::pair<QDate, QDate>> RouteTimes::period(const RouteTimesInputs &inputs)
{
    const std::optional<QDate> first = readDay(QString::fromUtf8("Início"), inputs.firstDay);
    if (!first)
        return std::nullopt;
    const std::optional<QDate> last = readDay(QStringLiteral("Fim"), inputs.lastDay);
    if (!last)
        return std::nullopt;
    if (first->daysTo(*last) >= kMostDays) {
        Msg::error(QString::fromUtf8("Período longo demais: a planilha tem colunas para %1 dias").arg(kMostDays));
        return std::nullopt;
    }
    return std::pair{*first, *last};
}

std::optional<RouteTimesSheet> RouteTimes::build(const RouteTimesInputs &inputs)
{
    const auto days = period(inputs);
    if (!days)
        return std::nullopt;
    return collect(inputs, days->first, days->second, Progress());
}

std::optional<RouteTimesSheet> RouteTimes::collect(const RouteTimesInputs &inputs, const QDate &first,
                                                   const QDate &last, Progress progress)
{
    RouteTimesSheet sheet;
    sheet.set(1, 1, kTitle);
    sheet.set(2, 1, QStringLiteral("Coletor: ") + inputs.collector + QStringLiteral(" - ") + inputs.collectorName);
    sheet.set(3, 1, SystemServices::now().toString(QStringLiteral("dd/MM/yyyy hh:mm")));
    sheet.set(4, 1, QString::fromUtf8("Código"));
    sheet.set(4, 2, QStringLiteral("Nome"));
    const int days = first <= last ? int(first.daysTo(last)) + 1 : 0;
    for (int d = 0; d < days; ++d)
        sheet.set(4, kFirstDayColumn + d, dayLabel(first.addDays(d)));

    const QSqlDatabase db = m_dm.db();
    TouchTimes times(db, first, days);
    progress.begin(QString::fromUtf8("Lendo os horários de %1 dias...").arg(days));
    int read = 0;
    auto writeDays = [&](int row, const QString &identifier) {
        const QVector<QString> &cells = times.of(identifier);
        for (int d = 0; d < days; ++d)
            sheet.set(row, kFirstDayColumn + d, cells.at(d));
    };

    // The reference event. Its times of a day share one cell, as a stop's do, so they never
    // run into the rows of the stops below.
    sheet.set(kEventRow, 1, QStringLiteral("Evento"));
    int row = kEventRow;
    // A route without a reference identifier has no event, even if one was registered without
    // an identifier.
    if (!inputs.reference.trimmed().isEmpty()) {
        auto event = Sql::prepare(db, kEventSql);
        event.bindValue(QStringLiteral(":pcod"), inputs.reference);
        Sql::run(event);
        if (event.next()) {
            sheet.set(kEventRow, 2, event.value(event.record().indexOf(QStringLiteral("desc_evento"))).toString());
            // Every event row the server finds shares the identifier it compared, so one set of
            // times serves them all.
            writeDays(kEventRow, event.value(event.record().indexOf(QStringLiteral("button_evento"))).toString());
            ++row;
        }
    }

    auto stops = Sql::prepare(db, kStopsSql);
    stops.bindValue(QStringLiteral(":pcod"), inputs.route);
    Sql::run(stops);
    const QSqlRecord record = stops.record();
    const int button = record.indexOf(QStringLiteral("button_local"));
    const int name = record.indexOf(QStringLiteral("nome_local"));
    struct Stop {
        QString button, name;
    };
    QList<Stop> route;
    while (stops.next())
        route.append({stops.value(button).toString(), stops.value(name).toString()});
    stops.finish();
    for (const Stop &stop : route) {
        if (!progress.advance(++read))
            return std::nullopt;
        const auto [code, part] = splitLocationName(stop.name);
        sheet.set(row, 1, code);
        sheet.set(row, 2, part);
        // A stop whose location is no longer registered has no identifier: empty days.
        writeDays(row, stop.button);
        ++row;
    }
    if (progress.stopped())
        return std::nullopt;
    return sheet;
}

bool RouteTimes::run(const RouteTimesInputs &inputs, QString *path, Progress progress)
{
    const auto days = period(inputs);
    if (!days)
        return false;
    Spreadsheet spreadsheet;
    if (!spreadsheet.create(kTitle)) {
        Spreadsheet::showFailure(spreadsheet.error());
        return false;
    }
    spreadsheet.show();
    spreadsheet.addWorkbook();
    // Stopped, the spreadsheet is never finished: its file goes with it.
    const std::optional<RouteTimesSheet> sheet = collect(inputs, days->first, days->second, progress);
    if (!sheet)
        return false;
    sheet->writeTo(spreadsheet);
    if (!spreadsheet.finish()) {
        Spreadsheet::showFailure(spreadsheet.error());
        return false;
    }
    if (path)
        *path = spreadsheet.fileName();
    return true;
}
