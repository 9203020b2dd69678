#include "reports/TfmRelCons1.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"
#include "platform/CommandRow.h"
#include "platform/IniFile.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/PeriodBox.h"
#include "platform/Progress.h"
#include "platform/RadioGroup.h"
#include "registries/RegistryLists.h"
#include "reports/ConsistencyAnalysis.h"
#include "reports/ConsistencyOutput.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kSection = QStringLiteral("RELCONSIST");
const QString kDescargasSelect = QStringLiteral(
    "SELECT DISTINCT desctot.Data_descarga, desctot.coletor\nFROM desctot\n");
const QString kOneDownload = QStringLiteral(
    "WHERE desctot.Coletor = :codigo_coletor and desctot.data_descarga = :data_desc");
const QString kCollectorDownloads = QStringLiteral(
    "WHERE  desctot.Coletor = :codigo_coletor\nORDER BY desctot.data_descarga");

QLineEdit *readOnlyField(const QString &hint)
{
    auto *field = new QLineEdit;
    field->setReadOnly(true);
    field->setToolTip(hint);
    return field;
}

// A button whose "&" marks the letter without making a shortcut of it: the window reacts to
// Alt with that letter itself, and only with Alt alone.
QPushButton *commandButton(const QString &caption, QStyle::StandardPixmap icon, QStyle *style)
{
    auto *button = new QPushButton(style->standardIcon(icon), caption);
    button->setShortcut(QKeySequence());
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TfmRelCons1::TfmRelCons1(const QString &preselColetor, const QDateTime &preselDescarga,
                         QWidget *parent)
    : QDialog(parent), m_dm(*TdmzDados::instance())
{
    setWindowTitle(QString::fromUtf8("Relatório de Consistência"));
    m_descargas = new DataSet(m_dm.db(), this);
    buildWidgets();
    FormCreate(preselColetor, preselDescarga);
}

TfmRelCons1::~TfmRelCons1() { FormDestroy(); }

void TfmRelCons1::buildWidgets()
{
    QStyle *st = style();
    auto searchButton = [st] {
        auto *b = new QToolButton;
        b->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
        return b;
    };

    auto *gbColetor = new QGroupBox(QStringLiteral("Coletor"));
    edColetor = readOnlyField(QString::fromUtf8("Duplo clique para limpar este campo e não filtrar coletor"));
    btPesquisaC = searchButton();
    auto *coletorRow = new QHBoxLayout(gbColetor);
    coletorRow->addWidget(edColetor);
    coletorRow->addWidget(btPesquisaC);

    gbEmpresa = new QGroupBox(QStringLiteral("Empresa"));
    edEmpresa = readOnlyField(QString::fromUtf8("Duplo clique para limpar este campo e não filtrar empresa"));
    btPesquisaE = searchButton();
    auto *empresaRow = new QHBoxLayout(gbEmpresa);
    empresaRow->addWidget(edEmpresa);
    empresaRow->addWidget(btPesquisaE);

    gbRoteiro = new QGroupBox(QStringLiteral("Roteiro"));
    edRoteiro = readOnlyField(QString::fromUtf8("Duplo clique para limpar este campo e não filtrar roteiro"));
    btPesquisaR = searchButton();
    auto *roteiroRow = new QHBoxLayout(gbRoteiro);
    roteiroRow->addWidget(edRoteiro);
    roteiroRow->addWidget(btPesquisaR);

    edInicio = new MaskEdit(QStringLiteral("99/99/9999 99:99;1;_"));
    edFim = new MaskEdit(QStringLiteral("99/99/9999 99:99;1;_"));
    btLimpa = commandButton(QStringLiteral("&Limpar"), QStyle::SP_DialogResetButton, st);
    gbPeriodo = periodBox(edInicio, edFim, btLimpa);

    rgRoteiro = new RadioGroup(QStringLiteral("Roteiro"),
                               {QString::fromUtf8("Com Referência"), QString::fromUtf8("Sem Referência")});
    rgRoteiro->setToolTip(QString::fromUtf8("Roteiro Sem Referência: somente relatório por descarga."));
    rgRelsa = new RadioGroup(QString::fromUtf8("Relatório"),
                             {QString::fromUtf8("Sintético"), QString::fromUtf8("Analítico")});

    auto *gbTciclo = new QGroupBox(QStringLiteral("Tempo entre Ciclos"));
    cbTciclo = new QCheckBox(QStringLiteral("Controlar Tempo"));
    cbTciclo->setToolTip(QStringLiteral("Controlar tempo entre o último local de um ciclo e o "
                                        "primeiro local do próximo ciclo"));
    edTmin = new QLineEdit;
    edTmin->setToolTip(QString::fromUtf8("Tempo mínimo (minutos)"));
    edTmax = new QLineEdit;
    edTmax->setToolTip(QString::fromUtf8("Tempo máximo (minutos)"));
    auto *tciclo = new QGridLayout(gbTciclo);
    tciclo->addWidget(cbTciclo, 0, 0, 1, 2);
    tciclo->addWidget(new QLabel(QString::fromUtf8("Mínimo:")), 1, 0);
    tciclo->addWidget(edTmin, 1, 1);
    tciclo->addWidget(new QLabel(QString::fromUtf8("Máximo:")), 2, 0);
    tciclo->addWidget(edTmax, 2, 1);

    auto *gbDescarga = new QGroupBox(QStringLiteral("Descarga"));
    dbgDescargas = new QTableView;
    dbgDescargas->setToolTip(QStringLiteral("Selecione a descarga desejada"));
    m_descargasModel = new DataSetModel(*m_descargas, this);
    m_descargasModel->addColumn(QStringLiteral("Data_descarga"), QStringLiteral("Data da descarga"), 160);
    m_descargasModel->bindView(dbgDescargas);
    dbgDescargas->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgDescargas->verticalHeader()->hide();
    dbgDescargas->horizontalHeader()->setStretchLastSection(true);
    btColeta = commandButton(QString::fromUtf8("&Última coleta"), QStyle::SP_ArrowDown, st);
    auto *descarga = new QVBoxLayout(gbDescarga);
    descarga->addWidget(dbgDescargas);
    descarga->addWidget(btColeta);

    btRelatorio = commandButton(QString::fromUtf8("&Relatório"), QStyle::SP_FileDialogDetailedView, st);
    btRetorna = commandButton(QStringLiteral("R&etorna"), QStyle::SP_DialogCloseButton, st);

    auto *filters = new QVBoxLayout;
    filters->addWidget(gbColetor);
    auto *registries = new QHBoxLayout;
    registries->addWidget(gbEmpresa);
    registries->addWidget(gbRoteiro);
    filters->addLayout(registries);
    filters->addWidget(gbPeriodo);
    auto *choices = new QHBoxLayout;
    choices->addWidget(rgRoteiro);
    choices->addWidget(rgRelsa);
    choices->addWidget(gbTciclo);
    filters->addLayout(choices);
    filters->addStretch();

    auto *body = new QHBoxLayout;
    body->addLayout(filters, 3);
    body->addWidget(gbDescarga, 2);
    auto *buttons = commandRow({btRelatorio, btRetorna});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);

    connect(btPesquisaC, &QToolButton::clicked, this, &TfmRelCons1::btPesquisaCclick);
    connect(btPesquisaE, &QToolButton::clicked, this, &TfmRelCons1::btPesquisaEclick);
    connect(btPesquisaR, &QToolButton::clicked, this, &TfmRelCons1::btPesquisaRclick);
    connect(btLimpa, &QPushButton::clicked, this, &TfmRelCons1::btLimpaclick);
    connect(btColeta, &QPushButton::clicked, this, &TfmRelCons1::btColetaclick);
    connect(btRelatorio, &QPushButton::clicked, this, &TfmRelCons1::btRelatorioclick);
    connect(btRetorna, &QPushButton::clicked, this, &TfmRelCons1::btRetornaclick);
    connect(rgRoteiro, &RadioGroup::clicked, this, &TfmRelCons1::rgRoteiroClick);

    // Double-clicks on the read-only fields, and the Alt shortcuts wherever the focus is.
    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TfmRelCons1::FormCreate(const QString &preselColetor, const QDateTime &preselDescarga)
{
    m_dm.qyColetores->open();

    IniFile &config = m_dm.config();
    rgRoteiro->setItemIndex(qBound(0, config.readInteger(kSection, "ROTREF", 0), 1));
    rgRelsa->setItemIndex(qBound(0, config.readInteger(kSection, "TIPOREL", 0), 1));
    cbTciclo->setChecked(config.readBool(kSection, "TCICLO", false));
    edTmin->setText(config.readString(kSection, "TMIN", "0"));
    edTmax->setText(config.readString(kSection, "TMAX", "0"));

    if (!preselColetor.isEmpty() &&
        m_dm.CountByField(preselColetor, QStringLiteral("codigo_coletor"), QStringLiteral("coletor")) > 0) {
        setDescargasFilter(true);
        m_descargas->setParam("data_desc", preselDescarga);
        m_dm.FindByField(preselColetor, QStringLiteral("codigo_coletor"), QStringLiteral("coletor"));
        edColetor->setText(m_dm.qyProcura->text("nome_coletor"));
        m_codigoColetor = m_dm.qyProcura->text("codigo_coletor");
    } else {
        setDescargasFilter(false);
        DataSet &coletores = *m_dm.qyColetores;
        coletores.first();
        edColetor->setText(coletores.text("nome_coletor"));
        m_codigoColetor = coletores.text("codigo_coletor");
    }
    openDescargas();
}

void TfmRelCons1::FormDestroy()
{
    m_descargas->close();
    m_dm.qyColetores->close();
    IniFile &config = m_dm.config();
    config.writeInteger(kSection, "ROTREF", rgRoteiro->itemIndex());
    config.writeInteger(kSection, "TIPOREL", rgRelsa->itemIndex());
    config.writeBool(kSection, "TCICLO", cbTciclo->isChecked());
    config.writeString(kSection, "TMIN", edTmin->text());
    config.writeString(kSection, "TMAX", edTmax->text());
}

void TfmRelCons1::setDescargasFilter(bool oneDownload)
{
    m_descargas->setSql(kDescargasSelect + (oneDownload ? kOneDownload : kCollectorDownloads));
}

void TfmRelCons1::openDescargas()
{
    m_descargas->setParam("codigo_coletor", m_codigoColetor);
    m_descargas->open();
}

QString TfmRelCons1::currentDownload() const
{
    if (!m_descargas->isActive() || m_descargas->isEmpty())
        return {};
    return m_descargas->text("Data_descarga").left(20);
}

void TfmRelCons1::automaticCheck(const QString &collector, QWidget *parent)
{
    TfmRelCons1 window({}, {}, parent);
    window.setCodigoColetor(collector);
    window.rgRelsa->setItemIndex(0);
    window.openDescargas();
    window.qyDescargas().last();
    window.setAutomaticCheckFlag(true);
    window.btRelatorioclick();
}

// --- commands ---

void TfmRelCons1::btRelatorioclick()
{
    if (m_running)
        return;
    m_running = true;
    struct Done {
        bool &flag;
        ~Done() { flag = false; }
    } done{m_running};

    if (edTmin->text().isEmpty())
        edTmin->setText(QStringLiteral("0"));
    if (edTmax->text().isEmpty())
        edTmax->setText(QStringLiteral("0"));

    ConsistencyInputs inputs;
    inputs.collector = m_codigoColetor;
    inputs.collectorNamed = !edColetor->text().isEmpty();
    inputs.periodGiven = edInicio->maskedText() != kEmptyPeriod;
    if (inputs.periodGiven) {
        inputs.periodStart = edInicio->maskedText();
        inputs.periodEnd = edFim->maskedText();
    }
    inputs.download = currentDownload();
    inputs.company = edEmpresa->text();
    inputs.routeName = edRoteiro->text();
    inputs.betweenCycles = cbTciclo->isChecked();
    inputs.betweenMin = edTmin->text();
    inputs.betweenMax = edTmax->text();

    const ConsistencyResult result = ProgressDialog::run(
        this, windowTitle(), [&](Progress progress) { return ConsistencyAnalysis(m_dm).run(inputs, progress); });
    if (!result.produced())
        return;
    ConsistencyOutputOptions options;
    options.synthetic = rgRelsa->itemIndex() == 0;
    options.withoutReference = rgRoteiro->itemIndex() == 1;
    options.automaticCheck = m_automatic;
    ConsistencyOutput(m_dm, inputs, options, result).present(this);
}

void TfmRelCons1::btRetornaclick() { reject(); }

void TfmRelCons1::btLimpaclick()
{
    clearOrToday(edInicio, edFim, edInicio->maskedText() == kEmptyPeriod);
}

void TfmRelCons1::btColetaclick()
{
    if (m_descargas->isActive())
        m_descargas->last();
}

void TfmRelCons1::btPesquisaCclick()
{
    TfmListaColetores list(this);
    if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
        return;
    edColetor->setText(list.chosen("nome_coletor").toString());
    m_codigoColetor = list.chosen("codigo_coletor").toString();
    // A collector picked here lists all of its downloads, also after a handed-over one.
    setDescargasFilter(false);
    openDescargas();
}

void TfmRelCons1::btPesquisaEclick()
{
    TfmListEmp list(this);
    if (DialogRunner::exec(&list) == QDialog::Accepted && !list.query().isEmpty())
        edEmpresa->setText(list.chosen("empresa").toString());
}

void TfmRelCons1::btPesquisaRclick()
{
    TfmListaRoteiros list(this);
    if (DialogRunner::exec(&list) == QDialog::Accepted && !list.query().isEmpty())
        edRoteiro->setText(list.chosen("nome_roteiro").toString());
}

void TfmRelCons1::rgRoteiroClick()
{
    // Without a reference the analysis works on one download: no period, company or route.
    const bool withReference = rgRoteiro->itemIndex() != 1;
    if (!withReference) {
        edInicio->clear();
        edFim->clear();
        edEmpresa->clear();
        edRoteiro->clear();
    }
    gbPeriodo->setEnabled(withReference);
    gbEmpresa->setEnabled(withReference);
    gbRoteiro->setEnabled(withReference);
}

void TfmRelCons1::edColetorDblClick()
{
    edColetor->clear();
    m_descargas->close();
}

void TfmRelCons1::edEmpresaDblClick() { edEmpresa->clear(); }

void TfmRelCons1::edRoteiroDblClick() { edRoteiro->clear(); }

bool TfmRelCons1::altShortcut(int key)
{
    switch (key) {
    case Qt::Key_R: btRelatorioclick(); return true;
    case Qt::Key_E: btRetornaclick(); return true;
    case Qt::Key_L: btLimpaclick(); return true;
    case Qt::Key_U: btColetaclick(); return true;
    default: return false;
    }
}

bool TfmRelCons1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == edColetor)
            edColetorDblClick();
        else if (watched == edEmpresa)
            edEmpresaDblClick();
        else if (watched == edRoteiro)
            edRoteiroDblClick();
        else
            return QDialog::eventFilter(watched, event);
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers held = key->modifiers() & ~Qt::KeypadModifier;
        // Alt alone: with Shift or Ctrl the key is not a command of the window.
        if (held == Qt::AltModifier && altShortcut(key->key()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
