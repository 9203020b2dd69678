#pragma once

// Registries and touches of a consistency scenario, written to a test database in a few
// readable lines, and the working table read back one line per row.
#include "ProgramFixture.h"
#include "TestDatabase.h"
#include "core/TdmzDados.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "reports/ConsistencyAnalysis.h"

#include <QDebug>
#include <QHash>
#include <QTime>
#include <QStringList>

struct RouteSpec {
    QString name;
    QStringList stops;            // location names in their order
    QList<QPair<int, int>> limits;  // t_min, t_max of each stop; 0, 0 when absent
    QString company;
    QString departure;            // "hh:mm:ss"; empty leaves hora_saida NULL
    bool checkOrder = false;      // ordemvisitas
    bool timeBetween = false;     // tempo_locais
    bool standardLimits = false;  // tempo_padrao
    QString standardMin = "0";
    QString standardMax = "0";
    bool checkDuration = false;   // temporoteiro
    QString durationMin = "0";
    QString durationMax = "0";
};

class Scenario {
public:
    static inline const QString kCollector = QStringLiteral("COL01");
    static inline const QString kDownload = QStringLiteral("08/12/2026 18:00:00");

    explicit Scenario(const TestDatabase &db) : m_db(db) {}

    // A location, registered once per name; its identifier.
    QString location(const QString &name)
    {
        if (const auto it = m_locations.constFind(name); it != m_locations.constEnd())
            return it.value();
        const QString id = identifier('C', m_locations.size() + 1);
        exec("insert into buttons (codigo_button, referencia) values (:a, 'L')", {id});
        exec("insert into locais (nome_local, button_local) values (:a, :b)", {name, id});
        m_locations.insert(name, id);
        return id;
    }

    QString collaborator(const QString &name)
    {
        const QString id = identifier('F', ++m_collaborators);
        exec("insert into buttons (codigo_button, referencia) values (:a, 'F')", {id});
        exec("insert into funcs (codigo_func, nome_func, memoria) values (:a, :b, :c)",
             {QString::number(m_collaborators), name, id});
        return id;
    }

    int collaboratorCode(const QString &memory) const
    {
        return m_db.scalar("select codigo_func from funcs where memoria = '" + memory + "'").toInt();
    }

    QString event(const QString &description)
    {
        const QString id = identifier('E', ++m_events);
        exec("insert into buttons (codigo_button, referencia) values (:a, 'E')", {id});
        exec("insert into eventos (desc_evento, button_evento) values (:a, :b)", {description, id});
        return id;
    }

    // A route with its reference event "INICIO " + name; the reference identifier.
    QString route(const RouteSpec &plan)
    {
        const QString reference = event("INICIO " + plan.name);
        const int code = ++m_routes;
        auto flag = [](bool on) { return on ? QStringLiteral("0") : QStringLiteral("-1"); };
        exec("insert into roteiros (codigo_roteiro, nome_roteiro, empresa, button_referencia, "
             "hora_saida, ordemvisitas, tempo_locais, tempo_padrao, t_min_padrao, t_max_padrao, "
             "temporoteiro, t_rot_min, t_rot_max) values (:a, :b, :c, :d, :e, :f, :g, :h, :i, "
             ":j, :k, :l, :m)",
             {QString::number(code), plan.name, plan.company, reference,
              plan.departure.isEmpty() ? QString() : plan.departure, flag(plan.checkOrder),
              flag(plan.timeBetween), flag(plan.standardLimits), plan.standardMin,
              plan.standardMax, flag(plan.checkDuration), plan.durationMin, plan.durationMax});
        for (int i = 0; i < plan.stops.size(); ++i) {
            const QPair<int, int> limit = plan.limits.value(i, {0, 0});
            exec("insert into descrot (codigo_roteiro, ordem, codigo_local, t_min, t_max, "
                 "nome_local) values (:a, :b, 0, :c, :d, :e)",
                 {QString::number(code), QString("%1").arg(i + 1, 3, 10, QChar('0')),
                  QString::number(limit.first), QString::number(limit.second), plan.stops.at(i)});
            location(plan.stops.at(i));
        }
        m_routeOf.insert(reference, code);
        return reference;
    }

    int routeCode(const QString &reference) const { return m_routeOf.value(reference); }

    // The route and collaborator the ingest would record on the next touches.
    void recordRoute(int code) { m_recordedRoute = code; }
    void recordCollaborator(int code) { m_recordedCollaborator = code; }

    // A touch at "hh:mm:ss" of 08/12/2026, or at a full "dd/mm/yyyy hh:mm:ss". A reference
    // touch switches the recorded route, as the ingest does.
    void touch(const QString &id, const QString &when, const QString &collector = kCollector)
    {
        if (m_routeOf.contains(id))
            m_recordedRoute = m_routeOf.value(id);
        const QString full = when.contains('/') ? when : "08/12/2026 " + when;
        const QString param = full.mid(6, 4) + '-' + full.mid(3, 2) + '-' + full.mid(0, 2) +
                              (full.size() > 10 ? full.mid(10) : QString(" 00:00:00"));
        exec("insert into desctot (coletor, data_descarga, button, data_toque, tipo_button, "
             "codigo_roteiro, codigo_func) values (:a, '2026-12-08 18:00:00', :b, :c, '02', :d, :e)",
             {collector, id, param, QString::number(m_recordedRoute),
              QString::number(m_recordedCollaborator)});
    }

    void touches(const QStringList &ids, const QString &from, int secondsApart = 60)
    {
        QTime t = QTime::fromString(from, "hh:mm:ss");
        for (const QString &id : ids) {
            touch(id, t.toString("hh:mm:ss"));
            t = t.addSecs(secondsApart);
        }
    }

    static ConsistencyInputs download()
    {
        ConsistencyInputs in;
        in.collector = kCollector;
        in.download = kDownload;
        return in;
    }

    // The analysis run on `inputs`; a message it shows that no test expected is reported.
    static ConsistencyResult analyse(TdmzDados &dm, const ConsistencyInputs &inputs)
    {
        ScriptedMessageService msgs;
        ConsistencyAnalysis analysis(dm);
        const ConsistencyResult result = analysis.run(inputs);
        if (!msgs.done())
            qWarning() << msgs.problems();
        return result;
    }

    // Col1..Col7 of each row joined by '|', trailing empty cells left out; fails the test when
    // Contador is not 1, 2, 3, ... in the table's order.
    static QStringList rows(const TdmzDados &dm, bool checkCounter = true)
    {
        LocalTable table(dm.tempFolder(), ConsistencyAnalysis::kWorkingTable);
        if (!table.open())
            return {"<no table>"};
        QStringList lines;
        qlonglong expected = 0;
        for (const QVariantList &row : table.rows()) {
            if (row.value(0).toLongLong() != ++expected && checkCounter)
                return {"<Contador out of order>"};
            QStringList cells;
            for (int i = 1; i < row.size(); ++i)
                cells << row.at(i).toString();
            while (!cells.isEmpty() && cells.last().isEmpty())
                cells.removeLast();
            lines << cells.join('|');
        }
        return lines;
    }

    // The same without the Contador check, for a table the report output condensed.
    static QStringList rowsLoose(const TdmzDados &dm) { return rows(dm, false); }

private:
    static QString identifier(char kind, int n)
    {
        return QString(QChar(kind)) + QString("%1").arg(n, 5, 10, QChar('0'));
    }

    void exec(const QString &sql, const QStringList &values) const
    {
        Bindings bindings;
        for (int i = 0; i < values.size(); ++i)
            bindings.push_back({":" + QString(QChar('a' + i)),
                                values.at(i).isNull() ? QVariant() : QVariant(values.at(i))});
        Sql::exec(m_db.db(), sql, bindings);
    }

    const TestDatabase &m_db;
    QHash<QString, QString> m_locations;
    QHash<QString, int> m_routeOf;
    int m_collaborators = 0;
    int m_events = 0;
    int m_routes = 0;
    int m_recordedRoute = 0;
    int m_recordedCollaborator = 0;
};

// The consistency tests' set-up: the program's fixture and a scenario on its database.
class ScenarioFixture : public ProgramFixture {
protected:
    std::unique_ptr<Scenario> sc;

    bool startScenario(const Start &how = {})
    {
        if (!startProgram(how))
            return false;
        sc = std::make_unique<Scenario>(*tdb);
        return true;
    }

    void stopScenario()
    {
        sc.reset();
        stopProgram();
    }

    ConsistencyResult run(const ConsistencyInputs &in = Scenario::download()) { return Scenario::analyse(*dm, in); }
    QStringList rows() const { return Scenario::rows(*dm); }
};
