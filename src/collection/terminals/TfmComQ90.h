#pragma once

#include "collection/terminals/Q90Download.h"

#include <QDialog>

class QLabel;
class QTimer;

// The Q90 serial window: a small borderless panel, "Comunicando...", that runs the whole
// download by itself (Q90Download) and closes five seconds after its end, whatever the end was.
// The port comes from PORTACOM, the speed is the line's 1200 baud and CLEAR says whether the
// terminal is erased after a complete download.
class TfmComQ90 : public QDialog {
    Q_OBJECT
public:
    // `portName` empty: PORTACOM of TORVEL.INI.
    explicit TfmComQ90(const QString &portName = {}, QWidget *parent = nullptr);
    ~TfmComQ90() override;

    // The delay between the end and the closing; tests shorten it (negative restores 5000 ms).
    static void setCloseDelay(int ms);

    // Starts the download; then show the window modally until it closes itself.
    void btnDescargaClick();

    Q90Download &download() { return *m_download; }

    QLabel *lbMensagem = nullptr;
    QTimer *tmFecha = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    std::unique_ptr<Q90Download> m_download;
};
