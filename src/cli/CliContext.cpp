#include "cli/CliContext.h"

#include "core/TdmzDados.h"
#include "core/TorvelApplication.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/Spreadsheet.h"

#include <QMap>
#include <algorithm>
#include <cstdio>

void registerCoreCommands();
void registerBackupCommands();
void registerReaderCommands();
void registerIngestCommands();
void registerDemoCommands();
void registerConsistencyCommands();
void registerQ90Commands();
void registerExportCommands();
void registerReportCommands();
void registerListingCommands();
void registerBoardCommands();

namespace Cli {

namespace {

QMap<QString, Command> &commands()
{
    static QMap<QString, Command> all;
    return all;
}

const char *const kPasswordVariable = "TORVEL_DB_PASSWORD";

const QHash<QString, int> kConnectionOptions = {
    {"host", 1}, {"port", 1}, {"user", 1}, {"password", 1}, {"database", 1}};

void printHelp()
{
    printOut(QStringLiteral(
        "torvelctl - Torvel - Controle de Rondas, sem janelas\n\n"
        "Uso: torvelctl COMANDO [opções]\n"
        "     torvelctl --help | --version | COMANDO --help\n\n"
        "Conexão (padrão: o TORVEL.INI da pasta do programa):\n"
        "  --host HOST --port PORTA --user USUÁRIO --password SENHA --database BANCO\n"
        "  A senha pode vir também da variável de ambiente TORVEL_DB_PASSWORD (usada quando\n"
        "  não há --password). Prefira-a: os argumentos de um programa, e com eles a senha\n"
        "  dada em --password, ficam visíveis a todos os usuários do computador.\n\n"
        "Comandos:"));
    for (const Command &c : commands())
        printOut(QStringLiteral("  %1 %2\n      %3").arg(c.name, c.usage, c.summary));
}

}  // namespace

void add(Command command) { commands().insert(command.name, std::move(command)); }

void printError(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

void printOut(const QString &text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); }

void printWorkingTable(const QString &folder, const QString &name)
{
    LocalTable table(folder, name);
    if (!table.open())
        return;
    for (const QVariantList &row : table.rows()) {
        QStringList fields;
        for (const QVariant &value : row)
            fields << value.toString();
        printOut(fields.join(u'\t'));
    }
}

ConnectionParams connection(const Options &options)
{
    IniFile ini(Folders::programFolder() + "TORVEL.INI");
    ConnectionParams p;
    p.host = options.value("host", ini.readString("BANCO", "HostName", "localhost"));
    p.port = options.value("port", QString::number(ini.readInteger("BANCO", "port", 3306))).toInt();
    p.user = options.value("user", ini.readString("BANCO", "User", {}));
    // The environment keeps the password out of the process list, which any account can read.
    p.password = options.has("password") ? options.value("password")
                 : qEnvironmentVariableIsSet(kPasswordVariable)
                     ? qEnvironmentVariable(kPasswordVariable)
                     : ini.readString("BANCO", "Password", {});
    p.database = options.value("database", ini.readString("BANCO", "Database", "torvel"));
    p.timeout = ini.readInteger("BANCO", "TempoLimite", ConnectionParams::kDefaultTimeout);
    return p;
}

bool connect(const Options &options)
{
    TdmzDados *dm = TdmzDados::instance();
    const QString error = dm->connectTo(connection(options));
    if (!error.isEmpty()) {
        printError(QStringLiteral("Não foi possível conectar. Mensagem: ") + error);
        return false;
    }
    return true;
}

int run(const QStringList &args)
{
    registerCoreCommands();
    registerBackupCommands();
    registerReaderCommands();
    registerIngestCommands();
    registerDemoCommands();
    registerConsistencyCommands();
    registerQ90Commands();
    registerExportCommands();
    registerReportCommands();
    registerListingCommands();
    registerBoardCommands();
    if (!args.isEmpty() && (args.first() == "--version" || args.first() == "-V")) {
        printOut(QStringLiteral("torvelctl ") + TorvelApplication::version());
        return 0;
    }
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h" ||
        args.first() == "help") {
        printHelp();
        return args.isEmpty() ? 2 : 0;
    }
    const auto it = commands().constFind(args.first());
    if (it == commands().constEnd()) {
        printError(QStringLiteral("Comando desconhecido: %1 (veja torvelctl --help)")
                       .arg(args.first()));
        return 2;
    }
    const Command &command = it.value();
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == "--help" || arg == "-h") {
            printOut(QStringLiteral("Uso: torvelctl %1 %2\n%3")
                         .arg(command.name, command.usage, command.summary));
            return 0;
        }
        if (!arg.startsWith("--")) {
            options.positional << arg;
            continue;
        }
        const QString name = arg.mid(2);
        const int arity = command.options.value(name, kConnectionOptions.value(name, -1));
        if (arity < 0) {
            printError(QStringLiteral("Opção desconhecida: %1").arg(arg));
            return 2;
        }
        if (i + arity > args.size() - 1) {
            printError(QStringLiteral("Falta o valor de %1").arg(arg));
            return 2;
        }
        QStringList values = args.mid(i + 1, arity);
        options.values.insert(name, values.join(' '));
        options.lists[name] += values;
        i += arity;
    }
    // A spreadsheet asked for goes to that file, whole or not at all, and is not opened.
    if (options.has("xlsx")) {
        if (options.value("xlsx").isEmpty()) {
            printError(QStringLiteral("Informe o arquivo de --xlsx"));
            return 2;
        }
        Spreadsheet::setDestination(options.value("xlsx"));
    }
    // Prompts of the engines go to stderr and confirmations answer No.
    ConsoleMessageService console;
    MessageService::install(&console);
    TdmzDados dm;
    const int status = command.run(options);
    dm.disconnect();
    MessageService::install(nullptr);
    return status;
}

std::optional<int> routeCode(const QString &text)
{
    bool ok = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int code = ok ? text.toInt(&ok) : 0;
    if (!ok) {
        printError(QString::fromUtf8("--route: '%1' não é um código de roteiro (um número inteiro)").arg(text));
        return std::nullopt;
    }
    return code;
}

}  // namespace Cli
