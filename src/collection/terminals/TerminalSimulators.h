#pragma once

#include "collection/terminals/TerminalLibraries.h"

#include <QDateTime>
#include <QList>
#include <QString>

// Simulated terminals, so the whole collection can be used and tested without hardware. Each
// keeps its memory (the touches not yet erased) and its clock (as an offset from the
// computer's) in files of the simulator folder, `simuladores/` under the program folder, so
// the state survives between runs like a real terminal's. They write the same dumps, at the
// same positions, that the vendors' components write.
namespace TerminalSimulator {

enum class Kind { Lumet, Watch, Vigia };

struct Touch {
    QString code;        // the identifier's six hexadecimal digits
    QDateTime touched;   // by the terminal's clock
    QString type = QStringLiteral("01");
};

// The state of one simulated terminal.
class Terminal {
public:
    Terminal(Kind kind, const QString &programFolder);

    QString stateFile() const;
    bool connected() const;          // a disconnected terminal answers nothing
    void setConnected(bool connected);
    QString identifier() const;      // the terminal's own identification
    void setIdentifier(const QString &id);
    // The terminal's clock: the computer's plus the stored offset.
    QDateTime now() const;
    void setClock(const QDateTime &terminalNow);

    QList<Touch> memory() const;
    void setMemory(const QList<Touch> &touches);
    void add(const QList<Touch> &touches);
    void erase();

    // The dump lines of this terminal's memory, as its component writes them.
    QStringList lumetDump(const QDateTime &downloaded) const;
    QStringList watchDump() const;
    QStringList vigiaFile() const;

private:
    QString m_folder;
    Kind m_kind;
};

// "code date-time" lines ("1B2C3D 09/12/2026 08:15:00", seconds optional, an optional third
// field with the type) into touches; bad lines are reported in `errors` with their numbers.
QList<Touch> parseTouches(const QStringList &lines, QStringList *errors);

bool writeLines(const QString &path, const QStringList &lines);

std::unique_ptr<LumetLibrary> lumet(const QString &programFolder);
std::unique_ptr<WatchLibrary> watch(const QString &programFolder);

}  // namespace TerminalSimulator
