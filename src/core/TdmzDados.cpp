#include "core/TdmzDados.h"

#include "core/IdentifierRules.h"
#include "core/RegistryRules.h"
#include "core/Settings.h"
#include "core/TfmConecta.h"
#include "core/TfmConfigCom.h"
#include "core/db/DataSet.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"
#include "platform/WorkingFolder.h"

#include <QSqlQuery>

namespace {
TdmzDados *g_instance = nullptr;
const char *const kConnection = "torvel";
}  // namespace

TdmzDados::TdmzDados(QObject *parent) : QObject(parent)
{
    g_instance = this;
    m_programFolder = Folders::programFolder();
    m_workingFolder = std::make_unique<WorkingFolder>(Folders::tempFolder());
    m_tempFolder = m_workingFolder->path();
    tbTemp = std::make_unique<LocalTable>(m_tempFolder, QStringLiteral("tmprel"));
    // The file holds the database password in clear: readable by its owner only.
    m_config = std::make_unique<IniFile>(m_programFolder + "TORVEL.INI", true);

    // The connection object exists from the start so the shared queries can hold it; it is
    // opened by startup().
    if (!QSqlDatabase::contains(kConnection))
        QSqlDatabase::addDatabase(Sql::kDriver, kConnection);

    qySQL = makeQuery({}, {});
    qyProcura = makeQuery({}, {});
    qyButtons = makeQuery("select * from buttons", "buttons");
    qyControl = makeQuery("select * from control", "control");
    qyRoteiros = makeQuery("select * from roteiros", "roteiros");
    qyEventos = makeQuery("select * from eventos", "eventos");
    qyFuncs = makeQuery("select * from funcs\norder by nome_func", "funcs");
    qyLocais = makeQuery("select * from locais", "locais");
    qyColetores = makeQuery("select  * from coletor\norder by nome_coletor", "coletor");
    qyFuncao = makeQuery("select * from funcao", "funcao");
    qyDescTot = makeQuery("select * from desctot", "desctot");
    const QString descRot = QStringLiteral("SELECT codigo_roteiro,ordem,codigo_local\n"
                                           "FROM    descrot\n"
                                           "WHERE codigo_roteiro = :roteiro\n"
                                           "ORDER BY ordem");
    qyDescRot = makeQuery(descRot, "descrot");
    qyExcel = makeQuery(descRot, "descrot");
    qyDistancia = makeQuery("select * from distancia ", "distancia");
    qyPrecoKM = makeQuery("select * from precokm", "precokm");
    // Kilometres with two decimals, the price as money; the messages about a value typed
    // wrongly name the field as the windows caption it.
    qyDistancia->setNumberFormat("km", {.decimals = 2, .nonNegative = true});
    qyDistancia->setDisplayLabel("descricao", QString::fromUtf8("Descrição"));
    qyDistancia->setDisplayLabel("km", QStringLiteral("KM"));
    qyDistancia->setDisplayLabel("pontoA", QStringLiteral("Ponto A"));
    qyDistancia->setDisplayLabel("pontoB", QStringLiteral("Ponto B"));
    qyPrecoKM->setNumberFormat("custo", {.decimals = 2, .currency = true, .nonNegative = true});
    qyPrecoKM->setDisplayLabel("datainicio", QString::fromUtf8("Início"));
    qyPrecoKM->setDisplayLabel("datafim", QStringLiteral("Fim"));
    qyPrecoKM->setDisplayLabel("custo", QStringLiteral("Valor"));
    qyRelatorio = makeQuery({}, {});
    IdentifierRules::install(*this);
    RegistryRules::install(*this);
}

TdmzDados::~TdmzDados()
{
    // The working tables go with the folder they live in.
    tbTemp.reset();
    m_workingFolder.reset();
    if (g_instance == this)
        g_instance = nullptr;
}

TdmzDados *TdmzDados::instance() { return g_instance; }

DataSet *TdmzDados::makeQuery(const QString &sql, const QString &table)
{
    auto *query = new DataSet(db(), this);
    query->setSql(sql);
    if (!table.isEmpty())
        query->setTable(table);
    return query;
}

QString TdmzDados::connectionName() { return QString::fromLatin1(kConnection); }

QSqlDatabase TdmzDados::db() const { return QSqlDatabase::database(kConnection, false); }

QString TdmzDados::connectTo(const ConnectionParams &params)
{
    m_params = params;
    return Sql::open(kConnection, params);
}

void TdmzDados::disconnect()
{
    QSqlDatabase connection = db();
    if (connection.isValid())
        connection.close();
}

bool TdmzDados::isConnected() const { return db().isOpen(); }

ConnectionParams TdmzDados::savedParams() const
{
    ConnectionParams p;
    p.database = m_config->readString("BANCO", "Database", "torvel");
    p.host = m_config->readString("BANCO", "HostName", {});
    p.password = m_config->readString("BANCO", "Password", {});
    p.port = m_config->readInteger("BANCO", "port", 3306);
    p.user = m_config->readString("BANCO", "User", {});
    p.timeout = m_config->readInteger("BANCO", "TempoLimite", ConnectionParams::kDefaultTimeout);
    return p;
}

void TdmzDados::saveParams(const ConnectionParams &params, const QString &portText)
{
    m_config->writeString("BANCO", "Database", params.database);
    m_config->writeString("BANCO", "HostName", params.host);
    m_config->writeString("BANCO", "Password", params.password);
    m_config->writeString("BANCO", "User", params.user);
    m_config->writeString("BANCO", "port", portText);
}

TdmzDados::Startup TdmzDados::startup()
{
    if (!m_config->isReadable())
        Msg::warning(m_config->readError() +
                     QStringLiteral("\nAs configurações padrão serão usadas."));

    if (!m_config->readBool("CONFIG", "CNFBD", false)) {
        TfmConecta dialog;
        if (DialogRunner::exec(&dialog) == QDialog::Accepted) {
            m_config->writeBool("CONFIG", "CNFBD", true);
            saveParams(dialog.chosenParams(), dialog.portText());
        }
    }

    const QString database = m_config->readString("BANCO", "Database", {});
    const QString host = m_config->readString("BANCO", "HostName", {});
    if (!database.isEmpty() && !host.isEmpty()) {
        while (!connectTo(savedParams()).isEmpty()) {
            Msg::warning(QStringLiteral("Configuração inválida! É preciso configurar o acesso "
                                        "ao servidor de dados."));
            TfmConfigCom settings(TfmConfigCom::Mode::DatabaseOnly);
            if (DialogRunner::exec(&settings) != QDialog::Accepted)
                return Startup::Quit;
        }
    } else {
        Msg::information(QStringLiteral("É preciso configurar o acesso ao servidor de dados."));
        TfmConfigCom settings(TfmConfigCom::Mode::DatabaseOnly);
        if (DialogRunner::exec(&settings) != QDialog::Accepted || !isConnected())
            return Startup::Quit;
    }
    readSpreadsheetFlag();
    return Startup::Connected;
}

void TdmzDados::shutdown()
{
    m_config->close();
    disconnect();
    SystemServices::pause(600);
}

void TdmzDados::readSpreadsheetFlag() { excel = m_config->readBool("CONFIG", "EXCEL", false); }

QString TdmzDados::installationName() const
{
    return m_config->readString(Settings::kInstallationSection, Settings::kInstallationKey, {});
}

int TdmzDados::CountByField(const QString &value, const QString &field, const QString &table)
{
    qySQL->close();
    qySQL->setSql("select count(*) as total from " + table + " where " + field + " = :pcampo");
    qySQL->setParam("pcampo", QVariant(value));
    qySQL->open();
    return qySQL->asInt("total");
}

bool TdmzDados::FindByField(const QString &value, const QString &field, const QString &table)
{
    qyProcura->close();
    qyProcura->setSql("select * from " + table + " where " + field + " = :pcampo");
    qyProcura->setParam("pcampo", QVariant(value));
    qyProcura->open();
    return !qyProcura->isEmpty();
}

bool TdmzDados::ConfirmPendingEdit(DataSet &dataset)
{
    if (dataset.state() != DataSet::State::Edit && dataset.state() != DataSet::State::Insert)
        return true;
    try {
        // A refusing rule leaves the row in edit; whatever settled it otherwise is fine.
        if (Msg::confirm(QStringLiteral("Registro em edição. Salvar?")))
            dataset.post();
        else
            dataset.cancel();
        return !dataset.isEditing();
    } catch (const DbError &e) {
        // The caller would otherwise close and discard what the user just asked to keep.
        Msg::error(e.text());
        return false;
    }
}
