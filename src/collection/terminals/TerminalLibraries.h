#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class IniFile;

// The outside components of the Lumet, Vigia Bastão Novo and Vigia Bastão terminals, each
// behind one interface with the calls, arguments and results the collection dialog relies on.
// Each has a real implementation (a vendor shared library loaded through a documented C
// interface, or the vendor's program) and a bundled simulator that behaves as the terminal
// does. Which one a model uses is a setting of TORVEL.INI, section COM (see createLumet &c.).
//
// `port` is the number taken from PORTACOM (characters 4 and 5, "COM3" -> 3); `portName` is
// PORTACOM itself, so a Linux layer can open a device path such as /dev/ttyUSB0.

// The Lumet library, by its ordinals. Every call returns 0 on success.
class LumetLibrary {
public:
    virtual ~LumetLibrary() = default;
    virtual int isAnswering(int port, const QString &portName) = 0;                  // ordinal 1
    virtual int download(int port, const QString &portName, const QString &path) = 0;  // ordinal 2
    virtual int afterDownload(int port, const QString &portName) = 0;                // ordinal 4
    // `dateTime` as "dd/mm/yyyy hh:nn:ss".
    virtual int setClock(int port, const QString &portName, const QString &dateTime) = 0;  // 5
    // Why the library cannot be used (not found, a missing function); empty when it can.
    virtual QString problem() const { return {}; }
    // The simulator's name when a simulated terminal answers instead of a real one.
    virtual QString simulator() const { return {}; }
};

// The Vigia Bastão Novo library. Results 1 mean success.
class WatchLibrary {
public:
    virtual ~WatchLibrary() = default;
    virtual int AwakenTX(int port, const QString &portName) = 0;
    virtual int InquirID(int port, const QString &portName) = 0;
    virtual int SetWatchTime(int port, const QString &portName, int year2, int month, int day,
                             int hour, int minute, int second) = 0;
    // Writes watch.dat in the program folder.
    virtual int GetWatchData(int port, const QString &portName) = 0;
    virtual int DeleteData(int port, const QString &portName) = 0;
    virtual QString problem() const { return {}; }
    virtual QString simulator() const { return {}; }
};

// The Vigia Bastão program, `mvigia` in the program folder.
class VigiaProgram {
public:
    virtual ~VigiaProgram() = default;
    // The program file is in the program folder.
    virtual bool isInstalled() const = 0;
    // Starts it with `arguments` and waits for its end: its exit code, or -1 when it could not
    // be started.
    virtual int runAndWait(const QStringList &arguments) = 0;
    // Starts the script `path` in a shown window without waiting; false when it could not be
    // started.
    virtual bool startScript(const QString &path) = 0;
    // The program's path.
    virtual QString path() const = 0;
    virtual QString simulator() const { return {}; }
};

namespace Terminals {

// The port number of PORTACOM: the text from character 4, two characters long; 1 when absent
// or not a number.
int portNumber(const QString &portName);

// COM/LUMETDRV and COM/WMDLL name the vendor's shared library; "simulador" chooses the bundled
// simulator. Left empty, the simulators answer only when COM/SIMULADORES is on (the
// demonstration sets it): a workstation with no library configured must never report a
// collection from a terminal that is not there. Without either, the library's problem() says
// which key to set. The Vigia Bastão program is the program folder's `mvigia`; its simulator
// lives in `simuladores/mvigia` and runs only with SIMULADORES on and no real program installed.
std::unique_ptr<LumetLibrary> createLumet(const IniFile &config);
std::unique_ptr<WatchLibrary> createWatch(const IniFile &config);
std::unique_ptr<VigiaProgram> createVigia(const QString &programFolder, const IniFile &config);
// COM/SIMULADORES.
bool simulatorsChosen(const IniFile &config);

// Replaces the factories (tests install recording fakes); empty restores the defaults.
void setLumetFactory(std::function<std::unique_ptr<LumetLibrary>()> factory);
void setWatchFactory(std::function<std::unique_ptr<WatchLibrary>()> factory);
void setVigiaFactory(std::function<std::unique_ptr<VigiaProgram>()> factory);

}  // namespace Terminals
