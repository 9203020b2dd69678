#include "listings/TfmExportaJornal.h"

#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "listings/NewspaperExport.h"
#include "listings/TouchExport.h"
#include "platform/BusyCursor.h"
#include "platform/CommandRow.h"
#include "platform/DateTimeText.h"
#include "platform/Folders.h"
#include "platform/MaskEdit.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QVBoxLayout>

TfmExportaJornal::TfmExportaJornal(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Exportação "));
    DBGrid1 = new QTableWidget(0, 2);
    DBGrid1->setHorizontalHeaderLabels({QString::fromUtf8("Código"), QString::fromUtf8("Descrição")});
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->verticalHeader()->hide();
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    try {
        QSqlQuery q = Sql::exec(TdmzDados::instance()->db(),
                                QStringLiteral("select codigo_coletor, nome_coletor from coletor \n"
                                               "order by nome_coletor"));
        while (q.next()) {
            const int row = DBGrid1->rowCount();
            DBGrid1->insertRow(row);
            DBGrid1->setItem(row, 0, new QTableWidgetItem(q.value(0).toString()));
            DBGrid1->setItem(row, 1, new QTableWidgetItem(q.value(1).toString()));
        }
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
    DBGrid1->resizeColumnToContents(0);
    if (DBGrid1->rowCount() > 0)
        DBGrid1->selectRow(0);

    const QDate today = SystemServices::now().date();
    edIni = new MaskEdit(QStringLiteral("!99/99/0000 00:00;1;_"));
    edFim = new MaskEdit(QStringLiteral("!99/99/0000 00:00;1;_"));
    edIni->setMaskedText(today.addDays(-1).toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 00:00"));
    edFim->setMaskedText(today.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 23:59"));
    auto *periodo = new QGroupBox(QStringLiteral("Coletas realizadas entre"));
    auto *p = new QHBoxLayout(periodo);
    p->addWidget(edIni);
    p->addWidget(new QLabel(QStringLiteral("e")));
    p->addWidget(edFim);
    p->addStretch();

    Button1 = new QPushButton(QStringLiteral("Exportar"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Fechar"));
    Button2->setAutoDefault(false);
    auto *buttons = commandRow({Button1, Button2});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Coletor")));
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(periodo);
    layout->addLayout(buttons);
    resize(460, 420);

    connect(Button1, &QPushButton::clicked, this, &TfmExportaJornal::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
}

QString TfmExportaJornal::collector() const
{
    const int row = DBGrid1->currentRow();
    return row >= 0 && DBGrid1->item(row, 0) ? DBGrid1->item(row, 0)->text() : QString();
}

void TfmExportaJornal::Button1Click()
{
    QString path = MessageService::instance().saveFileName(
        QString::fromUtf8("Exportação"), Folders::documentsFolder(),
        QStringLiteral("Arquivos Texto (*.txt);;Geral (*)"));
    if (path.isEmpty())
        return;
    path = TouchExport::withTextExtension(path);
    if (QFileInfo::exists(path) && !Msg::confirm(QStringLiteral("Arquivo já existe! Sobrescrever?")))
        return;
    const auto from = DateTimeText::wholeDateTime(edIni->maskedText());
    const auto to = DateTimeText::wholeDateTime(edFim->maskedText());
    if (!from || !to) {
        Msg::error(QString::fromUtf8("'%1' não é uma data e hora válida")
                       .arg((!from ? edIni : edFim)->maskedText()));
        return;
    }
    NewspaperExportResult result;
    try {
        BusyCursor busy;
        result = NewspaperExport(*TdmzDados::instance()).run({collector(), *from, *to, path});
    } catch (const DbError &e) {
        result.error = e.text();
    }
    if (result.written)
        Msg::information(QString::fromUtf8("Fim da exportação"));
    else
        Msg::error(result.error);
}
