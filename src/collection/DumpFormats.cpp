#include "collection/DumpFormats.h"

#include "platform/DateTimeText.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DumpFormats {

namespace {

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// Year, month, day, hour, minute and second at the given positions, each all digits and
// together a real date-time.
std::optional<QDateTime> dateTimeAt(const QString &line, int year, int yearLength, int month,
                                    int day, int hour, int minute, int second)
{
    const int y = number(line, year, year + yearLength - 1);
    const int mo = number(line, month, month + 1);
    const int d = number(line, day, day + 1);
    const int h = number(line, hour, hour + 1);
    const int mi = number(line, minute, minute + 1);
    const int s = second > 0 ? number(line, second, second + 1) : 0;
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || s < 0)
        return std::nullopt;
    const QDate date(yearLength == 2 ? 2000 + y : y, mo, d);
    const QTime time(h, mi, s);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    // The terminal's clock reading, taken as it stands: as a zone-free value it is never judged
    // by this workstation's daylight-saving rules (a touch at 00:30 on the night the clocks
    // went forward is still a touch), and no time-zone lookup is paid per line.
    return QDateTime(date, time, Qt::UTC);
}

}  // namespace

QString lumetDumpPath() { return Folders::programFolder() + QStringLiteral("DATALM.TMD"); }
QString watchDataPath() { return Folders::programFolder() + QStringLiteral("watch.dat"); }
QString vigiaFilePath()
{
    return Folders::documentsFolder() + QStringLiteral("MVIGIA/NOVOS.TXT");
}
QString q90ListingPath() { return QDir::currentPath() + QStringLiteral("/q90.tmd"); }
QString q90DumpPath() { return Folders::programFolder() + QStringLiteral("DATA.TMD"); }
QString q90ScratchPath() { return Folders::programFolder() + QStringLiteral("TMPQ90.TXT"); }

QString backupFilePath(const QDateTime &moment, bool withExtension)
{
    return Folders::backupFolder() + QStringLiteral("ro") + moment.toString(QStringLiteral("yyyyMM")) +
           (withExtension ? QStringLiteral(".txt") : QString());
}

struct DumpReader::Decoder {
    QStringDecoder decoder;
};

DumpReader::DumpReader(const QString &path) : m_path(path) {}

DumpReader::~DumpReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString DumpReader::open()
{
    const QByteArray name = QFile::encodeName(m_path);
    // O_NONBLOCK so that opening a FIFO never waits for a writer; it is refused just below.
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return QStringLiteral("Não foi possível ler o arquivo %1: %2")
            .arg(QDir::toNativeSeparators(m_path), QString::fromLocal8Bit(strerror(errno)));
    struct stat info {};
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        return QStringLiteral("%1 não é um arquivo comum e não foi lido.")
            .arg(QDir::toNativeSeparators(m_path));
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    return {};
}

// Appends the next chunk of the file to the buffer, as UTF-8 for a UTF-16 file. False at the
// end of the file or on a read error.
bool DumpReader::fill()
{
    if (m_eof || m_fd < 0)
        return false;
    char chunk[65536];
    ssize_t got;
    do {
        got = ::read(m_fd, chunk, sizeof chunk);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        m_error = QStringLiteral("Erro ao ler o arquivo %1: %2")
                      .arg(QDir::toNativeSeparators(m_path), QString::fromLocal8Bit(strerror(errno)));
        m_eof = true;
        return false;
    }
    QByteArrayView bytes(chunk, got);
    if (!m_started) {
        m_started = true;
        if (bytes.startsWith("\xFF\xFE")) {
            m_encoding = Encoding::Utf16LE;
            bytes = bytes.sliced(2);
        } else if (bytes.startsWith("\xFE\xFF")) {
            m_encoding = Encoding::Utf16BE;
            bytes = bytes.sliced(2);
        } else if (bytes.startsWith("\xEF\xBB\xBF")) {
            bytes = bytes.sliced(3);
        }
        if (m_encoding != Encoding::Bytes)
            m_decoder.reset(new Decoder{QStringDecoder(m_encoding == Encoding::Utf16LE
                                                           ? QStringDecoder::Utf16LE
                                                           : QStringDecoder::Utf16BE)});
    }
    if (got == 0) {
        m_eof = true;
        return false;
    }
    if (m_decoder)
        m_buffer += QString(m_decoder->decoder.decode(bytes)).toUtf8();
    else
        m_buffer += bytes;
    return true;
}

bool DumpReader::next(QString &text, QByteArray &raw)
{
    raw.clear();
    bool any = false;  // bytes of this line were taken from an earlier chunk
    const auto take = [&](qsizetype to) {
        if (to > m_pos) {
            any = true;
            raw += m_buffer.mid(m_pos, qMin(to - m_pos, kMaxLine - raw.size()));
        }
    };
    for (;;) {
        qsizetype end = -1;
        for (qsizetype i = m_pos; i < m_buffer.size(); ++i) {
            const char c = m_buffer.at(i);
            if (c == '\n' || c == '\r') {
                end = i;
                break;
            }
        }
        if (end >= 0) {
            // A CR as the last byte read may be the first half of CR LF.
            if (m_buffer.at(end) == '\r' && end + 1 == m_buffer.size() && fill())
                continue;
            take(end);
            qsizetype after = end + 1;
            if (m_buffer.at(end) == '\r' && after < m_buffer.size() && m_buffer.at(after) == '\n')
                ++after;
            m_pos = after;
            break;
        }
        // No line end yet: what there is belongs to this line (beyond the limit it is dropped,
        // so an endless line costs bounded memory).
        take(m_buffer.size());
        m_buffer.clear();
        m_pos = 0;
        if (!fill()) {
            if (!any)
                return false;
            break;
        }
    }
    // Keep the buffer from growing with lines already handed out.
    if (m_pos > 1024 * 1024) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8(raw);
    if (utf8.hasError())
        text = QString::fromLatin1(raw);
    return true;
}

std::optional<QStringList> readLines(const QString &path)
{
    DumpReader reader(path);
    if (!reader.open().isEmpty())
        return std::nullopt;
    QStringList lines;
    QString text;
    QByteArray raw;
    while (reader.next(text, raw))
        lines << text;
    if (!reader.error().isEmpty())
        return std::nullopt;
    return lines;
}

bool hasControlCharacters(const QString &line)
{
    for (QChar c : line)
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            return true;
    return false;
}

bool outsideFormat(const QString &line)
{
    for (QChar c : line)
        if (c.unicode() > 0x7E || (c.unicode() < 0x20 && c != u'\t'))
            return true;
    return false;
}

bool isTerminalHeader(const QString &line)
{
    return line.startsWith(u'H') && field(line, 2, 2) == QStringLiteral(" ") &&
           field(line, 17, 17) == QStringLiteral(" ") && dateTimeAt(line, 3, 4, 7, 9, 11, 13, 15);
}

bool isWatchHeader(const QString &line)
{
    if (!line.startsWith(u'H'))
        return false;
    const QString collector = field(line, 21, 26);
    for (QChar c : collector)
        if (c == u' ' || c == u'\t')
            return false;
    return line.mid(26).trimmed().isEmpty();
}

bool isTrailer(const QString &line)
{
    if (!line.startsWith(u'T'))
        return false;
    const QString rest = line.mid(1);
    if (rest.trimmed().isEmpty())
        return true;
    if (!rest.startsWith(u' '))
        return false;
    for (QChar c : rest.trimmed())
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

QString printable(const QString &line)
{
    QString text = line;
    for (QChar &c : text)
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            c = u'?';
    return text;
}

QString field(const QString &line, int from, int to)
{
    const int width = to - from + 1;
    return line.mid(from - 1, width).leftJustified(width, u' ');
}

int number(const QString &line, int from, int to)
{
    const QString text = field(line, from, to);
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

QString paramText(const QDateTime &when) { return when.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")); }
QString fullText(const QDateTime &when) { return when.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")); }

TerminalHeader parseTerminalHeader(const QString &line)
{
    TerminalHeader header;
    header.downloaded = dateTimeAt(line, 3, 4, 7, 9, 11, 13, 15).value_or(QDateTime());
    header.terminal = field(line, 21, 30).trimmed();
    return header;
}

std::optional<TerminalTouch> parseTerminalTouch(const QString &line)
{
    const auto touched = dateTimeAt(line, 2, 4, 6, 8, 10, 12, 14);
    const QString identifier = field(line, 26, 31).trimmed();
    if (!touched || identifier.isEmpty())
        return std::nullopt;
    TerminalTouch touch;
    touch.touched = *touched;
    touch.type = field(line, 17, 18).trimmed();
    touch.identifier = identifier;
    touch.terminal = field(line, 33, 38).trimmed();
    // The terminal keeps its minutes only; the copy says so with ":00".
    touch.backupLine = field(line, 8, 9) + u'/' + field(line, 6, 7) + QStringLiteral("/20") +
                       field(line, 4, 5) + u' ' + field(line, 10, 11) + u':' + field(line, 12, 13) +
                       QStringLiteral(":00 000000") + field(line, 26, 31);
    return touch;
}

QString watchHeaderCollector(const QString &line) { return field(line, 21, 26).trimmed(); }

std::optional<WatchTouch> parseWatchTouch(const QString &line)
{
    const auto touched = dateTimeAt(line, 5, 4, 9, 11, 13, 15, 17);
    const QString identifier = field(line, 29, 34).trimmed();
    if (!touched || identifier.isEmpty())
        return std::nullopt;
    return WatchTouch{*touched, field(line, 20, 21).trimmed(), identifier};
}

std::optional<VigiaTouch> parseVigiaTouch(const QString &line)
{
    const auto touched = DateTimeText::parse(field(line, 14, 29));
    const QString identifier = field(line, 7, 12).trimmed();
    if (!touched || identifier.isEmpty())
        return std::nullopt;
    return VigiaTouch{*touched, field(line, 1, 12), identifier};
}

std::optional<Q90ListingTouch> parseQ90ListingTouch(const QString &line)
{
    if (!dateTimeAt(line, 7, 2, 4, 1, 10, 13, 0))
        return std::nullopt;
    const QString digits = field(line, 17, 21);
    for (QChar c : digits)
        if (!isHexDigit(c))
            return std::nullopt;
    return Q90ListingTouch{field(line, 1, 2), field(line, 4, 5), field(line, 7, 8),
                           field(line, 10, 11), field(line, 13, 14), digits};
}

QString q90Terminal(const QString &line5) { return field(line5, 19, 22); }

QString backupHeader(const QString &dateTime, const QString &terminal, bool q90)
{
    return QStringLiteral("DATA DA COLETA: ") + dateTime +
           (q90 ? QStringLiteral(" TERMINAL: 000000") : QStringLiteral("   TERMINAL: 000000")) +
           terminal;
}

QString q90DumpHeader(const QDateTime &moment, const QString &terminal)
{
    return QStringLiteral("H ") + moment.toString(QStringLiteral("yyyyMMddhhmmss")) +
           QStringLiteral(" 00 000000") + terminal;
}

QString q90DumpTouch(const Q90ListingTouch &t)
{
    return QStringLiteral(" 20") + t.year + t.month + t.day + t.hour + t.minute +
           QStringLiteral("00 31 000000F") + t.digits;
}

QString q90BackupTouch(const Q90ListingTouch &t)
{
    return t.day + u'/' + t.month + QStringLiteral("/20") + t.year + u' ' + t.hour + u':' +
           t.minute + QStringLiteral(":00 000000F") + t.digits;
}

}  // namespace DumpFormats
