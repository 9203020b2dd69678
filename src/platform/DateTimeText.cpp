#include "platform/DateTimeText.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace DateTimeText {

namespace {

constexpr qint64 msecsPerDay = 86400000;

qint64 epochJulianDay()
{
    return QDate(1899, 12, 30).toJulianDay();
}

}  // namespace

double toDays(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0.0;
    const double day = double(dateTime.date().toJulianDay() - epochJulianDay());
    const double fraction = double(dateTime.time().msecsSinceStartOfDay()) / msecsPerDay;
    return day < 0 ? day - fraction : day + fraction;
}

QDateTime fromDays(double days)
{
    if (!std::isfinite(days))
        return {};
    const double day = std::trunc(days);
    qint64 msecs = qint64(std::llround(std::fabs(days - day) * msecsPerDay));
    qint64 julianDay = epochJulianDay() + qint64(day);
    if (msecs >= msecsPerDay) {
        msecs -= msecsPerDay;
        ++julianDay;
    }
    return QDateTime(QDate::fromJulianDay(julianDay), QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

namespace {
// "dd/MM/yyyy", "dd/MM/yyyy hh:mm", "dd/MM/yyyy hh:mm:ss" or "yyyy/MM/dd hh:mm:ss", written
// digit by digit: QDateTime::toString reads its format anew for every call, and a long report
// writes a date for every row. Years outside 1000..9999 are left to toString.
enum class Form { Date, Minutes, Seconds, Param };
QString written(const QDateTime &when, Form form)
{
    const QDate date = when.date();
    const QTime time = when.time();
    if (date.year() < 1000 || date.year() > 9999) {
        static const QString formats[] = {QStringLiteral("dd/MM/yyyy"), QStringLiteral("dd/MM/yyyy hh:mm"),
                                          QStringLiteral("dd/MM/yyyy hh:mm:ss"), QStringLiteral("yyyy/MM/dd hh:mm:ss")};
        return when.toString(formats[int(form)]);
    }
    char16_t text[19];
    auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = char16_t(u'0' + value % 10);
    };
    if (form == Form::Param) {
        put(0, date.year(), 4);
        text[4] = u'/';
        put(5, date.month(), 2);
        text[7] = u'/';
        put(8, date.day(), 2);
    } else {
        put(0, date.day(), 2);
        text[2] = u'/';
        put(3, date.month(), 2);
        text[5] = u'/';
        put(6, date.year(), 4);
    }
    text[10] = u' ';
    put(11, time.hour(), 2);
    text[13] = u':';
    put(14, time.minute(), 2);
    text[16] = u':';
    put(17, time.second(), 2);
    const int length = form == Form::Date ? 10 : form == Form::Minutes ? 16 : 19;
    return QString(reinterpret_cast<const QChar *>(text), length);
}
}  // namespace

QString toText(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return {};
    return written(dateTime, dateTime.time() == QTime(0, 0) ? Form::Date : Form::Seconds);
}

QString withSeconds(const QDateTime &dateTime)
{
    return dateTime.isValid() ? written(dateTime, Form::Seconds) : QString();
}

QString withMinutes(const QDateTime &dateTime)
{
    return dateTime.isValid() ? written(dateTime, Form::Minutes) : QString();
}

QString toParam(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return dateTime.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    return written(dateTime, Form::Param);
}

QString periodStart(const QString &ddmmyyyy)
{
    return ddmmyyyy.mid(6, 4) + u'/' + ddmmyyyy.mid(3, 2) + u'/' + ddmmyyyy.mid(0, 2)
           + QStringLiteral(" 00:00:00");
}

QString periodEnd(const QString &ddmmyyyy)
{
    return ddmmyyyy.mid(6, 4) + u'/' + ddmmyyyy.mid(3, 2) + u'/' + ddmmyyyy.mid(0, 2)
           + QStringLiteral(" 23:59:59");
}

std::optional<QDateTime> parse(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(\d{1,2})/(\d{1,2})/(\d{4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?)?\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(3).toInt(), match.captured(2).toInt(),
                     match.captured(1).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

std::optional<QDateTime> wholeDateTime(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{2})/(\d{2})/(\d{4})(?: (\d{2}):(\d{2})(?::(\d{2}))?)?$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(3).toInt(), match.captured(2).toInt(), match.captured(1).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

std::optional<QDate> wholeDate(const QString &text)
{
    if (text.size() != 10)
        return std::nullopt;
    const std::optional<QDateTime> value = wholeDateTime(text);
    return value ? std::optional<QDate>(value->date()) : std::nullopt;
}

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    // A duration in days times 1440 carries the representation error of the date-times it was
    // subtracted from (about 1e-8 minute for present-day dates); a value that close to a half
    // is taken as the half, so 30 seconds round the same way whatever the clock times were.
    constexpr double tolerance = 3e-8;
    const double below = std::floor(value);
    if (std::fabs(value - below - 0.5) <= tolerance)
        return (std::fmod(below, 2.0) == 0.0 ? below : below + 1.0) + 0.0;
    return std::round(value) + 0.0;  // + 0.0 turns -0 into 0
}

qint64 secondsBetween(const QDateTime &from, const QDateTime &to)
{
    if (!from.isValid() || !to.isValid())
        return 0;
    const qint64 days = to.date().toJulianDay() - from.date().toJulianDay();
    return days * 86400 + to.time().msecsSinceStartOfDay() / 1000
           - from.time().msecsSinceStartOfDay() / 1000;
}

double minutesFromSeconds(qint64 seconds) { return double(seconds) / 60.0; }

qint64 roundedMinutes(qint64 seconds)
{
    const qint64 magnitude = seconds < 0 ? -seconds : seconds;
    qint64 minutes = magnitude / 60;
    const qint64 rest = magnitude % 60;
    if (rest > 30 || (rest == 30 && minutes % 2 != 0))
        ++minutes;
    return seconds < 0 ? -minutes : minutes;
}

QString formatDurationSeconds(qint64 seconds) { return formatDuration(roundedMinutes(seconds)); }

QString formatDuration(qint64 totalMinutes)
{
    const qint64 magnitude = totalMinutes < 0 ? -totalMinutes : totalMinutes;
    return QStringLiteral("%1%2:%3")
        .arg(totalMinutes < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 60, 3, 10, QChar(u'0'))
        .arg(magnitude % 60, 2, 10, QChar(u'0'));
}

QString formatDurationDays(double days)
{
    return formatDuration(qint64(roundHalfEven(days * 1440.0)));
}

QString weekdayText(const QDate &date)
{
    static const char16_t *const names[] = {u"Domingo",      u"Segunda-feira", u"Terça-feira",
                                            u"Quarta-feira", u"Quinta-feira",  u"Sexta-feira",
                                            u"Sábado"};
    if (!date.isValid())
        return {};
    return QStringLiteral("  ") + QString::fromUtf16(names[date.dayOfWeek() % 7])
           + QStringLiteral(", ");
}

QString dateInWords(const QDate &date)
{
    static const char16_t *const months[] = {u"janeiro", u"fevereiro", u"março",    u"abril",
                                             u"maio",    u"junho",     u"julho",    u"agosto",
                                             u"setembro", u"outubro",  u"novembro", u"dezembro"};
    if (!date.isValid())
        return {};
    return weekdayText(date) + date.toString(QStringLiteral("dd")) + QStringLiteral(" de ")
           + QString::fromUtf16(months[date.month() - 1]) + QStringLiteral(" de ")
           + date.toString(QStringLiteral("yyyy"));
}

QString clockTimeText(const QTime &time)
{
    return QStringLiteral("  ") + time.toString(QStringLiteral("hh:mm"));
}

QString formatNumber(double value, int decimals)
{
    static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    // Without this a small negative value would print as "-0,00".
    const double scale = std::pow(10.0, decimals);
    if (std::round(std::fabs(value) * scale) == 0.0)
        value = 0.0;
    return brazil.toString(value, 'f', decimals);
}

QString formatMoney(double value)
{
    const QString amount = formatNumber(std::fabs(value), 2);
    const bool negative = value < 0 && amount != formatNumber(0.0, 2);
    return (negative ? QStringLiteral("-R$ ") : QStringLiteral("R$ ")) + amount;
}

}  // namespace DateTimeText
