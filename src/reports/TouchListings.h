#pragma once

#include "platform/Progress.h"
#include "reports/Listing.h"

#include <QDateTime>
#include <QHash>
#include <QSqlQuery>

#include "core/db/Sql.h"
#include <optional>

class TdmzDados;

// Period fields typed as "dd/mm/yyyy hh:nn" (blanks where nothing was typed).
namespace PeriodField {
// Whether the user typed anything in it.
bool filled(const QString &masked);
// The field's date-time; nullopt (after the error "<field>: '<text>' não é uma data e hora
// válida") when it is filled but not a date and time.
std::optional<QDateTime> read(const QString &field, const QString &masked);
// Both ends of a period, "Início" then "Fim", each read as read() reads it; false after the
// first one's error, the other end then left unread.
bool readBoth(const QString &startMasked, const QString &endMasked, std::optional<QDateTime> &start,
              std::optional<QDateTime> &end);
}  // namespace PeriodField

// Names looked up per identifier, each answer asked of the server once per run with the
// statement the system defines for it.
class IdentifierNames {
public:
    explicit IdentifierNames(TdmzDados &dm) : m_dm(dm) {}
    QString collaborator(const QString &identifier);  // funcs.nome_func by memoria
    QString location(const QString &identifier);      // locais.nome_local by button_local
    QString event(const QString &identifier);         // eventos.desc_evento by button_evento
    // The first character of buttons.referencia, a blank when empty or not registered.
    QChar referenceKind(const QString &identifier);
    // Asks the answers for many identifiers at once (a few statements per thousand instead
    // of one per identifier), for a report that already holds its touches. The answers are
    // those of the one-by-one lookups: the first row found, empty when none.
    void prefetch(const QStringList &identifiers);

private:
    struct Lookup {
        QString sql;
        QString param;
        QString table, field, answer;  // asked in bulk: the registry, its key and the answer
        std::optional<Sql::Query> query;
        QHash<QString, QString> answers;
    };
    QString ask(Lookup &lookup, const QString &identifier);
    void prefetch(Lookup &lookup, const QStringList &identifiers);

    TdmzDados &m_dm;
    Lookup m_funcs{QStringLiteral("select nome_func from funcs where memoria = :pm"), ":pm",
                   "funcs", "memoria", "nome_func", {}, {}};
    Lookup m_locais{QStringLiteral("select nome_local from locais where button_local = :pm"), ":pm",
                    "locais", "button_local", "nome_local", {}, {}};
    Lookup m_eventos{QStringLiteral("select desc_evento from eventos where button_evento = :pm"), ":pm",
                     "eventos", "button_evento", "desc_evento", {}, {}};
    Lookup m_buttons{QStringLiteral("select referencia from buttons where codigo_button = :pcod"), ":pcod",
                     "buttons", "codigo_button", "referencia", {}, {}};
};

// "Analítico por Coletor": every touch of one collector's download, or of a period, with the
// collaborator, location and event its identifier names. The rows go through the working
// table "rel" (Col1 date-time "dd/mm/yyyy hh:nn", Col2..Col4 the names).
struct TouchesByCollectorInputs {
    QString collector;       // codigo_coletor; empty: no collector
    QString collectorName;
    QDateTime download;      // the chosen download; invalid: none
    QString periodStart;     // masked "dd/mm/yyyy hh:nn"; used when both are filled
    QString periodEnd;
};

class TouchesByCollector {
public:
    static inline const QString kWorkingTable = QStringLiteral("rel");

    explicit TouchesByCollector(TdmzDados &dm) : m_dm(dm) {}
    static ListingConfig config();
    // The listing; nullopt after the message that says why there is none. DbError when the
    // database or the working table fails.
    // `progress` hears how far it is and may stop it (nullopt, the working table left empty).
    std::optional<Listing> run(const TouchesByCollectorInputs &inputs, Progress progress = {});

private:
    TdmzDados &m_dm;
};

// "Analítico por roteiro": route after route (a name between blank rows), the touches of the
// period recorded under it whose identifier names a registered collaborator, location or event
// by its reference kind. Working table "temp" (Col1..Col4).
struct TouchesByRouteInputs {
    QString periodStart;  // masked "dd/mm/yyyy hh:nn", both required
    QString periodEnd;
    QString route;        // codigo_roteiro; empty: every route
    QString routeName;
};

class TouchesByRoute {
public:
    static inline const QString kWorkingTable = QStringLiteral("temp");

    explicit TouchesByRoute(TdmzDados &dm) : m_dm(dm) {}
    static ListingConfig config();
    // `progress` hears how far it is and may stop it (nullopt, the working table left empty).
    std::optional<Listing> run(const TouchesByRouteInputs &inputs, Progress progress = {});

private:
    TdmzDados &m_dm;
};
