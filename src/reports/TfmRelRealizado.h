#pragma once

#include <QDialog>

class DataSet;
class DataSetModel;
class MaskEdit;
class QCheckBox;
class QPushButton;
class QTableView;
class TdmzDados;

// "Relatório de Coletas": the touches of one collector's download, or of a period, with the
// names the registries give each identifier ("Analítico por Coletor"). The downloads list
// follows the collector grid; moving in either grid empties the period.
class TfmRelRealizado : public QDialog {
    Q_OBJECT
public:
    explicit TfmRelRealizado(QWidget *parent = nullptr);
    ~TfmRelRealizado() override;

    DataSet &qyDescargas() const { return *m_descargas; }

    QTableView *dbgColetores = nullptr;
    QTableView *dbgDescargas = nullptr;
    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QPushButton *btLimpa = nullptr;
    QPushButton *btColeta = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QPushButton *btRelatorio = nullptr;
    QPushButton *btRetorna = nullptr;

public Q_SLOTS:
    void btRelatorioclick();
    void btRetornaclick() { reject(); }
    void btLimpaclick();
    void btColetaclick();
    // The period holds only until the user moves in either grid.
    void dsqyDescargasDataChange();

private:
    void buildWidgets();
    void openDescargas();

    TdmzDados &m_dm;
    DataSet *m_descargas = nullptr;
};
