#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <QStringList>
#include <functional>

// Small seams to the operating system that tests replace: the clock, blocking pauses, the
// list of serial ports and starting other programs. Each is a function the program calls
// through one place, so a test can substitute a fake without touching the callers.
namespace SystemServices {

// The current local date-time.
QDateTime now();
void setClock(std::function<QDateTime()> clock);  // empty restores the system clock

// A blocking pause of `ms` milliseconds (the user interface does not run meanwhile).
void pause(int ms);
void setPause(std::function<void(int)> pause);  // empty restores the real pause

// Names of the serial ports present on the machine, in the order the system lists them.
QStringList serialPorts();
void setSerialPorts(std::function<QStringList()> lister);  // empty restores QSerialPortInfo

// Opens a document with the desktop's program for its type (xdg-open); false when the file is
// missing, xdg-open is not installed or it says nothing could open the file. xdg-open hands
// the file over and ends; where no desktop environment is recognised it runs the program
// itself and stays until that ends, so its answer is awaited only openerAnswerMs: still
// running then means the program is open.
bool openDocument(const QString &path);
inline constexpr int openerAnswerMs = 3000;
// Starts a program without waiting for it; false when it could not be started.
bool startDetached(const QString &program, const QStringList &arguments);
// Replaces both starters (openDocument calls it with "xdg-open") (tests record the calls instead of launching anything).
void setStarter(std::function<bool(const QString &program, const QStringList &arguments)> starter);

// Date-times are wall-clock readings without a zone, from the database to the page. Called
// first thing by every program: pins the process's local time to UTC, so no date-time read
// from the database, a terminal or a file is ever converted between zones (an hour the
// machine's clock skipped or repeated is just another hour), after remembering the machine's
// zone for now(), the workstation's wall clock. It also spares every conversion a zone lookup.
void pinTimeZone();
// The machine's own zone (for programs started from here that show local times).
QTimeZone wallClockZone();

}  // namespace SystemServices
