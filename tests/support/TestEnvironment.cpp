#include "TestEnvironment.h"

#include "platform/SystemServices.h"

#include <QDir>
#include <QFile>

TestEnvironment::TestEnvironment()
{
    for (const char *sub : {"home", "windir", "backup", "docs"})
        QDir().mkpath(root() + sub);
    qputenv("TORVEL_HOME", (root() + "home").toUtf8());
    qputenv("TORVEL_WINDIR", (root() + "windir").toUtf8());
    qputenv("TORVEL_BACKUP_DIR", (root() + "backup").toUtf8());
    qputenv("TORVEL_DOCUMENTS", (root() + "docs").toUtf8());
    SystemServices::setPause([](int) {});
}

TestEnvironment::~TestEnvironment()
{
    SystemServices::setPause({});
    SystemServices::setClock({});
    SystemServices::setSerialPorts({});
    SystemServices::setStarter({});
}

void TestEnvironment::writeIni(const QString &text) const
{
    QFile f(iniPath());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text.toUtf8());
}

void TestEnvironment::writeIniFor(const ConnectionParams &p) const
{
    writeIni(QStringLiteral("[CONFIG]\nCNFBD=1\n[BANCO]\nDatabase=%1\nHostName=%2\nport=%3\n"
                            "User=%4\nPassword=%5\n")
                 .arg(p.database, p.host, QString::number(p.port), p.user, p.password));
}
