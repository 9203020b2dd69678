#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>
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

// A dump read one line at a time, so a file of any size costs one line of memory. Only a
// regular file is read: a device, a FIFO or a folder given as the dump is refused before a byte
// is read (a FIFO would block, /dev/zero would never end). Lines end with CR LF, LF or a lone CR;
// a file that starts with a UTF-16 byte-order mark is read as UTF-16, one with the UTF-8 mark as
// UTF-8 without it; otherwise each line is UTF-8 when it decodes as such and Latin-1 when not,
// so stray binary bytes never stop the read.
class DumpReader {
public:
    // A line longer than this is cut there (and can only be unreadable as a touch).
    static constexpr qsizetype kMaxLine = 64 * 1024;

    explicit DumpReader(const QString &path);
    ~DumpReader();
    DumpReader(const DumpReader &) = delete;
    DumpReader &operator=(const DumpReader &) = delete;

    // Empty when the file is open, else why it cannot be read, in Portuguese.
    QString open();
    // The next line as text and as the bytes it was read from (UTF-8 for a UTF-16 file), without
    // its line end. False at the end of the file or on a read error (error() says which).
    bool next(QString &text, QByteArray &raw);
    QString error() const { return m_error; }

private:
    bool fill();

    QString m_path;
    int m_fd = -1;
    enum class Encoding { Bytes, Utf16LE, Utf16BE } m_encoding = Encoding::Bytes;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_started = false;
    QString m_error;
    struct Decoder;
    std::unique_ptr<Decoder> m_decoder;
};

// Every line of a text file read as DumpReader reads it; nullopt when it cannot be read. For
// small files (the Q90 listing in tests and tools).
std::optional<QStringList> readLines(const QString &path);

// A line with a control character (other than a tab) is damaged: a NUL or a stray escape
// never reaches a stored field or the backup copy.
bool hasControlCharacters(const QString &line);
// A line that holds anything but the printable ASCII characters the dump formats are made of
// (control characters, accented letters, characters outside the basic plane): its positions
// cannot be trusted, since a character that is not one column shifts every field after it.
bool outsideFormat(const QString &line);
// A terminal dump's header reads as one: "H", a blank, the download moment (a real date-time)
// at 3-16 and a blank after it. A touch line damaged into "H2024..." does not.
bool isTerminalHeader(const QString &line);
// A watch.dat header reads as one: "H", the collector at 21-26 (six characters, no blank) and
// nothing after it. A touch line damaged into "H..." holds its identifier past position 26.
bool isWatchHeader(const QString &line);
// A trailer reads as one: "T" alone, or "T", a blank and a count ("T 000"). A touch line
// damaged into "T2024..." does not.
bool isTrailer(const QString &line);
// The text with each control character replaced by "?", for copies that people read.
QString printable(const QString &line);

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
