#include "cli/ReportCommands.h"

#include "core/TdmzDados.h"

int ReportCli::programmable(const Cli::Options &, TdmzDados &)
{
    return fail(QString::fromUtf8("Relatório ainda não disponível"));
}
