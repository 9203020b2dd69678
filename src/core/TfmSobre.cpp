#include "core/TfmSobre.h"

#include "core/Artwork.h"
#include "core/TdmzDados.h"
#include "core/TorvelApplication.h"
#include "platform/IniFile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

TfmSobre::TfmSobre(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Sobre"));
    auto *picture = new QLabel;
    picture->setPixmap(Artwork::logo(96));
    lbProduto = new QLabel(QStringLiteral("TORVEL - Controle de Rotas"));
    QFont big = lbProduto->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    lbProduto->setFont(big);
    lbVersao = new QLabel(QStringLiteral("Versão ") + TorvelApplication::version());
    lbBanco = new QLabel(QStringLiteral("MySQL"));
    lbIP = new QLabel(QStringLiteral("IP: ") +
                      TdmzDados::instance()->config().readString("BANCO", "HostName",
                                                                 "localhost"));
    auto *retorna = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                                    QStringLiteral("Retorna"));
    connect(retorna, &QPushButton::clicked, this, &QDialog::accept);

    auto *texts = new QVBoxLayout;
    texts->addWidget(lbProduto);
    texts->addWidget(lbVersao);
    texts->addWidget(lbBanco);
    texts->addWidget(lbIP);
    texts->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addLayout(texts);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(retorna, 0, Qt::AlignRight);
}
