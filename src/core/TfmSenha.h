#pragma once

#include <QDialog>
#include <QMap>

class QLineEdit;
class QPushButton;

// "Controle de Rotas": the login. Accepted with the user's permission flags; rejected when
// cancelled or after the fourth wrong password in a row (terminated() then tells which).
class TfmSenha : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxFailures = 4;

    explicit TfmSenha(QWidget *parent = nullptr);

    // The permission flags of the row that logged in, by column name.
    QMap<QString, int> flags() const { return m_flags; }
    bool terminated() const { return m_failures >= kMaxFailures; }
    int failures() const { return m_failures; }

    QLineEdit *edLogin = nullptr;
    QLineEdit *edSenha = nullptr;
    QPushButton *btconfirma = nullptr;
    QPushButton *btcancela = nullptr;

public Q_SLOTS:
    void btconfirmaclick();
    void btcancelaclick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QMap<QString, int> m_flags;
    int m_failures = 0;
};
