#include "collection/Commands.h"

#include "collection/CollectionImport.h"
#include "collection/Q90Commands.h"
#include "collection/TfmDelDesc.h"
#include "core/TdmzDados.h"
#include "platform/BusyCursor.h"
#include "platform/Folders.h"
#include "collection/TfmComunicacao.h"
#include "core/TfmQ90ini.h"
#include "platform/MessageService.h"

namespace Collection {

void importExternalCollections()
{
    const QString path = MessageService::instance().openFileName(
        QStringLiteral("Importar coletas externas"), Folders::documentsFolder(),
        QStringLiteral("Arquivos Texto (*.txt);;Todos os arquivos (*)"));
    if (path.isEmpty())
        return;
    ImportResult result;
    {
        BusyCursor busy;
        result = CollectionImport(*TdmzDados::instance()).importFile(path);
    }
    if (result.storedEarlier) {
        if (!Msg::confirm(QStringLiteral("Este arquivo já foi importado (%1). Deseja importá-lo "
                                         "novamente? Os toques serão gravados mais uma vez.")
                              .arg(result.storedEarlierText)))
            return;
        BusyCursor busy;
        result = CollectionImport(*TdmzDados::instance()).importFile(path, true);
    }
    if (!result.opened || result.failed)
        Msg::error(result.error);
    else
        Msg::information(CollectionImport::summary(result));
}

void registerCommands(TfmQ90ini &window)
{
    installQ90Commands();
    window.registerDialog<TfmComunicacao>("Label5Click");
    window.registerDialog<TfmDelDesc>("ApagaDescargas1Click");
    window.registerCommand("Importarcoletasexternas1Click", [] { importExternalCollections(); });
}

}  // namespace Collection
