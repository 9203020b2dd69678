#include "collection/TfmDelDesc.h"

#include "collection/CollectionImport.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/BusyCursor.h"
#include "platform/CommandRow.h"
#include "platform/DateTimeText.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr const char *kMoment = "dd/MM/yyyy hh:mm:ss";

// The limit as typed, or nullopt with the user told why nothing is deleted.
std::optional<QDateTime> limitOf(const MaskEdit *field)
{
    const auto limit = DateTimeText::wholeDateTime(field->maskedText());
    if (!limit)
        Msg::error(QString::fromUtf8("'%1' não é uma data e hora válida. Nenhuma descarga foi excluída.")
                       .arg(field->maskedText()));
    return limit;
}

}  // namespace

TfmDelDesc::TfmDelDesc(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Apaga dados de Descarga"));
    auto *lista = new QGroupBox(QStringLiteral("Descargas Realizadas"));
    dbgDescargas = new QTableWidget(0, 2);
    dbgDescargas->setHorizontalHeaderLabels({QStringLiteral("Data descarga"), QStringLiteral("Coletor")});
    dbgDescargas->setToolTip(QStringLiteral("Duplo Click para obter a data limite"));
    dbgDescargas->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgDescargas->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgDescargas->verticalHeader()->hide();
    dbgDescargas->horizontalHeader()->setStretchLastSection(true);
    auto *l = new QVBoxLayout(lista);
    l->addWidget(dbgDescargas);

    edLimite = new MaskEdit(QStringLiteral("99/99/9999 99:99:99;1;_"));
    edLimite->setMaskedText(SystemServices::now().toString(QString::fromLatin1(kMoment)));
    auto *limite = new QHBoxLayout;
    auto *label = new QLabel(QStringLiteral("Data &Limite"));
    label->setBuddy(edLimite);
    limite->addWidget(label);
    limite->addWidget(edLimite);
    limite->addStretch();

    auto *atencao = new QGroupBox(QString::fromUtf8("Atenção"));
    auto *a = new QVBoxLayout(atencao);
    for (const char *text : {"Certifique-se de que não necessitará mais dos dados que irá excluir!",
                             "Todas as descargas com data menor ou igual a Data Limite serão excluídas."}) {
        auto *warning = new QLabel(QString::fromUtf8(text));
        warning->setWordWrap(true);
        a->addWidget(warning);
    }

    btapaga = new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("Exclui"));
    buRetorna = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Retorna"));
    btapaga->setAutoDefault(false);
    buRetorna->setAutoDefault(false);
    auto *buttons = commandRow({btapaga, buRetorna});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lista, 1);
    layout->addLayout(limite);
    layout->addWidget(atencao);
    layout->addLayout(buttons);
    resize(460, 460);

    connect(btapaga, &QPushButton::clicked, this, &TfmDelDesc::btapagaclick);
    connect(buRetorna, &QPushButton::clicked, this, &TfmDelDesc::buRetornaclick);
    connect(dbgDescargas, &QTableWidget::cellDoubleClicked, this, &TfmDelDesc::dbgDescargasDblClick);
    load();
}

void TfmDelDesc::load()
{
    dbgDescargas->setRowCount(0);
    const auto limit = DateTimeText::wholeDateTime(edLimite->maskedText());
    if (!limit)
        return;
    try {
        const QList<DownloadDeletion::Download> downloads = DownloadDeletion::list(*TdmzDados::instance(), *limit);
        dbgDescargas->setRowCount(downloads.size());
        for (int i = 0; i < downloads.size(); ++i) {
            dbgDescargas->setItem(i, 0, new QTableWidgetItem(downloads[i].downloaded.toString(QString::fromLatin1(kMoment))));
            dbgDescargas->setItem(i, 1, new QTableWidgetItem(downloads[i].collector));
        }
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
    dbgDescargas->resizeColumnToContents(0);
}

void TfmDelDesc::dbgDescargasDblClick()
{
    const int last = dbgDescargas->rowCount() - 1;
    if (last >= 0)
        edLimite->setMaskedText(dbgDescargas->item(last, 0)->text());
}

void TfmDelDesc::btapagaclick()
{
    if (!Msg::confirm(QStringLiteral("Deseja realmente excluir as descargas?")))
        return;
    const auto limit = limitOf(edLimite);
    if (!limit)
        return;
    BusyCursor busy;
    try {
        DownloadDeletion::deleteUpTo(*TdmzDados::instance(), *limit);
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
    load();
}

void TfmDelDesc::buRetornaclick() { accept(); }
