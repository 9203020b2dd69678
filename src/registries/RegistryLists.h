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
