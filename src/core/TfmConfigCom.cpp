#include "core/TfmConfigCom.h"

#include "core/Settings.h"
#include "core/TdmzDados.h"
#include "core/db/Cluster.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Schema.h"
#include "core/db/Sql.h"
#include "platform/CommandRow.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QComboBox *portList()
{
    auto *list = new QComboBox;
    // Editable, so a device path the machine does not list (a USB adapter plugged in later,
    // a pseudo-terminal) can be typed.
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(16);
    return list;
}

// Shows `stored` selected, adding it to the list when the machine does not list it: a port
// that is unplugged today, or a path typed earlier, must survive a mere look at the settings.
void showStored(QComboBox *list, const QString &stored)
{
    if (stored.isEmpty()) {
        list->setCurrentIndex(-1);
        list->setEditText({});
        return;
    }
    int index = list->findText(stored, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        list->insertItem(0, stored);
        index = 0;
    }
    list->setCurrentIndex(index);
}

// The kernel's 1-Wire bus masters under `root`, by number (w1_bus_master1 is bus 1). Read here
// rather than through the reader's driver, which lives in a layer above this dialog.
QStringList oneWireBuses(const QString &root)
{
    static const QRegularExpression master(QStringLiteral("^w1_bus_master(\\d+)$"));
    QList<int> numbers;
    const QStringList entries = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        const QRegularExpressionMatch m = master.match(entry);
        if (m.hasMatch())
            numbers << m.captured(1).toInt();
    }
    std::sort(numbers.begin(), numbers.end());
    QStringList names;
    for (int n : numbers)
        names << QString::number(n);
    return names;
}

QString digitsOf(const QString &text)
{
    QString digits;
    for (QChar c : text)
        if (c >= '0' && c <= '9')
            digits += c;
    return digits;
}

// Opens a connection of its own with `params` and removes it again; empty when the server
// took them, else its error text.
QString probeConnection(const ConnectionParams &params)
{
    static int trial = 0;
    const QString name = QStringLiteral("torvel-settings-trial-%1").arg(++trial);
    const QString error = Sql::open(name, params);
    Sql::close(name);
    return error;
}

}  // namespace

TfmConfigCom::TfmConfigCom(Mode mode, QWidget *parent) : QDialog(parent), m_mode(mode)
{
    setWindowTitle(QStringLiteral("Configurações Gerais"));
    pcPaginas = new QTabWidget;
    // All three tabs always in view: with scroll arrows the last one hid behind them.
    pcPaginas->setUsesScrollButtons(false);

    // Banco de Dados
    tsBanco = new QWidget;
    edDatabase = new QLineEdit;
    edHostName = new QLineEdit;
    edHostName->setToolTip(QString::fromUtf8("O servidor, ou os servidores de um cluster separados por "
                                             "vírgulas (servidor:porta; sem porta, a do campo Porta). "
                                             "O programa usa o primeiro que responder."));
    edPorta = new QLineEdit;
    edPassword = new QLineEdit;
    edPassword->setEchoMode(QLineEdit::Password);
    edUser = new QLineEdit;
    Button1 = new QPushButton(QStringLiteral("Criar banco de dados"));
    btOtimizar = new QPushButton(QStringLiteral("Otimizar banco de dados"));
    btOtimizar->setToolTip(QString::fromUtf8("Cria os índices que aceleram relatórios e análises, sem "
                                             "parar as outras estações"));
    lbStatus = new QLabel;
    auto *bancoForm = new QFormLayout;
    bancoForm->addRow(QStringLiteral("Database"), edDatabase);
    bancoForm->addRow(QStringLiteral("HostName"), edHostName);
    bancoForm->addRow(QStringLiteral("Porta"), edPorta);
    bancoForm->addRow(QStringLiteral("Password"), edPassword);
    bancoForm->addRow(QStringLiteral("User"), edUser);
    auto *bancoLayout = new QVBoxLayout(tsBanco);
    bancoLayout->addLayout(bancoForm);
    auto *bancoButtons = new QHBoxLayout;
    bancoButtons->addWidget(Button1);
    bancoButtons->addWidget(btOtimizar);
    bancoButtons->addStretch();
    bancoLayout->addLayout(bancoButtons);
    bancoLayout->addWidget(lbStatus);
    bancoLayout->addStretch();

    // Configurações Gerais
    tsGerais = new QWidget;
    cbPortaCom = portList();
    ckAcertaRelogio = new QCheckBox(QStringLiteral("Acerta data/hora"));
    ckAcertaRelogio->setToolTip(
        QStringLiteral("Acerta data e hora do coletor usando data do micro no ato da descarga"));
    edBaud = new QLineEdit;
    ckLimpar = new QCheckBox(QStringLiteral("Limpar dados"));
    ckLimpar->setToolTip(QStringLiteral("Apaga dados do coletor após a descarga"));
    ckExcel = new QCheckBox(QStringLiteral("Usar relatórios em Excel"));
    edInstalacao = new QLineEdit;
    edInstalacao->setMaxLength(60);
    edInstalacao->setToolTip(
        QStringLiteral("Nome da organização, mostrado no título da janela e nos relatórios"));
    auto *geraisForm = new QFormLayout(tsGerais);
    geraisForm->addRow(QStringLiteral("Porta Serial"), cbPortaCom);
    geraisForm->addRow(QStringLiteral("Baud Rate (Q90)"), edBaud);
    geraisForm->addRow(ckAcertaRelogio);
    geraisForm->addRow(ckLimpar);
    geraisForm->addRow(ckExcel);
    geraisForm->addRow(QStringLiteral("Nome da instalação"), edInstalacao);

    // DS9
    tsDS9 = new QWidget;
    cbPortaDS9 = portList();
    cbPortaDS9->setToolTip(QString::fromUtf8(
        "Número do barramento 1-Wire do leitor (w1_bus_masterN do sistema)"));
    edInicio = new QLineEdit;
    edTamanho = new QLineEdit;
    auto *ds9Form = new QFormLayout(tsDS9);
    ds9Form->addRow(QStringLiteral("Porta Serial"), cbPortaDS9);
    ds9Form->addRow(QStringLiteral("Posição início"), edInicio);
    ds9Form->addRow(QStringLiteral("Tamanho"), edTamanho);

    pcPaginas->addTab(tsBanco, QStringLiteral("Banco de Dados"));
    if (m_mode == Mode::Normal) {
        pcPaginas->addTab(tsGerais, QStringLiteral("Configurações Gerais"));
        pcPaginas->addTab(tsDS9, QStringLiteral("DS9"));
        pcPaginas->setCurrentWidget(tsGerais);
    } else {
        // The other pages are not shown but their controls keep the loaded values, which
        // Confirm writes back.
        tsGerais->setParent(this);
        tsDS9->setParent(this);
        tsGerais->hide();
        tsDS9->hide();
    }

    btConfirma = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton),
                                 QStringLiteral("Confirma"));
    btCancela = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                QStringLiteral("Cancela"));
    btConfirma->setDefault(true);
    auto *buttons = commandRow({btConfirma, btCancela});

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(pcPaginas);
    layout->addLayout(buttons);

    connect(btConfirma, &QPushButton::clicked, this, &TfmConfigCom::btConfirmaclick);
    connect(btCancela, &QPushButton::clicked, this, &TfmConfigCom::btCancelaclick);
    connect(Button1, &QPushButton::clicked, this, &TfmConfigCom::Button1Click);
    connect(btOtimizar, &QPushButton::clicked, this, &TfmConfigCom::btOtimizarclick);

    FormCreate();
}

void TfmConfigCom::FormCreate()
{
    IniFile &ini = TdmzDados::instance()->config();
    cbPortaCom->addItems(SystemServices::serialPorts());
    showStored(cbPortaCom, ini.readString("COM", "PORTACOM", "COM1"));
    // On this system the reader's "port" is the number of a 1-Wire bus master.
    const QString w1Root = ini.readString("DS9", "W1ROOT").trimmed();
    cbPortaDS9->addItems(oneWireBuses(w1Root.isEmpty() ? QStringLiteral("/sys/bus/w1/devices")
                                                       : w1Root));
    showStored(cbPortaDS9, QString::number(ini.readInteger("DS9", "PORTA", 1)));
    m_loadedPortaCom = cbPortaCom->currentText();
    m_loadedPortaDS9 = cbPortaDS9->currentText();

    edDatabase->setText(ini.readString("BANCO", "Database", "torvel"));
    edHostName->setText(ini.readString("BANCO", "HostName", "localhost"));
    edPorta->setText(ini.readString("BANCO", "port", "3306"));
    edPassword->setText(ini.readString("BANCO", "Password", {}));
    edUser->setText(ini.readString("BANCO", "User", "root"));

    ckAcertaRelogio->setChecked(ini.readBool("COM", "ACERTARELOGIO", false));
    edBaud->setText(ini.readString("COM", "Q90BAUD", "1200"));
    ckLimpar->setChecked(ini.readBool("COM", "CLEAR", false));
    edInicio->setText(QString::number(ini.readInteger("DS9", "INICIO", 7)));
    edTamanho->setText(QString::number(ini.readInteger("DS9", "TAMANHO", 6)));
    ckExcel->setChecked(ini.readBool("CONFIG", "EXCEL", false));
    edInstalacao->setText(
        ini.readString(Settings::kInstallationSection, Settings::kInstallationKey, {}));
}

bool TfmConfigCom::connectDatabase()
{
    TdmzDados *dm = TdmzDados::instance();
    ConnectionParams p;
    p.database = edDatabase->text().trimmed();
    p.host = edHostName->text().trimmed();
    p.port = edPorta->text().trimmed().toInt();
    if (p.port <= 0)
        p.port = 3306;
    p.password = edPassword->text();
    p.user = edUser->text();
    QString malformed;
    Sql::parseHosts(p.host, p.port, &malformed);
    if (!malformed.isEmpty()) {
        Msg::error(malformed);
        edHostName->setFocus();
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The new settings are tried on a connection of their own: closing the shared one to try
    // them would leave every later command without a database when they are wrong.
    QString error = probeConnection(p);
    if (error.isEmpty()) {
        const ConnectionParams previous = dm->connectionParams();
        const bool wasConnected = dm->isConnected();
        error = dm->connectTo(p);
        // The server went away between the trial and the switch: back to what worked.
        if (!error.isEmpty() && wasConnected)
            dm->connectTo(previous);
    }
    QApplication::restoreOverrideCursor();
    if (!error.isEmpty()) {
        Msg::information(QStringLiteral("Não foi possível conectar. Mensagem: ") + error);
        return false;
    }
    dm->saveParams(p, edPorta->text());
    return true;
}

void TfmConfigCom::btConfirmaclick()
{
    if (!connectDatabase())
        return;
    IniFile &ini = TdmzDados::instance()->config();
    if (m_mode == Mode::Normal) {
        // A port is written only when the user chose another one: confirming the dialog for
        // some other setting must not rewrite a port that was typed by hand into the file.
        if (cbPortaCom->currentText() != m_loadedPortaCom)
            ini.writeString("COM", "PORTACOM", cbPortaCom->currentText().trimmed());
        ini.writeBool("COM", "ACERTARELOGIO", ckAcertaRelogio->isChecked());
        ini.writeBool("COM", "CLEAR", ckLimpar->isChecked());
        ini.writeString("COM", "Q90BAUD", edBaud->text());
        ini.writeString(Settings::kInstallationSection, Settings::kInstallationKey,
                        edInstalacao->text().trimmed());
    }
    if (cbPortaDS9->currentText() != m_loadedPortaDS9)
        ini.writeString("DS9", "PORTA", digitsOf(cbPortaDS9->currentText()));
    ini.writeString("DS9", "INICIO", edInicio->text());
    ini.writeString("DS9", "TAMANHO", edTamanho->text());
    ini.writeBool("CONFIG", "EXCEL", ckExcel->isChecked());
    if (!ini.lastError().isEmpty())
        Msg::error(ini.lastError());
    accept();
}

void TfmConfigCom::btCancelaclick() { reject(); }

void TfmConfigCom::setStatus(const QString &text)
{
    lbStatus->setText(text);
    QApplication::processEvents();
}

void TfmConfigCom::Button1Click()
{
    Button1->setEnabled(false);
    const QString name = edDatabase->text().trimmed();
    if (!Schema::isValidDatabaseName(name)) {
        Msg::error(QStringLiteral("Não foi possível criar o banco ") + name);
        return;
    }
    ConnectionParams server;
    server.host = edHostName->text().trimmed();
    server.port = edPorta->text().trimmed().toInt();
    if (server.port <= 0)
        server.port = 3306;
    server.user = edUser->text();
    server.password = edPassword->text();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        DatabaseSetup::createDatabase(server, name, [this](const QString &step) {
            setStatus(step);
            if (step == QLatin1String("Conectado") ||
                step == QLatin1String("Banco de dados criado!"))
                SystemServices::pause(300);
        });
    } catch (const DbError &e) {
        QApplication::restoreOverrideCursor();
        Msg::error(e.text());
        return;
    }
    QApplication::restoreOverrideCursor();
    btConfirmaclick();
}

void TfmConfigCom::btOtimizarclick()
{
    const QSqlDatabase db = TdmzDados::instance()->db();
    if (!db.isOpen()) {
        Msg::error(QString::fromUtf8("Conecte-se ao banco de dados antes de otimizá-lo."));
        return;
    }
    int created = 0;
    {
        QProgressDialog progress(QString::fromUtf8("Otimizando o banco de dados..."), QString(), 0,
                                 int(DatabaseSetup::indexes().size()), this);
        progress.setWindowTitle(QStringLiteral("Otimizar banco de dados"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            created = DatabaseSetup::addIndexes(db, [&](int done, int total, const QString &text) {
                progress.setMaximum(qMax(total, 1));
                progress.setValue(done);
                progress.setLabelText(text);
                setStatus(text);
            });
        } catch (const DbError &e) {
            QApplication::restoreOverrideCursor();
            Msg::error(e.text());
            return;
        }
        QApplication::restoreOverrideCursor();
    }
    Msg::information(created == 0 ? QString::fromUtf8("O banco de dados já está otimizado.")
                                   : QString::fromUtf8("Banco de dados otimizado: %1 índice(s) criado(s).").arg(created));
}
