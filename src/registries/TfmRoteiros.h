#pragma once

#include "registries/RegistrationWindow.h"

class DataSetModel;
class MaskEdit;
class QCheckBox;
class QGroupBox;
class QTableView;

// "Roteiros": a guard's programmed round. The route's fields and time rules on the shared
// routes query; its ordered stops in a query of the window that follows the current route.
// Stop positions are kept 001..N without gaps after every operation.
class TfmRoteiros : public RegistrationWindow {
    Q_OBJECT
public:
    explicit TfmRoteiros(QWidget *parent = nullptr);
    ~TfmRoteiros() override;

    DataSet &stops() const { return *m_stops; }

    QLineEdit *edDesc_eve = nullptr;
    QToolButton *jvBitmapButton1 = nullptr;
    QLineEdit *edNome = nullptr;
    QLineEdit *edEmpresa = nullptr;
    MaskEdit *edHoraSaida = nullptr;
    MaskEdit *edHoraChegada = nullptr;
    QCheckBox *ckTempoRoteiro = nullptr;
    QLineEdit *edTRotMin = nullptr;
    QLineEdit *edTRotMax = nullptr;
    QCheckBox *ckTempoLocais = nullptr;
    QCheckBox *ckTempoPadrao = nullptr;
    QLineEdit *edTMinPadrao = nullptr;
    QLineEdit *edTMaxPadrao = nullptr;
    QCheckBox *ckOrdemVisitas = nullptr;
    QTableView *dbgLocais = nullptr;
    QLineEdit *edTMin = nullptr;
    QLineEdit *edTMax = nullptr;
    QPushButton *btAdicionaL = nullptr;
    QPushButton *btApagaL = nullptr;
    QPushButton *btAcima = nullptr;
    QPushButton *btAbaixo = nullptr;

    // The three-digit position text of stop number `n`.
    static QString position(int n);

public Q_SLOTS:
    void btadicionaclick() override;
    void btapagaclick() override;
    void btLocalizaclick() override;
    void btRetornaclick();
    void jvBitmapButton1click();
    void edDesc_eveDblClick();
    void btAdicionaLclick();
    void btApagaLclick();
    void btAcimaclick();
    void btAbaixoclick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void done(int result) override;

private:
    void openStops();
    void showReference();
    void moveStop(int direction);
    QCheckBox *addFlag(QWidget *into, const QString &caption, const QString &field,
                       const QString &hint);
    MaskEdit *addTime(const QString &caption, const QString &field);

    DataSet *m_stops = nullptr;
    DataSetModel *m_stopsModel = nullptr;
};
