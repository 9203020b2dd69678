#include "registries/TfmPrecoKm.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/MaskEdit.h"
#include "registries/RegistryLists.h"

#include <QLineEdit>

TfmPrecoKm::TfmPrecoKm(QWidget *parent)
    : RegistrationWindow(QString::fromUtf8("Preço por km"), *TdmzDados::instance()->qyPrecoKM,
                         parent)
{
    // Opened before the fields are bound, so they know the columns' types.
    query().setSql(QStringLiteral("select * from precokm"));
    openQuery();
    const QString mask = QStringLiteral("!99/99/0000;1;_");
    edInicio = addDate(QString::fromUtf8("Início"), "datainicio", mask);
    edFim = addDate(QStringLiteral("Fim"), "datafim", mask);
    // Typed as a number ("12,50", at most six characters), shown as money ("R$ 12,50").
    edValor = addText(QStringLiteral("Valor"), "custo", {.maxLength = 6});
    edValor->setMaximumWidth(edValor->fontMetrics().horizontalAdvance(QStringLiteral("R$ 0000,000")) +
                             16);
    setFirstField(edInicio);
    setSearch([this] { return std::make_unique<TfmListaPrecokm>(this); }, "id", "id", true,
              false);
}

void TfmPrecoKm::btadicionaclick()
{
    if (query().state() == DataSet::State::Insert)
        return;
    RegistrationWindow::btadicionaclick();
}
