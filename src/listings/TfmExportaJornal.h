#pragma once

#include <QDialog>

class MaskEdit;
class QPushButton;
class QTableWidget;

// "Exportação ": one collector's collections of a period for the newspaper-distribution system.
class TfmExportaJornal : public QDialog {
    Q_OBJECT
public:
    explicit TfmExportaJornal(QWidget *parent = nullptr);

    QTableWidget *DBGrid1 = nullptr;
    MaskEdit *edIni = nullptr;
    MaskEdit *edFim = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

    // The selected collector's code; empty when there is none.
    QString collector() const;

public Q_SLOTS:
    void Button1Click();
};
