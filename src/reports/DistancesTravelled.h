#pragma once

#include "platform/Progress.h"
#include "reports/Listing.h"

#include <optional>

class TdmzDados;

// "Distâncias percorridas": one collector's touches day by day, consecutive locations turned
// into legs, each leg measured with the registry of distances (in its one direction) and
// priced with the price per km of its day.
//
// The analytic form lists every visit (arrival, departure, permanence, time in transit, km and
// cost) with the day's events and collaborators, totals per day and a grand total; an event
// ends the chain of legs. The synthetic form lists one line per leg and one total; an event
// does not end the chain. A leg never runs from one day into the next.
enum class DistanceForm { Analytic, Synthetic };

struct DistancesInputs {
    QString collector;      // codigo_coletor; empty when none is registered or selected
    QString collectorName;  // for the page header
    QString firstDay;       // "dd/mm/yyyy" as typed
    QString lastDay;
    DistanceForm form = DistanceForm::Analytic;
};

class DistancesTravelled {
public:
    // The working table the rows go through, in the data module's temp folder, left there.
    static inline const QString kWorkingTable = QStringLiteral("temp");
    static const QString kSeparator;  // 116 underscores

    explicit DistancesTravelled(TdmzDados &dm) : m_dm(dm) {}

    // The working table's fields, in order: evento, local, chegada, saida, tempopermanencia,
    // tempoentrelocais, km, custokm (analytic) or data, cidsaida, cidchegada, km, custokm.
    static QStringList fields(DistanceForm form);
    // Titles and columns; "Coletor: " with the name heads every page (set by run()).
    static ListingConfig config(DistanceForm form);

    // The report; nullopt after "'<texto>' não é uma data válida" for a day that is not a date
    // (nothing written then). DbError when the touches cannot be read or the working table
    // cannot be written.
    // `progress` hears how far it is and may stop it (nullopt, the working table left empty).
    std::optional<Listing> run(const DistancesInputs &inputs, Progress progress = {});

    // "hhh:mm" of a span of whole seconds, minutes rounded half to even; "   -  " for 000:00.
    static QString durationText(qint64 seconds);

private:
    TdmzDados &m_dm;
};
