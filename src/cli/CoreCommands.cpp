// Subcommands of the application core: databases and configuration.
#include "cli/CliContext.h"
#include "core/TdmzDados.h"
#include "core/db/DatabaseSetup.h"
#include "platform/IniFile.h"

#include <QSqlDatabase>

void registerCoreCommands()
{
    Cli::add({"create-database", "[NOME]",
              "Cria o banco de dados (padrão: o do TORVEL.INI, ou \"torvel\") com todas as "
              "tabelas e registros iniciais.",
              {},
              [](const Cli::Options &options) {
                  ConnectionParams server = Cli::connection(options);
                  const QString name =
                      options.positional.value(0, server.database.isEmpty() ? "torvel"
                                                                            : server.database);
                  try {
                      DatabaseSetup::createDatabase(server, name, [](const QString &step) {
                          Cli::printError(step);
                      });
                  } catch (const DbError &e) {
                      Cli::printError(QStringLiteral("Não foi possível criar o banco ") + name +
                                      ": " + e.text());
                      return 1;
                  }
                  Cli::printOut(QStringLiteral("Banco de dados criado!"));
                  return 0;
              }});

    Cli::add({"ping", "",
              "Abre uma conexão com o servidor de dados e sai (0 quando conectou).",
              {},
              [](const Cli::Options &options) { return Cli::connect(options) ? 0 : 1; }});

    Cli::add({"ini-set", "SEÇÃO CHAVE VALOR",
              "Grava uma chave do TORVEL.INI da pasta do programa.",
              {},
              [](const Cli::Options &options) {
                  if (options.positional.size() != 3) {
                      Cli::printError(QStringLiteral("Uso: torvelctl ini-set SEÇÃO CHAVE VALOR"));
                      return 2;
                  }
                  IniFile &ini = TdmzDados::instance()->config();
                  if (!ini.writeString(options.positional[0], options.positional[1],
                                       options.positional[2])) {
                      Cli::printError(ini.lastError());
                      return 1;
                  }
                  return 0;
              }});

    Cli::add({"ini-get", "SEÇÃO CHAVE",
              "Mostra uma chave do TORVEL.INI da pasta do programa.",
              {},
              [](const Cli::Options &options) {
                  if (options.positional.size() != 2) {
                      Cli::printError(QStringLiteral("Uso: torvelctl ini-get SEÇÃO CHAVE"));
                      return 2;
                  }
                  Cli::printOut(TdmzDados::instance()->config().readString(
                      options.positional[0], options.positional[1], {}));
                  return 0;
              }});
}
