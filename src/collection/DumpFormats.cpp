#include "collection/DumpFormats.h"

#include "platform/DateTimeText.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

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

std::optional<QStringList> readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();  // the newline that ends the last line
    for (QString &line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
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
