#include "collection/terminals/TerminalLibraries.h"

#include "collection/terminals/TerminalSimulators.h"
#include "collection/terminals/terminal_vendor.h"
#include "core/TdmzDados.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/SystemServices.h"

#include <QFileInfo>
#include <QLibrary>
#include <QProcess>
#include <QStandardPaths>

namespace Terminals {

namespace {

std::function<std::unique_ptr<LumetLibrary>()> g_lumet;
std::function<std::unique_ptr<WatchLibrary>()> g_watch;
std::function<std::unique_ptr<VigiaProgram>()> g_vigia;

bool namesSimulator(const QString &setting)
{
    return setting.compare(QLatin1String("simulador"), Qt::CaseInsensitive) == 0;
}

QString notConfigured(const QString &model, const QString &key)
{
    return QString::fromUtf8("Nenhuma biblioteca do coletor %1 foi configurada. Informe o caminho da "
                             "biblioteca do fabricante na chave %2 da seção COM do TORVEL.INI.")
        .arg(model, key);
}

// What a model without any component answers: nothing, and why.
class MissingLumet : public LumetLibrary {
public:
    int isAnswering(int, const QString &) override { return -1; }
    int download(int, const QString &, const QString &) override { return -1; }
    int afterDownload(int, const QString &) override { return -1; }
    int setClock(int, const QString &, const QString &) override { return -1; }
    QString problem() const override { return notConfigured(QStringLiteral("Lumet"), QStringLiteral("LUMETDRV")); }
};

class MissingWatch : public WatchLibrary {
public:
    int AwakenTX(int, const QString &) override { return 0; }
    int InquirID(int, const QString &) override { return 0; }
    int SetWatchTime(int, const QString &, int, int, int, int, int, int) override { return 0; }
    int GetWatchData(int, const QString &) override { return 0; }
    int DeleteData(int, const QString &) override { return 0; }
    QString problem() const override
    {
        return notConfigured(QString::fromUtf8("Vigia Bastão Novo"), QStringLiteral("WMDLL"));
    }
};

QString cannotLoad(const QString &path, const QString &why)
{
    return QString::fromUtf8("Não foi possível carregar a biblioteca do coletor %1: %2")
        .arg(path, why);
}

// A vendor library that cannot be used answers every call with `failure` and says why.
class VendorLumet : public LumetLibrary {
public:
    explicit VendorLumet(const QString &path) : m_library(path)
    {
        if (!m_library.load()) {
            m_problem = cannotLoad(path, m_library.errorString());
            return;
        }
        m_status = reinterpret_cast<LumetStatusFn>(m_library.resolve(LUMET_STATUS_SYMBOL));
        m_download = reinterpret_cast<LumetDownloadFn>(m_library.resolve(LUMET_DOWNLOAD_SYMBOL));
        m_after = reinterpret_cast<LumetAfterDownloadFn>(
            m_library.resolve(LUMET_AFTER_DOWNLOAD_SYMBOL));
        m_clock = reinterpret_cast<LumetSetClockFn>(m_library.resolve(LUMET_SET_CLOCK_SYMBOL));
        if (!m_status || !m_download || !m_after || !m_clock)
            m_problem = cannotLoad(path, QString::fromUtf8("faltam funções da interface"));
    }
    int isAnswering(int port, const QString &name) override
    {
        return m_problem.isEmpty() ? m_status(port, name.toLocal8Bit().constData()) : -1;
    }
    int download(int port, const QString &name, const QString &path) override
    {
        return m_problem.isEmpty() ? m_download(port, name.toLocal8Bit().constData(),
                                                QFile::encodeName(path).constData())
                                   : -1;
    }
    int afterDownload(int port, const QString &name) override
    {
        return m_problem.isEmpty() ? m_after(port, name.toLocal8Bit().constData()) : -1;
    }
    int setClock(int port, const QString &name, const QString &dateTime) override
    {
        return m_problem.isEmpty() ? m_clock(port, name.toLocal8Bit().constData(),
                                             dateTime.toLatin1().constData())
                                   : -1;
    }
    QString problem() const override { return m_problem; }

private:
    QLibrary m_library;
    QString m_problem;
    LumetStatusFn m_status = nullptr;
    LumetDownloadFn m_download = nullptr;
    LumetAfterDownloadFn m_after = nullptr;
    LumetSetClockFn m_clock = nullptr;
};

class VendorWatch : public WatchLibrary {
public:
    explicit VendorWatch(const QString &path) : m_library(path)
    {
        if (!m_library.load()) {
            m_problem = cannotLoad(path, m_library.errorString());
            return;
        }
        m_awaken = reinterpret_cast<AwakenTXFn>(m_library.resolve("AwakenTX"));
        m_inquire = reinterpret_cast<InquirIDFn>(m_library.resolve("InquirID"));
        m_time = reinterpret_cast<SetWatchTimeFn>(m_library.resolve("SetWatchTime"));
        m_data = reinterpret_cast<GetWatchDataFn>(m_library.resolve("GetWatchData"));
        m_delete = reinterpret_cast<DeleteDataFn>(m_library.resolve("DeleteData"));
        if (!m_awaken || !m_inquire || !m_time || !m_data || !m_delete)
            m_problem = cannotLoad(path, QString::fromUtf8("faltam funções da interface"));
    }
    int AwakenTX(int port, const QString &name) override
    {
        return ok() ? m_awaken(port, name.toLocal8Bit().constData()) : 0;
    }
    int InquirID(int port, const QString &name) override
    {
        return ok() ? m_inquire(port, name.toLocal8Bit().constData()) : 0;
    }
    int SetWatchTime(int port, const QString &name, int y, int mo, int d, int h, int mi,
                     int s) override
    {
        return ok() ? m_time(port, name.toLocal8Bit().constData(), y, mo, d, h, mi, s) : 0;
    }
    int GetWatchData(int port, const QString &name) override
    {
        return ok() ? m_data(port, name.toLocal8Bit().constData()) : 0;
    }
    int DeleteData(int port, const QString &name) override
    {
        return ok() ? m_delete(port, name.toLocal8Bit().constData()) : 0;
    }
    QString problem() const override { return m_problem; }

private:
    bool ok() const { return m_problem.isEmpty(); }
    QLibrary m_library;
    QString m_problem;
    AwakenTXFn m_awaken = nullptr;
    InquirIDFn m_inquire = nullptr;
    SetWatchTimeFn m_time = nullptr;
    GetWatchDataFn m_data = nullptr;
    DeleteDataFn m_delete = nullptr;
};

// The program folder's `mvigia`, run as a process.
class ProgramVigia : public VigiaProgram {
public:
    explicit ProgramVigia(const QString &path, bool simulated = false)
        : m_path(path), m_simulated(simulated) {}
    QString simulator() const override
    {
        return m_simulated ? QString::fromUtf8("simulador do Vigia Bastão (%1)").arg(m_path) : QString();
    }
    bool isInstalled() const override { return QFileInfo(m_path).isFile(); }
    int runAndWait(const QStringList &arguments) override
    {
        QProcess process;
        process.setWorkingDirectory(QFileInfo(m_path).path());
        process.start(m_path, arguments);
        if (!process.waitForStarted(10000))
            return -1;
        process.waitForFinished(-1);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 255;
    }
    bool startScript(const QString &path) override
    {
        // In a terminal window of the desktop when there is one, as the user expects to see
        // it; else in the background.
        const QString terminal = QStandardPaths::findExecutable("x-terminal-emulator");
        if (!terminal.isEmpty() && qEnvironmentVariableIsSet("DISPLAY"))
            return SystemServices::startDetached(terminal, {"-e", "sh", path});
        return SystemServices::startDetached(QStringLiteral("/bin/sh"), {path});
    }
    QString path() const override { return m_path; }

private:
    QString m_path;
    bool m_simulated;
};

}  // namespace

int portNumber(const QString &portName)
{
    bool ok = false;
    const int n = portName.mid(3, 2).trimmed().toInt(&ok);
    return ok && n > 0 ? n : 1;
}

std::unique_ptr<LumetLibrary> createLumet(const IniFile &config)
{
    if (g_lumet)
        return g_lumet();
    const QString setting = config.readString("COM", "LUMETDRV", {}).trimmed();
    if (namesSimulator(setting) || (setting.isEmpty() && simulatorsChosen(config)))
        return TerminalSimulator::lumet(Folders::programFolder());
    if (setting.isEmpty())
        return std::make_unique<MissingLumet>();
    return std::make_unique<VendorLumet>(setting);
}

std::unique_ptr<WatchLibrary> createWatch(const IniFile &config)
{
    if (g_watch)
        return g_watch();
    const QString setting = config.readString("COM", "WMDLL", {}).trimmed();
    if (namesSimulator(setting) || (setting.isEmpty() && simulatorsChosen(config)))
        return TerminalSimulator::watch(Folders::programFolder());
    if (setting.isEmpty())
        return std::make_unique<MissingWatch>();
    return std::make_unique<VendorWatch>(setting);
}

std::unique_ptr<VigiaProgram> createVigia(const QString &programFolder, const IniFile &config)
{
    if (g_vigia)
        return g_vigia();
    const QString folder = Folders::withSeparator(programFolder);
    const QString real = folder + QStringLiteral("mvigia");
    const QString simulated = folder + QStringLiteral("simuladores/mvigia");
    if (!QFileInfo(real).isFile() && simulatorsChosen(config) && QFileInfo(simulated).isFile())
        return std::make_unique<ProgramVigia>(simulated, true);
    return std::make_unique<ProgramVigia>(real);
}

bool simulatorsChosen(const IniFile &config) { return config.readBool("COM", "SIMULADORES", false); }

void setLumetFactory(std::function<std::unique_ptr<LumetLibrary>()> f) { g_lumet = std::move(f); }
void setWatchFactory(std::function<std::unique_ptr<WatchLibrary>()> f) { g_watch = std::move(f); }
void setVigiaFactory(std::function<std::unique_ptr<VigiaProgram>()> f) { g_vigia = std::move(f); }

}  // namespace Terminals
