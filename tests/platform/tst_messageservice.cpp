#include "platform/MessageService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

// The desktop's message boxes, driven as a user would: keys and clicks on the box on screen.
class TestMessageService : public QObject {
    Q_OBJECT

    // Plays `user` on the message box once it is on screen.
    static void whenShown(std::function<void(QMessageBox *)> user)
    {
        QTimer::singleShot(0, [user] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) {
                whenShown(user);
                return;
            }
            user(box);
        });
    }

    static QPushButton *button(QMessageBox *box, const QString &text)
    {
        for (QAbstractButton *b : box->buttons())
            if (b->text() == text)
                return qobject_cast<QPushButton *>(b);
        return nullptr;
    }

private Q_SLOTS:
    // A delete or exit question answered by a reflex Enter or Esc must mean No.
    void confirmationDefaultsToNo()
    {
        WidgetMessageService messages;
        QStringList captions;
        QString defaultCaption;
        whenShown([&](QMessageBox *box) {
            for (QAbstractButton *b : box->buttons())
                captions << b->text();
            if (box->defaultButton())
                defaultCaption = box->defaultButton()->text();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QVERIFY(!messages.confirm(QStringLiteral("Deseja realmente excluir este registro?")));
        QCOMPARE(defaultCaption, QString::fromUtf8("&Não"));
        captions.sort();
        QCOMPARE(captions, (QStringList{QString::fromUtf8("&Não"), "&Sim"}));

        whenShown([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Escape); });
        QVERIFY(!messages.confirm(QStringLiteral("Sair do sistema?")));

        whenShown([](QMessageBox *box) { button(box, "&Sim")->click(); });
        QVERIFY(messages.confirm(QStringLiteral("Sair do sistema?")));
    }

    void messageBoxIsTitledByItsKind()
    {
        WidgetMessageService messages;
        QString title;
        whenShown([&](QMessageBox *box) {
            title = box->windowTitle();
            QTest::keyClick(box, Qt::Key_Return);
        });
        messages.show(MessageService::Kind::Error, QStringLiteral("Senha inválida!"));
        QCOMPARE(title, QStringLiteral("Erro"));
    }
};

QTEST_MAIN(TestMessageService)
#include "tst_messageservice.moc"
