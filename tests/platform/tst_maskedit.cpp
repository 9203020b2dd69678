#include "platform/MaskEdit.h"

#include <QSignalSpy>
#include <QtTest>

class TestMaskEdit : public QObject {
    Q_OBJECT

    static void type(MaskEdit &edit, const QString &keys)
    {
        edit.setFocus();
        edit.home(false);
        QTest::keyClicks(&edit, keys);
    }

private Q_SLOTS:
    void emptyFieldsKeepBlanksAndLiterals_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("empty");
        QTest::newRow("date") << "!99/99/0000;1;_" << "  /  /    ";
        QTest::newRow("date optional") << "99/99/9999;1;_" << "  /  /    ";
        QTest::newRow("date required") << "00/00/0000;1;_" << "  /  /    ";
        QTest::newRow("date-time") << "99/99/9999 99:99;1;_" << "  /  /       :  ";
        QTest::newRow("date-time required") << "!99/99/0000 00:00;1;_" << "  /  /       :  ";
        QTest::newRow("hours") << "!90:00;1;_" << "  :  ";
        QTest::newRow("no literals saved") << "99/99/9999;0;_" << "        ";
    }

    void emptyFieldsKeepBlanksAndLiterals()
    {
        QFETCH(QString, mask);
        QFETCH(QString, empty);
        MaskEdit edit(mask);
        QCOMPARE(edit.delphiMask(), mask);
        QCOMPARE(edit.maskedText(), empty);
        QVERIFY(edit.isBlank());
        QVERIFY(!edit.date());
        QVERIFY(!edit.dateTime());
        edit.setMaskedText(empty);
        QCOMPARE(edit.maskedText(), empty);
    }

    void typingFillsPositionsAndSkipsLiterals()
    {
        MaskEdit edit("99/99/9999 99:99;1;_");
        QCOMPARE(edit.displayText(), QString("__/__/____ __:__"));
        type(edit, "120");
        QCOMPARE(edit.displayText(), QString("12/0_/____ __:__"));
        QCOMPARE(edit.maskedText(), QString("12/0 /    "  "   :  "));
        QVERIFY(!edit.isBlank());
        QVERIFY(!edit.date());
        type(edit, "x091220261405");  // a letter is refused
        QCOMPARE(edit.maskedText(), QString("09/12/2026 14:05"));
        QCOMPARE(*edit.dateTime(), QDateTime(QDate(2026, 12, 9), QTime(14, 5)));
        QCOMPARE(*edit.date(), QDate(2026, 12, 9));
    }

    void editingFinishedEvenWhenRequiredPositionsAreOpen()
    {
        // The windows validate the field themselves and must hear about a half-typed one.
        MaskEdit edit("00/00/0000;1;_");
        QSignalSpy finished(&edit, &QLineEdit::editingFinished);
        type(edit, "12");
        QVERIFY(!edit.isComplete());
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(finished.count(), 1);
        type(edit, "12122026");
        QVERIFY(edit.isComplete());
    }

    void completenessFollowsRequiredPositionsOnly()
    {
        MaskEdit edit("!90:00;1;_");
        edit.setMaskedText(" 8:30");
        QVERIFY(edit.isComplete());
        QCOMPARE(edit.maskedText(), QString(" 8:30"));
        edit.setMaskedText("12: 5");
        QVERIFY(!edit.isComplete());
    }

    void setMaskedTextRoundTrips_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        QTest::newRow("full date-time") << "99/99/9999 99:99;1;_" << "09/12/2026 14:05" << "09/12/2026 14:05";
        QTest::newRow("holes") << "99/99/9999 99:99;1;_" << " 2/1 /20 6 1 : 5" << " 2/1 /20 6 1 : 5";
        QTest::newRow("half date") << "!99/99/0000;1;_" << "12/0 /    " << "12/0 /    ";
        QTest::newRow("short text") << "!99/99/0000;1;_" << "12/0" << "12/0 /    ";
        QTest::newRow("non-digits") << "!99/99/0000;1;_" << "ab/cd/2026" << "  /  /2026";
        QTest::newRow("too long") << "!99/99/0000;1;_" << "09/12/2026 14:05" << "09/12/2026";
        QTest::newRow("no literals") << "99/99/9999;0;_" << "09122026" << "09122026";
    }

    void setMaskedTextRoundTrips()
    {
        QFETCH(QString, mask);
        QFETCH(QString, text);
        QFETCH(QString, read);
        MaskEdit edit(mask);
        edit.setMaskedText(text);
        QCOMPARE(edit.maskedText(), read);
        edit.setMaskedText(edit.maskedText());
        QCOMPARE(edit.maskedText(), read);
    }

    void datesAndDateTimes()
    {
        MaskEdit date("!99/99/0000;1;_");
        date.setDate(QDate(2026, 3, 9));
        QCOMPARE(date.maskedText(), QString("09/03/2026"));
        QCOMPARE(*date.dateTime(), QDateTime(QDate(2026, 3, 9), QTime(0, 0)));
        date.setDateTime(QDateTime(QDate(2026, 3, 10), QTime(8, 0)));
        QCOMPARE(date.maskedText(), QString("10/03/2026"));
        date.setMaskedText("31/02/2026");
        QVERIFY(!date.date());
        date.setDate(QDate());
        QVERIFY(date.isBlank());

        MaskEdit stamp("!99/99/0000 00:00;1;_");
        stamp.setDateTime(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 30)));
        QCOMPARE(stamp.maskedText(), QString("31/12/2026 23:59"));
        stamp.setDate(QDate(2026, 1, 2));
        QCOMPARE(stamp.maskedText(), QString("02/01/2026   :  "));
        QCOMPARE(*stamp.date(), QDate(2026, 1, 2));
        QVERIFY(!stamp.dateTime());  // the time is still to be typed
        stamp.setMaskedText("02/01/2026 25:00");
        QVERIFY(!stamp.dateTime());
    }

    void changingTheMaskStartsOver()
    {
        MaskEdit edit("!99/99/0000;1;_");
        edit.setDate(QDate(2026, 3, 9));
        edit.setDelphiMask("!90:00;1;_");
        QCOMPARE(edit.maskedText(), QString("  :  "));
        edit.setDelphiMask(QString());
        edit.setMaskedText("livre");
        QCOMPARE(edit.maskedText(), QString("livre"));
    }
};

QTEST_MAIN(TestMaskEdit)
#include "tst_maskedit.moc"
