#pragma once

class TfmQ90ini;

// Registers the commands of every module of the program on the main window.
void registerCommands(TfmQ90ini &window);
