#pragma once

#include <QDialog>

class QLineEdit;
class QLabel;

// A one-line question with OK (default) and "Cancelar".
class TfmDescricao : public QDialog {
    Q_OBJECT
public:
    TfmDescricao(const QString &caption, const QString &label, const QString &initial,
                 QWidget *parent = nullptr);
    QString text() const;

    QLabel *lbDescricao = nullptr;
    QLineEdit *edDescricao = nullptr;
};
