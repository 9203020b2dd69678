#pragma once

#include "collection/Ingest.h"

#include <QDialog>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

// "Comunicação": the one place where the user talks to a terminal. The user picks the model
// (remembered in TORVEL.INI) and a command; each command is ignored while another runs.
class TfmComunicacao : public QDialog {
    Q_OBJECT
public:
    enum Model { Q90 = 0, Lumet = 1, Vigia = 2, VigiaNovo = 3 };

    // The Q90 terminal's commands, installed by its carrier module: status, clock, and
    // collect for a collector. Each returns when its window closed; the dialog then releases
    // its guard through the release timer.
    struct Q90Commands {
        std::function<void(TfmComunicacao &)> status;
        std::function<void(TfmComunicacao &)> setClock;
        std::function<void(TfmComunicacao &, const QString &collector)> collect;
    };
    static void setQ90Commands(Q90Commands commands);

    explicit TfmComunicacao(QWidget *parent = nullptr);
    ~TfmComunicacao() override;

    int model() const;
    void setModel(int model);
    bool busy() const { return m_busy; }
    QString chosenCollector() const { return m_collector; }
    // Adds a line to the log.
    void log(const QString &line);

    QRadioButton *rbModelos[4] = {};
    QLabel *imModelo = nullptr;
    QPlainTextEdit *mDescarga = nullptr;
    QPushButton *btStatus = nullptr;
    QPushButton *btColetar = nullptr;
    QPushButton *btEnviaDH = nullptr;
    QPushButton *Label5 = nullptr;
    QPushButton *btRetorna = nullptr;
    QTimer *tmLibera = nullptr;

public Q_SLOTS:
    void RadioGroup1Click();
    void btStatusclick();
    void btEnviaDHclick();
    void btColetarclick();
    void Label5Click();
    void btRetornaclick();
    void mDescargaDblClick();
    void imModeloDblClick();
    // Started when the Q90 carrier closes; clears the busy guard when it fires.
    void startRelease();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Takes the guard; false (and nothing done) when a command is already running.
    bool enter(bool clearLog = true);
    void release() { m_busy = false; }
    int port() const;
    QString portName() const;
    void collectVigia();
    IngestResult ingestVigiaFile();
    template <class Component>
    bool ready(const Component &component);
    void noteSimulator(const QString &name);
    // A terminal that holds nothing gives a dump with its header alone: the log says so.
    void noteEmptyTerminal(const IngestResult &stored);
    // Writes the erase or clock script; its path.
    QString writeScript(bool erase, const QString &program);
    void eraseVigia(const QString &doneText);
    void showReview();

    bool m_busy = false;
    QString m_collector;
};
