#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>

// How long work tells how far it is, and hears that the user wants it stopped. The engine
// calls begin() for each stage and advance() after each unit of work; the listener (a
// progress dialog in the desktop, nothing in torvelctl, a script in tests) is asked at most
// every few tens of milliseconds, so reporting costs nothing next to the work. Once the
// listener answers "stop", every later call answers false: the engine then throws away what
// it had half built (its working tables emptied) and gives no result.
class Progress {
public:
    // Told what is being done, how much of it is done and of how much (total 0: not known);
    // answers whether to go on.
    using Listener = std::function<bool(const QString &what, qint64 done, qint64 total)>;

    Progress() = default;
    explicit Progress(Listener listener) : m_listener(std::move(listener)) {}

    // Starts a stage; false when the work is to stop.
    bool begin(const QString &what, qint64 total = 0);
    // After each unit of work; false when the work is to stop.
    bool advance(qint64 done);
    bool stopped() const { return m_stopped; }

private:
    bool ask();

    Listener m_listener;
    QString m_what;
    qint64 m_done = 0, m_total = 0;
    bool m_stopped = false;
    QElapsedTimer m_sinceAsked;
};

class QWidget;
class QProgressDialog;

// The desktop's listener: a window-modal box over `parent` with what is being done, a bar and
// "Cancelar", shown only when the work lasts more than a moment. Window events are handled
// while it is asked, so the program stays responsive.
class ProgressDialog {
public:
    explicit ProgressDialog(QWidget *parent, const QString &caption);
    ~ProgressDialog();
    ProgressDialog(const ProgressDialog &) = delete;
    ProgressDialog &operator=(const ProgressDialog &) = delete;

    Progress progress();

    // Runs `work` (given the Progress) with the box, and closes the box before returning its
    // result, so what follows (a preview, a message) is never covered by a finished box.
    template <typename Work>
    static auto run(QWidget *parent, const QString &caption, Work &&work)
    {
        ProgressDialog dialog(parent, caption);
        return work(dialog.progress());
    }

private:
    QProgressDialog *m_dialog;
};
