// torvelctl backup / restore: copies of the database made with the server's dump tool.
#include "cli/CliContext.h"
#include "core/db/Backup.h"
#include "platform/Progress.h"
#include "platform/SystemServices.h"

void registerBackupCommands()
{
    Cli::add({"backup", "[--file ARQUIVO] [--automatic]",
              QString::fromUtf8(
                  "Copia o banco do TORVEL.INI (todas as tabelas, com mariadb-dump "
                  "--single-transaction) num arquivo .sql.gz com o manifesto das tabelas "
                  "(linhas e somas). Padrão: <pasta de backup>/copias/torvel-<data-hora>.sql.gz. "
                  "Com --automatic faz a cópia do dia só se ainda não houver uma e mantém 7 "
                  "diárias e 4 semanais."),
              {{"file", 1}, {"automatic", 0}},
              [](const Cli::Options &options) {
                  const ConnectionParams params = Cli::connection(options);
                  Progress progress;
                  const QDateTime now = SystemServices::now();
                  const Backup::Outcome o =
                      options.has("automatic")
                          ? Backup::automaticCopy(params, now, progress)
                          : Backup::copy(params,
                                         options.value("file", Backup::defaultFile(now)),
                                         progress);
                  if (!o.ok) {
                      Cli::printError(QString::fromUtf8("Cópia não feita: ") + o.message);
                      return 1;
                  }
                  Cli::printOut(o.message);
                  return 0;
              }});

    Cli::add({"restore", "ARQUIVO --database NOME [--replace]",
              QString::fromUtf8(
                  "Restaura uma cópia feita por \"torvelctl backup\" num banco novo; sobre um "
                  "banco que existe só com --replace, e então depois de uma cópia nova dele. "
                  "Confere as linhas e as somas de cada tabela com o manifesto da cópia."),
              {{"replace", 0}},
              [](const Cli::Options &options) {
                  if (options.positional.size() != 1 || !options.has("database")) {
                      Cli::printError(QString::fromUtf8(
                          "Uso: torvelctl restore ARQUIVO --database NOME [--replace]"));
                      return 2;
                  }
                  const ConnectionParams params = Cli::connection(options);
                  Progress progress;
                  const Backup::Outcome o =
                      Backup::restore(params, options.positional[0], params.database,
                                      options.has("replace"), progress);
                  for (const QString &line : o.details)
                      Cli::printOut(line);
                  if (!o.ok) {
                      Cli::printError(o.message);
                      return 1;
                  }
                  Cli::printOut(o.message);
                  return 0;
              }});
}
