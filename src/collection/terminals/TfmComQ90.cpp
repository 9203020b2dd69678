#include "collection/terminals/TfmComQ90.h"

#include "core/TdmzDados.h"
#include "platform/IniFile.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kDefaultCloseDelay = 5000;
int g_closeDelay = kDefaultCloseDelay;
}  // namespace

void TfmComQ90::setCloseDelay(int ms) { g_closeDelay = ms >= 0 ? ms : kDefaultCloseDelay; }

TfmComQ90::TfmComQ90(const QString &portName, QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog)
{
    const IniFile &config = TdmzDados::instance()->config();
    Q90Download::Settings settings;
    settings.portName = portName.isEmpty() ? config.readString("COM", "PORTACOM", "COM1") : portName;
    m_download = std::make_unique<Q90Download>(settings);

    setWindowTitle(QStringLiteral("Comunicando..."));
    lbMensagem = new QLabel(QStringLiteral("Comunicando..."));
    lbMensagem->setAlignment(Qt::AlignCenter);
    lbMensagem->setMinimumWidth(260);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbMensagem);

    tmFecha = new QTimer(this);
    tmFecha->setSingleShot(true);
    connect(tmFecha, &QTimer::timeout, this, [this] { QDialog::done(QDialog::Accepted); });
    connect(m_download.get(), &Q90Download::progress, lbMensagem, &QLabel::setText);
    connect(m_download.get(), &Q90Download::finished, this, [this] {
        tmFecha->start(g_closeDelay);
    });
}

TfmComQ90::~TfmComQ90() = default;

void TfmComQ90::btnDescargaClick() { m_download->start(); }

// The panel closes itself; the user cannot cut a download short and leave the terminal
// half read.
void TfmComQ90::closeEvent(QCloseEvent *event)
{
    if (m_download->running())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TfmComQ90::reject()
{
    if (!m_download->running())
        QDialog::reject();
}
