#include "platform/SystemServices.h"

#include "platform/BusyCursor.h"

#include <ctime>

#include <QFileInfo>
#include <QProcess>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QThread>

namespace SystemServices {

namespace {
std::function<QDateTime()> g_clock;
std::function<void(int)> g_pause;
std::function<QStringList()> g_ports;
std::function<bool(const QString &, const QStringList &)> g_starter;
}  // namespace

QDateTime now() { return g_clock ? g_clock() : QDateTime::currentDateTime(); }

void setClock(std::function<QDateTime()> clock) { g_clock = std::move(clock); }

void pause(int ms)
{
    if (g_pause)
        g_pause(ms);
    else if (ms > 0)
        QThread::msleep(ulong(ms));
}

void setPause(std::function<void(int)> pause) { g_pause = std::move(pause); }

QStringList serialPorts()
{
    if (g_ports)
        return g_ports();
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}

void setSerialPorts(std::function<QStringList()> lister) { g_ports = std::move(lister); }

bool openDocument(const QString &path)
{
    if (g_starter)
        return g_starter(QStringLiteral("xdg-open"), {path});
    if (!QFileInfo::exists(path))
        return false;
    // QDesktopServices::openUrl only says whether xdg-open could be started, not whether it
    // found a program: its exit status does.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    auto *process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start(opener, {path});
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    bool finished;
    {
        BusyCursor busy;
        finished = process->waitForFinished(openerAnswerMs);
    }
    if (!finished) {
        // The program is open: the process is left to end with it.
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return true;
    }
    const bool opened = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
    delete process;
    return opened;
}

bool startDetached(const QString &program, const QStringList &arguments)
{
    if (g_starter)
        return g_starter(program, arguments);
    return QProcess::startDetached(program, arguments);
}

void setStarter(std::function<bool(const QString &, const QStringList &)> starter)
{
    g_starter = std::move(starter);
}

void pinTimeZone()
{
    if (qEnvironmentVariableIsEmpty("TZ")) {
        qputenv("TZ", ":/etc/localtime");
        tzset();
    }
}

}  // namespace SystemServices
