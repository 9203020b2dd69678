#pragma once

#include <QString>
#include <functional>
#include <memory>

class IniFile;

// The Q90 device library, called in this order: AbreCom, then Status or AcertaDH, then
// FechaCom. Results are the library's texts; TfmComunica reads them.
class Q90Library {
public:
    virtual ~Q90Library() = default;
    // `mode` is always 1.
    virtual QString AbreCom(int port, const QString &portName, int speed, int mode) = 0;
    virtual QString Status(const QString &terminal, int flag) = 0;
    virtual QString AcertaDH(const QString &terminal) = 0;
    virtual void FechaCom() = 0;
    // Why the library cannot be used; empty when it can.
    virtual QString problem() const { return {}; }
};

namespace Terminals {

// COM/Q90DLL: empty for the bundled library (serial protocol, see Q90SerialLibrary), else the
// path of a vendor library with the interface of q90_vendor.h.
std::unique_ptr<Q90Library> createQ90(const IniFile &config);
// Replaces the factory (tests); empty restores the default.
void setQ90Factory(std::function<std::unique_ptr<Q90Library>()> factory);

}  // namespace Terminals

// The bundled library: the status through the protocol's status request, the clock through
// our extension command (the terminal's own clock command is not known; the bundled
// simulator answers ours). Each exchange blocks, as a library call does, with up to five
// attempts of 800 ms of silence each.
class Q90SerialLibrary : public Q90Library {
public:
    Q90SerialLibrary();
    ~Q90SerialLibrary() override;
    QString AbreCom(int port, const QString &portName, int speed, int mode) override;
    QString Status(const QString &terminal, int flag) override;
    QString AcertaDH(const QString &terminal) override;
    void FechaCom() override;

private:
    struct Port;
    std::unique_ptr<Port> m_port;
};
