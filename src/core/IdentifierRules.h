#pragma once

#include <QDateTime>
#include <QString>

class TdmzDados;

// The rules that keep identifier ownership consistent, attached to the data module's shared
// queries so they hold whichever window edits identifiers, collaborators, events or
// locations:
// - a new identifier is registered later than every other one, and starts free;
// - a saved identifier code keeps only its last six characters;
// - deleting an owned identifier asks, then frees its owner (and an event's route reference);
// - saving an owner marks its identifier and frees the one it replaced;
// - deleting an owner frees its identifier; an event also leaves its routes, after asking; a
//   location also leaves every route, whose stops are renumbered without gaps.
// The statements of each rule run in the same transaction as the row's own write.
namespace IdentifierRules {
void install(TdmzDados &dm);

// The registration time for a new identifier, given the latest one registered: now, or one
// minute after the latest when that is not at least 0.864 s before now.
QDateTime registrationTime(const QDateTime &latest, const QDateTime &now);

// The code stored for a typed one: at most 12 characters, of which only the last six are kept
// when there are more.
QString storedCode(const QString &typed);
}  // namespace IdentifierRules
