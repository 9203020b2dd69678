#include "core/TfmDescricao.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmDescricao::TfmDescricao(const QString &caption, const QString &label, const QString &initial,
                           QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    lbDescricao = new QLabel(label);
    edDescricao = new QLineEdit(initial);
    lbDescricao->setBuddy(edDescricao);
    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbDescricao);
    layout->addWidget(edDescricao);
    layout->addWidget(buttons);
}

QString TfmDescricao::text() const { return edDescricao->text().trimmed(); }
