#pragma once

#include <QDialog>

class DataSet;
class MaskEdit;
class QLineEdit;
class QPushButton;
class QTableView;
class TdmzDados;

// "Roteiros por coletor": a collector to name in the header, a route found by part of its
// name, and a period of days; "Relatório" writes the route's touch times day by day to a
// spreadsheet (RouteTimes).
class TfmRelcoletaroteiro : public QDialog {
    Q_OBJECT
public:
    // FormCreate: the collectors and the routes as they are now, both days today.
    explicit TfmRelcoletaroteiro(QWidget *parent = nullptr);
    // FormDestroy: the collector query and the route list closed.
    ~TfmRelcoletaroteiro() override;

    QTableView *dbgColetores = nullptr;
    QLineEdit *Edit1 = nullptr;
    QTableView *DBGrid1 = nullptr;
    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QPushButton *btRelatorio = nullptr;
    QPushButton *btRetorna = nullptr;
    // codigo_roteiro, nome_roteiro, button_referencia of the routes whose name holds Edit1's
    // text, by name.
    DataSet *qyListaRoteiro = nullptr;

public Q_SLOTS:
    void Edit1Change();
    void btRelatorioclick();
    void btRetornaclick() { reject(); }

private:
    void buildWidgets();

    TdmzDados &m_dm;
};
