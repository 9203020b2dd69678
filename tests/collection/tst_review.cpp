#include "ProgramFixture.h"
#include "collection/TfmDescarga.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"
#include "platform/IniFile.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using Kind = MessageService::Kind;

// The review window of the last download: its grid and the registration of identifiers.
class TestReview : public QObject, public ProgramFixture {
    Q_OBJECT

    const QDateTime now{QDate(2026, 12, 9), QTime(14, 0, 0)};

    void fill(const QList<QPair<QString, QString>> &touches)
    {
        QVERIFY(TmpDesc::recreate(*dm));
        LocalTable t(dm->tempFolder(), TmpDesc::kName);
        QVERIFY(t.open());
        int n = 0;
        for (const auto &[button, description] : touches) {
            t.append();
            t.setValue("sequencial", QString::number(++n));
            t.setValue("coletor", "C1");
            t.setValue("data_descarga", "09/12/2026 13:00:00");
            t.setValue("button", button);
            t.setValue("data_toque", "09/12/2026 12:00:00");
            t.setValue("tipo_button", "01");
            t.setValue("descricao", description);
            QVERIFY(t.post());
        }
        t.close();
    }

    QString description(const TfmDescarga &w, int row) const
    {
        return w.dbgDescarga->item(row, 5)->text();
    }

    QDateTime registeredAt(const QString &code) const
    {
        return tdb->scalar("select data_cadastro from buttons where codigo_button = '" + code + "'")
            .toDateTime();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram({.now = now}));
        tdb->exec("insert into buttons (codigo_button, referencia) values ('OWNED1','F')");
        tdb->exec("insert into funcs (nome_func, memoria) values ('ANA', 'OWNED1')");
    }

    void cleanup() { stopProgram(); }

    void neverCreatedTableOpensEmpty()
    {
        QVERIFY(!dm->config().readBool("OPERACAO", "CRIOUDESCARGA", false));
        TfmDescarga w;
        QCOMPARE(w.windowTitle(), QString::fromUtf8("Dados da última coleta"));
        QCOMPARE(w.dbgDescarga->rowCount(), 0);
        QVERIFY(dm->config().readBool("OPERACAO", "CRIOUDESCARGA", false));
        QCOMPARE(w.dbgDescarga->horizontalHeaderItem(4)->text(), QString("Tipo identificador"));
    }

    void registerAllSkipsDataCodesAndSpacesTimesOneMinute()
    {
        const QString unregistered = QString::fromUtf8("Não cadastrado");
        fill({{"AAAAA1", unregistered}, {"412345", unregistered}, {"OWNED1", "ANA"},
              {"BBBBB2", unregistered}, {"AAAAA1", unregistered}, {"CCCCC3", unregistered}});
        ScriptedMessageService msgs;
        TfmDescarga w;
        QCOMPARE(w.dbgDescarga->rowCount(), 6);
        msgs.expect(Kind::Information, QString::fromUtf8("Cadastro de identificadores concluído!"));
        w.Cadastrartodasasmemrias1Click();
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(registeredAt("AAAAA1"), now);
        QCOMPARE(registeredAt("BBBBB2"), now.addSecs(60));
        QCOMPARE(registeredAt("CCCCC3"), now.addSecs(120));
        QCOMPARE(tdb->scalar("select count(*) from buttons where codigo_button = '412345'").toInt(), 0);
        QCOMPARE(description(w, 0), QString::fromUtf8("Não associado"));
        QCOMPARE(description(w, 1), unregistered);
        QCOMPARE(description(w, 2), QString("ANA"));
        QCOMPARE(description(w, 5), QString::fromUtf8("Não associado"));
        // The working table keeps the new descriptions for the next opening.
        TfmDescarga again;
        QCOMPARE(description(again, 3), QString::fromUtf8("Não associado"));

        // The single-row command registers even a code beginning with 4.
        again.setCurrentRow(1);
        again.Cadastraridentificadoratual1Click();
        QCOMPARE(tdb->scalar("select count(*) from buttons where codigo_button = '412345' and "
                             "referencia = ''")
                     .toInt(),
                 1);
        QCOMPARE(description(again, 1), QString::fromUtf8("Não associado"));
        // Already registered: nothing added, the description refreshed.
        again.setCurrentRow(2);
        again.Cadastraridentificadoratual1Click();
        QCOMPARE(tdb->scalar("select count(*) from buttons").toInt(), 5);
    }

    void contextMenuFollowsTheCurrentDescription()
    {
        fill({{"X1", QString::fromUtf8("Não cadastrado")}, {"X2", QString::fromUtf8("Não associado")},
              {"X3", "ANA"}, {"X4", QString::fromUtf8("Referência errada")}});
        TfmDescarga w;
        w.setCurrentRow(2);
        w.PopupMenu1Popup();
        QVERIFY(w.Cadastraridentificadoratual1->isEnabled());  // enabled before the first
        w.setCurrentRow(1);
        w.PopupMenu1Popup();
        QVERIFY(!w.Cadastraridentificadoratual1->isEnabled());
        w.setCurrentRow(2);
        w.PopupMenu1Popup();
        QVERIFY(!w.Cadastrartodasasmemrias1->isEnabled());  // an owner keeps the last state
        w.setCurrentRow(0);
        w.PopupMenu1Popup();
        QVERIFY(w.Cadastrartodasasmemrias1->isEnabled());
        w.setCurrentRow(3);
        w.PopupMenu1Popup();
        QVERIFY(!w.Cadastrartodasasmemrias1->isEnabled());
    }

    void consistirHandsOverTheCurrentCollector()
    {
        fill({{"X1", "ANA"}});
        QString asked;
        TfmDescarga::setConsistencyRunner([&](const QString &collector, QWidget *) { asked = collector; });
        TfmDescarga w;
        QVERIFY(w.btConsistir->isEnabled());
        w.btConsistir->click();
        QCOMPARE(asked, QString("C1"));
        TfmDescarga::setConsistencyRunner({});
    }

    void renderedToAPicture()
    {
        fill({{"AAAAA1", QString::fromUtf8("Não cadastrado")}, {"OWNED1", "ANA"}});
        TfmDescarga w;
        w.show();
        const QImage shot = w.grab().toImage();
        QVERIFY(!shot.isNull());
        QVERIFY(shot.width() > 200 && shot.height() > 100);
        const QString path = QStringLiteral(TORVEL_BINARY_DIR "/artifacts/review.png");
        QDir().mkpath(QFileInfo(path).path());
        QVERIFY(shot.save(path));
    }
};

QTEST_MAIN(TestReview)
#include "tst_review.moc"
