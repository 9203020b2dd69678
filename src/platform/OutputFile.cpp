#include "platform/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path) { return QFile::encodeName(path); }

// Writes all of `size` bytes, going on after an interrupted call; the error number, or 0.
int writeAll(int fd, const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += n;
    }
    return 0;
}

}  // namespace

OutputFile::OutputFile(const QString &target) : m_target(target) {}

OutputFile::~OutputFile() { discard(); }

QString OutputFile::reasonFor(int error)
{
    switch (error) {
    case ENOENT:
        return QString::fromUtf8("a pasta não existe");
    case EACCES:
        return QString::fromUtf8("sem permissão para gravar");
    case EPERM:
        return QString::fromUtf8("a operação não é permitida");
    case EROFS:
        return QString::fromUtf8("o disco é somente de leitura");
    case ENOSPC:
        return QString::fromUtf8("não há espaço no disco");
    case EDQUOT:
        return QString::fromUtf8("a cota de disco acabou");
    case EFBIG:
        return QString::fromUtf8("o arquivo ficou grande demais");
    case EISDIR:
        return QString::fromUtf8("é uma pasta");
    case ENOTDIR:
        return QString::fromUtf8("uma parte do caminho não é uma pasta");
    case ENAMETOOLONG:
        return QString::fromUtf8("o nome é longo demais");
    case ELOOP:
        return QString::fromUtf8("há links simbólicos demais no caminho");
    case EIO:
        return QString::fromUtf8("erro de leitura ou gravação no disco");
    case ENXIO:
        return QString::fromUtf8("não há quem leia do outro lado");
    case EBUSY:
    case ETXTBSY:
        return QString::fromUtf8("o arquivo está em uso");
    default:
        return QString::fromUtf8("erro do sistema %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString OutputFile::failureText(const QString &path, const QString &reason)
{
    return QString::fromUtf8("Não foi possível gravar o arquivo %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

QString OutputFile::error() const { return failureText(m_target, m_reason); }

bool OutputFile::fail(const QString &reason)
{
    discard();
    m_reason = reason;
    setErrorString(reason);
    return false;
}

bool OutputFile::begin(Mode mode)
{
    discard();
    m_reason.clear();
    m_writeError = 0;
    m_existed = false;
    m_direct = false;
    if (m_target.isEmpty())
        return fail(QString::fromUtf8("nenhum arquivo foi informado"));

    const QFileInfo given(m_target);
    m_final = QDir::cleanPath(given.absoluteFilePath());
    if (given.isSymLink())
        m_final = given.exists() ? given.canonicalFilePath() : given.symLinkTarget();
    const QFileInfo final(m_final);
    const QString folder = final.absolutePath();

    struct stat existing {};
    if (::stat(encoded(m_final).constData(), &existing) == 0) {
        m_existed = true;
        if (S_ISDIR(existing.st_mode))
            return failWith(EISDIR);
        if (!S_ISREG(existing.st_mode)) {
            // A device or a FIFO: nothing to replace, so it is written as it is. A FIFO
            // nobody reads from fails at once instead of waiting.
            const int flags = O_WRONLY | O_CLOEXEC | O_NONBLOCK | (mode == Mode::Append ? O_APPEND : O_TRUNC);
            const int fd = ::open(encoded(m_final).constData(), flags);
            if (fd < 0)
                return failWith(errno);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            m_fd = fd;
            m_direct = true;
            m_temporary = m_final;
            QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
            return true;
        }
        // A file its owner made read-only is not replaced behind his back.
        if (::access(encoded(m_final).constData(), W_OK) != 0)
            return failWith(errno);
    } else if (errno == ENOENT || errno == ENOTDIR) {
        struct stat parent {};
        if (::stat(encoded(folder).constData(), &parent) != 0)
            return errno == ENOENT
                       ? fail(QString::fromUtf8("a pasta %1 não existe").arg(QDir::toNativeSeparators(folder)))
                       : failWith(errno);
        if (!S_ISDIR(parent.st_mode))
            return fail(QString::fromUtf8("%1 não é uma pasta").arg(QDir::toNativeSeparators(folder)));
    } else {
        return failWith(errno);
    }

    // Hidden, beside the target so the rename never crosses file systems, and unique.
    const QString stem = folder + QStringLiteral("/.") + final.fileName().left(200) + u'.';
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 20; ++attempt) {
        m_temporary = stem + QString::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(encoded(m_temporary).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            const int error = errno;
            m_temporary.clear();
            return failWith(error);
        }
    }
    if (fd < 0) {
        m_temporary.clear();
        return failWith(EEXIST);
    }
    m_fd = fd;
    // The new file keeps the old one's permissions.
    if (m_existed)
        ::fchmod(fd, existing.st_mode & 07777);
    if (mode == Mode::Append && m_existed && !copyOldContent(m_final))
        return false;
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

bool OutputFile::copyOldContent(const QString &from)
{
    const int in = ::open(encoded(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return failWith(errno);
    char buffer[1 << 16];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = errno;
        if (n <= 0)
            break;
        if ((error = writeAll(m_fd, buffer, n)) != 0)
            break;
    }
    ::close(in);
    return error == 0 || failWith(error);
}

qint64 OutputFile::readData(char *, qint64) { return -1; }

qint64 OutputFile::writeData(const char *data, qint64 size)
{
    if (m_fd < 0 || m_writeError != 0)
        return -1;
    m_writeError = writeAll(m_fd, data, size);
    if (m_writeError != 0) {
        setErrorString(reasonFor(m_writeError));
        return -1;
    }
    return size;
}

bool OutputFile::commit()
{
    if (m_fd < 0)
        return m_reason.isEmpty() ? fail(QString::fromUtf8("o arquivo não foi aberto")) : false;
    if (m_writeError != 0)
        return failWith(m_writeError);
    // On the disk before it takes the old file's place, so a crash leaves one or the other
    // whole. A device may not sync; that is no failure.
    if (::fsync(m_fd) != 0 && !(m_direct && (errno == EINVAL || errno == EROFS)))
        return failWith(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        m_fd = -2;  // closed: discard() only removes the temporary file
        return failWith(error);
    }
    QIODevice::close();
    if (!m_direct) {
        if (::rename(encoded(m_temporary).constData(), encoded(m_final).constData()) != 0) {
            const int error = errno;
            m_fd = -2;
            return failWith(error);
        }
        // The rename itself on the disk.
        const int folder = ::open(encoded(QFileInfo(m_final).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
    }
    m_temporary.clear();
    return true;
}

void OutputFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_fd != -1 && !m_direct && !m_temporary.isEmpty())
        ::unlink(encoded(m_temporary).constData());
    m_fd = -1;
    m_temporary.clear();
    if (isOpen())
        QIODevice::close();
}
