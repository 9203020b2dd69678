#include "platform/SystemServices.h"

#include "platform/BusyCursor.h"

#include <ctime>

#include <QFileInfo>
#include <QProcess>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimeZone>

namespace SystemServices {

namespace {
std::function<QDateTime()> g_clock;
std::function<void(int)> g_pause;
std::function<QStringList()> g_ports;
std::function<bool(const QString &, const QStringList &)> g_starter;
// The machine's own zone, read before the process's local time is pinned to UTC.
QTimeZone g_wallClockZone;
bool g_pinned = false;
}  // namespace

QDateTime now()
{
    if (g_clock)
        return g_clock();
    if (!g_pinned)
        return QDateTime::currentDateTime();
    // The workstation's wall clock as its fields, carried zone-free like every other moment.
    const QDateTime here = QDateTime::currentDateTimeUtc().toTimeZone(g_wallClockZone);
    return QDateTime(here.date(), here.time());
}

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
    if (g_pinned)
        return;
    g_wallClockZone = QTimeZone::systemTimeZone();
    if (!g_wallClockZone.isValid())
        g_wallClockZone = QTimeZone::utc();
    // Every date-time of the database, of a terminal or of a file is a wall-clock reading
    // without a zone. With the process's local time in UTC, none of them is ever converted,
    // shifted by a daylight-saving jump or made invalid by an hour the local clock skipped,
    // whichever way the driver or Qt hands it over; and no conversion pays a zone lookup.
    qputenv("TZ", "UTC");
    tzset();
    g_pinned = true;
}

QTimeZone wallClockZone() { return g_pinned ? g_wallClockZone : QTimeZone::systemTimeZone(); }

}  // namespace SystemServices
