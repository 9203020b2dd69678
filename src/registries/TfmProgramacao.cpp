#include "registries/TfmProgramacao.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "core/db/Sql.h"
#include "platform/MessageService.h"
#include "registries/RegistryLists.h"

#include <QApplication>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The name of the row `code` names, empty when none does (a deleted collaborator or route).
QString nameOf(const QString &sql, int code)
{
    if (code == 0)
        return {};
    QSqlQuery q = Sql::exec(TdmzDados::instance()->db(), sql, {{"pcod", code}});
    return q.next() ? q.value(0).toString() : QString();
}

}  // namespace

TfmProgramacao::TfmProgramacao(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Programação"));
    tmp = new QStandardItemModel(0, 3, this);
    tmp->setHorizontalHeaderLabels(
        {QStringLiteral("Coletor"), QStringLiteral("Colaborador"), QStringLiteral("Roteiro")});

    dbgProgramacao = new QTableView;
    dbgProgramacao->setModel(tmp);
    dbgProgramacao->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgProgramacao->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgProgramacao->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgProgramacao->verticalHeader()->hide();
    dbgProgramacao->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(dbgProgramacao->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TfmProgramacao::showCurrent);

    const auto chosen = [this](QLineEdit *&edit, QToolButton *&button, const char *name,
                               const QString &hint) {
        edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("ed") + name);
        edit->setReadOnly(true);
        edit->setToolTip(QString::fromUtf8("Duplo clique apaga a programação"));
        edit->installEventFilter(this);
        button = new QToolButton;
        button->setObjectName(QStringLiteral("bt") + name);
        button->setIcon(QIcon::fromTheme("edit-find", style()->standardIcon(QStyle::SP_ArrowRight)));
        button->setToolTip(hint);
        auto *row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(button);
        return row;
    };
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(QStringLiteral("Colaborador:"),
                 chosen(edColaborador, btColaborador, "Colaborador",
                        QStringLiteral("Escolher o colaborador")));
    form->addRow(QStringLiteral("Roteiro:"),
                 chosen(edRoteiro, btRoteiro, "Roteiro", QStringLiteral("Escolher o roteiro")));
    connect(btColaborador, &QToolButton::clicked, this, &TfmProgramacao::btColaboradorclick);
    connect(btRoteiro, &QToolButton::clicked, this, &TfmProgramacao::btRoteiroclick);

    buRetorna = new QPushButton(
        QIcon::fromTheme("window-close", style()->standardIcon(QStyle::SP_DialogCloseButton)),
        QStringLiteral("Retorna"));
    buRetorna->setAutoDefault(false);
    connect(buRetorna, &QPushButton::clicked, this, &TfmProgramacao::buRetornaclick);
    auto *commands = new QHBoxLayout;
    commands->addStretch(1);
    commands->addWidget(buRetorna);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(dbgProgramacao, 1);
    layout->addLayout(form);
    layout->addLayout(commands);
    resize(640, 420);
    FormCreate();
}

void TfmProgramacao::guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const DbError &e) {
        QApplication::restoreOverrideCursor();
        Msg::error(e.text());
    }
}

void TfmProgramacao::FormCreate()
{
    guarded([this] {
        tmp->removeRows(0, tmp->rowCount());
        DataSet &collectors = *TdmzDados::instance()->qyColetores;
        collectors.close();
        collectors.setSql(QStringLiteral("select * from coletor order by nome_coletor"));
        collectors.open();
        for (int r = 0; r < collectors.recordCount(); ++r) {
            // An empty programming (NULL) reads as 0: nothing programmed.
            const int func = collectors.valueAt(r, "codigo_func").toInt();
            const int route = collectors.valueAt(r, "codigo_roteiro").toInt();
            auto *collector = new QStandardItem(collectors.textAt(r, "nome_coletor"));
            collector->setData(collectors.textAt(r, "codigo_coletor"), CodColetor);
            auto *funcItem = new QStandardItem(
                nameOf(QStringLiteral("select nome_func from funcs where codigo_func = :pcod"),
                       func));
            funcItem->setData(func, CodFunc);
            auto *routeItem = new QStandardItem(
                nameOf(QStringLiteral("select nome_roteiro from roteiros where "
                                      "codigo_roteiro = :pcod"),
                       route));
            routeItem->setData(route, CodRot);
            tmp->appendRow({collector, funcItem, routeItem});
        }
        collectors.close();
        if (tmp->rowCount() > 0)
            dbgProgramacao->setCurrentIndex(tmp->index(0, 0));
        showCurrent();
    });
}

int TfmProgramacao::currentRow() const
{
    const QModelIndex current = dbgProgramacao->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TfmProgramacao::showCurrent()
{
    const int row = currentRow();
    edColaborador->setText(row < 0 ? QString() : tmp->item(row, NomeFunc)->text());
    edRoteiro->setText(row < 0 ? QString() : tmp->item(row, NomeRot)->text());
    for (QWidget *w : {static_cast<QWidget *>(btColaborador), static_cast<QWidget *>(btRoteiro),
                       static_cast<QWidget *>(edColaborador), static_cast<QWidget *>(edRoteiro)})
        w->setEnabled(row >= 0);
}

void TfmProgramacao::store(const Programmed &what, int code, const QString &name)
{
    const int row = currentRow();
    if (row < 0)
        return;
    const QString collector = tmp->item(row, NomeColetor)->data(CodColetor).toString();
    // Clearing stores NULL, which every reader takes as 0 (nothing programmed).
    Sql::exec(TdmzDados::instance()->db(),
              QStringLiteral("update coletor set %1 = %2 where codigo_coletor = :pcodcol")
                  .arg(QLatin1String(what.column),
                       code == 0 ? QStringLiteral("null") : QStringLiteral(":pcod")),
              code == 0 ? Bindings{{"pcodcol", collector}}
                        : Bindings{{"pcod", code}, {"pcodcol", collector}});
    QStandardItem *item = tmp->item(row, what.nameColumn);
    item->setText(name);
    item->setData(code, what.codeRole);
    showCurrent();
}

void TfmProgramacao::btColaboradorclick()
{
    guarded([this] {
        if (currentRow() < 0)
            return;
        TfmListaFuncs list(this);
        if (DialogRunner::exec(&list) != QDialog::Accepted ||
            !list.chosen("codigo_func").isValid())
            return;
        store({NomeFunc, CodFunc, "codigo_func"}, list.chosen("codigo_func").toInt(),
              list.chosen("nome_func").toString());
    });
}

void TfmProgramacao::btRoteiroclick()
{
    guarded([this] {
        if (currentRow() < 0)
            return;
        TfmListaRoteiros list(this);
        if (DialogRunner::exec(&list) != QDialog::Accepted ||
            !list.chosen("codigo_roteiro").isValid())
            return;
        store({NomeRot, CodRot, "codigo_roteiro"}, list.chosen("codigo_roteiro").toInt(),
              list.chosen("nome_roteiro").toString());
    });
}

void TfmProgramacao::edColaboradorDblClick()
{
    guarded([this] { store({NomeFunc, CodFunc, "codigo_func"}, 0, {}); });
}

void TfmProgramacao::edRoteiroDblClick()
{
    guarded([this] { store({NomeRot, CodRot, "codigo_roteiro"}, 0, {}); });
}

void TfmProgramacao::buRetornaclick() { accept(); }

bool TfmProgramacao::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == edColaborador) {
            edColaboradorDblClick();
            return true;
        }
        if (watched == edRoteiro) {
            edRoteiroDblClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
