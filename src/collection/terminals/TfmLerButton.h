#pragma once

#include <QDialog>
#include <memory>

class ButtonReader;
class OneWireDriver;
class QLabel;
class QPushButton;
class QTimer;

// "Ler identificador": polls the touch-memory reader every 100 ms and shows the code of the
// device placed on it; OK hands that code to the caller (code()). OK is offered only once a
// code is shown; closed any other way the result is Rejected. The cut of the code (DS9
// INICIO and TAMANHO) is read when the window is created; the reader's port is set by the
// caller. The driver is the one TORVEL.INI names (see OneWire::createDriver) unless one is
// given. With no reader the window simply waits, showing no code, until cancelled.
class TfmLerButton : public QDialog {
    Q_OBJECT
public:
    explicit TfmLerButton(QWidget *parent = nullptr);
    explicit TfmLerButton(std::unique_ptr<OneWireDriver> driver, QWidget *parent = nullptr);
    ~TfmLerButton() override;

    void setPort(int port);
    // The code shown; empty until a device is read.
    QString code() const;
    ButtonReader &reader() const { return *m_reader; }

    QLabel *lbMensagem = nullptr;
    QLabel *lbCodigo = nullptr;
    QLabel *lbAguarde = nullptr;
    QPushButton *btOK = nullptr;
    QPushButton *btCancelar = nullptr;
    QTimer *tmLeitura = nullptr;

    void tmLeituraTimer();
    void btOKclick();
    void btCancelarclick();

    // Every way of closing comes here: polling stops and the driver is let go, once.
    void done(int result) override;

private:
    void FormCreate();
    void FormClose();

    std::unique_ptr<ButtonReader> m_reader;
    bool m_closed = false;
};
