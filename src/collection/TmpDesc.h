#pragma once

#include "platform/LocalTable.h"

#include <QList>

class TdmzDados;

// The working table of the last download, "tmpdesc" in the temp folder: written by the ingest,
// read by the review window and by "Última descarga" until the next collection.
namespace TmpDesc {

inline constexpr const char *kName = "tmpdesc";

QList<LocalField> fields();
// Recreates the table empty and records in TORVEL.INI (OPERACAO/CRIOUDESCARGA) that it exists.
bool recreate(TdmzDados &dm);

}  // namespace TmpDesc
