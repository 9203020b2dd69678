#include "reports/DistancesTravelled.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/TextCut.h"

#include <QSqlError>
#include <QHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

const QString DistancesTravelled::kSeparator = QString(116, u'_');

namespace {

// Analytic fields.
enum { Evento, Local, Chegada, Saida, Permanencia, Transito, AnKm, AnCusto, AnalyticCount };
// Synthetic fields.
enum { Data, CidSaida, CidChegada, SyKm, SyCusto, SyntheticCount };

const QString kTotalGeral = QStringLiteral("     TOTAL GERAL");

// Kilometres are kept in hundredths and prices in cents, the precision the registry stores
// them with (double(10,2)), so a leg's cost is a whole number of ten-thousandths of a real
// and every total is exact: 12.5 km at 2.50 costs exactly R$ 31,25, never a cent off.
qint64 hundredths(double value) { return std::llround(value * 100.0); }

qint64 powerOfTen(int digits)
{
    qint64 p = 1;
    while (digits-- > 0)
        p *= 10;
    return p;
}

// `value` / 10^`digits` with `shown` decimals and a decimal comma, halves away from zero, no
// thousands grouping (the forms "0.0" and "R$ 0.00").
QString fixedText(qint64 value, int digits, int shown)
{
    const quint64 magnitude = value < 0 ? quint64(-value) : quint64(value);
    const quint64 step = quint64(powerOfTen(digits - shown));
    quint64 rounded = magnitude / step;
    if (2 * (magnitude % step) >= step)
        ++rounded;
    const quint64 unit = quint64(powerOfTen(shown));
    QString text = (value < 0 && rounded != 0 ? QStringLiteral("-") : QString()) + QString::number(rounded / unit);
    if (shown > 0)
        text += u',' + QStringLiteral("%1").arg(rounded % unit, shown, 10, QChar(u'0'));
    return text;
}

QString kmTotalText(qint64 centiKm) { return fixedText(centiKm, 2, 1) + QStringLiteral("km"); }

// Ten-thousandths of a real as "R$ 0,00".
QString moneyText(qint64 units)
{
    const QString amount = fixedText(units < 0 ? -units : units, 4, 2);
    const bool negative = units < 0 && amount != QStringLiteral("0,00");
    return (negative ? QStringLiteral("-R$ ") : QStringLiteral("R$ ")) + amount;
}

// The registry's km as it stands, with no trailing zeros: 12 -> "12km", 12.5 -> "12,5km".
QString kmText(qint64 centiKm)
{
    const qint64 magnitude = centiKm < 0 ? -centiKm : centiKm;
    QString text = (centiKm < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 100);
    if (const qint64 fraction = magnitude % 100; fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 2, 10, QChar(u'0'));
        if (digits.endsWith(u'0'))
            digits.chop(1);
        text += u',' + digits;
    }
    return text + QStringLiteral("km");
}

// Written without toString's format parsing, which was a tenth of a month's report.
QString arrivalText(const QDateTime &t)
{
    if (t.date().year() < 1000 || t.date().year() > 9999)
        return t.toString(QStringLiteral("dd/MM/yy hh:mm:ss"));
    return DateTimeText::withSeconds(t).remove(6, 2);
}
QString minuteText(const QDateTime &t) { return DateTimeText::withMinutes(t); }

std::optional<QDate> readDay(const QString &field, const QString &typed)
{
    const std::optional<QDate> day = DateTimeText::wholeDate(typed);
    if (!day)
        Msg::error(QString::fromUtf8("%1: '%2' não é uma data válida").arg(field, typed));
    return day;
}

struct Touch {
    QChar kind;  // first character of buttons.referencia, a blank for none
    QString button;
    QDateTime when;
    QString location, event, collaborator;
};

// The statements of one run, each prepared once: the touches of a day, the price of a day, the
// distance of a leg.
class Lookups {
public:
    explicit Lookups(const QSqlDatabase &db) : m_touches(db), m_price(db), m_distance(db)
    {
        prepare(m_touches, QStringList{QStringLiteral("select"), QStringLiteral("desctot.*,"),
                                       QStringLiteral("buttons.referencia,"), QStringLiteral("locais.nome_local,"),
                                       QStringLiteral("eventos.desc_evento,"),
                                       QStringLiteral("funcs.nome_func from desctot"), QString(),
                                       QStringLiteral("left join buttons on  buttons.codigo_button = desctot.button"),
                                       QStringLiteral("left join eventos on eventos.button_evento = desctot.button"),
                                       QStringLiteral("left join locais on locais.button_local = desctot.button"),
                                       QStringLiteral("left join funcs on funcs.memoria = desctot.button"),
                                       QStringLiteral("where desctot.coletor = :pcoletor and desctot.data_toque "
                                                      "between :dini and :dfim order by desctot.data_toque")}
                                .join(u'\n'));
        prepare(m_distance, QStringLiteral("select * from distancia where (pontoa = :pa and pontob = :pb)"));
        // A failure to prepare the price is a failure of the lookup: the day's price is 0.
        m_price.setForwardOnly(true);
        m_pricePrepared = m_price.prepare(QStringLiteral(
            "select custo from precokm where ((datainicio <= :pdata) and (datafim >= :pdata)) or "
            "((datainicio <= :pdata) and (datafim is null))"));
    }

    QList<Touch> touchesOf(const QString &collector, const QDate &day)
    {
        m_touches.bindValue(QStringLiteral(":pcoletor"), collector);
        m_touches.bindValue(QStringLiteral(":dini"), DateTimeText::toParam(QDateTime(day, QTime(0, 0))));
        m_touches.bindValue(QStringLiteral(":dfim"), DateTimeText::toParam(QDateTime(day, QTime(23, 59, 59))));
        if (!m_touches.exec())
            throw DbError(Sql::describe(m_touches.lastError()));
        const QSqlRecord r = m_touches.record();
        const int when = r.indexOf(QStringLiteral("data_toque")), button = r.indexOf(QStringLiteral("button")),
                  reference = r.indexOf(QStringLiteral("referencia")),
                  location = r.indexOf(QStringLiteral("nome_local")),
                  event = r.indexOf(QStringLiteral("desc_evento")), name = r.indexOf(QStringLiteral("nome_func"));
        QList<Touch> touches;
        while (m_touches.next()) {
            const QString ref = m_touches.value(reference).toString();
            touches.append({ref.isEmpty() ? QChar(u' ') : ref.at(0), m_touches.value(button).toString(),
                            m_touches.value(when).toDateTime(), m_touches.value(location).toString(),
                            m_touches.value(event).toString(), m_touches.value(name).toString()});
        }
        m_touches.finish();
        return touches;
    }

    // Cents per km of the first range the database returns; 0 with none or on any failure.
    qint64 priceOf(const QDate &day)
    {
        if (!m_pricePrepared)
            return 0;
        m_price.bindValue(QStringLiteral(":pdata"), DateTimeText::toParam(QDateTime(day, QTime(0, 0))));
        qint64 cents = 0;
        if (m_price.exec() && m_price.next())
            cents = hundredths(m_price.value(0).toDouble());
        m_price.finish();
        return cents;
    }

    // Hundredths of a km from `from` to `to`, only in that direction; nullopt when not registered.
    // The registry does not change during a run: each pair is asked once.
    std::optional<qint64> distance(const QString &from, const QString &to)
    {
        const QString pair = from + QChar(0x1f) + to;
        if (const auto it = m_distances.constFind(pair); it != m_distances.constEnd())
            return it.value();
        const std::optional<qint64> km = lookUpDistance(from, to);
        m_distances.insert(pair, km);
        return km;
    }

private:
    std::optional<qint64> lookUpDistance(const QString &from, const QString &to)
    {
        m_distance.bindValue(QStringLiteral(":pa"), from);
        m_distance.bindValue(QStringLiteral(":pb"), to);
        if (!m_distance.exec())
            throw DbError(Sql::describe(m_distance.lastError()));
        std::optional<qint64> km;
        if (m_distance.next())
            km = hundredths(m_distance.value(QStringLiteral("km")).toDouble());
        m_distance.finish();
        return km;
    }

    static void prepare(Sql::Query &query, const QString &sql)
    {
        query.setForwardOnly(true);
        query.prepare(sql);
    }

    Sql::Query m_touches, m_price, m_distance;
    bool m_pricePrepared = false;
    QHash<QString, std::optional<qint64>> m_distances;
};

// Transit and permanence in seconds, km in hundredths, cost in ten-thousandths of a real.
struct Totals {
    qint64 transit = 0, permanence = 0, km = 0, cost = 0;
    Totals &operator+=(const Totals &o)
    {
        transit += o.transit;
        permanence += o.permanence;
        km += o.km;
        cost += o.cost;
        return *this;
    }
};

QStringList totalsRow(const QString &label, const Totals &t)
{
    QStringList row(AnalyticCount);
    row[Evento] = label;
    row[Permanencia] = DistancesTravelled::durationText(t.permanence);
    row[Transito] = DistancesTravelled::durationText(t.transit);
    row[AnKm] = kmTotalText(t.km);
    row[AnCusto] = moneyText(t.cost);
    return row;
}

// The analytic rows of one day with touches, appended to `rows`; the day's totals.
Totals analyticDay(const QDate &day, const QList<Touch> &touches, qint64 price, Lookups &lookups,
                   QList<QStringList> &rows)
{
    auto blank = [] { return QStringList(AnalyticCount); };
    QStringList dayRow = blank();
    dayRow[Evento] = day.toString(QStringLiteral("dd/MM/yyyy"));
    rows << dayRow;

    Totals totals;
    // The chain of legs: the last location and the time of its last touch. An event ends it.
    struct Chain {
        QString location;
        QDateTime last;
    };
    std::optional<Chain> chain;
    // The current visit: its row, its first touch and the permanence already counted.
    int visitRow = -1;
    QDateTime visitStart;
    qint64 visitPermanence = 0;

    for (const Touch &touch : touches) {
        switch (touch.kind.unicode()) {
        case u'E': {
            rows << blank();
            rows.last()[Evento] = DistancesTravelled::kSeparator;
            rows << blank();
            rows.last()[Evento] = touch.event + QStringLiteral(" - ") + minuteText(touch.when);
            chain.reset();
            break;
        }
        case u'F':
            rows << blank();
            rows.last()[Evento] = QString(6, u' ') + touch.collaborator + QStringLiteral(" - ") + minuteText(touch.when);
            break;
        case u'L': {
            if (chain && chain->location == touch.button) {
                // Another touch at the same place: the visit lasts until now.
                const qint64 permanence = DateTimeText::secondsBetween(visitStart, touch.when);
                rows[visitRow][Saida] = arrivalText(touch.when);
                rows[visitRow][Permanencia] = DistancesTravelled::durationText(permanence);
                totals.permanence += permanence - visitPermanence;
                visitPermanence = permanence;
                chain->last = touch.when;
                break;
            }
            QStringList visit = blank();
            visit[Local] = touch.location;
            visit[Chegada] = arrivalText(touch.when);
            if (chain) {
                // A leg. A visit of a single touch shows it as its departure.
                if (rows[visitRow][Saida].isEmpty()) {
                    rows[visitRow][Saida] = rows[visitRow][Chegada];
                    rows[visitRow][Chegada].clear();
                }
                const qint64 transit = DateTimeText::secondsBetween(chain->last, touch.when);
                visit[Transito] = DistancesTravelled::durationText(transit);
                totals.transit += transit;
                if (const std::optional<qint64> km = lookups.distance(chain->location, touch.button)) {
                    visit[AnKm] = kmText(*km);
                    visit[AnCusto] = moneyText(*km * price);
                    totals.km += *km;
                    totals.cost += *km * price;
                }
            }
            rows << visit;
            visitRow = int(rows.size()) - 1;
            visitStart = touch.when;
            visitPermanence = 0;
            chain = Chain{touch.button, touch.when};
            break;
        }
        default:
            break;  // an identifier with no role in a round
        }
    }
    rows << blank();
    rows << totalsRow(QStringLiteral("     TOTAIS"), totals);
    rows << blank();
    rows.last()[Evento] = DistancesTravelled::kSeparator;
    return totals;
}

// The synthetic rows of one day, appended to `rows`; km and cost added to `totals`.
void syntheticDay(const QList<Touch> &touches, qint64 price, Lookups &lookups, QList<QStringList> &rows,
                  Totals &totals)
{
    struct End {
        QDateTime when;
        QString button, name;
    };
    std::optional<End> departure, arrival;
    for (const Touch &touch : touches) {
        switch (touch.kind.unicode()) {
        case u'E':
            if (!rows.isEmpty())
                rows << QStringList(SyntheticCount);
            rows << QStringList(SyntheticCount);
            break;
        case u'F':
            rows << QStringList(SyntheticCount);
            break;
        case u'L': {
            if (arrival && arrival->button == touch.button)
                break;
            if (arrival)
                departure = arrival;
            arrival = End{touch.when, touch.button, touch.location};
            if (!departure)
                break;
            QStringList leg(SyntheticCount);
            leg[Data] = DateTimeText::withSeconds(arrival->when).left(10);
            leg[CidSaida] = departure->name;
            leg[CidChegada] = arrival->name;
            if (const std::optional<qint64> km = lookups.distance(departure->button, arrival->button)) {
                leg[SyKm] = kmText(*km);
                leg[SyCusto] = moneyText(*km * price);
                totals.km += *km;
                totals.cost += *km * price;
            }
            rows << leg;
            break;
        }
        default:
            break;
        }
    }
}

}  // namespace

QString DistancesTravelled::durationText(qint64 seconds)
{
    const QString text = DateTimeText::formatDurationSeconds(seconds);
    return text == QStringLiteral("000:00") ? QStringLiteral("   -  ") : text;
}

QStringList DistancesTravelled::fields(DistanceForm form)
{
    if (form == DistanceForm::Analytic)
        return {QStringLiteral("evento"), QStringLiteral("local"), QStringLiteral("chegada"),
                QStringLiteral("saida"), QStringLiteral("tempopermanencia"), QStringLiteral("tempoentrelocais"),
                QStringLiteral("km"), QStringLiteral("custokm")};
    return {QStringLiteral("data"), QStringLiteral("cidsaida"), QStringLiteral("cidchegada"), QStringLiteral("km"),
            QStringLiteral("custokm")};
}

ListingConfig DistancesTravelled::config(DistanceForm form)
{
    ListingConfig c;
    // A report of many pages is read page by page: each one has its column headings.
    c.headingsOnEveryPage = true;
    // Day, event and collaborator lines run on over the empty cells of their row.
    c.spillIntoEmptyColumns = true;
    auto centred = [](const QString &heading, const QString &widest) {
        ReportColumn column{heading};
        column.alignment = Qt::AlignHCenter;
        column.keepWhole = true;
        column.widest = widest;
        return column;
    };
    if (form == DistanceForm::Analytic) {
        c.title = QString::fromUtf8("Distância percorrida");
        // The line's heading text at the margin; the location's name a little in from it.
        ReportColumn evento;
        evento.fixedWidthMm = 4;
        ReportColumn local;
        local.widest = kTotalGeral;
        c.columns = {evento,
                     local,
                     centred(QStringLiteral("Chegada"), QStringLiteral("00/00/00 00:00:00")),
                     centred(QString::fromUtf8("Saída"), QStringLiteral("00/00/00 00:00:00")),
                     centred(QString::fromUtf8("Tempo de permanência"), QStringLiteral("000:00")),
                     centred(QString::fromUtf8("Tempo em trânsito"), QStringLiteral("000:00")),
                     centred(QStringLiteral("Km percorrida"), QStringLiteral("0,0km")),
                     centred(QStringLiteral("Custo"), QStringLiteral("R$ 0,00"))};
    } else {
        c.title = QStringLiteral("Sintético de rota por coletor");
        ReportColumn data{QStringLiteral("Data")};
        data.keepWhole = true;
        data.widest = QStringLiteral("00/00/0000");
        c.columns = {data, {QString::fromUtf8("Saída")}, {QStringLiteral("Chegada")},
                     centred(QStringLiteral("Km percorrida"), QStringLiteral("0,0km")),
                     centred(QStringLiteral("Custo"), QStringLiteral("R$ 0,00"))};
    }
    return c;
}

std::optional<Listing> DistancesTravelled::run(const DistancesInputs &in, Progress progress)
{
    // Both days are checked before anything is read or written.
    const std::optional<QDate> first = readDay(QString::fromUtf8("Início"), in.firstDay);
    if (!first)
        return std::nullopt;
    const std::optional<QDate> last = readDay(QStringLiteral("Fim"), in.lastDay);
    if (!last)
        return std::nullopt;

    Lookups lookups(m_dm.db());
    QList<QStringList> rows;
    Totals grand;
    QList<LocalField> tableFields;
    for (const QString &name : fields(in.form))
        tableFields.append({name, LocalField::String, 200});
    const qint64 days = *first <= *last ? first->daysTo(*last) + 1 : 0;
    progress.begin(QString::fromUtf8("Calculando as distâncias de %1 dias...").arg(days), days);
    for (QDate day = *first; day <= *last; day = day.addDays(1)) {
        if (!progress.advance(first->daysTo(day))) {
            // Stopped: the working table is left empty rather than holding an earlier run.
            LocalTable table(m_dm.tempFolder(), kWorkingTable);
            if (!table.create(tableFields))
                throw DbError(table.lastError());
            return std::nullopt;
        }
        const QList<Touch> touches = lookups.touchesOf(in.collector, day);
        const qint64 price = lookups.priceOf(day);
        if (touches.isEmpty())
            continue;
        if (in.form == DistanceForm::Analytic)
            grand += analyticDay(day, touches, price, lookups, rows);
        else
            syntheticDay(touches, price, lookups, rows, grand);
    }
    if (in.form == DistanceForm::Analytic) {
        rows << QStringList(AnalyticCount);
        rows << totalsRow(kTotalGeral, grand);
    } else {
        QStringList total(SyntheticCount);
        total[CidChegada] = QString(20, u' ') + QStringLiteral("TOTAL");
        total[SyKm] = kmTotalText(grand.km);
        total[SyCusto] = moneyText(grand.cost);
        rows << total;
    }

    // The working table holds what the report prints, as the report reads it back.
    LocalTable table(m_dm.tempFolder(), kWorkingTable);
    if (!table.create(tableFields) || !table.open())
        throw DbError(table.lastError());
    if (!table.appendTextRows(rows) || !table.flush())
        throw DbError(table.lastError());
    // What the table now holds (each text cut to its field's size), printed without reading
    // every row back.
    QList<QStringList> printed;
    printed.reserve(rows.size());
    for (const QStringList &row : rows) {
        QStringList cells;
        cells.reserve(tableFields.size());
        for (int i = 0; i < tableFields.size(); ++i)
            cells << TextCut::left(i < row.size() ? row.at(i) : QString(), tableFields.at(i).size);
        printed << cells;
    }
    Listing listing(config(in.form), QString(), printed);
    // The collector is named on every page, and the report prints even with no rows.
    const QStringList pageHeader{QStringLiteral("Coletor: ") + in.collectorName,
                                 QStringLiteral("Torvel - Controle de Rotas")};
    listing.setBands([pageHeader](ReportDefinition &d) {
        d.headerLines = pageHeader;
        d.printWhenEmpty = true;
    });
    return listing;
}
