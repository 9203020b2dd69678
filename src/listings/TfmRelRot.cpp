#include "listings/TfmRelRot.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/DataSetModel.h"
#include "listings/RouteListing.h"
#include "platform/MessageService.h"
#include "registries/RegistryLists.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

TfmRelRot::TfmRelRot(QWidget *parent) : QDialog(parent), m_dm(*TdmzDados::instance())
{
    setWindowTitle(QStringLiteral("Relatório de Roteiros"));
    setMinimumWidth(360);
    QStyle *st = style();
    DBGrid1 = new QTableView;
    DBGrid1->setToolTip(QStringLiteral("Duplo clique para selecionar um roteiro"));
    auto *model = new DataSetModel(*m_dm.qyRoteiros, this);
    model->addColumn(QStringLiteral("nome_roteiro"), QStringLiteral("Nome roteiro"), 300);
    model->bindView(DBGrid1);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    edRoteiro = new QLineEdit;
    edRoteiro->setReadOnly(true);
    edRoteiro->setToolTip(QStringLiteral("Imprime somente o roteiro especificado. (Duplo clique p/ limpar)"));
    edRoteiro->installEventFilter(this);
    btPesquisa = new QPushButton(st->standardIcon(QStyle::SP_FileDialogContentsView), QString());
    btPesquisa->setToolTip(QStringLiteral("Localiza"));
    cb_folha = new QCheckBox(QStringLiteral("Um por folha"));
    cb_folha->setToolTip(QStringLiteral("Imprime um roteiro por folha"));
    btRelatorio = new QPushButton(st->standardIcon(QStyle::SP_FileDialogDetailedView), QStringLiteral("Relatório"));
    buRetorna = new QPushButton(st->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Retorna"));
    for (QPushButton *b : {btPesquisa, btRelatorio, buRetorna})
        b->setAutoDefault(false);

    auto *roteiro = new QHBoxLayout;
    roteiro->addWidget(new QLabel(QStringLiteral("Roteiro")));
    roteiro->addWidget(edRoteiro, 1);
    roteiro->addWidget(btPesquisa);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cb_folha);
    buttons->addStretch();
    buttons->addWidget(btRelatorio);
    buttons->addWidget(buRetorna);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(roteiro);
    layout->addLayout(buttons);

    connect(DBGrid1, &QTableView::doubleClicked, this, &TfmRelRot::DBGrid1DblClick);
    connect(btPesquisa, &QPushButton::clicked, this, &TfmRelRot::btPesquisaclick);
    connect(btRelatorio, &QPushButton::clicked, this, &TfmRelRot::btRelatorioclick);
    connect(buRetorna, &QPushButton::clicked, this, &TfmRelRot::buRetornaclick);

    // FormCreate
    showAllRoutes();
}

TfmRelRot::~TfmRelRot()
{
    // FormDestroy
    m_dm.qyRoteiros->close();
}

bool TfmRelRot::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edRoteiro && event->type() == QEvent::MouseButtonDblClick) {
        edRoteiroDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfmRelRot::showAllRoutes()
{
    DataSet &q = *m_dm.qyRoteiros;
    q.close();
    q.clearParams();
    q.setSql(QStringLiteral("select * from roteiros order by nome_roteiro"));
    q.open();
}

void TfmRelRot::DBGrid1DblClick()
{
    edRoteiro->setText(m_dm.qyRoteiros->text(QStringLiteral("nome_roteiro")));
}

void TfmRelRot::edRoteiroDblClick()
{
    edRoteiro->clear();
    showAllRoutes();
}

void TfmRelRot::btPesquisaclick()
{
    TfmListaRoteiros list(this);
    if (DialogRunner::exec(&list) != QDialog::Accepted || list.query().isEmpty())
        return;
    const QString name = list.chosen(QStringLiteral("nome_roteiro")).toString();
    DataSet &q = *m_dm.qyRoteiros;
    q.close();
    q.setSql(QStringLiteral("select * from roteiros where nome_roteiro = :pnome_roteiro"));
    q.setParam(QStringLiteral("pnome_roteiro"), name);
    q.open();
    edRoteiro->setText(name);
}

void TfmRelRot::btRelatorioclick()
{
    // With a route named, the one at the grid's current row; else every route.
    QVariant code;
    if (!edRoteiro->text().isEmpty())
        code = m_dm.qyRoteiros->value(QStringLiteral("codigo_roteiro"));
    if (!edRoteiro->text().isEmpty() && !code.isValid())
        code = -1;  // no current row: a route that cannot exist, so nothing is listed
    RouteListing engine(m_dm);
    const QList<ListedRoute> routes = engine.routes(code);
    if (m_dm.excel)
        RouteListing::writeSpreadsheet(routes);
    else
        RouteListing::printed(routes, cb_folha->isChecked()).preview(m_dm.installationName(), this);
}
