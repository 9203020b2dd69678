#pragma once

#include "registries/RegistrationWindow.h"

class QLineEdit;
class QToolButton;

// "Distâncias entre locais": the distance between two locations, each point held by the code
// of the identifier fixed at the location. Its query stays open between openings, and
// "Localiza" saves a pending change by moving.
class TfmDistancias : public RegistrationWindow {
    Q_OBJECT
public:
    explicit TfmDistancias(QWidget *parent = nullptr);

    QLineEdit *edDescricao = nullptr;
    QLineEdit *edKm = nullptr;
    QLineEdit *edPontoA = nullptr;
    QLineEdit *edPontoB = nullptr;
    QLineEdit *lbLocalA = nullptr;  // the name of the location holding each point
    QLineEdit *lbLocalB = nullptr;
    QToolButton *btPontoA = nullptr;
    QToolButton *btPontoB = nullptr;

public Q_SLOTS:
    void btPontoAclick();
    void btPontoBclick();

private:
    struct Point {
        QString field;
        QString other;
        QString refusal;  // shown when the location chosen is already the other point
    };
    QLineEdit *addPoint(const QString &caption, const QString &field, QLineEdit *&name,
                        QToolButton *&button);
    void choosePoint(const Point &point);
    void showLocationNames();
};
