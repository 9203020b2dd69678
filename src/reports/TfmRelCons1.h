#pragma once

#include <QDateTime>
#include <QDialog>

class DataSet;
class DataSetModel;
class MaskEdit;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;
class RadioGroup;
class TdmzDados;

// "Relatório de Consistência": gathers the inputs of the consistency analysis (collector and
// one of its downloads, or a period; company and route filters; the between-cycles check),
// keeps its choices in section RELCONSIST of TORVEL.INI, runs the analysis and shows its
// output. Opened with a handed-over collector and download it lists just that download.
class TfmRelCons1 : public QDialog {
    Q_OBJECT
public:
    // The masked period field's text when nothing was typed.
    static inline const QString kEmptyPeriod = QStringLiteral("  /  /       :  ");

    // `preselColetor` and `preselDescarga`: a collector and download handed over through the
    // main window; an empty collector opens on the first collector by name.
    explicit TfmRelCons1(const QString &preselColetor = {}, const QDateTime &preselDescarga = {},
                         QWidget *parent = nullptr);
    ~TfmRelCons1() override;

    // The check after a download: the window, never shown, runs the synthetic report on the
    // collector's most recent download and tells whether inconsistencies were found.
    static void automaticCheck(const QString &collector, QWidget *parent);

    QLineEdit *edColetor = nullptr;
    QToolButton *btPesquisaC = nullptr;
    QGroupBox *gbEmpresa = nullptr;
    QLineEdit *edEmpresa = nullptr;
    QToolButton *btPesquisaE = nullptr;
    QGroupBox *gbRoteiro = nullptr;
    QLineEdit *edRoteiro = nullptr;
    QToolButton *btPesquisaR = nullptr;
    QGroupBox *gbPeriodo = nullptr;
    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QPushButton *btLimpa = nullptr;
    RadioGroup *rgRoteiro = nullptr;
    RadioGroup *rgRelsa = nullptr;
    QCheckBox *cbTciclo = nullptr;
    QLineEdit *edTmin = nullptr;
    QLineEdit *edTmax = nullptr;
    QTableView *dbgDescargas = nullptr;
    QPushButton *btColeta = nullptr;
    QPushButton *btRelatorio = nullptr;
    QPushButton *btRetorna = nullptr;

    DataSet &qyDescargas() const { return *m_descargas; }
    // The collector whose downloads are listed and analysed.
    QString codigoColetor() const { return m_codigoColetor; }
    void setCodigoColetor(const QString &code) { m_codigoColetor = code; }
    // Lists the downloads of the kept collector.
    void openDescargas();
    // The current download's date-time text; empty when the list is closed or has no row.
    QString currentDownload() const;
    bool automaticCheckFlag() const { return m_automatic; }
    void setAutomaticCheckFlag(bool on) { m_automatic = on; }

public Q_SLOTS:
    void btRelatorioclick();
    void btRetornaclick();
    void btLimpaclick();
    void btColetaclick();
    void btPesquisaCclick();
    void btPesquisaEclick();
    void btPesquisaRclick();
    void rgRoteiroClick();
    void edColetorDblClick();
    void edEmpresaDblClick();
    void edRoteiroDblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWidgets();
    void FormCreate(const QString &preselColetor, const QDateTime &preselDescarga);
    void FormDestroy();
    // The downloads list's WHERE line: one download, or every download of the collector.
    void setDescargasFilter(bool oneDownload);
    // Runs the command of an Alt shortcut; false when the key is none of them.
    bool altShortcut(int key);

    TdmzDados &m_dm;
    DataSet *m_descargas = nullptr;
    DataSetModel *m_descargasModel = nullptr;
    QString m_codigoColetor;
    bool m_automatic = false;
    bool m_running = false;
};
