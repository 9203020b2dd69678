#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Line {
    enum Kind { Section, Entry, Other };
    QString text;  // as it stands in the file, written back unchanged unless replaced
    Kind kind = Other;
    QString name;  // section or key, trimmed
    QString value;
};

}  // namespace

struct IniFile::Content {
    QList<Line> lines;
    bool readable = true;
    QString error;
};

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Files written by the old Windows program are in the ANSI code page; ours are UTF-8. Deciding
// line by line keeps a file that mixes both (an old file we have since added keys to) readable.
QString decodeLine(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

Line parseLine(const QString &text)
{
    Line line;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        if (close > 0) {
            line.kind = Line::Section;
            line.name = trimmed.mid(1, close - 1).trimmed();
        }
        return line;
    }
    if (trimmed.startsWith(u';'))
        return line;
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq <= 0)
        return line;
    const QString key = trimmed.left(eq).trimmed();
    if (key.isEmpty())
        return line;
    line.kind = Line::Entry;
    line.name = key;
    line.value = trimmed.mid(eq + 1).trimmed();
    return line;
}

// Only the first section of a name counts, as with the Windows profile functions.
qsizetype findSection(const QList<Line> &lines, const QString &section)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].kind == Line::Section && sameName(lines[i].name, section))
            return i;
    return -1;
}

qsizetype sectionEnd(const QList<Line> &lines, qsizetype header)
{
    qsizetype i = header + 1;
    while (i < lines.size() && lines[i].kind != Line::Section)
        ++i;
    return i;
}

qsizetype findKey(const QList<Line> &lines, qsizetype header, const QString &key)
{
    if (header < 0)
        return -1;
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i)
        if (lines[i].kind == Line::Entry && sameName(lines[i].name, key))
            return i;
    return -1;
}

// Holds an exclusive lock on "<file>.lock" while one change is read, applied and written, so two
// processes changing different keys at once both keep their change (each rewrite replaces the
// whole file). The lock is a sibling file because the file itself is replaced by every write.
class ChangeLock {
public:
    ChangeLock(const QString &path, bool ownerOnly)
    {
        // The lock file shows no more than the file it guards.
        mode_t mode = ownerOnly ? 0600 : 0666;
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) == 0)
            mode = st.st_mode & 0666;
        const QByteArray lockPath = QFile::encodeName(path + QStringLiteral(".lock"));
        do
            m_fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        int rc;
        do
            rc = ::flock(m_fd, LOCK_EX);
        while (rc < 0 && errno == EINTR);
        if (rc < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ChangeLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // releases the lock
    }
    ChangeLock(const ChangeLock &) = delete;
    ChangeLock &operator=(const ChangeLock &) = delete;

    bool held() const { return m_fd >= 0; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QString m_error;
};

Line entryLine(const QString &key, const QString &value)
{
    // A line break inside a value would split the entry and corrupt the file.
    QString flat = value;
    flat.replace(u'\r', u' ').replace(u'\n', u' ');
    return parseLine(key + u'=' + flat);
}

}  // namespace

IniFile::IniFile(const QString &path, bool ownerOnly) : m_path(path), m_ownerOnly(ownerOnly) {}

IniFile::Content IniFile::load() const
{
    Content content;
    QFile file(m_path);
    if (!file.exists())
        return content;
    if (!file.open(QIODevice::ReadOnly)) {
        content.readable = false;
        content.error = QStringLiteral("Não foi possível ler o arquivo de configuração %1: %2")
                            .arg(m_path, file.errorString());
        return content;
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<QByteArray> rawLines = bytes.split('\n');
    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        QByteArrayView raw(rawLines[i]);
        if (i == rawLines.size() - 1 && raw.isEmpty())
            break;  // the split after the final line break
        if (raw.endsWith('\r'))
            raw.chop(1);
        content.lines.append(parseLine(decodeLine(raw)));
    }
    return content;
}

bool IniFile::fail(const QString &reason)
{
    m_lastError = QStringLiteral("Não foi possível gravar o arquivo de configuração %1: %2")
                      .arg(m_path, reason);
    return false;
}

bool IniFile::save(const Content &content)
{
    if (!QFileInfo(m_path).absoluteDir().mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("não foi possível criar a pasta"));
    QByteArray bytes;
    for (const Line &line : content.lines) {
        bytes += line.text.toUtf8();
        bytes += '\n';
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (m_ownerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(file.errorString());
    m_lastError.clear();
    return true;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    const Content content = load();
    const qsizetype at =
        findKey(content.lines, findSection(content.lines, section.trimmed()), key.trimmed());
    return at < 0 ? def : content.lines[at].value;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    bool ok = false;
    const int value = readString(section, key).trimmed().toInt(&ok, 10);
    return ok ? value : def;
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    bool ok = false;
    const qlonglong value = readString(section, key).trimmed().toLongLong(&ok, 10);
    return ok ? value != 0 : def;
}

bool IniFile::isValidName(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return false;
    for (const QChar c : trimmed)
        if (c == u'\r' || c == u'\n' || c == u'[' || c == u']' || c == u'=')
            return false;
    return !trimmed.startsWith(u';');
}

bool IniFile::change(const std::function<bool(Content &)> &apply)
{
    if (!QFileInfo(m_path).absoluteDir().mkpath(QStringLiteral(".")))
        return fail(QStringLiteral("não foi possível criar a pasta"));
    const ChangeLock lock(m_path, m_ownerOnly);
    if (!lock.held())
        return fail(lock.error());
    // Read under the lock: what another process wrote a moment ago is kept.
    Content content = load();
    if (!content.readable)
        return fail(content.error);
    if (!apply(content)) {
        m_lastError.clear();
        return true;  // nothing to change
    }
    return save(content);
}

bool IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    // A line break, or a name that reads back as a section header, a comment or "key=value",
    // would put a different entry into the file.
    if (sectionName.isEmpty() || keyName.isEmpty() || keyName.contains(u'=')
        || sectionName.contains(u']') || sectionName.contains(u'\n')
        || sectionName.contains(u'\r') || keyName.contains(u'\n') || keyName.contains(u'\r')
        || keyName.startsWith(u'[') || keyName.startsWith(u';'))
        return fail(QStringLiteral("nome de seção ou de chave inválido"));
    return change([&](Content &content) {
        QList<Line> &lines = content.lines;
        const qsizetype header = findSection(lines, sectionName);
        if (header < 0) {
            lines.append(parseLine(u'[' + sectionName + u']'));
            lines.append(entryLine(keyName, value));
            return true;
        }
        const qsizetype at = findKey(lines, header, keyName);
        if (at >= 0) {
            lines[at] = entryLine(lines[at].name, value);
            return true;
        }
        // After the section's last entry, so comments and blank lines that lead into the next
        // section stay with it.
        qsizetype insertAt = header + 1;
        const qsizetype end = sectionEnd(lines, header);
        for (qsizetype i = header + 1; i < end; ++i)
            if (lines[i].kind == Line::Entry)
                insertAt = i + 1;
        lines.insert(insertAt, entryLine(keyName, value));
        return true;
    });
}

bool IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    return writeString(section, key, QString::number(value));
}

bool IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    return writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool IniFile::sectionExists(const QString &section) const
{
    return findSection(load().lines, section.trimmed()) >= 0;
}

bool IniFile::valueExists(const QString &section, const QString &key) const
{
    const Content content = load();
    return findKey(content.lines, findSection(content.lines, section.trimmed()), key.trimmed()) >= 0;
}

QStringList IniFile::sections() const
{
    QStringList names;
    for (const Line &line : load().lines)
        if (line.kind == Line::Section && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    return names;
}

QStringList IniFile::keys(const QString &section) const
{
    const Content content = load();
    const qsizetype header = findSection(content.lines, section.trimmed());
    QStringList names;
    if (header < 0)
        return names;
    const qsizetype end = sectionEnd(content.lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const Line &line = content.lines[i];
        if (line.kind == Line::Entry && !names.contains(line.name, Qt::CaseInsensitive))
            names.append(line.name);
    }
    return names;
}

bool IniFile::deleteKey(const QString &section, const QString &key)
{
    if (!QFileInfo::exists(m_path))
        return true;
    return change([&](Content &content) {
        const qsizetype header = findSection(content.lines, section.trimmed());
        const qsizetype at = findKey(content.lines, header, key.trimmed());
        if (at < 0)
            return false;
        content.lines.removeAt(at);
        return true;
    });
}

bool IniFile::eraseSection(const QString &section)
{
    if (!QFileInfo::exists(m_path))
        return true;
    return change([&](Content &content) {
        bool erased = false;
        for (qsizetype header; (header = findSection(content.lines, section.trimmed())) >= 0;) {
            content.lines.remove(header, sectionEnd(content.lines, header) - header);
            erased = true;
        }
        return erased;
    });
}

bool IniFile::isReadable() const
{
    return load().readable;
}

QString IniFile::readError() const
{
    return load().error;
}
