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
