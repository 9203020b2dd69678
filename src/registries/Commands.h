#pragma once

class TfmQ90ini;

namespace Registries {
// Wires the registration windows to the main window's menu items and tiles.
void registerCommands(TfmQ90ini &window);
}
