#pragma once

#include "core/db/Sql.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <memory>

class DataSet;
class IniFile;
class LocalTable;
class WorkingFolder;

// The shared data module: lives as long as the process and owns the one database connection,
// the program's configuration file, the shared queries (with the consistency rules that later
// modules attach to them), the program and temp folders, the logged-in user and the
// spreadsheet flag.
class TdmzDados : public QObject {
    Q_OBJECT
public:
    enum class Startup { Connected, Quit };

    explicit TdmzDados(QObject *parent = nullptr);
    ~TdmzDados() override;

    // The one instance (set by the constructor, cleared by the destructor).
    static TdmzDados *instance();

    // Asks for the server when needed, connects, and reads the spreadsheet flag. Quit means
    // the user cancelled; the caller then ends the program through shutdown().
    Startup startup();

    // The orderly exit: configuration file closed, database disconnected, 600 ms pause.
    void shutdown();

    // Connects the shared connection with `params`; empty on success, else the error text.
    QString connectTo(const ConnectionParams &params);
    void disconnect();
    bool isConnected() const;
    ConnectionParams connectionParams() const { return m_params; }
    // The connection parameters saved in section BANCO, with their start-up defaults.
    ConnectionParams savedParams() const;
    // Writes the five keys of section BANCO.
    void saveParams(const ConnectionParams &params, const QString &portText);

    QSqlDatabase db() const;
    static QString connectionName();

    IniFile &config() const { return *m_config; }
    QString programFolder() const { return m_programFolder; }
    // This process's own folder of working tables (WorkingFolder), removed when it ends.
    QString tempFolder() const { return m_tempFolder; }

    QString login;
    QString senha;
    bool excel = false;
    QString pendingOldIdentifier;
    // Set when a location is saved; the locations window clears it when it opens and, when set
    // at closing, refreshes the location names copied into route stops.
    bool locationSaved = false;
    // What the review window says above the last download's touches (how many repeat an
    // earlier download); emptied with the working table.
    QString downloadNote;

    // Reads EXCEL of section CONFIG into the spreadsheet flag.
    void readSpreadsheetFlag();

    // Installation name shown after the window caption and in report headers.
    QString installationName() const;

    // Shared queries, all on the one connection.
    DataSet *qySQL = nullptr;
    DataSet *qyProcura = nullptr;
    DataSet *qyButtons = nullptr;
    DataSet *qyControl = nullptr;
    DataSet *qyRoteiros = nullptr;
    DataSet *qyEventos = nullptr;
    DataSet *qyFuncs = nullptr;
    DataSet *qyLocais = nullptr;
    DataSet *qyColetores = nullptr;
    DataSet *qyFuncao = nullptr;
    DataSet *qyDescTot = nullptr;
    DataSet *qyDescRot = nullptr;
    DataSet *qyExcel = nullptr;
    DataSet *qyDistancia = nullptr;
    DataSet *qyPrecoKM = nullptr;
    DataSet *qyRelatorio = nullptr;
    std::unique_ptr<LocalTable> tbTemp;

    // Number of rows of `table` whose `field` equals `value` (bound as text); the count is
    // also left in column `total` of qySQL.
    int CountByField(const QString &value, const QString &field, const QString &table);
    // Opens qyProcura on the rows of `table` whose `field` equals `value`; true when one was
    // found. Read the columns from qyProcura (empty text / 0 when nothing matched).
    bool FindByField(const QString &value, const QString &field, const QString &table);
    // When `dataset` holds a pending row, asks "Registro em edição. Salvar?": Yes posts it,
    // No cancels it. True when nothing is pending any more, so the caller may go on (close);
    // false when the save was refused: a rule stopped it (and told the user why) or the server
    // refused it (its error is shown here). The row then stays in edit, as typed.
    [[nodiscard]] bool ConfirmPendingEdit(DataSet &dataset);

private:
    DataSet *makeQuery(const QString &sql, const QString &table);
    ConnectionParams m_params;
    std::unique_ptr<IniFile> m_config;
    QString m_programFolder;
    std::unique_ptr<WorkingFolder> m_workingFolder;
    QString m_tempFolder;
};
