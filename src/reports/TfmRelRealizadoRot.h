#pragma once

#include <QDialog>

class MaskEdit;
class QLineEdit;
class QPushButton;
class TdmzDados;

// "Relatório de Descarga": route by route, the touches of a period recorded under it
// ("Analítico por roteiro"); one route chosen from the list, or all of them.
class TfmRelRealizadoRot : public QDialog {
    Q_OBJECT
public:
    explicit TfmRelRealizadoRot(QWidget *parent = nullptr);

    // The chosen route's code; empty for every route.
    QString codigoRoteiro() const { return m_codigoRoteiro; }

    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QLineEdit *edRoteiro = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *Button4 = nullptr;
    QPushButton *buImpressora = nullptr;
    QPushButton *buRetorna = nullptr;

public Q_SLOTS:
    void buImpressoraClick();
    void buRetornaClick() { reject(); }
    void Button3Click();
    void Button4Click();

private:
    TdmzDados &m_dm;
    QString m_codigoRoteiro;
};
