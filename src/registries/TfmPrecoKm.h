#pragma once

#include "registries/RegistrationWindow.h"

class MaskEdit;

// "Preço por km": the price of one kilometre over a range of days. Ranges are neither ordered
// nor checked for overlap; the distance report takes the price of the day it needs.
class TfmPrecoKm : public RegistrationWindow {
    Q_OBJECT
public:
    explicit TfmPrecoKm(QWidget *parent = nullptr);

    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QLineEdit *edValor = nullptr;

public Q_SLOTS:
    // Does nothing while a new price has not been saved yet.
    void btadicionaclick() override;
};
