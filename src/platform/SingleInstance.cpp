#include "platform/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray activateMessage = QByteArrayLiteral("activate\n");

QString userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("LOGNAME");
    return name.isEmpty() ? QStringLiteral("user") : name;
}

// Only this account may be able to create files in the lock folder: another account that could
// (a shared /tmp, a group-writable folder) could plant the lock file, or a socket, and stop the
// program from starting at all.
bool isPrivateFolder(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The user's runtime folder (the session's own, mode 0700), else a 0700 folder of ours under
// the user's cache folder. Empty when neither is private.
QString lockFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    QDir().mkpath(cache);
    const QString folder = cache + QStringLiteral("/torvel-run");
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return isPrivateFolder(folder) ? folder : QString();
}

}  // namespace

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]"));
    const QString folder = lockFolder();
    if (folder.isEmpty())
        return;
    const QString base = QDir(folder).filePath(
        QString(key + u'-' + userName()).replace(unsafe, QStringLiteral("_")));
    m_lockPath = base + QStringLiteral(".lock");
    m_socketPath = base + QStringLiteral(".sock");
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

bool SingleInstance::tryAcquire()
{
    if (m_lock)
        return true;
    if (m_lockPath.isEmpty()) {
        // Without a private folder one cannot tell; letting the program run beats refusing
        // to start at all.
        qWarning("SingleInstance: no private folder for the lock (XDG_RUNTIME_DIR, ~/.cache)");
        return true;
    }
    auto lock = std::make_unique<QLockFile>(m_lockPath);
    // The lock lives as long as the program; only a dead holder makes it stale, never its age.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError) {
            // Without a usable lock folder one cannot tell; letting the program run beats
            // refusing to start at all.
            qWarning("SingleInstance: cannot create %s", qPrintable(m_lockPath));
            return true;
        }
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(2000)) {
            socket.write(activateMessage);
            socket.waitForBytesWritten(2000);
            socket.disconnectFromServer();
        }
        return false;
    }
    m_lock = std::move(lock);

    // A socket file left by a crashed first instance would make listen() fail.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
    if (!m_server->listen(m_socketPath))
        qWarning("SingleInstance: cannot listen on %s: %s", qPrintable(m_socketPath),
                 qPrintable(m_server->errorString()));
    return true;
}

void SingleInstance::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto readMessage = [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == activateMessage)
                Q_EMIT activationRequested();
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, readMessage);
        readMessage();  // the message may have come with the connection
    }
}
