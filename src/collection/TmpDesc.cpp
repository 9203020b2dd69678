#include "collection/TmpDesc.h"

#include "core/TdmzDados.h"
#include "platform/IniFile.h"

namespace TmpDesc {

QList<LocalField> fields()
{
    return {{"sequencial", LocalField::String, 12}, {"coletor", LocalField::String, 12},
            {"data_descarga", LocalField::String, 19}, {"button", LocalField::String, 12},
            {"data_toque", LocalField::String, 19}, {"tipo_button", LocalField::String, 2},
            {"descricao", LocalField::String, 20}};
}

bool recreate(TdmzDados &dm)
{
    LocalTable table(dm.tempFolder(), QString::fromLatin1(kName));
    if (!table.create(fields()))
        return false;
    table.close();
    dm.downloadNote.clear();
    dm.config().writeBool(QStringLiteral("OPERACAO"), QStringLiteral("CRIOUDESCARGA"), true);
    return true;
}

}  // namespace TmpDesc
