#include "collection/Commands.h"

#include "collection/Q90Commands.h"
#include "collection/TfmComunicacao.h"
#include "core/TfmQ90ini.h"
#include "platform/MessageService.h"

namespace Collection {

void registerCommands(TfmQ90ini &window)
{
    TfmQ90ini *w = &window;
    installQ90Commands();
    window.registerCommand("Label5Click", [w] {
        TfmComunicacao dialog(w);
        DialogRunner::exec(&dialog);
    });
}

}  // namespace Collection
