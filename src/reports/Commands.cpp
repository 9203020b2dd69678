#include "reports/Commands.h"

#include "collection/TfmDescarga.h"
#include "core/TfmQ90ini.h"
#include "platform/MessageService.h"
#include "reports/TfmRelCons1.h"

namespace Reports {

void openConsistency(TfmQ90ini &window)
{
    TfmRelCons1 report(window.preselColetor, window.preselDescarga, &window);
    DialogRunner::exec(&report);
}

void registerCommands(TfmQ90ini &window)
{
    TfmQ90ini *w = &window;
    window.registerCommand("ConsistenciaClick", [w] { openConsistency(*w); });
    TfmDescarga::setConsistencyRunner(&TfmRelCons1::automaticCheck);
}

}  // namespace Reports
