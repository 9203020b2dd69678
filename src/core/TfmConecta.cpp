#include "core/TfmConecta.h"

#include "core/TfmDescricao.h"
#include "core/db/Cluster.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Schema.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QStyle>
#include <QVBoxLayout>

namespace {
const char *const kConnection = "torvel_conecta";
}

TfmConecta::TfmConecta(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Conexão"));
    edHost = new QLineEdit(QStringLiteral("localhost"));
    edHost->setToolTip(QString::fromUtf8("Os servidores de um cluster: separados por vírgulas, "
                                         "cada um como servidor:porta"));
    edPorta = new QLineEdit(QStringLiteral("3306"));
    edUser = new QLineEdit(QStringLiteral("root"));
    edPassword = new QLineEdit;
    edPassword->setEchoMode(QLineEdit::Password);
    cbDatabase = new QComboBox;
    cbDatabase->setMinimumContentsLength(20);
    lbStatus = new QLabel;

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Host (ex: localhost)"), edHost);
    form->addRow(QStringLiteral("Porta"), edPorta);
    form->addRow(QStringLiteral("User"), edUser);
    form->addRow(QStringLiteral("Password"), edPassword);
    form->addRow(QStringLiteral("Database"), cbDatabase);

    btConectar = new QPushButton(QStringLiteral("Conectar"));
    btCriar = new QPushButton(QStringLiteral("Criar banco de dados"));
    btOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"));
    btCancelar = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                 QStringLiteral("Cancelar"));
    btCriar->setEnabled(false);
    btOK->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btConectar);
    buttons->addWidget(btCriar);
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancelar);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lbStatus);
    layout->addLayout(buttons);

    connect(btConectar, &QPushButton::clicked, this, &TfmConecta::btConectarClick);
    connect(btCriar, &QPushButton::clicked, this, &TfmConecta::btCriarClick);
    connect(btOK, &QPushButton::clicked, this, &TfmConecta::btOKClick);
    connect(btCancelar, &QPushButton::clicked, this, &TfmConecta::btCancelarClick);
    connect(cbDatabase, &QComboBox::activated, this, &TfmConecta::cbDatabaseChange);
}

TfmConecta::~TfmConecta() { Sql::close(kConnection); }

ConnectionParams TfmConecta::serverParams() const
{
    ConnectionParams p;
    p.host = edHost->text().trimmed();
    p.port = edPorta->text().trimmed().toInt();
    if (p.port <= 0)
        p.port = 3306;
    p.user = edUser->text();
    p.password = edPassword->text();
    return p;
}

ConnectionParams TfmConecta::chosenParams() const
{
    ConnectionParams p = serverParams();
    p.database = cbDatabase->currentText();
    return p;
}

QString TfmConecta::portText() const { return edPorta->text(); }

bool TfmConecta::connected() const
{
    return QSqlDatabase::contains(kConnection) && QSqlDatabase::database(kConnection, false).isOpen();
}

void TfmConecta::setStatus(const QString &text)
{
    lbStatus->setText(text);
    QApplication::processEvents();
}

void TfmConecta::fillDatabases()
{
    cbDatabase->clear();
    cbDatabase->addItems(DatabaseSetup::userDatabases(QSqlDatabase::database(kConnection, false)));
    cbDatabase->setCurrentIndex(-1);
}

void TfmConecta::btConectarClick()
{
    if (connected()) {
        Sql::close(kConnection);
        btConectar->setText(QStringLiteral("Conectar"));
        cbDatabase->clear();
        btOK->setEnabled(false);
        btCriar->setEnabled(false);
        return;
    }
    QString malformed;
    Sql::parseHosts(serverParams().host, serverParams().port, &malformed);
    if (!malformed.isEmpty()) {
        Msg::error(malformed);
        edHost->setFocus();
        return;
    }
    setStatus(QStringLiteral("Conectando..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString error = Sql::open(kConnection, serverParams());
    QApplication::restoreOverrideCursor();
    setStatus({});
    if (!error.isEmpty()) {
        Sql::close(kConnection);
        Msg::error(QStringLiteral("Não foi possível conectar neste servidor"));
        return;
    }
    btConectar->setText(QStringLiteral("Desconectar"));
    btCriar->setEnabled(true);
    try {
        fillDatabases();
    } catch (const DbError &e) {
        Msg::error(e.text());
    }
}

void TfmConecta::btCriarClick()
{
    TfmDescricao ask(QStringLiteral("Descrição"), QStringLiteral("Nome do banco"),
                     QStringLiteral("torvel"), this);
    if (DialogRunner::exec(&ask) != QDialog::Accepted)
        return;
    const QString name = ask.text();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        DatabaseSetup::createDatabase(serverParams(), name, [this](const QString &step) {
            setStatus(step);
        });
        setStatus({});
        QApplication::restoreOverrideCursor();
        if (cbDatabase->findText(name) < 0)
            cbDatabase->addItem(name);
        cbDatabase->setCurrentIndex(cbDatabase->findText(name));
        Msg::information(QStringLiteral("Banco de dados criado!"));
        btOK->setEnabled(true);
    } catch (const DbError &) {
        setStatus({});
        QApplication::restoreOverrideCursor();
        Msg::error(QStringLiteral("Não foi possível criar o banco ") + name);
    }
}

void TfmConecta::cbDatabaseChange() { btOK->setEnabled(cbDatabase->currentIndex() >= 0); }

void TfmConecta::btOKClick() { accept(); }

void TfmConecta::btCancelarClick() { reject(); }
