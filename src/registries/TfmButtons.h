#pragma once

#include "registries/RegistrationWindow.h"

class QComboBox;
class QLabel;
class QToolButton;

// "Identificadores": the registry of touch memories. Codes are typed (six characters) or read
// from the touch-memory reader; ownership is shown, never edited here.
class TfmButtons : public RegistrationWindow {
    Q_OBJECT
public:
    explicit TfmButtons(QWidget *parent = nullptr);

    QLineEdit *edCodigo = nullptr;
    QToolButton *btLer = nullptr;
    QLineEdit *edDataCadastro = nullptr;
    QLabel *lbDataCadastro = nullptr;
    QComboBox *cbReferencia = nullptr;

    // The stored registration time as the plain day number the data keeps.
    QString dataCadastroAsNumber() const;

public Q_SLOTS:
    void btadicionaclick() override;
    void btLerclick();
    void lbDataCadastroDblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showReference();
};
