#include "platform/Progress.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

class TestProgress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The listener is asked at the start of each stage, at the end, and now and then in
    // between; never once per unit of work, which would cost more than the work.
    void asksNowAndThen()
    {
        int asked = 0;
        qint64 lastDone = -1;
        Progress progress([&](const QString &, qint64 done, qint64) {
            ++asked;
            lastDone = done;
            return true;
        });
        QVERIFY(progress.begin("a", 1'000'000));
        QCOMPARE(asked, 1);
        for (qint64 i = 1; i <= 1'000'000; ++i)
            QVERIFY(progress.advance(i));
        QVERIFY(asked >= 2);
        QVERIFY2(asked < 1000, qPrintable(QString::number(asked)));
        QCOMPARE(lastDone, 1'000'000);  // the last unit is always told

        // After a pause the next unit is told.
        QVERIFY(progress.begin("b", 10));
        const int before = asked;
        QThread::msleep(60);
        QVERIFY(progress.advance(1));
        QCOMPARE(asked, before + 1);
    }

    // Once the listener says stop, every later call says stop, whatever the stage.
    void stopIsFinal()
    {
        int asked = 0;
        Progress progress([&](const QString &, qint64, qint64) { return ++asked < 2; });
        QVERIFY(progress.begin("a", 5));
        QVERIFY(!progress.advance(5));
        QVERIFY(progress.stopped());
        QVERIFY(!progress.begin("b", 5));
        QVERIFY(!progress.advance(1));
        QCOMPARE(asked, 2);

        Progress nobody;
        QVERIFY(nobody.begin("x"));
        QVERIFY(nobody.advance(1));
    }
};

QTEST_GUILESS_MAIN(TestProgress)
#include "tst_progress.moc"
