#include "platform/Folders.h"

#include <QDir>
#include <QStandardPaths>

namespace Folders {

namespace {

QString ensured(const QString &path)
{
    const QString absolute = withSeparator(QDir::cleanPath(QDir(path).absolutePath()));
    QDir().mkpath(absolute);
    return absolute;
}

QString fromEnvironment(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return ensured(value.isEmpty() ? fallback : value);
}

}  // namespace

QString withSeparator(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

QString programFolder()
{
    return fromEnvironment("TORVEL_HOME", QDir::homePath() + QStringLiteral("/.local/share/torvel"));
}

QString windowsFolder()
{
    return fromEnvironment("TORVEL_WINDIR", QDir::homePath() + QStringLiteral("/.config/torvel"));
}

QString tempFolder()
{
    return ensured(windowsFolder() + QStringLiteral("TEMP"));
}

QString backupFolder()
{
    return fromEnvironment("TORVEL_BACKUP_DIR", QDir::homePath() + QStringLiteral("/COLETA"));
}

QString documentsFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + QStringLiteral("/Documents");
    return fromEnvironment("TORVEL_DOCUMENTS", documents);
}

}  // namespace Folders
