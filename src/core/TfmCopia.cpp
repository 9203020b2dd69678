#include "core/TfmCopia.h"

#include "core/TdmzDados.h"
#include "core/db/Backup.h"
#include "platform/MessageService.h"
#include "platform/Progress.h"
#include "platform/SystemServices.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TfmCopia::TfmCopia(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Cópia de segurança"));
    lbUltima = new QLabel;
    auto *where = new QLabel(QString::fromUtf8("Pasta das cópias: ") + Backup::copiesFolder());
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    mmLog = new QPlainTextEdit;
    mmLog->setReadOnly(true);
    btCopiar = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), "&Copiar");
    btRestaurar =
        new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), "&Restaurar");
    auto *retorna =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "Retorna");
    connect(btCopiar, &QPushButton::clicked, this, &TfmCopia::btCopiarclick);
    connect(btRestaurar, &QPushButton::clicked, this, &TfmCopia::btRestaurarclick);
    connect(retorna, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btCopiar);
    buttons->addWidget(btRestaurar);
    buttons->addStretch();
    buttons->addWidget(retorna);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbUltima);
    layout->addWidget(where);
    layout->addWidget(mmLog, 1);
    layout->addLayout(buttons);
    resize(560, 320);
    showLastCopy();
}

QString TfmCopia::lastCopyText()
{
    const QString failure = Backup::lastFailure();
    if (!failure.isEmpty())
        return QString::fromUtf8("Falha na cópia automática: ") + failure;
    const QDateTime last = Backup::lastCopy();
    return last.isValid()
               ? QString::fromUtf8("Última cópia: ") + last.toString("dd/MM/yyyy hh:mm")
               : QString::fromUtf8("Nenhuma cópia do banco");
}

void TfmCopia::showLastCopy() { lbUltima->setText(lastCopyText()); }

void TfmCopia::btCopiarclick()
{
    const ConnectionParams params = TdmzDados::instance()->connectionParams();
    const Backup::Outcome o = ProgressDialog::run(this, windowTitle(), [&](Progress progress) {
        return Backup::copy(params, Backup::defaultFile(SystemServices::now()), progress);
    });
    showLastCopy();
    if (o.cancelled)
        return;
    mmLog->appendPlainText(o.message);
    if (o.ok)
        Msg::information(o.message);
    else
        Msg::error(QString::fromUtf8("Cópia não feita: ") + o.message);
}

void TfmCopia::btRestaurarclick()
{
    const QString file = MessageService::instance().openFileName(
        QString::fromUtf8("Restaurar cópia do banco"), Backup::copiesFolder(),
        QString::fromUtf8("Cópias do Torvel (*.sql.gz);;Todos os arquivos (*)"));
    if (file.isEmpty())
        return;
    const ConnectionParams params = TdmzDados::instance()->connectionParams();
    // The database in use is replaced: the engine copies it first, and the user says so here.
    if (!Msg::confirm(QString::fromUtf8("O banco %1 será substituído pela cópia %2. Uma cópia do "
                                        "banco atual será feita antes. Deseja continuar?")
                          .arg(params.database, file)))
        return;
    const Backup::Outcome o = ProgressDialog::run(this, windowTitle(), [&](Progress progress) {
        return Backup::restore(params, file, params.database, true, progress);
    });
    showLastCopy();
    if (o.cancelled)
        return;
    for (const QString &line : o.details)
        mmLog->appendPlainText(line);
    mmLog->appendPlainText(o.message);
    if (o.ok)
        Msg::information(o.message);
    else
        Msg::error(o.message);
}
