#pragma once

class TfmQ90ini;

namespace Collection {
// Wires the collection dialog to the main window's "Comunicação" tile.
void registerCommands(TfmQ90ini &window);
}
