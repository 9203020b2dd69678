#pragma once

#include "reports/Listing.h"

#include <QVariant>

class TdmzDados;

// One registered route as the route listing shows it, with its stops in their order.
struct ListedRoute {
    struct Stop {
        QString order;     // descrot.ordem
        QString location;  // descrot.nome_local
        int tMin = 0;
        int tMax = 0;
    };
    QString name;
    QString company;
    QString referenceEvent;  // the reference identifier's event, empty when none
    QString start;           // hora_saida, hh:mm:ss
    QString end;             // hora_chegada
    QString routeMin;        // t_rot_min
    QString routeMax;
    QString standardMin;     // t_min_padrao
    QString standardMax;
    bool localTimes = false;     // tempo_locais is yes
    bool standardTimes = false;  // tempo_padrao is yes
    QList<Stop> stops;

    // The spreadsheet's "Tempo mínimo" and "Máximo" texts, from the two time options.
    QString minimumText() const;
    QString maximumText() const;
};

// "Roteiros": every route (or one) by name, with its settings and its stops. The same routes
// give the printed report, the spreadsheet and torvelctl's text.
class RouteListing {
public:
    explicit RouteListing(TdmzDados &dm) : m_dm(dm) {}

    // The routes by name; only the route `code` (codigo_roteiro) when it is valid. DbError
    // when a query fails.
    QList<ListedRoute> routes(const QVariant &code = {});

    // The printed report: each route's band (its fields and the stops' headings) opens its
    // stops, again on every page the route runs on to, on a new page per route with
    // `onePerPage`; the stops shaded every other row; "Total de locais: " at each page's foot.
    static Listing printed(const QList<ListedRoute> &routes, bool onePerPage);
    // The spreadsheet; false (after the message) when it cannot be written.
    static bool writeSpreadsheet(const QList<ListedRoute> &routes, QString *path = nullptr);
    // The spreadsheet's rows as text, its columns from 1 to 10 separated by tabs (trailing
    // empty ones left off), an empty line between routes.
    static QStringList tsv(const QList<ListedRoute> &routes);
    // "T_min/T_max", empty for "0/0".
    static QString limitsText(const ListedRoute::Stop &stop);

private:
    TdmzDados &m_dm;
};
