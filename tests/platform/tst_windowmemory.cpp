#include "platform/WindowMemory.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
class TfmExemplo : public QDialog {
    Q_OBJECT
};
}  // namespace

// Windows come back where the user left them.
class TestWindowMemory : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
        qApp->installEventFilter(new WindowMemory(qApp));
    }

    void sizeAndPlaceComeBackPerWindowClass()
    {
        QCOMPARE(WindowMemory::fileName(), dir.path() + "/torvel/janelas.ini");
        {
            TfmExemplo first;
            first.show();
            first.setGeometry(120, 90, 640, 420);
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            first.hide();
        }
        QVERIFY(QFile::exists(WindowMemory::fileName()));
        TfmExemplo second;
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QCOMPARE(second.geometry(), QRect(120, 90, 640, 420));
        second.hide();

        // Another kind of window starts from its own defaults.
        QDialog other;
        other.resize(300, 200);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QCOMPARE(other.size(), QSize(300, 200));
        other.hide();

        // Message boxes are left where Qt puts them.
        QMessageBox box;
        box.show();
        box.hide();
        QSettings settings(WindowMemory::fileName(), QSettings::IniFormat);
        QVERIFY(!settings.contains("QMessageBox/geometria"));
    }
};

QTEST_MAIN(TestWindowMemory)
#include "tst_windowmemory.moc"
