#include "app/Commands.h"

#include "collection/Commands.h"
#include "core/TfmQ90ini.h"
#include "listings/Commands.h"
#include "registries/Commands.h"
#include "reports/Commands.h"

void registerCommands(TfmQ90ini &window)
{
    // The main window registers its own commands (settings, help, about, exit).
    Registries::registerCommands(window);
    Collection::registerCommands(window);
    Reports::registerCommands(window);
    Listings::registerCommands(window);
}
