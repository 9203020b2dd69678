#include "core/RegistryRules.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/SystemServices.h"

namespace RegistryRules {

QString paddedFunctionCode(const QString &code)
{
    QString padded = code;
    while (padded.size() < 5)
        padded.prepend('0');
    return padded;
}

void install(TdmzDados &dm)
{
    using E = DataSet::Event;
    // Shown to the second, and stored as shown.
    auto stamp = [](DataSet &q) {
        q.setValue("data_cadastro",
                   SystemServices::now().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
    };
    for (DataSet *q : {dm.qyEventos, dm.qyLocais, dm.qyColetores})
        q->on(E::AfterInsert, stamp);
    dm.qyFuncao->on(E::BeforePost, [](DataSet &q) {
        q.setValue("codigo", paddedFunctionCode(q.value("codigo").toString()));
    });
}

}  // namespace RegistryRules
