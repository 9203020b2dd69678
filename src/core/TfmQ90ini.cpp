#include "core/TfmQ90ini.h"

#include "core/Artwork.h"
#include "core/TdmzDados.h"
#include "core/TfmAcesso.h"
#include "core/TfmAjuda.h"
#include "core/TfmCopia.h"
#include "core/TfmConfigCom.h"
#include "core/TfmSenha.h"
#include "core/TfmSobre.h"
#include "core/db/Backup.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {

const QString kTitle = QStringLiteral("Torvel - Controle de Rondas");

// Menus that the logged-in user's flags enable, by menu name and flag.
const std::pair<const char *, const char *> kGatedMenus[] = {
    {"mnCadastros", "cadastros"},   {"mnRelCadastros", "relcad"},
    {"mnRelColetas", "reldesc"},    {"mnConfiguracoes", "configuracoes"},
    {"mnUtilitarios", "utilitarios"},
};

struct TileDef {
    const char *caption;
    const char *handler;
    Artwork::Tile picture;
};

const TileDef kTiles[] = {
    {"Roteiros", "RoteirosClick", Artwork::Tile::Routes},
    {"Comunicação", "Label5Click", Artwork::Tile::Communication},
    {"Excluir coletas", "ApagaDescargas1Click", Artwork::Tile::DeleteCollections},
    {"Relatório de Consistência", "ConsistenciaClick", Artwork::Tile::ConsistencyReport},
    {"Colaboradores", "FuncionriosClick", Artwork::Tile::Collaborators},
    {"Relatório de Coleta", "Coletor1Click", Artwork::Tile::CollectionReport},
    {"Local", "LocaisClick", Artwork::Tile::Location},
    {"Analítico por Coletor", "PorColetor1Click", Artwork::Tile::AnalyticByCollector},
    {"Painel do dia", "PaineldoDia1Click", Artwork::Tile::DayBoard},
};

}  // namespace

TfmQ90ini::TfmQ90ini(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(Artwork::logo(64)));
    buildMenus();
    buildTiles();
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel;
        m_panels[i]->setMinimumWidth(i == 1 ? 260 : 90);
        statusBar()->addPermanentWidget(m_panels[i], i == 1 ? 1 : 0);
    }
    m_copyPanel = new QLabel;
    statusBar()->addPermanentWidget(m_copyPanel);
    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &TfmQ90ini::Timer1Timer);

    registerCommand("SairClick", [this] { SairClick(); });
    registerCommand("Sobre1Click", [this] { Sobre1Click(); });
    registerCommand("Configuraes1Click", [this] { Configuraes1Click(); });
    registerCommand("TORVEL1Click", [this] { TORVEL1Click(); });
    registerCommand("Senha1Click", [this] {
        // The editor changes rows only; the flags act from each user's next login.
        TfmAcesso editor(this);
        DialogRunner::exec(&editor);
    });
    registerCommand("Copiadeseguranca1Click", [this] {
        TfmCopia window(this);
        DialogRunner::exec(&window);
        m_copyPanel->setText(TfmCopia::lastCopyText());
    });
    resize(820, 560);
}

QMenu *TfmQ90ini::addMenu(QMenu *parent, const QString &caption, const QString &name)
{
    QMenu *m = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    m_menus.insert(name, m);
    return m;
}

QAction *TfmQ90ini::addItem(QMenu *menu, const QString &caption, const QString &handler)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(handler);
    connect(a, &QAction::triggered, this, [this, handler] { run(handler); });
    m_actions << a;
    return a;
}

void TfmQ90ini::buildMenus()
{
    QMenu *cad = addMenu(nullptr, "&Cadastros", "mnCadastros");
    addItem(cad, "C&oletores", "Coletores1Click");
    addItem(cad, "&Identificadores", "Memrias1Click");
    addItem(cad, "C&olaboradores", "FuncionriosClick");
    addItem(cad, "&Eventos", "EventosClick");
    addItem(cad, "&Locais", "LocaisClick");
    addItem(cad, "Distâncias entre locais", "Distnciasentrelocais1Click");
    addItem(cad, "Funções", "Funo1Click");
    addItem(cad, "&Roteiros", "RoteirosClick");

    QMenu *rel = addMenu(nullptr, "&Relatórios", "mnRelatorios");
    QMenu *relCad = addMenu(rel, "&Cadastros", "mnRelCadastros");
    addItem(relCad, "&Coletores", "Coletores2Click");
    addItem(relCad, "&Identificadores", "Memrias2Click");
    addItem(relCad, "C&olaboradores", "Funcionrios1Click");
    addItem(relCad, "&Eventos", "Eventos1Click");
    addItem(relCad, "&Locais", "Locais1Click");
    addItem(relCad, "&Funcões", "Funces1Click");
    addItem(relCad, "&Roteiros", "Roteiros1Click");
    addItem(relCad, "Distâncias", "Distncias1Click");
    QMenu *relCol = addMenu(rel, "C&oletas", "mnRelColetas");
    addItem(relCol, "Por C&oletor", "Coletor1Click");
    addItem(relCol, "Por &Colaborador", "Funcionrio1Click");
    QMenu *anal = addMenu(rel, "&Analíticos", "mnAnaliticos");
    addItem(anal, "Por &Roteiro", "PorRoteiro1Click");
    addItem(anal, "Por C&oletor", "PorColetor1Click");
    addItem(anal, "Por &Evento", "Eventos2Click");
    addItem(anal, "Por &Local", "Locais2Click");
    addItem(anal, "&Programável", "Geral1Click");
    addItem(anal, "Por Coletor/Roteiro", "PorColetorRoteiro1Click");
    addItem(anal, "Distâncias percorridas", "Distnciaspercorridas1Click");
    QAction *consist = addItem(rel, "C&onsistência", "ConsistenciaClick");
    consist->setProperty("gate", "relcons");
    // The board shows the consistency verdicts: whoever may not see them may not see it.
    addItem(rel, "Painel do &dia", "PaineldoDia1Click")->setProperty("gate", "relcons");

    QMenu *conf = addMenu(nullptr, "C&onfigurações", "mnConfiguracoes");
    addItem(conf, "Configurações &Gerais", "Configuraes1Click");
    addItem(conf, "Preços por km", "Preosporkm1Click");

    QMenu *util = addMenu(nullptr, "Uti&litários", "mnUtilitarios");
    addItem(util, "P&rogramação", "Programao1Click");
    addItem(util, "&Permissões de acesso", "Senha1Click");
    addItem(util, "&Exclui coletas", "ApagaDescargas1Click");
    addItem(util, "Exportar registro de pontos", "Exportarregistrodepontos1Click");
    addItem(util, "Importar coletas externas", "Importarcoletasexternas1Click");
    addItem(util, "Exportar coletas de jornais", "Exportarcoletasdejornais1Click");
    addItem(util, "Cópia de segurança", "Copiadeseguranca1Click");

    QMenu *help = addMenu(nullptr, "A&juda", "mnAjuda");
    addItem(help, "&TORVEL", "TORVEL1Click");
    addItem(help, "S&obre", "Sobre1Click");

    // "&Sair" is a command on the menu bar itself.
    QAction *sair = menuBar()->addAction("&Sair");
    sair->setObjectName("SairClick");
    connect(sair, &QAction::triggered, this, [this] { run("SairClick"); });
    m_actions << sair;
    updateEnabled();
}

void TfmQ90ini::buildTiles()
{
    auto *panel = new QWidget;
    auto *grid = new QGridLayout(panel);
    grid->setSpacing(16);
    int index = 0;
    for (const TileDef &def : kTiles) {
        auto *button = new QToolButton;
        const QString caption = QString::fromUtf8(def.caption);
        const QString handler = QString::fromLatin1(def.handler);
        button->setText(caption);
        button->setObjectName(handler);
        button->setIcon(Artwork::tileIcon(def.picture));
        button->setIconSize(QSize(48, 48));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, handler] { run(handler); });
        // Centred in its cell at its own size: a tile stretched with the window would draw
        // the caption far below the icon.
        grid->addWidget(button, index / 4, index % 4, Qt::AlignCenter);
        m_tiles << button;
        ++index;
    }
    // One size for every tile, enough for the longest caption.
    QSize tileSize(150, 100);
    for (QToolButton *t : std::as_const(m_tiles))
        tileSize = tileSize.expandedTo(t->sizeHint() + QSize(16, 8));
    for (QToolButton *t : std::as_const(m_tiles))
        t->setFixedSize(tileSize);
    for (int row = 0; row < grid->rowCount(); ++row)
        grid->setRowStretch(row, 1);
    for (int column = 0; column < grid->columnCount(); ++column)
        grid->setColumnStretch(column, 1);
    setCentralWidget(panel);
}

void TfmQ90ini::registerCommand(const QString &handler, Command command)
{
    m_commands.insert(handler, std::move(command));
    updateEnabled();
}

void TfmQ90ini::updateEnabled()
{
    for (QAction *a : std::as_const(m_actions)) {
        bool enabled = m_commands.contains(a->objectName());
        const QString gate = a->property("gate").toString();
        if (!gate.isEmpty())
            enabled = enabled && m_menuAllowed.value(gate, true);
        a->setEnabled(enabled);
    }
    for (const auto &[menuName, flag] : kGatedMenus)
        m_menus.value(menuName)->menuAction()->setEnabled(m_menuAllowed.value(flag, true));
    for (QToolButton *t : std::as_const(m_tiles))
        t->setEnabled(m_commands.contains(t->objectName()));
}

void TfmQ90ini::applyPermissions(const QMap<QString, int> &flags)
{
    m_menuAllowed.clear();
    for (const auto &[menuName, flag] : kGatedMenus)
        m_menuAllowed.insert(flag, flags.value(flag, -1) == 0);
    m_menuAllowed.insert("relcons", flags.value("relcons", -1) == 0);
    updateEnabled();
}

void TfmQ90ini::run(const QString &handler)
{
    const auto it = m_commands.constFind(handler);
    if (it == m_commands.constEnd())
        return;
    if (handler == QLatin1String("ConsistenciaClick"))
        preselColetor.clear();  // menu and tile open the report without preselection
    const Command command = it.value();
    try {
        command();
    } catch (const DbError &e) {
        QApplication::restoreOverrideCursor();
        Msg::error(e.text());
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        Msg::error(QString::fromLocal8Bit(e.what()));
    }
}

bool TfmQ90ini::FormCreate()
{
    TdmzDados *dm = TdmzDados::instance();
    const QString installation = dm->installationName();
    setWindowTitle(installation.isEmpty() ? kTitle : kTitle + " - " + installation);

    TfmSenha login(this);
    if (DialogRunner::exec(&login) != QDialog::Accepted)
        return false;
    applyPermissions(login.flags());
    m_panels[0]->setText(dm->login);
    QApplication::restoreOverrideCursor();
    Timer1Timer();
    m_clock->start();
    // A failed automatic copy is told once at the start, and stays in the status bar until a
    // copy works.
    const QString failure = Backup::lastFailure();
    if (!failure.isEmpty())
        Msg::warning(QString::fromUtf8("A última cópia automática do banco de dados falhou: ") +
                     failure);
    return true;
}

void TfmQ90ini::Timer1Timer()
{
    const QDateTime now = SystemServices::now();
    m_panels[1]->setText(DateTimeText::dateInWords(now.date()));
    m_panels[2]->setText(DateTimeText::clockTimeText(now.time()));
    // The daily copy runs in the background after the start: its outcome shows up here.
    if (now.time().second() == 0 || m_copyPanel->text().isEmpty())
        m_copyPanel->setText(TfmCopia::lastCopyText());
}

QString TfmQ90ini::statusText(int panel) const
{
    if (panel == 3)
        return m_copyPanel->text();
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}

QAction *TfmQ90ini::action(const QString &handler) const
{
    for (QAction *a : m_actions)
        if (a->objectName() == handler)
            return a;
    return nullptr;
}

QMenu *TfmQ90ini::menu(const QString &name) const { return m_menus.value(name); }

QToolButton *TfmQ90ini::tile(const QString &caption) const
{
    for (QToolButton *t : m_tiles)
        if (t->text() == caption)
            return t;
    return nullptr;
}

void TfmQ90ini::SairClick()
{
    if (!Msg::confirm(QStringLiteral("Sair do sistema?")))
        return;
    m_exitConfirmed = true;
    close();
}

void TfmQ90ini::closeEvent(QCloseEvent *event)
{
    if (!m_exitConfirmed && !Msg::confirm(QStringLiteral("Sair do sistema?"))) {
        event->ignore();
        return;
    }
    m_exitConfirmed = true;
    m_clock->stop();
    event->accept();
}

void TfmQ90ini::Sobre1Click()
{
    TfmSobre about(this);
    DialogRunner::exec(&about);
}

void TfmQ90ini::Configuraes1Click()
{
    TfmConfigCom settings(TfmConfigCom::Mode::Normal, this);
    DialogRunner::exec(&settings);
    TdmzDados *dm = TdmzDados::instance();
    dm->readSpreadsheetFlag();
    const QString installation = dm->installationName();
    setWindowTitle(installation.isEmpty() ? kTitle : kTitle + " - " + installation);
}

void TfmQ90ini::TORVEL1Click()
{
    // Our own window: a desktop without a text viewer still shows the help. A missing file
    // is said in the window itself, with no message box.
    TfmAjuda help(TdmzDados::instance()->programFolder() + "TORVEL.TXT", this);
    DialogRunner::exec(&help);
}

void TfmQ90ini::bringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}
