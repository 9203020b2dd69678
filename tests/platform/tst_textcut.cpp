#include "platform/TextCut.h"

#include <QtTest>

// Widths counted in characters: a character outside the basic plane is never split.
class TestTextCut : public QObject {
    Q_OBJECT

    // "A😀B": three characters, four UTF-16 units.
    const QString smiley = QString::fromUtf8("A\xF0\x9F\x98\x80" "B");

private Q_SLOTS:
    void lengthCountsCharacters()
    {
        QCOMPARE(TextCut::length(smiley), 3);
        QCOMPARE(TextCut::length(QString::fromUtf8("PORTÃO")), 6);
        QCOMPARE(TextCut::length(QString()), 0);
        // A lone surrogate is a broken character of its own.
        QCOMPARE(TextCut::length(QString(QChar(0xD83D)) + "x"), 2);
    }

    void leftKeepsWholeCharacters()
    {
        QCOMPARE(TextCut::left(smiley, 2), QString::fromUtf8("A\xF0\x9F\x98\x80"));
        QCOMPARE(TextCut::left(smiley, 1), QString("A"));
        QCOMPARE(TextCut::left(smiley, 3), smiley);
        QCOMPARE(TextCut::left(smiley, 99), smiley);
        QCOMPARE(TextCut::left(smiley, 0), QString());
        QCOMPARE(TextCut::left(smiley, -1), QString());
        // 39 letters and an emoji fit 40 characters whole, 41 units and all.
        const QString name = QString(39, 'A') + QString::fromUtf8("\xF0\x9F\x98\x80");
        QCOMPARE(TextCut::left(name, 40), name);
        QCOMPARE(TextCut::left(name + "Z", 40), name);
    }

    void midCountsFromACharacter()
    {
        QCOMPARE(TextCut::mid(smiley, 1, 1), QString::fromUtf8("\xF0\x9F\x98\x80"));
        QCOMPARE(TextCut::mid(smiley, 2), QString("B"));
        QCOMPARE(TextCut::mid(smiley, 1), QString::fromUtf8("\xF0\x9F\x98\x80" "B"));
        QCOMPARE(TextCut::mid(smiley, 3), QString());
        QCOMPARE(TextCut::mid(QString("312345678"), 1, 5), QString("12345"));
    }
};

QTEST_MAIN(TestTextCut)
#include "tst_textcut.moc"
