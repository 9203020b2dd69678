#include "registries/RegistryLists.h"

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
    : TfmListaBase({QStringLiteral("Lista de Eventos"),
                    QStringLiteral("select * from eventos order by desc_evento"),
                    QStringLiteral("select * from eventos"),
                    QStringLiteral("desc_evento"),
                    QStringLiteral(" order by desc_evento"),
                    30,
                    {{"desc_evento", QString::fromUtf8("Descrição")},
                     {"button_evento", QStringLiteral("Identificador")}}},
                   parent)
{
}

TfmListaLocais::TfmListaLocais(QWidget *parent)
    : TfmListaBase({QStringLiteral("Lista de Locais"),
                    QStringLiteral("select * from locais order by nome_local"),
                    QStringLiteral("select * from locais"),
                    QStringLiteral("nome_local"),
                    QStringLiteral(" order by nome_local"),
                    30,
                    {{"nome_local", QStringLiteral("Nome")},
                     {"button_local", QStringLiteral("Identificador")}}},
                   parent)
{
}

TfmListaFuncs::TfmListaFuncs(QWidget *parent)
    : TfmListaBase({QStringLiteral("Lista de Colaboradores"),
                    QStringLiteral("select * from funcs order by nome_func"),
                    QStringLiteral("select * from funcs"),
                    QStringLiteral("nome_func"),
                    QStringLiteral(" order by nome_func"),
                    30,
                    {{"nome_func", QStringLiteral("Nome")},
                     {"memoria", QStringLiteral("Identificador")}}},
                   parent)
{
}

TfmListaFuncao::TfmListaFuncao(QWidget *parent)
    : TfmListaBase({QString::fromUtf8("Lista de funções"),
                    QStringLiteral("select * from funcao order by descricao"),
                    QStringLiteral("select * from funcao"),
                    QStringLiteral("descricao"),
                    QStringLiteral(" order by descricao"),
                    30,
                    {{"descricao", QString::fromUtf8("Descrição")}}},
                   parent)
{
}
