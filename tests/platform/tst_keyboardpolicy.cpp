#include "platform/KeyboardPolicy.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QVBoxLayout>

class TestKeyboardPolicy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Tab leaves a grid that is only read for the next button; a grid that edits its cells
    // keeps Tab for its cells.
    void tabLeavesReadOnlyGrids()
    {
        KeyboardPolicy policy;
        qApp->installEventFilter(&policy);
        QDialog dialog;
        auto *field = new QLineEdit;
        auto *readOnly = new QTableWidget(3, 3);
        readOnly->setEditTriggers(QAbstractItemView::NoEditTriggers);
        auto *editable = new QTableWidget(3, 3);
        auto *button = new QPushButton("Retorna");
        auto *layout = new QVBoxLayout(&dialog);
        for (QWidget *w : {static_cast<QWidget *>(field), static_cast<QWidget *>(readOnly),
                           static_cast<QWidget *>(editable), static_cast<QWidget *>(button)})
            layout->addWidget(w);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));

        readOnly->setFocus();
        readOnly->setCurrentCell(0, 0);
        QTest::keyClick(readOnly, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), editable);

        editable->setCurrentCell(0, 0);
        QTest::keyClick(editable, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), editable);
        QCOMPARE(editable->currentColumn(), 1);
        qApp->removeEventFilter(&policy);
    }
};

QTEST_MAIN(TestKeyboardPolicy)
#include "tst_keyboardpolicy.moc"
