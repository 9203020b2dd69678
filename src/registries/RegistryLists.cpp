#include "registries/RegistryLists.h"

#include "core/db/DataSet.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>

TfmListaColetores::TfmListaColetores(QWidget *parent)
    : TfmListaBase(
          {QStringLiteral("Lista de Coletores"),
           QStringLiteral("select codigo_coletor, nome_coletor from coletor order by nome_coletor"),
           QStringLiteral("select nome_coletor, codigo_coletor from coletor"),
           QStringLiteral("nome_coletor"),
           QStringLiteral(" order by nome_coletor"),
           30,
           {{"nome_coletor", QStringLiteral("Nome")}, {"codigo_coletor", QString::fromUtf8("Código")}}},
          parent)
{
}

TfmListaEventos::TfmListaEventos(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QStringLiteral("Lista de Eventos"), QStringLiteral("eventos"),
                                              QStringLiteral("desc_evento"),
                                              {{"desc_evento", QString::fromUtf8("Descrição")},
                                               {"button_evento", QStringLiteral("Identificador")}}),
                   parent)
{
}

TfmListaLocais::TfmListaLocais(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QStringLiteral("Lista de Locais"), QStringLiteral("locais"),
                                              QStringLiteral("nome_local"),
                                              {{"nome_local", QStringLiteral("Nome")},
                                               {"button_local", QStringLiteral("Identificador")}}),
                   parent)
{
}

TfmListaFuncs::TfmListaFuncs(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QStringLiteral("Lista de Colaboradores"), QStringLiteral("funcs"),
                                              QStringLiteral("nome_func"),
                                              {{"nome_func", QStringLiteral("Nome")},
                                               {"memoria", QStringLiteral("Identificador")}}),
                   parent)
{
}

TfmListaFuncao::TfmListaFuncao(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QString::fromUtf8("Lista de funções"), QStringLiteral("funcao"),
                                              QStringLiteral("descricao"),
                                              {{"descricao", QString::fromUtf8("Descrição")}}),
                   parent)
{
}

TfmListaRoteiros::TfmListaRoteiros(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QStringLiteral("Lista de Roteiros"), QStringLiteral("roteiros"),
                                              QStringLiteral("nome_roteiro"),
                                              {{"nome_roteiro", QStringLiteral("Nome")}}),
                   parent)
{
}

bool TfmListaRoteiros::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == dbgLista && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint()) {
            edPesquisa->setFocus();
            edPesquisa->insert(text.toUpper());
            return true;
        }
    }
    return TfmListaBase::eventFilter(watched, event);
}

TfmListEmp::TfmListEmp(QWidget *parent)
    : TfmListaBase({QStringLiteral("Lista de Empresas"),
                    QStringLiteral("select distinct empresa\nfrom roteiros\norder by empresa"),
                    QStringLiteral("select distinct empresa from roteiros"),
                    QStringLiteral("empresa"),
                    QStringLiteral(" order by empresa"),
                    40,
                    {{"empresa", QStringLiteral("Empresa")}}},
                   parent)
{
}

TfmListaDistancias::TfmListaDistancias(QWidget *parent)
    : TfmListaBase(SearchListConfig::byColumn(QString::fromUtf8("Lista de distâncias"), QStringLiteral("distancia"),
                                              QStringLiteral("descricao"),
                                              {{"descricao", QString::fromUtf8("Descrição")},
                                               {"pontoA", QStringLiteral("Ponto A")},
                                               {"pontoB", QStringLiteral("Ponto B")},
                                               {"km", QStringLiteral("KM")}}),
                   parent)
{
    query().setNumberFormat("km", {.decimals = 2});
}

TfmListaPrecokm::TfmListaPrecokm(QWidget *parent)
    : TfmListaBase({QString::fromUtf8("Preço por km"),
                    QStringLiteral("select * from precokm order by datainicio desc"),
                    {},
                    {},
                    {},
                    30,
                    {{"datainicio", QString::fromUtf8("Início")},
                     {"datafim", QStringLiteral("Fim")},
                     {"custo", QStringLiteral("Valor")}},
                    true},
                   parent)
{
    query().setNumberFormat("custo", {.decimals = 2, .currency = true});
    // Three short columns of one kind: none is the name that deserves the room.
    dbgLista->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
}
