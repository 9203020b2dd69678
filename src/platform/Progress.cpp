#include "platform/Progress.h"

#include <QApplication>
#include <QProgressDialog>
#include <limits>
#include <memory>

namespace {
// Often enough for a bar that moves smoothly and a "Cancelar" that answers at once.
constexpr qint64 kAskEveryMs = 40;
constexpr qint64 kShowAfterMs = 500;
}  // namespace

bool Progress::begin(const QString &what, qint64 total)
{
    m_what = what;
    m_done = 0;
    m_total = total;
    return ask();
}

bool Progress::advance(qint64 done)
{
    m_done = done;
    if (m_stopped)
        return false;
    if (!m_listener || (m_sinceAsked.isValid() && m_sinceAsked.elapsed() < kAskEveryMs && done != m_total))
        return true;
    return ask();
}

bool Progress::ask()
{
    if (m_stopped)
        return false;
    if (!m_listener)
        return true;
    m_sinceAsked.start();
    m_stopped = !m_listener(m_what, m_done, m_total);
    return !m_stopped;
}

ProgressDialog::ProgressDialog(QWidget *parent, const QString &caption)
    : m_dialog(new QProgressDialog(parent))
{
    m_dialog->setWindowTitle(caption);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setCancelButtonText(QStringLiteral("Cancelar"));
    // Shown by the listener, once the work has lasted a moment.
    m_dialog->setMinimumDuration(std::numeric_limits<int>::max());
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setMinimumWidth(420);
    m_dialog->reset();
}

ProgressDialog::~ProgressDialog()
{
    delete m_dialog;
}

Progress ProgressDialog::progress()
{
    QProgressDialog *dialog = m_dialog;
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    return Progress([dialog, since](const QString &what, qint64 done, qint64 total) {
        // Work that ends within a moment shows nothing and handles no window events: a
        // short report runs as it always did. Longer work shows the box and stays responsive.
        if (!dialog->isVisible()) {
            if (since->elapsed() < kShowAfterMs)
                return true;
            dialog->show();
        }
        if (dialog->labelText() != what)
            dialog->setLabelText(what);
        // The bar counts in ints; large totals are scaled down.
        const qint64 scale = total > 1'000'000'000 ? total / 1'000'000 : 1;
        dialog->setMaximum(int(total / scale));
        dialog->setValue(int(std::min(done, total > 0 ? total : done) / scale));
        QApplication::processEvents();
        return !dialog->wasCanceled();
    });
}
