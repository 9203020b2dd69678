#pragma once

#include "platform/Progress.h"
#include "reports/Listing.h"

#include <QString>
#include <optional>

class TdmzDados;

// One choice of the programmable report's window: what its field shows (a name after a search,
// or whatever was typed) and the code the search stored, empty when none was stored.
struct ProgrammableChoice {
    QString text;
    QString code;
    bool stored() const { return !code.isEmpty(); }
};

// What the window "Relatório Programável" gathers.
struct ProgrammableInputs {
    // "Dados coletados de:": which kinds of identifier touch are listed, each all of its kind
    // (blank field) or only the identifier the search stored (memoria, button_local,
    // button_evento).
    bool collaborators = true;
    ProgrammableChoice collaborator;
    bool locations = true;
    ProgrammableChoice location;
    bool events = true;
    ProgrammableChoice event;
    // "Dados pertencentes ao:": checked with a stored choice filters the touches on it, checked
    // without one adds the name column. Codes: codigo_coletor, codigo_func and codigo_roteiro,
    // whole.
    bool byCollector = false;
    ProgrammableChoice collector;
    bool byCollaborator = false;
    ProgrammableChoice collaboratorCode;
    bool byRoute = false;
    ProgrammableChoice route;
    // "Exibir".
    bool unregistered = true;
    bool unbound = true;
    // "dd/mm/yyyy hh:nn" as the masked fields give them.
    QString periodStart;
    QString periodEnd;
};

// "Analítico Programável": the touches of a period in time order, one row per touch that the
// choices let through, in the working table "temp" (Col1 date-time, Col2 description, Col3..Col5
// collector, collaborator and route names) of the data module's temp folder, recreated at every
// run. The registries are asked about the period's identifiers before the touches are read, a
// few hundred identifiers to a statement, with the system's lookups' grouping and order; the
// names of the columns are asked once per code, with the system's statements.
class ProgrammableReport {
public:
    static inline const QString kWorkingTable = QStringLiteral("temp");

    explicit ProgrammableReport(TdmzDados &dm) : m_dm(dm) {}

    // "Período: <start> a <end>".
    static QString periodLine(const ProgrammableInputs &inputs);
    // "- Coletor: <name>", "- Colaborador: <name>", "- Roteiro: <name>" for each filter in force.
    static QString belongingLine(const ProgrammableInputs &inputs);
    // Whether the collector, collaborator and route name columns are filled (box checked, no
    // choice stored).
    static bool collectorColumn(const ProgrammableInputs &inputs);
    static bool collaboratorColumn(const ProgrammableInputs &inputs);
    static bool routeColumn(const ProgrammableInputs &inputs);
    // The printed report's columns (the name columns only where they are filled) and the
    // spreadsheet's shape.
    static ListingConfig config(const ProgrammableInputs &inputs);

    // The report; nullopt after the message that says why there is none (a period that is not
    // a date and time, checked before anything is read; a run stopped through `progress`, which
    // leaves the working table empty). `progress` hears the touches counted and handled. DbError
    // when the database or the working table fails; the working table is then left empty too.
    std::optional<Listing> run(const ProgrammableInputs &inputs, Progress progress = {});

private:
    TdmzDados &m_dm;
};
