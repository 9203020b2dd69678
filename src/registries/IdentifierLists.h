#pragma once

#include "registries/SearchList.h"

class QRadioButton;

// Every identifier, searched by code ("Localiza" of the identifiers window).
class TfmListaButtons : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaButtons(QWidget *parent = nullptr);
};

// The free identifiers, for giving one to a collaborator, location or event; in order of
// registration or alphabetical.
class TfmListaButtonsR : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaButtonsR(QWidget *parent = nullptr);

    QRadioButton *rbCadastro = nullptr;
    QRadioButton *rbAlfabetica = nullptr;

public Q_SLOTS:
    void rgOrdemClick();
};

// The events, for choosing the reference of a route.
class TfmListaButtonsRef : public TfmListaBase {
    Q_OBJECT
public:
    explicit TfmListaButtonsRef(QWidget *parent = nullptr);
};
