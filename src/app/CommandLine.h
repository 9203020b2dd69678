#pragma once

#include <QString>
#include <optional>

// What the program answers before it starts anything: no display, no database, no lock.
namespace CommandLine {

// The text of `torvel --help`, which also becomes the manual page. It describes the command
// as the user runs it, the launcher included (--demo, the bundled server, the folders).
QString help();

// --help, --version and --startup-error: their exit status once answered; nothing for a
// normal start. --startup-error shows the text read from standard input in an error box: the
// launcher's way to tell a user who started Torvel from the desktop's menu, with no terminal
// to read, why it did not start.
std::optional<int> answer(int argc, char *argv[]);

}  // namespace CommandLine
