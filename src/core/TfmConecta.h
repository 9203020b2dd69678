#pragma once

#include "core/db/Sql.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "Conexão": first-run choice of the database server and database, with its own connection.
class TfmConecta : public QDialog {
    Q_OBJECT
public:
    explicit TfmConecta(QWidget *parent = nullptr);
    ~TfmConecta() override;

    // What OK hands back: server fields and the chosen database.
    ConnectionParams chosenParams() const;
    QString portText() const;

    QLineEdit *edHost = nullptr;
    QLineEdit *edPorta = nullptr;
    QLineEdit *edUser = nullptr;
    QLineEdit *edPassword = nullptr;
    QComboBox *cbDatabase = nullptr;
    QLabel *lbStatus = nullptr;
    QPushButton *btConectar = nullptr;
    QPushButton *btCriar = nullptr;
    QPushButton *btOK = nullptr;
    QPushButton *btCancelar = nullptr;

public Q_SLOTS:
    void btConectarClick();
    void btCriarClick();
    void btOKClick();
    void btCancelarClick();
    void cbDatabaseChange();

private:
    ConnectionParams serverParams() const;
    bool connected() const;
    void setStatus(const QString &text);
    void fillDatabases();
};
