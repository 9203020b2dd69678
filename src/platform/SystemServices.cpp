#include "platform/SystemServices.h"

#include <ctime>

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPortInfo>
#include <QThread>
#include <QUrl>

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
        return g_starter(QString(), {path});
    if (!QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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
