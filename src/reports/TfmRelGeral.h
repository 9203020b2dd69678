#pragma once

#include "reports/ProgrammableReport.h"

#include <QDialog>
#include <memory>

class IniFile;
class MaskEdit;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class TdmzDados;
class TfmListaBase;

// "Relatório Programável": which kinds of touch to list (collaborators, locations, events, each
// all or one chosen identifier; unregistered and unbound identifiers), to whom they must belong
// (a collector, a collaborator, a route, or a name column for each), and the period. A choice is
// stored only by its search button; double-clicking its field or unchecking its box forgets it.
// The six boxes are kept in section RELGERAL of the TORVEL.INI of the Windows folder.
class TfmRelGeral : public QDialog {
    Q_OBJECT
public:
    explicit TfmRelGeral(QWidget *parent = nullptr);
    ~TfmRelGeral() override;

    // "Dados coletados de:"
    QCheckBox *cbDeFuncs = nullptr;
    QLineEdit *edDeFunc = nullptr;
    QToolButton *btPesquisaF = nullptr;
    QCheckBox *cbDeLocais = nullptr;
    QLineEdit *edDeLocal = nullptr;
    QToolButton *btPesquisaL = nullptr;
    QCheckBox *cbDeEventos = nullptr;
    QLineEdit *edDeEvento = nullptr;
    QToolButton *btPesquisaE = nullptr;
    // "Dados pertencentes ao:"
    QCheckBox *cbPorCol = nullptr;
    QLineEdit *edAoColetor = nullptr;
    QToolButton *btPesquisaI = nullptr;
    QCheckBox *cbPorFunc = nullptr;
    QLineEdit *edAoFunc = nullptr;
    QToolButton *btPesquisaC1 = nullptr;
    QCheckBox *cbPorRot = nullptr;
    QLineEdit *edAoRoteiro = nullptr;
    QToolButton *btPesquisaR = nullptr;
    // "Período" and "Exibir"
    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QCheckBox *cbMemNcad = nullptr;
    QCheckBox *cbMemNassoc = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *btCancela = nullptr;
    QPushButton *btRelatorio = nullptr;
    QPushButton *btRetorna = nullptr;

    // What the report would run with now: the boxes, the fields and the stored choices.
    ProgrammableInputs inputs() const;
    bool running() const { return m_running; }

public Q_SLOTS:
    void btRelatorioclick();
    void btRetornaclick();
    // Stops a run at the next touch; the run then leaves nothing behind.
    void btCancelaclick();
    void btPesquisaFclick();
    void btPesquisaLclick();
    void btPesquisaEclick();
    void btPesquisaIclick();
    void btPesquisaC1click();
    void btPesquisaRclick();
    void edDeFuncDblClick();
    void edDeLocalDblClick();
    void edDeEventoDblClick();
    void edAoColetorDblClick();
    void edAoFuncDblClick();
    void edAoRoteiroDblClick();

    // Closing while a run goes on cancels the run first.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A field with its stored choice.
    struct Choice {
        QLineEdit *field = nullptr;
        QString code;
        void clear();
    };

    void buildWidgets();
    void FormCreate();
    void FormDestroy();
    // Picks with `list`; on OK the field gets `nameField` and the choice `codeField` (cut to
    // `length` characters when given).
    void search(TfmListaBase &list, Choice &choice, const QString &nameField, const QString &codeField, int length = -1);
    // What the run hears after its touches: the bar, the window's events, and whether to go on.
    bool progress(qint64 done, qint64 total);

    TdmzDados &m_dm;
    std::unique_ptr<IniFile> m_settings;
    QList<QWidget *> m_choices;
    Choice m_deFunc, m_deLocal, m_deEvento, m_aoColetor, m_aoFunc, m_aoRoteiro;
    bool m_running = false;
    bool m_cancel = false;
    bool m_closeAfterRun = false;
};
