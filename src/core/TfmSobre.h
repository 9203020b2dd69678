#pragma once

#include <QDialog>

class QLabel;

// "Sobre": product, version, database kind and server address.
class TfmSobre : public QDialog {
    Q_OBJECT
public:
    explicit TfmSobre(QWidget *parent = nullptr);
    QLabel *lbProduto = nullptr;
    QLabel *lbVersao = nullptr;
    QLabel *lbBanco = nullptr;
    QLabel *lbIP = nullptr;
};
