#pragma once

#include "registries/SearchList.h"

// The search lists of the registries, all of one kind: search by the leading part of the
// name, choose the row.
class TfmListaColetores : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaColetores(QWidget *parent = nullptr);
};

class TfmListaEventos : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaEventos(QWidget *parent = nullptr);
};

class TfmListaLocais : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaLocais(QWidget *parent = nullptr);
};

class TfmListaFuncs : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaFuncs(QWidget *parent = nullptr);
};

class TfmListaFuncao : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaFuncao(QWidget *parent = nullptr);
};

// The routes; typing in the grid goes on in the search field.
class TfmListaRoteiros : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaRoteiros(QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The distinct companies that routes serve.
class TfmListEmp : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListEmp(QWidget *parent = nullptr);
};

// "Lista de distâncias": the distances by description.
class TfmListaDistancias : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaDistancias(QWidget *parent = nullptr);
};

// "Preço por km": the prices, the latest range first. Its search field filters nothing; its
// arrow keys move the grid.
class TfmListaPrecokm : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaPrecokm(QWidget *parent = nullptr);
};
