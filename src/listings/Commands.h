#pragma once

class TfmQ90ini;

namespace Listings {
// The exports' commands in the main window's dispatch table.
void registerCommands(TfmQ90ini &window);
}
