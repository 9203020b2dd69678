#include "platform/Windows1252.h"

#include <QtTest>

// The single-byte set of the files other systems read.
class TestWindows1252 : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodesWhatTheSetHasAndMarksTheRest()
    {
        QCOMPARE(Windows1252::encode(QString::fromUtf8("AÇÃO ção")), QByteArray("A\xC7\xC3O \xE7\xE3o"));
        // The characters where it differs from Latin-1.
        QCOMPARE(Windows1252::encode(QString::fromUtf8("€“”–—…")), QByteArray("\x80\x93\x94\x96\x97\x85"));
        // Outside the set, one "?" per character, even one made of two UTF-16 units.
        QCOMPARE(Windows1252::encode(QString::fromUtf8("a😀b€Ω")), QByteArray("a?b\x80?"));
        QCOMPARE(Windows1252::encode(QString(QChar(0xD800))), QByteArray("?"));
        // And back.
        QCOMPARE(Windows1252::decode("A\xC7\x80\x93"), QString::fromUtf8("AÇ€“"));
    }
};

QTEST_APPLESS_MAIN(TestWindows1252)
#include "tst_windows1252.moc"
