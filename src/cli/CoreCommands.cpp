// Subcommands of the application core: databases and configuration.
#include "cli/CliContext.h"
#include "core/TdmzDados.h"
#include "core/db/DatabaseSetup.h"
#include "platform/IniFile.h"

#include <QFile>
#include <QSqlDatabase>

#include <cstdio>

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

    Cli::add({"optimize-database", "",
              QString::fromUtf8("Cria os índices que faltam (prefixo tv_) no banco do TORVEL.INI, "
                                "sem bloquear as outras estações; pode ser repetido."),
              {},
              [](const Cli::Options &options) {
                  if (!Cli::connect(options))
                      return 1;
                  try {
                      const int created = DatabaseSetup::addIndexes(
                          TdmzDados::instance()->db(),
                          [](int, int, const QString &text) { Cli::printError(text); });
                      Cli::printOut(QString::fromUtf8("Índices criados: %1").arg(created));
                      return 0;
                  } catch (const DbError &e) {
                      Cli::printError(e.text());
                      return 1;
                  }
              }});

    Cli::add({"ping", "",
              "Abre uma conexão com o servidor de dados e sai (0 quando conectou).",
              {},
              [](const Cli::Options &options) { return Cli::connect(options) ? 0 : 1; }});

    Cli::add({"ini-set", "SEÇÃO CHAVE VALOR | SEÇÃO CHAVE --stdin",
              "Grava uma chave do TORVEL.INI da pasta do programa. Com --stdin o valor é a "
              "primeira linha da entrada padrão, que não aparece na lista de processos "
              "(use para a senha: torvelctl ini-set BANCO Password --stdin < arquivo).",
              {{"stdin", 0}},
              [](const Cli::Options &options) {
                  const bool fromStdin = options.has("stdin");
                  if (options.positional.size() != (fromStdin ? 2 : 3)) {
                      Cli::printError(QStringLiteral(
                          "Uso: torvelctl ini-set SEÇÃO CHAVE VALOR | SEÇÃO CHAVE --stdin"));
                      return 2;
                  }
                  // A name with a line break, brackets or "=" would write another section or
                  // key than the one asked for.
                  for (const QString &name : {options.positional[0], options.positional[1]})
                      if (!IniFile::isValidName(name)) {
                          Cli::printError(
                              QStringLiteral("Nome de seção ou de chave inválido: \"%1\" (não "
                                             "pode ser vazio, começar com \";\" nem conter "
                                             "quebra de linha, \"[\", \"]\" ou \"=\")")
                                  .arg(name));
                          return 2;
                      }
                  QString value;
                  if (fromStdin) {
                      QFile in;
                      if (!in.open(stdin, QIODevice::ReadOnly)) {
                          Cli::printError(QStringLiteral("Não foi possível ler a entrada padrão"));
                          return 1;
                      }
                      QByteArray line = in.readLine();
                      if (line.endsWith('\n'))
                          line.chop(1);
                      if (line.endsWith('\r'))
                          line.chop(1);
                      value = QString::fromUtf8(line);
                  } else {
                      value = options.positional[2];
                  }
                  IniFile &ini = TdmzDados::instance()->config();
                  if (!ini.writeString(options.positional[0], options.positional[1], value)) {
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
