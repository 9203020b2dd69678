#include "reports/TfmRelGeral.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/BusyCursor.h"
#include "platform/CommandRow.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/Progress.h"
#include "platform/SystemServices.h"
#include "registries/RegistryLists.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

namespace {

const QString kSection = QStringLiteral("RELGERAL");
const QString kPeriodMask = QStringLiteral("99/99/9999 99:99;1;_");

}  // namespace

void TfmRelGeral::Choice::clear()
{
    field->clear();
    code.clear();
}

TfmRelGeral::TfmRelGeral(QWidget *parent)
    : QDialog(parent), m_dm(*TdmzDados::instance()),
      // The general report keeps its boxes in the TORVEL.INI of the Windows folder, apart from
      // the program's own file of that name.
      m_settings(std::make_unique<IniFile>(Folders::windowsFolder() + QStringLiteral("TORVEL.INI")))
{
    setWindowTitle(QString::fromUtf8("Relatório Programável"));
    buildWidgets();
    FormCreate();
}

TfmRelGeral::~TfmRelGeral() { FormDestroy(); }

void TfmRelGeral::buildWidgets()
{
    QStyle *st = style();
    auto row = [this, st](QGridLayout *grid, int at, QCheckBox *&box, const QString &caption, const QString &boxHint,
                          QLineEdit *&field, const QString &fieldHint, QToolButton *&button, Choice &choice) {
        box = new QCheckBox(caption);
        box->setToolTip(boxHint);
        field = new QLineEdit;
        field->setToolTip(fieldHint);
        field->setMinimumWidth(260);
        button = new QToolButton;
        button->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
        button->setToolTip(QStringLiteral("Pesquisar"));
        grid->addWidget(box, at, 0);
        grid->addWidget(field, at, 1);
        grid->addWidget(button, at, 2);
        choice.field = field;
        // Unchecking forgets the choice; checking changes nothing else.
        connect(box, &QCheckBox::toggled, this, [&choice](bool on) {
            if (!on)
                choice.clear();
        });
    };
    const QString allFuncs = QString::fromUtf8(
        "Duplo clique p/ limpar o campo. Campo em branco considera-se todos os funcionários");

    auto *gbDe = new QGroupBox(QStringLiteral("Dados coletados de:"));
    auto *de = new QGridLayout(gbDe);
    row(de, 0, cbDeFuncs, QStringLiteral("Colaboradores"),
        QString::fromUtf8("Exibir toques em memórias associadas a funcionário(s)"), edDeFunc, allFuncs, btPesquisaF,
        m_deFunc);
    row(de, 1, cbDeLocais, QStringLiteral("Locais"), QString::fromUtf8("Exibir toques em memórias associadas a Local(s)"),
        edDeLocal, QString::fromUtf8("Duplo clique p/ limpar o campo. Campo em branco considera-se todos os Locais"),
        btPesquisaL, m_deLocal);
    row(de, 2, cbDeEventos, QStringLiteral("Eventos"),
        QString::fromUtf8("Exibir toques em memórias associadas a Evento(s)"), edDeEvento,
        QString::fromUtf8("Duplo clique p/ limpar o campo. Campo em branco considera-se todos os Eventos"), btPesquisaE,
        m_deEvento);

    auto *gbAo = new QGroupBox(QStringLiteral("Dados pertencentes ao:"));
    auto *ao = new QGridLayout(gbAo);
    row(ao, 0, cbPorCol, QStringLiteral("Identificador"),
        QString::fromUtf8("Exibir coletor no qual foram coletados o(s) toque(s)"), edAoColetor,
        QString::fromUtf8("Duplo clique p/ limpar o campo. Campo em branco considera-se todos os coletores"),
        btPesquisaI, m_aoColetor);
    row(ao, 1, cbPorFunc, QStringLiteral("Colaborador"),
        QString::fromUtf8("Exibir funcionário o qual realizou o(s) toque(s)"), edAoFunc, allFuncs, btPesquisaC1,
        m_aoFunc);
    row(ao, 2, cbPorRot, QStringLiteral("Roteiro"),
        QString::fromUtf8("Exibir o roteiro onde o(s) toque(s) foram realizados"), edAoRoteiro,
        QString::fromUtf8("Duplo clique p/ limpar o campo. Campo em branco considera-se todos os roteiros"),
        btPesquisaR, m_aoRoteiro);

    // The boxes of both groups in one column, so the six fields line up.
    int boxes = 0;
    for (QCheckBox *box : {cbDeFuncs, cbDeLocais, cbDeEventos, cbPorCol, cbPorFunc, cbPorRot})
        boxes = qMax(boxes, box->sizeHint().width());
    de->setColumnMinimumWidth(0, boxes);
    ao->setColumnMinimumWidth(0, boxes);

    auto *gbPeriodo = new QGroupBox(QString::fromUtf8("Período"));
    edInicio = new MaskEdit(kPeriodMask);
    edFim = new MaskEdit(kPeriodMask);
    for (MaskEdit *field : {edInicio, edFim})
        field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:000")) + 16);
    auto *periodo = new QHBoxLayout(gbPeriodo);
    auto *inicioLabel = new QLabel(QString::fromUtf8("Início:"));
    inicioLabel->setBuddy(edInicio);
    auto *fimLabel = new QLabel(QStringLiteral("Fim"));
    fimLabel->setBuddy(edFim);
    periodo->addWidget(inicioLabel);
    periodo->addWidget(edInicio);
    periodo->addSpacing(12);
    periodo->addWidget(fimLabel);
    periodo->addWidget(edFim);
    periodo->addStretch();

    auto *gbExibir = new QGroupBox(QStringLiteral("Exibir"));
    cbMemNcad = new QCheckBox(QString::fromUtf8("Memórias não cadastradas"));
    cbMemNassoc = new QCheckBox(QString::fromUtf8("Memórias não associadas"));
    auto *exibir = new QVBoxLayout(gbExibir);
    exibir->addWidget(cbMemNcad);
    exibir->addWidget(cbMemNassoc);

    ProgressBar1 = new QProgressBar;
    ProgressBar1->hide();
    btCancela = new QPushButton(st->standardIcon(QStyle::SP_BrowserStop), QStringLiteral("Cancelar"));
    btCancela->setAutoDefault(false);
    btCancela->hide();
    btRelatorio = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QString::fromUtf8("&Relatório"));
    btRelatorio->setDefault(true);
    btRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("R&etorna"));
    btRetorna->setAutoDefault(false);

    // What the user chooses stays as it is while a run reads it.
    m_choices = {gbDe, gbAo, gbPeriodo, gbExibir};

    auto *lower = new QHBoxLayout;
    lower->addWidget(gbPeriodo, 1);
    lower->addWidget(gbExibir);
    auto *progress = new QHBoxLayout;
    progress->addWidget(ProgressBar1, 1);
    progress->addWidget(btCancela);
    auto *buttons = commandRow({btRelatorio, btRetorna});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(gbDe);
    layout->addWidget(gbAo);
    layout->addLayout(lower);
    layout->addLayout(progress);
    layout->addLayout(buttons);

    // Down the first group, then the second, the period, the boxes and the commands.
    const QList<QWidget *> order{cbDeFuncs, edDeFunc, btPesquisaF, cbDeLocais, edDeLocal, btPesquisaL,
                                 cbDeEventos, edDeEvento, btPesquisaE, cbPorCol, edAoColetor, btPesquisaI,
                                 cbPorFunc, edAoFunc, btPesquisaC1, cbPorRot, edAoRoteiro, btPesquisaR,
                                 edInicio, edFim, cbMemNcad, cbMemNassoc, btCancela, btRelatorio, btRetorna};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(btPesquisaF, &QToolButton::clicked, this, &TfmRelGeral::btPesquisaFclick);
    connect(btPesquisaL, &QToolButton::clicked, this, &TfmRelGeral::btPesquisaLclick);
    connect(btPesquisaE, &QToolButton::clicked, this, &TfmRelGeral::btPesquisaEclick);
    connect(btPesquisaI, &QToolButton::clicked, this, &TfmRelGeral::btPesquisaIclick);
    connect(btPesquisaC1, &QToolButton::clicked, this, &TfmRelGeral::btPesquisaC1click);
    connect(btPesquisaR, &QToolButton::clicked, this, &TfmRelGeral::btPesquisaRclick);
    connect(btCancela, &QPushButton::clicked, this, &TfmRelGeral::btCancelaclick);
    connect(btRelatorio, &QPushButton::clicked, this, &TfmRelGeral::btRelatorioclick);
    connect(btRetorna, &QPushButton::clicked, this, &TfmRelGeral::btRetornaclick);
    for (QLineEdit *field : {edDeFunc, edDeLocal, edDeEvento, edAoColetor, edAoFunc, edAoRoteiro})
        field->installEventFilter(this);
}

void TfmRelGeral::FormCreate()
{
    cbDeFuncs->setChecked(m_settings->readBool(kSection, QStringLiteral("DEFUNCS"), true));
    cbDeLocais->setChecked(m_settings->readBool(kSection, QStringLiteral("DELOCAIS"), true));
    cbDeEventos->setChecked(m_settings->readBool(kSection, QStringLiteral("DEEVENTOS"), true));
    cbPorCol->setChecked(m_settings->readBool(kSection, QStringLiteral("PORCOL"), false));
    cbPorFunc->setChecked(m_settings->readBool(kSection, QStringLiteral("PORFUNC"), false));
    cbPorRot->setChecked(m_settings->readBool(kSection, QStringLiteral("PORROT"), false));
    for (Choice *c : {&m_deFunc, &m_deLocal, &m_deEvento, &m_aoColetor, &m_aoFunc, &m_aoRoteiro})
        c->code.clear();
    const QDate today = SystemServices::now().date();
    edInicio->setDateTime(QDateTime(today.addDays(-1), QTime(0, 0)));
    edFim->setDateTime(QDateTime(today, QTime(23, 59)));
    cbMemNcad->setChecked(true);
    cbMemNassoc->setChecked(true);
}

void TfmRelGeral::FormDestroy()
{
    m_settings->writeBool(kSection, QStringLiteral("DEFUNCS"), cbDeFuncs->isChecked());
    m_settings->writeBool(kSection, QStringLiteral("DELOCAIS"), cbDeLocais->isChecked());
    m_settings->writeBool(kSection, QStringLiteral("DEEVENTOS"), cbDeEventos->isChecked());
    m_settings->writeBool(kSection, QStringLiteral("PORCOL"), cbPorCol->isChecked());
    m_settings->writeBool(kSection, QStringLiteral("PORFUNC"), cbPorFunc->isChecked());
    m_settings->writeBool(kSection, QStringLiteral("PORROT"), cbPorRot->isChecked());
}

ProgrammableInputs TfmRelGeral::inputs() const
{
    ProgrammableInputs in;
    in.collaborators = cbDeFuncs->isChecked();
    in.collaborator = {edDeFunc->text(), m_deFunc.code};
    in.locations = cbDeLocais->isChecked();
    in.location = {edDeLocal->text(), m_deLocal.code};
    in.events = cbDeEventos->isChecked();
    in.event = {edDeEvento->text(), m_deEvento.code};
    in.byCollector = cbPorCol->isChecked();
    in.collector = {edAoColetor->text(), m_aoColetor.code};
    in.byCollaborator = cbPorFunc->isChecked();
    in.collaboratorCode = {edAoFunc->text(), m_aoFunc.code};
    in.byRoute = cbPorRot->isChecked();
    in.route = {edAoRoteiro->text(), m_aoRoteiro.code};
    in.unregistered = cbMemNcad->isChecked();
    in.unbound = cbMemNassoc->isChecked();
    in.periodStart = edInicio->maskedText();
    in.periodEnd = edFim->maskedText();
    return in;
}

// --- commands ---

void TfmRelGeral::btRelatorioclick()
{
    if (m_running)
        return;
    m_running = true;
    m_cancel = false;
    m_closeAfterRun = false;
    btRelatorio->setEnabled(false);
    for (QWidget *group : m_choices)
        group->setEnabled(false);
    // Whatever the outcome, an error included, the window is ready for the next run.
    struct Done {
        TfmRelGeral &w;
        ~Done()
        {
            w.ProgressBar1->hide();
            w.btCancela->hide();
            w.btRelatorio->setEnabled(true);
            for (QWidget *group : w.m_choices)
                group->setEnabled(true);
            w.m_running = false;
        }
    };
    std::optional<Listing> listing;
    {
        Done ready{*this};
        BusyCursor busy;
        ProgressBar1->setRange(0, 0);
        ProgressBar1->setValue(0);
        ProgressBar1->show();
        btCancela->show();
        listing = ProgrammableReport(m_dm).run(
            inputs(), Progress([this](const QString &, qint64 done, qint64 total) { return progress(done, total); }));
    }
    if (m_closeAfterRun) {
        QDialog::reject();
        return;
    }
    if (!listing)
        return;
    listing->present(m_dm.excel, m_dm.installationName(), this);
}

bool TfmRelGeral::progress(qint64 done, qint64 total)
{
    // The count may be behind touches stored since it ran.
    const int most = int(qMin<qint64>(qMax(total, done), std::numeric_limits<int>::max()));
    if (ProgressBar1->maximum() < most)
        ProgressBar1->setMaximum(most);
    ProgressBar1->setValue(int(qMin<qint64>(done, most)));
    QCoreApplication::processEvents();
    return !m_cancel;
}

void TfmRelGeral::btCancelaclick()
{
    if (m_running)
        m_cancel = true;
}

void TfmRelGeral::btRetornaclick() { reject(); }

void TfmRelGeral::reject()
{
    // The run is on the stack under this call: it stops first, and the window closes after it.
    if (m_running) {
        m_cancel = true;
        m_closeAfterRun = true;
        return;
    }
    QDialog::reject();
}

void TfmRelGeral::search(TfmListaBase &list, Choice &choice, const QString &nameField, const QString &codeField,
                         int length)
{
    if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
        return;
    choice.field->setText(list.chosen(nameField).toString());
    const QString code = list.chosen(codeField).toString();
    choice.code = length > 0 ? code.left(length) : code;
}

void TfmRelGeral::btPesquisaFclick()
{
    TfmListaFuncs list(this);
    search(list, m_deFunc, QStringLiteral("nome_func"), QStringLiteral("memoria"), 12);
}

void TfmRelGeral::btPesquisaLclick()
{
    TfmListaLocais list(this);
    search(list, m_deLocal, QStringLiteral("nome_local"), QStringLiteral("button_local"), 12);
}

void TfmRelGeral::btPesquisaEclick()
{
    TfmListaEventos list(this);
    search(list, m_deEvento, QStringLiteral("desc_evento"), QStringLiteral("button_evento"), 12);
}

void TfmRelGeral::btPesquisaIclick()
{
    TfmListaColetores list(this);
    search(list, m_aoColetor, QStringLiteral("nome_coletor"), QStringLiteral("codigo_coletor"), 12);
}

void TfmRelGeral::btPesquisaC1click()
{
    TfmListaFuncs list(this);
    // Codes are kept whole: cut to four characters, route 12345 would filter route 1234's
    // touches under the name of route 12345.
    search(list, m_aoFunc, QStringLiteral("nome_func"), QStringLiteral("codigo_func"), 0);
}

void TfmRelGeral::btPesquisaRclick()
{
    TfmListaRoteiros list(this);
    search(list, m_aoRoteiro, QStringLiteral("nome_roteiro"), QStringLiteral("codigo_roteiro"), 0);
}

void TfmRelGeral::edDeFuncDblClick() { m_deFunc.clear(); }
void TfmRelGeral::edDeLocalDblClick() { m_deLocal.clear(); }
void TfmRelGeral::edDeEventoDblClick() { m_deEvento.clear(); }
void TfmRelGeral::edAoColetorDblClick() { m_aoColetor.clear(); }
void TfmRelGeral::edAoFuncDblClick() { m_aoFunc.clear(); }
void TfmRelGeral::edAoRoteiroDblClick() { m_aoRoteiro.clear(); }

bool TfmRelGeral::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == edDeFunc)
            edDeFuncDblClick();
        else if (watched == edDeLocal)
            edDeLocalDblClick();
        else if (watched == edDeEvento)
            edDeEventoDblClick();
        else if (watched == edAoColetor)
            edAoColetorDblClick();
        else if (watched == edAoFunc)
            edAoFuncDblClick();
        else if (watched == edAoRoteiro)
            edAoRoteiroDblClick();
        else
            return QDialog::eventFilter(watched, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
