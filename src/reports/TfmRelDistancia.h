#pragma once

#include <QDialog>

class MaskEdit;
class QPushButton;
class QTableView;
class RadioGroup;
class TdmzDados;

// "Distâncias percorridas": a period of days, a collector from the grid and the form of the
// report (analytic or synthetic); "Relatório" builds it and shows the preview.
class TfmRelDistancia : public QDialog {
    Q_OBJECT
public:
    explicit TfmRelDistancia(QWidget *parent = nullptr);
    ~TfmRelDistancia() override;

    MaskEdit *edIni = nullptr;
    MaskEdit *edFim = nullptr;
    QTableView *DBGrid1 = nullptr;
    RadioGroup *RadioGroup1 = nullptr;
    QPushButton *btRelatorio = nullptr;
    QPushButton *btRetorna = nullptr;

public Q_SLOTS:
    void btRelatorioclick();
    void btRetornaclick() { reject(); }

private:
    void buildWidgets();

    TdmzDados &m_dm;
};
