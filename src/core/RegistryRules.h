#pragma once

#include <QString>

class TdmzDados;

// Rules of the other registries, on the data module's shared queries: new events, locations
// and collectors are stamped with their registration time, and job function codes are stored
// with five digits.
namespace RegistryRules {
void install(TdmzDados &dm);

// "7" -> "00007"; an empty code -> "00000"; five or more characters unchanged.
QString paddedFunctionCode(const QString &code);
}  // namespace RegistryRules
