#pragma once

#include <QDialog>

class MaskEdit;
class QPushButton;
class QTableWidget;

// "Apaga dados de Descarga": deletes the downloads up to a limit the user sets.
class TfmDelDesc : public QDialog {
    Q_OBJECT
public:
    explicit TfmDelDesc(QWidget *parent = nullptr);

    QTableWidget *dbgDescargas = nullptr;
    MaskEdit *edLimite = nullptr;
    QPushButton *btapaga = nullptr;
    QPushButton *buRetorna = nullptr;

    // Lists the downloads up to the limit field's moment.
    void load();

public Q_SLOTS:
    void btapagaclick();
    void buRetornaclick();
    void dbgDescargasDblClick();
};
