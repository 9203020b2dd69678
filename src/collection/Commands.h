#pragma once

class TfmQ90ini;

namespace Collection {
// Wires the collection dialog, the deletion of downloads and the import of external
// collections to the main window.
void registerCommands(TfmQ90ini &window);
// "Importar coletas externas": file dialog, import, final message.
void importExternalCollections();
}
