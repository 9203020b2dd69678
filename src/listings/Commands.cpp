#include "listings/Commands.h"

#include "core/TfmQ90ini.h"
#include "listings/TfmExporta.h"
#include "listings/TfmExportaJornal.h"
#include "platform/MessageService.h"

namespace Listings {

void registerCommands(TfmQ90ini &window)
{
    TfmQ90ini *w = &window;
    window.registerCommand("Exportarregistrodepontos1Click", [w] {
        TfmExporta dialog(w);
        DialogRunner::exec(&dialog);
    });
    window.registerCommand("Exportarcoletasdejornais1Click", [w] {
        TfmExportaJornal dialog(w);
        DialogRunner::exec(&dialog);
    });
}

}  // namespace Listings
