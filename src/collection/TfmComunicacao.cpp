#include "collection/TfmComunicacao.h"

#include "collection/DumpFormats.h"
#include "collection/Ingest.h"
#include "collection/TfmDescarga.h"
#include "collection/TmpDesc.h"
#include "collection/terminals/TerminalLibraries.h"
#include "core/Artwork.h"
#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/BusyCursor.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "registries/RegistryLists.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

TfmComunicacao::Q90Commands &q90()
{
    static TfmComunicacao::Q90Commands commands;
    return commands;
}

const char *const kModelNames[] = {"Q90", "Lumet", "Vigia Bastão", "Vigia Bastão Novo"};

IniFile &config() { return TdmzDados::instance()->config(); }

// A terminal library that could not be loaded is reported instead of called.
bool usable(const QString &problem)
{
    if (problem.isEmpty())
        return true;
    Msg::error(problem);
    return false;
}

}  // namespace

// A simulated terminal says so in the log every time it answers, so nobody takes its touches
// for a real terminal's.
template <class Component>
bool TfmComunicacao::ready(const Component &component)
{
    if (!usable(component.problem()))
        return false;
    noteSimulator(component.simulator());
    return true;
}

void TfmComunicacao::noteSimulator(const QString &name)
{
    if (!name.isEmpty())
        log(QString::fromUtf8("Atenção: quem responde é o %1, não um coletor real.").arg(name));
}

namespace {

}  // namespace

void TfmComunicacao::setQ90Commands(Q90Commands commands) { q90() = std::move(commands); }

TfmComunicacao::TfmComunicacao(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Comunicação"));
    auto *models = new QGroupBox(QStringLiteral("Modelo de terminal"));
    auto *modelsLayout = new QVBoxLayout(models);
    auto *group = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        rbModelos[i] = new QRadioButton(QString::fromUtf8(kModelNames[i]));
        group->addButton(rbModelos[i], i);
        modelsLayout->addWidget(rbModelos[i]);
    }
    modelsLayout->addStretch();
    imModelo = new QLabel;
    imModelo->setAlignment(Qt::AlignCenter);
    imModelo->setMinimumSize(100, 130);
    imModelo->installEventFilter(this);

    mDescarga = new QPlainTextEdit;
    mDescarga->setReadOnly(true);
    mDescarga->setToolTip(QStringLiteral("Duplo click para limpar este quadro"));
    mDescarga->viewport()->installEventFilter(this);

    auto command = [this](const QString &caption, QStyle::StandardPixmap icon) {
        auto *b = new QPushButton(style()->standardIcon(icon), caption);
        b->setAutoDefault(false);
        return b;
    };
    btStatus = command(QStringLiteral("Status"), QStyle::SP_MessageBoxQuestion);
    btColetar = command(QStringLiteral("Coletar"), QStyle::SP_ArrowDown);
    btEnviaDH = command(QStringLiteral("Envia D/H"), QStyle::SP_BrowserReload);
    Label5 = command(QString::fromUtf8("Última descarga"), QStyle::SP_FileDialogDetailedView);
    btRetorna = command(QStringLiteral("Retorna"), QStyle::SP_DialogCloseButton);

    auto *top = new QHBoxLayout;
    top->addWidget(models);
    top->addWidget(imModelo);
    top->addWidget(mDescarga, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {btStatus, btColetar, btEnviaDH, Label5, btRetorna})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(720, 360);

    tmLibera = new QTimer(this);
    tmLibera->setSingleShot(true);
    tmLibera->setInterval(1000);
    connect(tmLibera, &QTimer::timeout, this, [this] {
        tmLibera->stop();
        release();
    });

    connect(group, &QButtonGroup::idClicked, this, &TfmComunicacao::RadioGroup1Click);
    connect(btStatus, &QPushButton::clicked, this, &TfmComunicacao::btStatusclick);
    connect(btColetar, &QPushButton::clicked, this, &TfmComunicacao::btColetarclick);
    connect(btEnviaDH, &QPushButton::clicked, this, &TfmComunicacao::btEnviaDHclick);
    connect(Label5, &QPushButton::clicked, this, &TfmComunicacao::Label5Click);
    connect(btRetorna, &QPushButton::clicked, this, &TfmComunicacao::btRetornaclick);

    const int stored = config().readInteger("COM", "TIPOREL", 0);
    rbModelos[stored >= 0 && stored < 4 ? stored : 0]->setChecked(true);
    imModelo->setPixmap(Artwork::terminalPicture(model(), 120));
}

TfmComunicacao::~TfmComunicacao() = default;

int TfmComunicacao::model() const
{
    for (int i = 0; i < 4; ++i)
        if (rbModelos[i]->isChecked())
            return i;
    return 0;
}

void TfmComunicacao::setModel(int m)
{
    rbModelos[qBound(0, m, 3)]->setChecked(true);
    RadioGroup1Click();
}

void TfmComunicacao::RadioGroup1Click()
{
    imModelo->setPixmap(Artwork::terminalPicture(model(), 120));
    config().writeInteger("COM", "TIPOREL", model());
}

void TfmComunicacao::log(const QString &line) { mDescarga->appendPlainText(line); }

void TfmComunicacao::noteEmptyTerminal(const IngestResult &stored)
{
    if (stored.ran && !stored.failed && stored.touches == 0 && stored.rejected == 0)
        log(QString::fromUtf8("Nenhum toque no coletor."));
}

bool TfmComunicacao::enter(bool clearLog)
{
    if (m_busy)
        return false;
    m_busy = true;
    if (clearLog)
        mDescarga->clear();
    return true;
}

void TfmComunicacao::startRelease() { tmLibera->start(); }

QString TfmComunicacao::portName() const
{
    return config().readString("COM", "PORTACOM", "COM1");
}

int TfmComunicacao::port() const { return Terminals::portNumber(portName()); }

void TfmComunicacao::showReview()
{
    TfmDescarga review(this);
    DialogRunner::exec(&review);
}

// --- Status ---

void TfmComunicacao::btStatusclick()
{
    if (!enter())
        return;
    switch (model()) {
    case Q90:
        if (q90().status) {
            q90().status(*this);
            return;  // released by the timer when the carrier closes
        }
        Msg::error(QString::fromUtf8("O coletor Q90 não está disponível nesta instalação."));
        break;
    case Lumet: {
        auto lumet = Terminals::createLumet(config());
        if (!ready(*lumet))
            break;
        log(QString::fromUtf8("Consultando o coletor..."));
        BusyCursor busy;
        if (lumet->isAnswering(port(), portName()) == 0)
            Msg::information(QString::fromUtf8("Relógio está respondendo!"));
        else
            Msg::error(QString::fromUtf8("Relógio NÃO está respondendo!"));
        break;
    }
    case Vigia:
        break;
    case VigiaNovo: {
        auto watch = Terminals::createWatch(config());
        if (!ready(*watch))
            break;
        log(QString::fromUtf8("Consultando o coletor..."));
        BusyCursor busy;
        if (watch->AwakenTX(port(), portName()) == 1) {
            const int id = watch->InquirID(port(), portName());
            Msg::information(QString::fromUtf8("Coletor está respondendo. ID do coletor: ") +
                             QStringLiteral("%1").arg(id, 6, 10, QChar('0')));
        } else {
            Msg::error(QString::fromUtf8("Coletor NÃO está respondendo!"));
        }
        break;
    }
    }
    release();
}

// --- Envia D/H ---

void TfmComunicacao::btEnviaDHclick()
{
    if (!enter())
        return;
    const QDateTime now = SystemServices::now();
    switch (model()) {
    case Q90:
        if (q90().setClock) {
            q90().setClock(*this);
            return;
        }
        Msg::error(QString::fromUtf8("O coletor Q90 não está disponível nesta instalação."));
        break;
    case Lumet: {
        auto lumet = Terminals::createLumet(config());
        if (!ready(*lumet))
            break;
        BusyCursor busy;
        const int result = lumet->setClock(port(), portName(),
                                           now.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
        Msg::information(result == 0 ? QStringLiteral("Data/Hora enviada!")
                                     : QString::fromUtf8("Data/Hora NÃO enviada!"));
        break;
    }
    case Vigia: {
        auto vigia = Terminals::createVigia(TdmzDados::instance()->programFolder(), config());
        if (!vigia->isInstalled()) {
            Msg::error(QStringLiteral("Instale o MVIGIA.EXE antes de enviar data/hora!"));
            break;
        }
        noteSimulator(vigia->simulator());
        const QString script = writeScript(false, vigia->path());
        log(QStringLiteral("Enviando data/hora..."));
        vigia->startScript(script);
        log(QStringLiteral("Acao executada"));
        log({});
        log({});
        SystemServices::pause(3000);
        break;
    }
    case VigiaNovo: {
        auto watch = Terminals::createWatch(config());
        if (!ready(*watch))
            break;
        BusyCursor busy;
        if (watch->AwakenTX(port(), portName()) == 1) {
            const int result = watch->SetWatchTime(port(), portName(), now.date().year() % 100,
                                                   now.date().month(), now.date().day(),
                                                   now.time().hour(), now.time().minute(),
                                                   now.time().second());
            Msg::information(result == 1 ? QStringLiteral("Data/Hora enviada!")
                                         : QString::fromUtf8("Data/Hora NÃO enviada!"));
        }
        break;
    }
    }
    release();
}

// --- Coletar ---

void TfmComunicacao::btColetarclick()
{
    if (!enter())
        return;
    TdmzDados *dm = TdmzDados::instance();
    QFile::remove(DumpFormats::lumetDumpPath());
    TmpDesc::recreate(*dm);
    IngestCallbacks callbacks{[this](const QString &line) { log(line); },
                              [this] { showReview(); }};
    try {
        switch (model()) {
        case Q90: {
            TfmListaColetores list(this);
            if (list.query().isEmpty()) {
                Msg::warning(QStringLiteral("Favor cadastrar um coletor antes de coletar os "
                                            "registros"));
                break;
            }
            if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
                break;
            if (!q90().collect) {
                Msg::error(QString::fromUtf8("O coletor Q90 não está disponível nesta instalação."));
                break;
            }
            q90().collect(*this, list.chosen("codigo_coletor").toString());
            break;
        }
        case Lumet: {
            if (!Ingest::ensureBackupFolder())
                break;
            auto lumet = Terminals::createLumet(config());
            if (!ready(*lumet))
                break;
            const QString path = DumpFormats::lumetDumpPath();
            log(QStringLiteral("Aguardando a descarga do coletor..."));
            int result;
            {
                BusyCursor busy;
                result = lumet->download(port(), portName(), path);
            }
            if (result != 0 || !QFileInfo::exists(path))
                break;
            const IngestResult stored = Ingest(*dm, callbacks).IngestTerminalDump(path);
            noteEmptyTerminal(stored);
            // The terminal's post-download step may clear it: only once every touch is safe.
            if (stored.complete())
                lumet->afterDownload(port(), portName());
            else
                log(QString::fromUtf8("O coletor não foi apagado."));
            break;
        }
        case Vigia: {
            TfmListaColetores list(this);
            if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
                break;
            m_collector = list.chosen("codigo_coletor").toString();
            collectVigia();
            break;
        }
        case VigiaNovo: {
            auto watch = Terminals::createWatch(config());
            if (!ready(*watch))
                break;
            BusyCursor busy;
            log(QStringLiteral("Aguardando a descarga do coletor..."));
            if (watch->AwakenTX(port(), portName()) != 1) {
                Msg::error(QString::fromUtf8("Coletor NÃO está respondendo!"));
                break;
            }
            if (watch->GetWatchData(port(), portName()) != 1) {
                Msg::information(QStringLiteral("Falha ao coletar dados"));
                break;
            }
            if (!Ingest::ensureBackupFolder())
                break;
            const QString path = DumpFormats::watchDataPath();
            if (!QFileInfo::exists(path))
                break;
            const IngestResult stored = Ingest(*dm, callbacks).IngestWatchData(path);
            noteEmptyTerminal(stored);
            // The terminal's memory is erased only when the whole download was stored.
            if (config().readBool("COM", "CLEAR", false)) {
                if (!stored.complete())
                    log(QString::fromUtf8("O coletor não foi apagado."));
                else if (watch->AwakenTX(port(), portName()) == 1 &&
                         watch->DeleteData(port(), portName()) != 1)
                    Msg::information(QStringLiteral("Falha ao apagar dados"));
            }
            break;
        }
        }
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
    release();
}

// --- Vigia Bastão ---

IngestResult TfmComunicacao::ingestVigiaFile()
{
    IngestCallbacks callbacks{[this](const QString &line) { log(line); },
                              [this] { showReview(); }};
    return Ingest(*TdmzDados::instance(), callbacks)
        .IngestVigiaFile(DumpFormats::vigiaFilePath(), m_collector);
}

void TfmComunicacao::collectVigia()
{
    auto vigia = Terminals::createVigia(TdmzDados::instance()->programFolder(), config());
    if (!vigia->isInstalled()) {
        Msg::error(QStringLiteral("Instale o MVIGIA.EXE antes de coletar os dados!"));
        return;
    }
    noteSimulator(vigia->simulator());
    // A file left by an earlier run is stored before the program can overwrite it; one that
    // cannot be stored ends the command, so nothing overwrites it or erases the terminal.
    const bool leftOver = QFileInfo::exists(DumpFormats::vigiaFilePath());
    if (leftOver && ingestVigiaFile().failed) {
        log(QString::fromUtf8("A coleta não foi feita: o arquivo anterior não foi gravado."));
        return;
    }
    log(QStringLiteral("Coletando dados..."));
    int exitCode;
    {
        BusyCursor busy;
        exitCode = vigia->runAndWait({"1", "0", "USB"});
    }
    if (exitCode < 0)
        Msg::error(QString::fromUtf8("Programa não encontrado!"));
    else if (exitCode != 0)
        Msg::error(QString::fromUtf8("O programa do coletor terminou com erro (código %1).")
                       .arg(exitCode));
    const IngestResult stored = ingestVigiaFile();
    if (exitCode == 0)
        noteEmptyTerminal(stored);
    log(QStringLiteral("Acao executada"));
    log({});
    log({});
    // Erasing is offered only for a download that ran to its end and is stored whole.
    if (exitCode != 0 || !stored.complete()) {
        log(QString::fromUtf8("O coletor não foi apagado."));
        return;
    }
    if (Msg::confirm(QStringLiteral("Deseja apagar os registros?")))
        eraseVigia(QStringLiteral("Acao executada"));
}

QString TfmComunicacao::writeScript(bool erase, const QString &program)
{
    const QString path = TdmzDados::instance()->programFolder() + "exec.sh";
    // The script runs the program from its own folder: the installed one or the simulator's.
    const QString folder = QFileInfo(program).absolutePath();
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        const QString say = erase ? QStringLiteral("  Preparando para apagar os dados")
                                  : QStringLiteral("  Preparando para enviar data/hora");
        QString quotedFolder = folder;
        quotedFolder.replace('\'', QStringLiteral("'\\''"));
        const QString text = QStringLiteral("#!/bin/sh\nclear\necho\necho '%1'\necho\necho\necho\n"
                                            "cd '%2'\n./mvigia 1 %3 USB\n")
                                 .arg(say, quotedFolder, erase ? "1" : "2");
        f.write(text.toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    return path;
}

void TfmComunicacao::eraseVigia(const QString &doneText)
{
    auto vigia = Terminals::createVigia(TdmzDados::instance()->programFolder(), config());
    const QString script = writeScript(true, vigia->path());
    if (!vigia->isInstalled()) {
        Msg::error(QStringLiteral("Instale o MVIGIA.EXE antes de coletar os dados!"));
        return;
    }
    vigia->startScript(script);
    log(doneText);
    log({});
    log({});
}

void TfmComunicacao::imModeloDblClick()
{
    if (model() != Vigia)
        return;
    if (Msg::confirm(QStringLiteral("Deseja desconectar o equipamento?")))
        eraseVigia(QString::fromUtf8("Ação executada"));
}

// --- Última descarga, Retorna ---

void TfmComunicacao::Label5Click()
{
    if (!enter(false))
        return;
    try {
        ingestVigiaFile();
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
    showReview();
    release();
}

void TfmComunicacao::btRetornaclick()
{
    if (m_busy)
        return;
    try {
        ingestVigiaFile();
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
    accept();
}

void TfmComunicacao::mDescargaDblClick() { mDescarga->clear(); }

bool TfmComunicacao::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == mDescarga->viewport()) {
            mDescargaDblClick();
            return true;
        }
        if (watched == imModelo) {
            imModeloDblClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
