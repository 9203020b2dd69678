#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

// The date-time rules the system relies on, as its database values, reports and screens expect
// them. Date-times are local wall-clock values: their date and time fields are used as they
// stand, never converted between time zones.
namespace DateTimeText {

// Days since 30/12/1899 00:00, the time of day as the fraction. Before that day the integer part
// is the (negative) day and the fraction still the time of day: -1.25 is 29/12/1899 06:00.
// An invalid date-time is 0.
double toDays(const QDateTime &dateTime);
// The inverse, to the nearest millisecond.
QDateTime fromDays(double days);

// "dd/MM/yyyy hh:mm:ss", just "dd/MM/yyyy" at exactly midnight; "" when invalid.
QString toText(const QDateTime &dateTime);
// "dd/MM/yyyy hh:mm:ss" and "dd/MM/yyyy hh:mm", always with the time; "" when invalid.
QString withSeconds(const QDateTime &dateTime);
QString withMinutes(const QDateTime &dateTime);
// "yyyy/MM/dd hh:mm:ss", the text form bound to query parameters.
QString toParam(const QDateTime &dateTime);

// "yyyy/mm/dd 00:00:00" and "yyyy/mm/dd 23:59:59" cut by position from a typed "dd/mm/yyyy"
// field; a half-filled field gives a malformed text on purpose, for the query to reject.
QString periodStart(const QString &ddmmyyyy);
QString periodEnd(const QString &ddmmyyyy);

// "d/m/yyyy", "d/m/yyyy h:mm" or "d/m/yyyy h:mm:ss"; nullopt for anything else or an
// impossible date or time.
std::optional<QDateTime> parse(const QString &text);

// A date or date-time typed in a field or given on the command line, read only in its whole
// form: "dd/mm/yyyy", "dd/mm/yyyy hh:mm" or "dd/mm/yyyy hh:mm:ss", every digit present, no
// blank before, inside or after, and a real day and time. Texts cut by position downstream
// ("yyyy" from positions 6..9) rely on this. nullopt otherwise.
std::optional<QDate> wholeDate(const QString &text);
std::optional<QDateTime> wholeDateTime(const QString &text);

// Round half to even, as Delphi's Round does.
double roundHalfEven(double value);

// Spans are counted in whole seconds. Day fractions cannot hold most seconds exactly, so a
// span computed from them lands a hair beside its true value, and a span exactly at a limit
// would read as just over or under it.
//
// Whole seconds from `from` to `to`, both read as wall-clock date and time (no time zone, no
// daylight-saving jump); fractions of a second are dropped from each. Negative when `to` is the
// earlier one; 0 when either is invalid.
qint64 secondsBetween(const QDateTime &from, const QDateTime &to);
// A span of seconds in minutes, not rounded; every whole number of minutes comes out exact.
double minutesFromSeconds(qint64 seconds);
// A span of seconds in whole minutes, halves to the even neighbour: 90 s -> 2, 150 s -> 2,
// -90 s -> -2.
qint64 roundedMinutes(qint64 seconds);
// Hours with at least three digits and two-digit minutes: 90 -> "001:30".
QString formatDuration(qint64 totalMinutes);
// A span of seconds as formatDuration() of its rounded minutes: 5400 -> "001:30",
// -5400 -> "-001:30".
QString formatDurationSeconds(qint64 seconds);
// A duration in days, to the minute rounded half to even.
QString formatDurationDays(double days);

// Status bar clock texts, each beginning with two blanks.
QString weekdayText(const QDate &date);        // "  Sábado, "
QString dateInWords(const QDate &date);        // "  Sábado, 12 de dezembro de 2026"
QString clockTimeText(const QTime &time);      // "  14:05"

// Brazilian number forms: "1.234,50" and "R$ 1.234,50" ("-R$ 1.234,50" when negative).
QString formatNumber(double value, int decimals);
QString formatMoney(double value);

}  // namespace DateTimeText
