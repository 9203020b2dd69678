#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableView;
class TdmzDados;

// "Relatório de Roteiros": the registered routes with their settings and stops, every route or
// the one chosen in the grid (double-click) or with the search list.
class TfmRelRot : public QDialog {
    Q_OBJECT
public:
    explicit TfmRelRot(QWidget *parent = nullptr);
    ~TfmRelRot() override;

    QTableView *DBGrid1 = nullptr;
    QLineEdit *edRoteiro = nullptr;
    QPushButton *btPesquisa = nullptr;
    QCheckBox *cb_folha = nullptr;
    QPushButton *btRelatorio = nullptr;
    QPushButton *buRetorna = nullptr;

public Q_SLOTS:
    void btRelatorioclick();
    void buRetornaclick() { reject(); }
    void btPesquisaclick();
    void DBGrid1DblClick();
    void edRoteiroDblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The grid's query on every route, by name.
    void showAllRoutes();

    TdmzDados &m_dm;
};
