#include "registries/IdentifierLists.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

TfmListaButtons::TfmListaButtons(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QStringLiteral("Identificadores"), QStringLiteral("buttons"),
                                              QStringLiteral("codigo_button"),
                                              {{"codigo_button", QStringLiteral("Identificador")},
                                               {"referencia", QString::fromUtf8("Referência")}}, 12),
                   parent)
{
}

TfmListaButtonsR::TfmListaButtonsR(QWidget *parent)
    : TfmListaBase({QStringLiteral("Identificadores"),
                    QStringLiteral("select codigo_button,data_cadastro\nfrom buttons\n"
                                   "where referencia = \"\"\norder by data_cadastro"),
                    QStringLiteral("SELECT codigo_button,data_cadastro FROM buttons"),
                    {},
                    {},
                    0,
                    {{"codigo_button", QStringLiteral("Identificador")},
                     {"data_cadastro", QStringLiteral("Data cadastro")}}},
                   parent)
{
    auto *group = new QGroupBox(QStringLiteral("Ordem dos Identificadores"));
    rbCadastro = new QRadioButton(QStringLiteral("Cadastro"));
    rbAlfabetica = new QRadioButton(QString::fromUtf8("Alfabética"));
    rbCadastro->setChecked(true);
    auto *row = new QHBoxLayout(group);
    row->addWidget(rbCadastro);
    row->addWidget(rbAlfabetica);
    extraArea()->addWidget(group);
    auto *buttons = new QButtonGroup(this);
    buttons->addButton(rbCadastro);
    buttons->addButton(rbAlfabetica);
    connect(buttons, &QButtonGroup::buttonClicked, this, &TfmListaButtonsR::rgOrdemClick);
}

void TfmListaButtonsR::rgOrdemClick()
{
    const QString column = rbAlfabetica->isChecked() ? QStringLiteral("codigo_button")
                                                     : QStringLiteral("data_cadastro");
    load(m_config.baseSql + QStringLiteral(" WHERE referencia = \"\"") +
         QStringLiteral(" order by ") + column);
}

TfmListaButtonsRef::TfmListaButtonsRef(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QStringLiteral("Lista de Eventos"), QStringLiteral("eventos"),
                                              QStringLiteral("desc_evento"),
                                              {{"desc_evento", QString::fromUtf8("Descrição")}}),
                   parent)
{
}
