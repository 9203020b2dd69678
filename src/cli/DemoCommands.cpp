// torvelctl demo: the demonstration company, for newcomers.
#include "cli/CliContext.h"
#include "collection/Demo.h"
#include "core/TdmzDados.h"
#include "platform/SystemServices.h"

void registerDemoCommands()
{
    Cli::add({"demo", "",
              QString::fromUtf8("Instala num banco novo uma empresa de demonstração e carrega os "
                                "coletores simulados com um dia de rondas."),
              {},
              [](const Cli::Options &options) {
                  if (!Cli::connect(options))
                      return 1;
                  QString error;
                  if (!Demo::install(*TdmzDados::instance(), SystemServices::now().date(), &error)) {
                      Cli::printError(error);
                      return 1;
                  }
                  Cli::printOut(QString::fromUtf8("Empresa de demonstração instalada."));
                  return 0;
              }});
}
