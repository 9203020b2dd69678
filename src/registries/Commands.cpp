#include "registries/Commands.h"

#include "core/TfmQ90ini.h"
#include "platform/MessageService.h"
#include "registries/RegistryWindows.h"
#include "registries/TfmButtons.h"
#include "registries/TfmDistancias.h"
#include "registries/TfmPrecoKm.h"
#include "registries/TfmProgramacao.h"
#include "registries/TfmRoteiros.h"

namespace Registries {

namespace {
template <typename Window>
void open(TfmQ90ini *parent)
{
    Window window(parent);
    DialogRunner::exec(&window);
}
}  // namespace

void registerCommands(TfmQ90ini &window)
{
    TfmQ90ini *w = &window;
    window.registerCommand("Memrias1Click", [w] { open<TfmButtons>(w); });
    window.registerCommand("Coletores1Click", [w] { open<TfmColetores>(w); });
    window.registerCommand("FuncionriosClick", [w] { open<TfmFuncs>(w); });
    window.registerCommand("EventosClick", [w] { open<TfmEventos>(w); });
    window.registerCommand("LocaisClick", [w] { open<TfmLocais>(w); });
    window.registerCommand("Funo1Click", [w] { open<TfmFuncao>(w); });
    window.registerCommand("RoteirosClick", [w] { open<TfmRoteiros>(w); });
    window.registerCommand("Distnciasentrelocais1Click", [w] { open<TfmDistancias>(w); });
    window.registerCommand("Preosporkm1Click", [w] { open<TfmPrecoKm>(w); });
    window.registerCommand("Programao1Click", [w] { open<TfmProgramacao>(w); });
}

}  // namespace Registries
