#pragma once

#include <QString>

// Where the system keeps its files on this machine. Each folder can be moved by an environment
// variable (tests point them all at a temporary folder). Every function returns an absolute path
// ending in '/' and creates the folder when it is missing, since callers append file names and
// write straight away.
namespace Folders {

// Main TORVEL.INI, terminal dumps, help text. TORVEL_HOME, else ~/.local/share/torvel.
QString programFolder();
// The second TORVEL.INI and SISTXT.INI. TORVEL_WINDIR, else ~/.config/torvel.
QString windowsFolder();
// Working tables: windowsFolder() + "TEMP/".
QString tempFolder();
// Copies of collected dumps. TORVEL_BACKUP_DIR, else ~/COLETA.
QString backupFolder();
// Default place for exported files. TORVEL_DOCUMENTS, else the desktop's documents folder.
QString documentsFolder();

QString withSeparator(const QString &path);

}  // namespace Folders
