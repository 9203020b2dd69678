#pragma once

#include "cli/CliContext.h"

class Listing;
class TdmzDados;

// What the report subcommands share, and the reports that live in files of their own.
namespace ReportCli {

// Prints the text as an error and returns the failing exit status.
int fail(const QString &text);

// The rows as text (--tsv, the default), or the printed report as a PDF (--pdf), or the
// spreadsheet (--xlsx).
int output(const Cli::Options &options, const Listing &listing);

// report route-times (RouteTimesCommand.cpp).
int routeTimes(const Cli::Options &options, TdmzDados &dm);

// report programmable (ProgrammableCommand.cpp).
int programmable(const Cli::Options &options, TdmzDados &dm);

}  // namespace ReportCli
