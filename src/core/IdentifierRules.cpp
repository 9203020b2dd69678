#include "core/IdentifierRules.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/BusyCursor.h"
#include "platform/DateTimeText.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "platform/TextCut.h"

#include <QSqlQuery>
#include <optional>

namespace IdentifierRules {

namespace {

// 1e-5 day (0.864 s) and the system's "one minute" step, both as day fractions.
constexpr double kCloseEnough = 1e-5;
constexpr double kOneMinute = 0.00069444440305233;

QString str(const QVariant &v) { return v.toString(); }

void freeIdentifier(const QSqlDatabase &db, const QString &code)
{
    Sql::exec(db, QStringLiteral("UPDATE buttons SET referencia= \"\" WHERE codigo_button = "
                                 ":pcodigo_button"),
              {{"pcodigo_button", code}});
}

// --- identifiers ---

void afterInsertButton(TdmzDados &dm, DataSet &q)
{
    BusyCursor busy;
    QDateTime latest;
    QSqlQuery last = Sql::exec(
        dm.db(), QStringLiteral("select data_cadastro from buttons order by data_cadastro desc"));
    if (last.next())
        latest = last.value(0).toDateTime();
    const QDateTime chosen = registrationTime(latest, SystemServices::now());
    // Shown to the second, and stored as shown.
    q.setValue("data_cadastro", chosen.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
    q.setValue("referencia", QStringLiteral(""));  // empty, not null: free
}

void beforePostButton(DataSet &q) { q.setValue("codigo_button", storedCode(str(q.value("codigo_button")))); }

void beforeDeleteButton(TdmzDados &dm, DataSet &q)
{
    const QString mark = str(q.value("referencia")).trimmed();
    if (mark.isEmpty())
        return;
    const QString code = str(q.value("codigo_button"));
    QString owner;
    std::optional<int> ownerId;  // the owner row found, if any
    const QChar kind = mark.at(0);
    if (kind == 'E' && dm.FindByField(code, "button_evento", "eventos")) {
        owner = "ao evento " + dm.qyProcura->text("desc_evento");
        ownerId = dm.qyProcura->asInt("codigo_evento");
    } else if (kind == 'F' && dm.FindByField(code, "memoria", "funcs")) {
        owner = "ao colaborador " + dm.qyProcura->text("nome_func");
        ownerId = dm.qyProcura->asInt("codigo_func");
    } else if (kind == 'L' && dm.FindByField(code, "button_local", "locais")) {
        owner = "ao local " + dm.qyProcura->text("nome_local");
        ownerId = dm.qyProcura->asInt("codigo_local");
    }
    owner = TextCut::left(owner, 50);
    if (!Msg::confirm(QString::fromUtf8("Memória já associada ") + owner + ". Confirma?"))
        throw DataSetAbort();
    const QSqlDatabase db = dm.db();
    if (kind == 'E') {
        if (ownerId)
            Sql::exec(db, QStringLiteral("UPDATE eventos SET button_evento= \"\" WHERE codigo_evento= "
                                         ":pcodigo_evento"),
                      {{"pcodigo_evento", *ownerId}});
        // The route reference goes with the identifier even when no event holds it any more
        // (an event emptied by hand, a restored backup): a route must never keep a reference
        // to an identifier that no longer exists.
        QSqlQuery route = Sql::exec(
            db, QStringLiteral("select codigo_roteiro from roteiros where button_referencia = "
                               ":pbutton_referencia"),
            {{"pbutton_referencia", code}});
        if (route.next())
            Sql::exec(db, QStringLiteral("UPDATE roteiros SET button_referencia = \"\" WHERE "
                                         "codigo_roteiro = :pcodigo_roteiro"),
                      {{"pcodigo_roteiro", route.value(0).toInt()}});
    } else if (kind == 'F' && ownerId) {
        Sql::exec(db, QStringLiteral("UPDATE funcs SET memoria= \"\" WHERE codigo_func= "
                                     ":pcodigo_func"),
                  {{"pcodigo_func", *ownerId}});
    } else if (kind == 'L' && ownerId) {
        Sql::exec(db, QStringLiteral("UPDATE locais SET button_local= \"\" WHERE codigo_local= "
                                     ":pcodigo_local"),
                  {{"pcodigo_local", *ownerId}});
    }
}

// --- owners ---

struct Owner {
    DataSet *query;
    const char *identifierField;
    const char *mark;
};

void beforeEditOwner(TdmzDados &dm, DataSet &q, const Owner &o)
{
    dm.pendingOldIdentifier = str(q.value(o.identifierField)).left(12);
}

// Marking the new identifier and freeing the replaced one run before the row's own write, in
// its transaction, so a failure leaves all three as they were.
void beforePostOwner(TdmzDados &dm, DataSet &q, const Owner &o)
{
    const QString code = str(q.value(o.identifierField));
    if (code.isEmpty())
        return;
    Sql::exec(dm.db(),
              QStringLiteral("UPDATE buttons SET referencia= \"%1\" WHERE codigo_button = "
                             ":pcodigo_button")
                  .arg(QLatin1String(o.mark)),
              {{"pcodigo_button", code}});
    const QString old = dm.pendingOldIdentifier;
    if (!old.isEmpty() && old != code)
        freeIdentifier(dm.db(), old);
}

void afterPostOwner(TdmzDados &dm, const Owner &o)
{
    dm.pendingOldIdentifier.clear();
    if (QLatin1String(o.mark) == QLatin1String("L"))
        dm.locationSaved = true;
}

void beforeDeleteFunc(TdmzDados &dm, DataSet &q)
{
    const QString code = str(q.value("memoria"));
    if (!code.isEmpty())
        freeIdentifier(dm.db(), code);
}

void beforeDeleteEvent(TdmzDados &dm, DataSet &q)
{
    const QString code = str(q.value("button_evento"));
    if (code.isEmpty())
        return;
    const QSqlDatabase db = dm.db();
    if (dm.CountByField(code, "button_referencia", "roteiros") > 0) {
        QSqlQuery first = Sql::exec(
            db, QStringLiteral("select nome_roteiro from roteiros where button_referencia = "
                               ":pbutton_referencia"),
            {{"pbutton_referencia", code}});
        const QString name = first.next() ? first.value(0).toString() : QString();
        if (!Msg::confirm(QString::fromUtf8("Roteiro \"") + name +
                          QString::fromUtf8("\" perderá a referência! Continuar?")))
            throw DataSetAbort();
    }
    freeIdentifier(db, code);
    Sql::exec(db,
              QStringLiteral("UPDATE roteiros SET button_referencia = \"\"") +
                  QStringLiteral(" WHERE button_referencia = :pbutton_referencia"),
              {{"pbutton_referencia", code}});
}

void beforeDeleteLocation(TdmzDados &dm, DataSet &q)
{
    BusyCursor busy;
    const QSqlDatabase db = dm.db();
    const QString code = str(q.value("button_local"));
    if (!code.isEmpty())
        freeIdentifier(db, code);
    const int location = q.asInt("codigo_local");

    QList<int> routes;
    QSqlQuery all = Sql::exec(db, QStringLiteral("select * from roteiros"));
    while (all.next())
        routes << all.value("codigo_roteiro").toInt();
    for (int route : routes) {
        struct Stop {
            int cod;
            QString ordem;
            int local;
        };
        QList<Stop> stops;
        QSqlQuery s = Sql::exec(db,
                                QStringLiteral("select cod, ordem, codigo_local from descrot "
                                               "where codigo_roteiro = :pcodigo_roteiro order by "
                                               "ordem"),
                                {{"pcodigo_roteiro", route}});
        while (s.next())
            stops.append({s.value(0).toInt(), s.value(1).toString(), s.value(2).toInt()});
        int nextFree = 0;  // 0: no stop at the location met yet
        for (const Stop &stop : std::as_const(stops)) {
            if (stop.local == location) {
                if (nextFree == 0)
                    nextFree = stop.ordem.toInt();
                Sql::exec(db,
                          QStringLiteral("delete from descrot where ") +
                              QStringLiteral(" codigo_roteiro = :pcodigo_roteiro and ") +
                              QStringLiteral(" ordem = :pordem"),
                          {{"pcodigo_roteiro", route}, {"pordem", stop.ordem}});
            } else if (nextFree > 0) {
                Sql::exec(db, QStringLiteral("update descrot set ordem = :pordem where cod = :pcod"),
                          {{"pordem", QStringLiteral("%1").arg(nextFree, 3, 10, QChar('0'))},
                           {"pcod", stop.cod}});
                ++nextFree;
            }
        }
    }
}

}  // namespace

QDateTime registrationTime(const QDateTime &latest, const QDateTime &now)
{
    if (!latest.isValid())
        return now;
    const double last = DateTimeText::toDays(latest);
    if (last + kCloseEnough >= DateTimeText::toDays(now))
        return DateTimeText::fromDays(last + kOneMinute);
    return now;
}

QString storedCode(const QString &typed)
{
    const QString code = typed.left(12);
    return code.size() > 6 ? code.right(6) : code;
}

void install(TdmzDados &dm)
{
    using E = DataSet::Event;
    DataSet &buttons = *dm.qyButtons;
    buttons.setAtomicWrites(true);
    buttons.on(E::AfterInsert, [&dm](DataSet &q) { afterInsertButton(dm, q); });
    buttons.on(E::BeforePost, [](DataSet &q) { beforePostButton(q); });
    buttons.on(E::BeforeDelete, [&dm](DataSet &q) { beforeDeleteButton(dm, q); });

    const Owner owners[] = {{dm.qyFuncs, "memoria", "F"},
                            {dm.qyEventos, "button_evento", "E"},
                            {dm.qyLocais, "button_local", "L"}};
    for (const Owner &o : owners) {
        o.query->setAtomicWrites(true);
        o.query->on(E::BeforeEdit, [&dm, o](DataSet &q) { beforeEditOwner(dm, q, o); });
        o.query->on(E::BeforePost, [&dm, o](DataSet &q) { beforePostOwner(dm, q, o); });
        o.query->on(E::AfterPost, [&dm, o](DataSet &) { afterPostOwner(dm, o); });
        o.query->on(E::AfterCancel, [&dm](DataSet &) { dm.pendingOldIdentifier.clear(); });
    }
    dm.qyFuncs->on(E::BeforeDelete, [&dm](DataSet &q) { beforeDeleteFunc(dm, q); });
    dm.qyEventos->on(E::BeforeDelete, [&dm](DataSet &q) { beforeDeleteEvent(dm, q); });
    dm.qyLocais->on(E::BeforeDelete, [&dm](DataSet &q) { beforeDeleteLocation(dm, q); });
}

}  // namespace IdentifierRules
