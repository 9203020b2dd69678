#pragma once

class TfmQ90ini;

namespace Reports {

// Wires the report commands to the main window, and the consistency check of the review of a
// download.
void registerCommands(TfmQ90ini &window);

// Opens "Relatório de Consistência" with the main window's consistency preselection (a
// collector and download handed over by another report; none from the menu and the tile).
void openConsistency(TfmQ90ini &window);

}  // namespace Reports
