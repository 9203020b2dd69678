#include "ProgramFixture.h"
#include "core/IdentifierRules.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QSqlQuery>
#include <QtTest>

using Kind = MessageService::Kind;

// Ownership of identifiers, kept by the rules on the shared queries whatever edits them.
class TestIdentifierRules : public QObject, public ProgramFixture {
    Q_OBJECT

    QString mark(const QString &code) const
    {
        return tdb->scalar("select referencia from buttons where codigo_button = '" + code + "'")
            .toString();
    }
    int count(const QString &sql) const { return tdb->scalar(sql).toInt(); }

    QStringList stops(int route) const { return routeStops(route, "codigo_local"); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startProgram());
        tdb->exec("insert into buttons (codigo_button, referencia) values "
                  "('AAAAAA','F'), ('BBBBBB',''), ('EEEEEE','E'), ('LLLLLL','L'), ('FREE01','')");
        tdb->exec("insert into funcs (codigo_func, nome_func, memoria) values (1, 'ANA', 'AAAAAA')");
        tdb->exec("insert into eventos (codigo_evento, desc_evento, button_evento) values "
                  "(1, 'INICIO RONDA', 'EEEEEE')");
        tdb->exec("insert into locais (codigo_local, nome_local, button_local) values "
                  "(1, 'PORTARIA', 'LLLLLL'), (2, 'GARAGEM', ''), (3, 'PATIO', '')");
        tdb->exec("insert into roteiros (codigo_roteiro, nome_roteiro, button_referencia) values "
                  "(1, 'NOTURNO', 'EEEEEE'), (2, 'DIURNO', '')");
    }

    void cleanup() { stopProgram(); }

    void savedCodesKeepTheirLastSixCharacters()
    {
        QCOMPARE(IdentifierRules::storedCode("00001A2B3C4D"), QString("2B3C4D"));
        QCOMPARE(IdentifierRules::storedCode("ABC"), QString("ABC"));
        QCOMPARE(IdentifierRules::storedCode("1234567890ABCDEF"), QString("7890AB"));
        DataSet &q = *dm->qyButtons;
        q.open();
        q.append();
        q.setValue("codigo_button", "00001A2B3C4D");
        QVERIFY(q.post());
        QCOMPARE(q.text("codigo_button"), QString("2B3C4D"));
        QCOMPARE(count("select count(*) from buttons where codigo_button = '2B3C4D' and "
                       "referencia = ''"),
                 1);
    }

    void identifiersAddedInOneSecondAreOneMinuteApart()
    {
        SystemServices::setClock([] { return QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0)); });
        DataSet &q = *dm->qyButtons;
        q.open();
        for (const char *code : {"C00001", "C00002", "C00003"}) {
            q.append();
            q.setValue("codigo_button", code);
            QVERIFY(q.post());
        }
        auto at = [&](const char *code) {
            return tdb->scalar(QStringLiteral("select data_cadastro from buttons where "
                                              "codigo_button = '%1'")
                                   .arg(code))
                .toDateTime();
        };
        QCOMPARE(at("C00001"), QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0)));
        QCOMPARE(at("C00002"), QDateTime(QDate(2026, 12, 9), QTime(10, 1, 0)));
        QCOMPARE(at("C00003"), QDateTime(QDate(2026, 12, 9), QTime(10, 2, 0)));
        // Well after the latest: the clock's time.
        const QDateTime later(QDate(2026, 12, 9), QTime(11, 0, 0));
        QCOMPARE(IdentifierRules::registrationTime(at("C00003"), later), later);
        QCOMPARE(IdentifierRules::registrationTime({}, later), later);
    }

    void newIdentifierForCollaboratorMarksNewAndFreesOld()
    {
        DataSet &f = *dm->qyFuncs;
        f.open();
        QVERIFY(f.locate("codigo_func", 1));
        // Saving without touching the identifier leaves every mark as it was.
        f.setValue("nome_func", "ANA MARIA");
        QVERIFY(f.post());
        QCOMPARE(mark("AAAAAA"), QString("F"));
        QCOMPARE(dm->pendingOldIdentifier, QString());

        f.edit();
        QCOMPARE(dm->pendingOldIdentifier, QString("AAAAAA"));
        f.setValue("memoria", "BBBBBB");
        QVERIFY(f.post());
        QCOMPARE(mark("BBBBBB"), QString("F"));
        QCOMPARE(mark("AAAAAA"), QString(""));
        QCOMPARE(dm->pendingOldIdentifier, QString());

        // A location save also records that a location was saved.
        dm->locationSaved = false;
        DataSet &l = *dm->qyLocais;
        l.open();
        QVERIFY(l.locate("codigo_local", 2));
        l.setValue("button_local", "FREE01");
        QVERIFY(l.post());
        QCOMPARE(mark("FREE01"), QString("L"));
        QVERIFY(dm->locationSaved);
    }

    void cancellingAnOwnerEditForgetsTheOldIdentifier()
    {
        DataSet &e = *dm->qyEventos;
        e.open();
        e.edit();
        QCOMPARE(dm->pendingOldIdentifier, QString("EEEEEE"));
        e.cancel();
        QCOMPARE(dm->pendingOldIdentifier, QString());
    }

    void deletingOwnedIdentifierAsksAndFreesTheOwner()
    {
        ScriptedMessageService msgs;
        DataSet &b = *dm->qyButtons;
        b.open();
        QVERIFY(b.locate("codigo_button", "AAAAAA"));
        msgs.expectConfirm(QString::fromUtf8("Memória já associada ao colaborador ANA. Confirma?"),
                           false);
        QVERIFY(!b.remove());
        QCOMPARE(count("select count(*) from buttons where codigo_button = 'AAAAAA'"), 1);
        QCOMPARE(tdb->scalar("select memoria from funcs where codigo_func = 1").toString(),
                 QString("AAAAAA"));

        msgs.expectConfirm(QString::fromUtf8("Memória já associada ao colaborador ANA. Confirma?"),
                           true);
        QVERIFY(b.remove());
        QCOMPARE(count("select count(*) from buttons where codigo_button = 'AAAAAA'"), 0);
        QCOMPARE(tdb->scalar("select memoria from funcs where codigo_func = 1").toString(),
                 QString(""));

        // An event's identifier also leaves the route it was the reference of.
        QVERIFY(b.locate("codigo_button", "EEEEEE"));
        msgs.expectConfirm(
            QString::fromUtf8("Memória já associada ao evento INICIO RONDA. Confirma?"), true);
        QVERIFY(b.remove());
        QCOMPARE(tdb->scalar("select button_evento from eventos where codigo_evento = 1")
                     .toString(),
                 QString(""));
        QCOMPARE(tdb->scalar("select button_referencia from roteiros where codigo_roteiro = 1")
                     .toString(),
                 QString(""));

        // A free identifier: no question beyond the window's own.
        QVERIFY(b.locate("codigo_button", "BBBBBB"));
        QVERIFY(b.remove());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    // Marked "E" but held by no event: the question names no owner, and Yes still takes the
    // identifier out of the route it was the reference of.
    void deletingEventMarkWithoutEventStillClearsTheRouteReference()
    {
        tdb->exec("update eventos set button_evento = '' where codigo_evento = 1");
        ScriptedMessageService msgs;
        DataSet &b = *dm->qyButtons;
        b.open();
        QVERIFY(b.locate("codigo_button", "EEEEEE"));
        msgs.expectConfirm(QString::fromUtf8("Memória já associada . Confirma?"), false);
        QVERIFY(!b.remove());
        QCOMPARE(tdb->scalar("select button_referencia from roteiros where codigo_roteiro = 1")
                     .toString(),
                 QString("EEEEEE"));

        msgs.expectConfirm(QString::fromUtf8("Memória já associada . Confirma?"), true);
        QVERIFY(b.remove());
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
        QCOMPARE(count("select count(*) from buttons where codigo_button = 'EEEEEE'"), 0);
        QCOMPARE(tdb->scalar("select button_referencia from roteiros where codigo_roteiro = 1")
                     .toString(),
                 QString(""));
    }

    void deletingEventThatIsRouteReference()
    {
        ScriptedMessageService msgs;
        DataSet &e = *dm->qyEventos;
        e.open();
        const QString question = QString::fromUtf8("Roteiro \"NOTURNO\" perderá a referência! "
                                                   "Continuar?");
        msgs.expectConfirm(question, false);
        QVERIFY(!e.remove());
        QCOMPARE(count("select count(*) from eventos"), 1);
        QCOMPARE(mark("EEEEEE"), QString("E"));
        QCOMPARE(tdb->scalar("select button_referencia from roteiros where codigo_roteiro = 1")
                     .toString(),
                 QString("EEEEEE"));

        msgs.expectConfirm(question, true);
        QVERIFY(e.remove());
        QCOMPARE(count("select count(*) from eventos"), 0);
        QCOMPARE(mark("EEEEEE"), QString(""));
        QCOMPARE(count("select count(*) from roteiros where button_referencia = 'EEEEEE'"), 0);
        QVERIFY2(msgs.done(), qPrintable(msgs.problems().join('\n')));
    }

    void deletingLocationRenumbersRouteStops()
    {
        // Route 1: PORTARIA at 002 and 004 of five stops; route 2: PORTARIA first.
        tdb->exec("insert into descrot (codigo_roteiro, ordem, codigo_local) values "
                  "(1,'001',2), (1,'002',1), (1,'003',3), (1,'004',1), (1,'005',2), "
                  "(2,'001',1), (2,'002',3)");
        DataSet &l = *dm->qyLocais;
        l.open();
        QVERIFY(l.locate("codigo_local", 1));
        QVERIFY(l.remove());
        QCOMPARE(stops(1), (QStringList{"001:2", "002:3", "003:2"}));
        QCOMPARE(stops(2), (QStringList{"001:3"}));
        QCOMPARE(mark("LLLLLL"), QString(""));
    }

    void deletingCollaboratorFreesItsIdentifier()
    {
        DataSet &f = *dm->qyFuncs;
        f.open();
        QVERIFY(f.remove());
        QCOMPARE(mark("AAAAAA"), QString(""));
    }

    void aFailingRuleLeavesNothingHalfDone()
    {
        // The route table is gone: the location's cascade fails after it freed the identifier.
        tdb->exec("rename table roteiros to roteiros_fora");
        DataSet &l = *dm->qyLocais;
        l.open();
        QVERIFY(l.locate("codigo_local", 1));
        bool failed = false;
        try {
            l.remove();
        } catch (const DbError &e) {
            failed = true;
            QVERIFY(e.text().startsWith("Erro no banco de dados"));
        }
        QVERIFY(failed);
        QCOMPARE(mark("LLLLLL"), QString("L"));
        QCOMPARE(count("select count(*) from locais where codigo_local = 1"), 1);
        QCOMPARE(l.recordCount(), 3);

        // An owner save whose identifier update fails keeps the edit open and the marks.
        tdb->exec("rename table roteiros_fora to roteiros");
        tdb->exec("alter table buttons modify referencia char(1) not null");
        tdb->exec("create trigger no_free before update on buttons for each row "
                  "if new.referencia = '' then signal sqlstate '45000' set message_text = "
                  "'recusado'; end if");
        DataSet &f = *dm->qyFuncs;
        f.open();
        f.edit();
        f.setValue("memoria", "BBBBBB");
        failed = false;
        try {
            f.post();
        } catch (const DbError &) {
            failed = true;
        }
        QVERIFY(failed);
        QCOMPARE(f.state(), DataSet::State::Edit);
        QCOMPARE(mark("BBBBBB"), QString(""));
        QCOMPARE(mark("AAAAAA"), QString("F"));
        QCOMPARE(tdb->scalar("select memoria from funcs where codigo_func = 1").toString(),
                 QString("AAAAAA"));
    }
};

QTEST_MAIN(TestIdentifierRules)
#include "tst_identifierrules.moc"
