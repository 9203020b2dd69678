#include "app/Commands.h"

#include "core/TfmQ90ini.h"

void registerCommands(TfmQ90ini &window)
{
    // The main window registers its own commands (settings, help, about, exit). The modules
    // of registries, collection, reports and listings add theirs here as they come.
    (void)window;
}
