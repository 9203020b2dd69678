#include "core/TfmAjuda.h"
#include "core/TorvelApplication.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// The help window: the text as the file has it, the search both ways round, and the
// desktop's viewer as a choice.
class TestHelp : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QStringList started;

    QString write(const QByteArray &bytes)
    {
        const QString path = dir.filePath("TORVEL.TXT");
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }

    static int selectionLine(const TfmAjuda &w)
    {
        return w.mmTexto->textCursor().blockNumber();
    }

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }
    void init()
    {
        started.clear();
        SystemServices::setStarter([this](const QString &program, const QStringList &args) {
            started << program + "|" + args.join(' ');
            return !args.isEmpty() && QFile::exists(args.first());
        });
    }
    void cleanup() { SystemServices::setStarter({}); }

    void showsTheFileReadOnlyInUtf8OrLatin1()
    {
        TfmAjuda w(write("CADASTROS\nOpções de relatório\n"));
        QVERIFY(w.loaded());
        QCOMPARE(w.windowTitle(), QString("Ajuda - TORVEL"));
        QCOMPARE(w.mmTexto->toPlainText(), QString::fromUtf8("CADASTROS\nOpções de relatório\n"));
        QVERIFY(w.mmTexto->isReadOnly());
        QVERIFY(w.mmTexto->font().fixedPitch() || QFontInfo(w.mmTexto->font()).fixedPitch());
        QCOMPARE(w.btProxima->text().remove('&'), QString::fromUtf8("Próxima"));
        QCOMPARE(w.btAnterior->text().remove('&'), QString("Anterior"));

        TfmAjuda latin(write("Op\xe7\xf5" "es\n"));
        QCOMPARE(latin.mmTexto->toPlainText(), QString::fromUtf8("Opções\n"));
    }

    void findsNextAndPreviousGoingRound()
    {
        TfmAjuda w(write("coletor um\nroteiro\nColetor dois\nlocais\ncoletor tres\n"));
        w.show();
        w.edProcura->setText("COLETOR");
        QVERIFY(w.btProximaclick());
        QCOMPARE(selectionLine(w), 0);
        QCOMPARE(w.mmTexto->textCursor().selectedText(), QString("coletor"));
        // Enter in the field finds the next one, Shift+Enter the one before.
        QTest::keyClick(w.edProcura, Qt::Key_Return);
        QCOMPARE(selectionLine(w), 2);
        QTest::keyClick(w.edProcura, Qt::Key_Return);
        QCOMPARE(selectionLine(w), 4);
        QVERIFY(w.btProximaclick());  // past the last: back to the first
        QCOMPARE(selectionLine(w), 0);
        QTest::keyClick(w.edProcura, Qt::Key_Return, Qt::ShiftModifier);  // before the first: the last
        QCOMPARE(selectionLine(w), 4);
        QVERIFY(w.btAnteriorclick());
        QCOMPARE(selectionLine(w), 2);
        QVERIFY(w.lbProcura->text().isEmpty());

        w.edProcura->setText("inexistente");
        QVERIFY(!w.btProximaclick());
        QCOMPARE(w.lbProcura->text(), QString::fromUtf8("Texto não encontrado."));
        QCOMPARE(selectionLine(w), 2);  // the place found before stays
        w.edProcura->setText("locais");
        QVERIFY(w.lbProcura->text().isEmpty());
        QVERIFY(w.btAnteriorclick());
        QCOMPARE(selectionLine(w), 3);
    }

    void opensInTheDesktopViewerOnRequest()
    {
        const QString path = write("texto\n");
        TfmAjuda w(path);
        QVERIFY(started.isEmpty());  // only when asked
        w.btAbrir->click();
        QCOMPARE(started, QStringList{"xdg-open|" + path});
        QVERIFY(w.lbProcura->text().isEmpty());

        // Nothing opened it: the user is told, with the file's path to open it by hand.
        SystemServices::setStarter([](const QString &, const QStringList &) { return false; });
        ScriptedMessageService msgs;
        msgs.expect(MessageService::Kind::Warning,
                    QString::fromUtf8("Nenhum programa abriu o arquivo de ajuda:\n%1\n\nAbra-o "
                                      "num editor de textos.")
                        .arg(path));
        w.btAbrirclick();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void missingFileIsSaidInTheWindow()
    {
        const QString path = dir.filePath("NAO_EXISTE.TXT");
        TfmAjuda w(path);
        QVERIFY(!w.loaded());
        QVERIFY(w.mmTexto->toPlainText().contains(path));
        QVERIFY(!w.btAbrir->isEnabled());
        w.btFechar->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
