#pragma once

#include <QDialog>
#include <memory>

class IniFile;
class MaskEdit;
class QCheckBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

// "Exportar texto": the collaborators' touches of a period to a text file for another system.
// Its two settings live in SISTXT.INI, section CONTROLE.
class TfmExporta : public QDialog {
    Q_OBJECT
public:
    explicit TfmExporta(QWidget *parent = nullptr);
    ~TfmExporta() override;

    MaskEdit *edInicio = nullptr;
    MaskEdit *edFim = nullptr;
    QCheckBox *cbAppend = nullptr;
    QLineEdit *edArquivo = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QProgressBar *Gauge1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;

public Q_SLOTS:
    void BitBtn1Click();
    void Button1Click();
    void Button2Click();

private:
    std::unique_ptr<IniFile> m_settings;
};
