#include "platform/Progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

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

    // The box appears only once the work has lasted a moment, shows what is being done, and
    // its "Cancelar" stops the work; it is gone when the work returns.
    void boxShowsAndCancels()
    {
        QString shownLabel, cancelText;
        QTimer::singleShot(900, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QProgressDialog *>(w); box && box->isVisible()) {
                    shownLabel = box->labelText();
                    if (auto *button = box->findChild<QPushButton *>()) {
                        cancelText = button->text();
                        button->click();
                    }
                }
        });
        QElapsedTimer clock;
        clock.start();
        const int reached = ProgressDialog::run(nullptr, "Teste", [](Progress progress) {
            progress.begin(QString::fromUtf8("Somando..."), 200);
            for (int i = 1; i <= 200; ++i) {
                QThread::msleep(10);
                if (!progress.advance(i))
                    return i;
            }
            return 200;
        });
        QVERIFY2(reached < 200, "the work was not stopped");
        QVERIFY(clock.elapsed() >= 850);
        QCOMPARE(shownLabel, QString::fromUtf8("Somando..."));
        QCOMPARE(cancelText, QString("Cancelar"));
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<QProgressDialog *>(w));
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
