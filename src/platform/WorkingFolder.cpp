#include "platform/WorkingFolder.h"

#include "platform/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kPrefix = QStringLiteral("run-");
const QString kLockSuffix = QStringLiteral(".lock");

// Whether `fd` is still the file named `path`: a cleaner that got to a lock file first has
// already removed it (and its folder).
bool stillNamed(int fd, const QByteArray &path)
{
    struct stat opened {}, named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

int WorkingFolder::removeAbandoned(const QString &parent)
{
    const QDir dir(parent);
    int removed = 0;
    const QStringList locks =
        dir.entryList({kPrefix + u'*' + kLockSuffix}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : locks) {
        const QByteArray lockPath = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        // A live process holds its lock; one that can be taken was left by a process that is gone.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && stillNamed(fd, lockPath)) {
            // The folder first: a cleaner stopped half-way finds the lock again next time.
            QDir(dir.filePath(name.chopped(kLockSuffix.size()))).removeRecursively();
            ::unlink(lockPath.constData());
            ++removed;
        }
        ::close(fd);
    }
    return removed;
}

WorkingFolder::WorkingFolder(const QString &parent)
{
    const QString base = Folders::withSeparator(QDir::cleanPath(QDir(parent).absolutePath()));
    QDir().mkpath(base);
    removeAbandoned(base);
    for (int attempt = 0; attempt < 20 && m_path.isEmpty(); ++attempt) {
        const QString stem = base + kPrefix + QString::number(QCoreApplication::applicationPid()) + u'-' +
                             QString::number(QRandomGenerator::global()->generate(), 36);
        const QByteArray lockPath = QFile::encodeName(stem + kLockSuffix);
        const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            break;
        }
        // The lock is taken right after the file is made; a cleaner that came in between has
        // taken or removed it, and another name is tried.
        bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (!locked && errno == EWOULDBLOCK) {
            ::close(fd);
            continue;
        }
        if (locked && !stillNamed(fd, lockPath)) {
            ::close(fd);
            continue;
        }
        const QByteArray folder = QFile::encodeName(stem);
        if (::mkdir(folder.constData(), 0700) != 0) {
            const bool taken = errno == EEXIST;
            ::unlink(lockPath.constData());
            ::close(fd);
            if (taken)
                continue;
            break;
        }
        ::chmod(folder.constData(), 0700);
        if (locked) {
            const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
            [[maybe_unused]] const ssize_t written = ::write(fd, pid.constData(), size_t(pid.size()));
            m_lock = fd;
            m_lockPath = stem + kLockSuffix;
        } else {
            // A file system without locks: the folder is still private, but only the orderly end
            // removes it.
            ::unlink(lockPath.constData());
            ::close(fd);
        }
        m_path = stem + u'/';
    }
    if (m_path.isEmpty()) {
        qWarning("WorkingFolder: no private folder under %s", qPrintable(base));
        m_path = base;
        m_shared = true;
    }
}

WorkingFolder::~WorkingFolder()
{
    if (!m_shared)
        QDir(m_path).removeRecursively();
    if (m_lock >= 0) {
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lock);
    }
}
