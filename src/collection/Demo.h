#pragma once

#include <QDate>
#include <QString>

class TdmzDados;

// A demonstration company for newcomers: a dozen checkpoints with their identifiers, events,
// collaborators, job functions, two routes with stops and time limits, one collector per
// model; and each simulated terminal loaded with a day of rounds holding a few inversions,
// missed and foreign stops, late intervals and an identifier nobody registered.
namespace Demo {

// Fills an empty database and the simulated terminals of the program folder. Refuses (with
// the reason in `error`) a database that already has locations, so real data is never mixed
// with the demonstration's.
bool install(TdmzDados &dm, const QDate &day, QString *error);

}  // namespace Demo
