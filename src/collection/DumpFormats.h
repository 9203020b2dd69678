#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The text files the terminals leave behind and the monthly backup copies made of them.
// Positions are 1-based character positions; a line shorter than a position reads as blanks
// there, so a cut line is judged by what it holds, never read past its end.
namespace DumpFormats {

enum class Model { Lumet, WatchData, Vigia, Q90 };

// Where each model's driver leaves its file.
QString lumetDumpPath();   // DATALM.TMD in the program folder
QString watchDataPath();   // watch.dat in the program folder
QString vigiaFilePath();   // NOVOS.TXT in MVIGIA under My Documents
QString q90ListingPath();  // q90.tmd in the current folder, where the serial driver writes it
QString q90DumpPath();     // DATA.TMD in the program folder
QString q90ScratchPath();  // TMPQ90.TXT in the program folder

// "ro<yyyymm>.txt" in the backup folder, without the extension for the Q90.
QString backupFilePath(const QDateTime &moment, bool withExtension);

// The lines of a text file, CR LF or LF, UTF-8 when it decodes as such and Latin-1 otherwise
// (so stray binary bytes never stop the read). nullopt when the file cannot be read.
std::optional<QStringList> readLines(const QString &path);

// Characters from..to (1-based, inclusive), padded with blanks to the full width.
QString field(const QString &line, int from, int to);
// A field of digits only, else -1.
int number(const QString &line, int from, int to);

// "yyyy/MM/dd hh:mm:ss", as the touch date-times are bound to the insert.
QString paramText(const QDateTime &when);
// "dd/MM/yyyy hh:mm:ss", always with the time.
QString fullText(const QDateTime &when);

// Header line "H ...": download moment at 3-16, terminal identifier at 21-30.
struct TerminalHeader {
    QDateTime downloaded;  // invalid when the positions do not hold a date-time
    QString terminal;
};
TerminalHeader parseTerminalHeader(const QString &line);

// A touch line of DATALM.TMD / DATA.TMD.
struct TerminalTouch {
    QDateTime touched;
    QString type;        // 17-18
    QString identifier;  // 26-31
    QString terminal;    // 33-38, may be empty
    QString backupLine;  // the Lumet form of the backup copy
};
std::optional<TerminalTouch> parseTerminalTouch(const QString &line);

// watch.dat: collector identifier of a header at 21-26.
QString watchHeaderCollector(const QString &line);
struct WatchTouch {
    QDateTime touched;
    QString type;        // 20-21
    QString identifier;  // 29-34
};
std::optional<WatchTouch> parseWatchTouch(const QString &line);

// NOVOS.TXT: one touch per line, no header.
struct VigiaTouch {
    QDateTime touched;   // 14-29, day/month/year hour:minute
    QString field;       // 1-12 as read
    QString identifier;  // 7-12
};
std::optional<VigiaTouch> parseVigiaTouch(const QString &line);

// q90.tmd: the touch lines from line 10 on, "dd/mm/yy hh:nn xxxxxx".
struct Q90ListingTouch {
    QString day, month, year, hour, minute;  // as written, two digits each
    QString digits;                          // 17-21, the last five identifier digits
};
std::optional<Q90ListingTouch> parseQ90ListingTouch(const QString &line);
// The four terminal characters of the listing's line 5.
QString q90Terminal(const QString &line5);

// Lines written to the files.
QString backupHeader(const QString &dateTime, const QString &terminal, bool q90);
QString q90DumpHeader(const QDateTime &moment, const QString &terminal);
QString q90DumpTouch(const Q90ListingTouch &touch);
QString q90BackupTouch(const Q90ListingTouch &touch);

}  // namespace DumpFormats
