#include "platform/DateTimeText.h"

#include <QTimeZone>
#include <QtTest>

using namespace DateTimeText;

class TestDateTimeText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void days_data()
    {
        QTest::addColumn<QDateTime>("dateTime");
        QTest::addColumn<double>("days");
        QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
        QTest::newRow("epoch 06:00") << QDateTime(QDate(1899, 12, 30), QTime(6, 0)) << 0.25;
        QTest::newRow("one day") << QDateTime(QDate(1899, 12, 31), QTime(12, 0)) << 1.5;
        QTest::newRow("day before") << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -1.25;
        QTest::newRow("two before") << QDateTime(QDate(1899, 12, 28), QTime(18, 0)) << -2.75;
        QTest::newRow("day before midnight") << QDateTime(QDate(1899, 12, 29), QTime(0, 0)) << -1.0;
        QTest::newRow("2026") << QDateTime(QDate(2026, 12, 12), QTime(0, 0)) << 46368.0;
        QTest::newRow("2026 18:00") << QDateTime(QDate(2026, 12, 12), QTime(18, 0)) << 46368.75;
    }

    void days()
    {
        QFETCH(QDateTime, dateTime);
        QFETCH(double, days);
        QCOMPARE(toDays(dateTime), days);
        QCOMPARE(fromDays(days), dateTime);
    }

    void fromDaysRoundsToTheMillisecondAndCarriesIntoTheNextDay()
    {
        const double ms = 1.0 / 86400000.0;
        QCOMPARE(fromDays(46368.0 + 1000.4 * ms),
                 QDateTime(QDate(2026, 12, 12), QTime(0, 0, 1)));
        QCOMPARE(fromDays(46368.0 + 0.6 * ms), QDateTime(QDate(2026, 12, 12), QTime(0, 0, 0, 1)));
        QCOMPARE(fromDays(46368.9999999999), QDateTime(QDate(2026, 12, 13), QTime(0, 0)));
        QCOMPARE(fromDays(-1.9999999999), QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
        const QDateTime odd(QDate(2024, 2, 29), QTime(23, 59, 59, 999));
        QCOMPARE(fromDays(toDays(odd)), odd);
        QVERIFY(!fromDays(qQNaN()).isValid());
        QCOMPARE(toDays(QDateTime()), 0.0);
    }

    void texts()
    {
        QCOMPARE(toText(QDateTime(QDate(2026, 3, 9), QTime(14, 5, 7))), QString("09/03/2026 14:05:07"));
        QCOMPARE(toText(QDateTime(QDate(2026, 3, 9), QTime(0, 0))), QString("09/03/2026"));
        QCOMPARE(toText(QDateTime(QDate(2026, 3, 9), QTime(0, 0, 0, 1))), QString("09/03/2026 00:00:00"));
        QCOMPARE(toText(QDateTime()), QString());
        QCOMPARE(toParam(QDateTime(QDate(2026, 3, 9), QTime(0, 0))), QString("2026/03/09 00:00:00"));
        QCOMPARE(withSeconds(QDateTime(QDate(2026, 3, 9), QTime(0, 0))), QString("09/03/2026 00:00:00"));
        QCOMPARE(withMinutes(QDateTime(QDate(2026, 3, 9), QTime(23, 59, 59))), QString("09/03/2026 23:59"));
        QCOMPARE(withSeconds(QDateTime()), QString());
        // Written digit by digit, they read as Qt's own forms, also at the edges of the years
        // written with four digits and outside them.
        for (const QDateTime &when : {QDateTime(QDate(999, 12, 31), QTime(23, 59, 59)),
                                      QDateTime(QDate(1000, 1, 1), QTime(0, 0, 1)),
                                      QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)),
                                      QDateTime(QDate(10000, 1, 1), QTime(1, 2, 3)),
                                      QDateTime(QDate(1, 1, 1), QTime(0, 0))}) {
            QCOMPARE(withSeconds(when), when.toString("dd/MM/yyyy hh:mm:ss"));
            QCOMPARE(withMinutes(when), when.toString("dd/MM/yyyy hh:mm"));
            QCOMPARE(toParam(when), when.toString("yyyy/MM/dd hh:mm:ss"));
        }
    }

    void periods()
    {
        QCOMPARE(periodStart("09/03/2026"), QString("2026/03/09 00:00:00"));
        QCOMPARE(periodEnd("09/03/2026"), QString("2026/03/09 23:59:59"));
        // A half-filled field passes through as typed; the query rejects it.
        QCOMPARE(periodStart("09/0 /    "), QString("    /0 /09 00:00:00"));
        QCOMPARE(periodEnd("9/3"), QString("//9/ 23:59:59"));
    }

    void parsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        const QDateTime none;
        QTest::newRow("date") << "09/03/2026" << QDateTime(QDate(2026, 3, 9), QTime(0, 0));
        QTest::newRow("short") << "9/3/2026" << QDateTime(QDate(2026, 3, 9), QTime(0, 0));
        QTest::newRow("minutes") << "09/03/2026 14:05" << QDateTime(QDate(2026, 3, 9), QTime(14, 5));
        QTest::newRow("seconds") << " 09/03/2026 4:05:59 " << QDateTime(QDate(2026, 3, 9), QTime(4, 5, 59));
        QTest::newRow("leap day") << "29/02/2024" << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
        QTest::newRow("31 feb") << "31/02/2026" << none;
        QTest::newRow("29 feb") << "29/02/2026" << none;
        QTest::newRow("month 13") << "01/13/2026" << none;
        QTest::newRow("hour 24") << "01/01/2026 24:00" << none;
        QTest::newRow("minute 60") << "01/01/2026 10:60" << none;
        QTest::newRow("blank field") << "  /  /    " << none;
        QTest::newRow("blank time") << "01/01/2026   :  " << none;
        QTest::newRow("half filled") << "12/0 /    " << none;
        QTest::newRow("two-digit year") << "01/01/26" << none;
        QTest::newRow("garbage") << "abc" << none;
        QTest::newRow("empty") << "" << none;
    }

    void parsing()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> parsed = parse(text);
        QCOMPARE(parsed.has_value(), expected.isValid());
        if (parsed)
            QCOMPARE(*parsed, expected);
    }

    // Typed dates are read whole: a blank anywhere or a missing digit is no date, since
    // callers cut the text by position.
    void wholeForms()
    {
        QCOMPARE(wholeDate("09/12/2026"), std::optional<QDate>(QDate(2026, 12, 9)));
        QCOMPARE(wholeDateTime("09/12/2026 14:05"), std::optional<QDateTime>(QDateTime(QDate(2026, 12, 9), QTime(14, 5))));
        QCOMPARE(wholeDateTime("09/12/2026 14:05:59"),
                 std::optional<QDateTime>(QDateTime(QDate(2026, 12, 9), QTime(14, 5, 59))));
        for (const char *text : {" 9/12/2026", "9/12/2026 ", "9/12/2026", "09/12/2026 ", "09/1 /2026", "31/02/2026",
                                 "09/12/26", "09/12/2026 14:05", "  /  /    "})
            QVERIFY2(!wholeDate(QString::fromLatin1(text)), text);
        for (const char *text : {" 09/12/2026 14:05", "09/12/2026 14:05 ", "09/12/2026 4:05", "09/12/2026  14:05",
                                 "09/12/2026 24:00", "09/12/2026 14:05:5"})
            QVERIFY2(!wholeDateTime(QString::fromLatin1(text)), text);
    }

    void roundingHalfToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("3.5") << 3.5 << 4.0;
        QTest::newRow("-2.5") << -2.5 << -2.0;
        QTest::newRow("-3.5") << -3.5 << -4.0;
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("2.5000001") << 2.5000001 << 3.0;
        QTest::newRow("2.4999999") << 2.4999999 << 2.0;
        QTest::newRow("2.6") << 2.6 << 3.0;
        QTest::newRow("-0.4") << -0.4 << 0.0;
        QTest::newRow("large") << 123456789.5 << 123456790.0;
        // 30 seconds between two present-day clock times, as a subtraction produces it.
        QTest::newRow("30s difference")
            << (toDays(QDateTime(QDate(2026, 5, 4), QTime(10, 1, 0)))
                - toDays(QDateTime(QDate(2026, 5, 4), QTime(8, 0, 30)))) * 1440.0
            << 120.0;
    }

    void roundingHalfToEven()
    {
        QFETCH(double, value);
        QFETCH(double, rounded);
        QCOMPARE(roundHalfEven(value), rounded);
    }

    void durations()
    {
        QCOMPARE(formatDuration(90), QString("001:30"));
        QCOMPARE(formatDuration(0), QString("000:00"));
        QCOMPARE(formatDuration(6000), QString("100:00"));
        QCOMPARE(formatDuration(100000), QString("1666:40"));
        QCOMPARE(formatDuration(-90), QString("-001:30"));
        QCOMPARE(formatDurationDays(1.0 / 16), QString("001:30"));
        QCOMPARE(formatDurationDays(2.5 / 1440), QString("000:02"));
        QCOMPARE(formatDurationDays(3.5 / 1440), QString("000:04"));
        QCOMPARE(formatDurationDays(3.0), QString("072:00"));
    }

    // Spans between wall-clock date-times in whole seconds, whatever the zone's clock changes.
    void spansInWholeSeconds()
    {
        const QDateTime start(QDate(2026, 12, 8), QTime(8, 0, 0));
        QCOMPARE(secondsBetween(start, QDateTime(QDate(2026, 12, 8), QTime(8, 5, 0))), 300);
        QCOMPARE(secondsBetween(QDateTime(QDate(2026, 12, 8), QTime(8, 5, 0)), start), -300);
        // Across midnight and months; fractions of a second are dropped from each end.
        QCOMPARE(secondsBetween(QDateTime(QDate(2026, 11, 30), QTime(23, 59, 59, 900)),
                                QDateTime(QDate(2026, 12, 1), QTime(0, 0, 1, 100))),
                 2);
        QCOMPARE(secondsBetween(QDateTime(QDate(1899, 12, 30), QTime(0, 0)), start),
                 qint64(46364) * 86400 + 8 * 3600);
        QCOMPARE(secondsBetween(QDateTime(), start), 0);
        // A spring-forward night in a zone with daylight saving still has its 24 hours.
        const QTimeZone saoPaulo("America/Sao_Paulo");
        if (saoPaulo.isValid())
            QCOMPARE(secondsBetween(QDateTime(QDate(2018, 11, 3), QTime(12, 0), saoPaulo),
                                    QDateTime(QDate(2018, 11, 4), QTime(12, 0), saoPaulo)),
                     86400);

        QCOMPARE(minutesFromSeconds(300), 5.0);
        QCOMPARE(minutesFromSeconds(90), 1.5);
        QCOMPARE(roundedMinutes(89), 1);
        QCOMPARE(roundedMinutes(90), 2);   // 1.5: to the even 2
        QCOMPARE(roundedMinutes(150), 2);  // 2.5: to the even 2
        QCOMPARE(roundedMinutes(151), 3);
        QCOMPARE(roundedMinutes(-90), -2);
        QCOMPARE(roundedMinutes(-89), -1);
        QCOMPARE(formatDurationSeconds(5400), QString("001:30"));
        QCOMPARE(formatDurationSeconds(3570), QString("001:00"));  // 59.5 carries into the hour
        QCOMPARE(formatDurationSeconds(29), QString("000:00"));
        QCOMPARE(formatDurationSeconds(-5400), QString("-001:30"));
    }

    void clockTexts()
    {
        QCOMPARE(weekdayText(QDate(2026, 12, 13)), QString("  Domingo, "));
        QCOMPARE(weekdayText(QDate(2026, 12, 14)), QString("  Segunda-feira, "));
        QCOMPARE(weekdayText(QDate(2026, 12, 15)), QString("  Terça-feira, "));
        QCOMPARE(weekdayText(QDate(2026, 12, 16)), QString("  Quarta-feira, "));
        QCOMPARE(weekdayText(QDate(2026, 12, 17)), QString("  Quinta-feira, "));
        QCOMPARE(weekdayText(QDate(2026, 12, 18)), QString("  Sexta-feira, "));
        QCOMPARE(weekdayText(QDate(2026, 12, 19)), QString("  Sábado, "));
        QCOMPARE(dateInWords(QDate(2026, 12, 12)), QString("  Sábado, 12 de dezembro de 2026"));
        QCOMPARE(dateInWords(QDate(2026, 3, 2)), QString("  Segunda-feira, 02 de março de 2026"));
        QCOMPARE(dateInWords(QDate(2027, 1, 1)), QString("  Sexta-feira, 01 de janeiro de 2027"));
        QCOMPARE(clockTimeText(QTime(9, 5, 59)), QString("  09:05"));
    }

    void numbers()
    {
        QCOMPARE(formatNumber(1234.5, 2), QString("1.234,50"));
        QCOMPARE(formatNumber(1234567.891, 1), QString("1.234.567,9"));
        QCOMPARE(formatNumber(12, 0), QString("12"));
        QCOMPARE(formatNumber(-0.001, 2), QString("0,00"));
        QCOMPARE(formatNumber(-5.5, 2), QString("-5,50"));
        QCOMPARE(formatMoney(1234.5), QString("R$ 1.234,50"));
        QCOMPARE(formatMoney(0), QString("R$ 0,00"));
        QCOMPARE(formatMoney(-12.3), QString("-R$ 12,30"));
        QCOMPARE(formatMoney(-0.004), QString("R$ 0,00"));
    }
};

QTEST_GUILESS_MAIN(TestDateTimeText)
#include "tst_datetimetext.moc"
