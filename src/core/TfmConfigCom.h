#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// "Configurações Gerais": database access, terminal options and the touch-memory reader.
// In database-only mode (start-up without a reachable server) only the database tab shows,
// and cancelling means the program cannot go on.
class TfmConfigCom : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Normal, DatabaseOnly };

    explicit TfmConfigCom(Mode mode, QWidget *parent = nullptr);
    Mode mode() const { return m_mode; }

    QTabWidget *pcPaginas = nullptr;
    QWidget *tsBanco = nullptr;
    QWidget *tsGerais = nullptr;
    QWidget *tsDS9 = nullptr;
    // Banco de Dados
    QLineEdit *edDatabase = nullptr;
    QLineEdit *edHostName = nullptr;
    QLineEdit *edPorta = nullptr;
    QLineEdit *edPassword = nullptr;
    QLineEdit *edUser = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *btOtimizar = nullptr;
    QLabel *lbStatus = nullptr;
    // Configurações Gerais
    QComboBox *cbPortaCom = nullptr;
    QCheckBox *ckAcertaRelogio = nullptr;
    QLineEdit *edBaud = nullptr;
    QCheckBox *ckLimpar = nullptr;
    QCheckBox *ckExcel = nullptr;
    QLineEdit *edInstalacao = nullptr;
    // DS9
    QComboBox *cbPortaDS9 = nullptr;
    QLineEdit *edInicio = nullptr;
    QLineEdit *edTamanho = nullptr;

    QPushButton *btConfirma = nullptr;
    QPushButton *btCancela = nullptr;

public Q_SLOTS:
    void FormCreate();
    void btConfirmaclick();
    void btCancelaclick();
    void Button1Click();
    // "Otimizar banco de dados": the tv_ indexes the database lacks, with a progress dialog.
    void btOtimizarclick();

private:
    void setStatus(const QString &text);
    bool connectDatabase();
    Mode m_mode;
    // The ports as shown when the dialog opened; an unchanged list leaves its key alone.
    QString m_loadedPortaCom;
    QString m_loadedPortaDS9;
};
