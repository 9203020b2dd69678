#include "collection/terminals/TerminalSimulators.h"

#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/SystemServices.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace TerminalSimulator {

namespace {

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Lumet: return "lumet";
    case Kind::Watch: return "vigia-bastao-novo";
    case Kind::Vigia: return "vigia-bastao";
    }
    return "terminal";
}

QString defaultIdentifier(Kind kind)
{
    switch (kind) {
    case Kind::Lumet: return QStringLiteral("LUMET01");
    case Kind::Watch: return QStringLiteral("000101");
    case Kind::Vigia: return QStringLiteral("VB0001");
    }
    return {};
}

// Fixed-width text: padded with blanks on the right, cut to the width.
QString fit(const QString &text, int width) { return text.leftJustified(width, ' ', true); }

}  // namespace

Terminal::Terminal(Kind kind, const QString &programFolder)
    : m_folder(Folders::withSeparator(programFolder) + "simuladores/"), m_kind(kind)
{
}

QString Terminal::stateFile() const { return m_folder + kindName(m_kind) + ".ini"; }

bool Terminal::connected() const
{
    return IniFile(stateFile()).readBool("TERMINAL", "CONECTADO", true);
}

void Terminal::setConnected(bool connected)
{
    IniFile(stateFile()).writeBool("TERMINAL", "CONECTADO", connected);
}

QString Terminal::identifier() const
{
    return IniFile(stateFile()).readString("TERMINAL", "ID", defaultIdentifier(m_kind));
}

void Terminal::setIdentifier(const QString &id)
{
    IniFile(stateFile()).writeString("TERMINAL", "ID", id);
}

QDateTime Terminal::now() const
{
    const int offset = IniFile(stateFile()).readInteger("TERMINAL", "DESVIO", 0);
    return SystemServices::now().addSecs(offset);
}

void Terminal::setClock(const QDateTime &terminalNow)
{
    IniFile(stateFile())
        .writeInteger("TERMINAL", "DESVIO", int(SystemServices::now().secsTo(terminalNow)));
}

QList<Touch> Terminal::memory() const
{
    QList<Touch> touches;
    QFile f(m_folder + kindName(m_kind) + "-memoria.txt");
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return touches;
    QStringList lines;
    while (!f.atEnd())
        lines << QString::fromUtf8(f.readLine()).trimmed();
    return parseTouches(lines, nullptr);
}

void Terminal::setMemory(const QList<Touch> &touches)
{
    QStringList lines;
    for (const Touch &t : touches)
        lines << t.code + ' ' + t.touched.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) + ' ' +
                     t.type;
    QDir().mkpath(m_folder);
    writeLines(m_folder + kindName(m_kind) + "-memoria.txt", lines);
}

void Terminal::add(const QList<Touch> &touches) { setMemory(memory() + touches); }

void Terminal::erase() { setMemory({}); }

QStringList Terminal::lumetDump(const QDateTime &downloaded) const
{
    const QString id = identifier();
    QStringList lines;
    lines << "H " + downloaded.toString(QStringLiteral("yyyyMMddhhmmss")) + " 00 " + fit(id, 10);
    for (const Touch &t : memory())
        lines << ' ' + t.touched.toString(QStringLiteral("yyyyMMddhhmmss")) + ' ' + fit(t.type, 2) +
                     QString(7, ' ') + fit(t.code, 6) + ' ' + fit(id, 6);
    lines << QStringLiteral("T 000");
    return lines;
}

QStringList Terminal::watchDump() const
{
    QStringList lines;
    lines << "H" + QString(19, ' ') + fit(identifier().rightJustified(6, '0'), 6);
    int n = 0;
    for (const Touch &t : memory())
        lines << QStringLiteral("%1").arg(++n % 10000, 4, 10, QChar('0')) +
                     t.touched.toString(QStringLiteral("yyyyMMddhhmmss")) + ' ' + fit(t.type, 2) +
                     QString(7, ' ') + fit(t.code, 6);
    lines << QStringLiteral("T");
    return lines;
}

QStringList Terminal::vigiaFile() const
{
    QStringList lines;
    for (const Touch &t : memory())
        lines << QString(6, '0') + fit(t.code, 6) + ' ' +
                     t.touched.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
    return lines;
}

QList<Touch> parseTouches(const QStringList &lines, QStringList *errors)
{
    QList<Touch> touches;
    int number = 0;
    for (const QString &raw : lines) {
        ++number;
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
        QDateTime when;
        if (parts.size() >= 3) {
            const QString text = parts[1] + ' ' + parts[2];
            when = QDateTime::fromString(text, QStringLiteral("dd/MM/yyyy hh:mm:ss"));
            if (!when.isValid())
                when = QDateTime::fromString(text, QStringLiteral("dd/MM/yyyy hh:mm"));
        }
        const QString code = parts.value(0).toUpper();
        static const QRegularExpression hex(QStringLiteral("^[0-9A-F]{1,6}$"));
        if (!when.isValid() || !hex.match(code).hasMatch()) {
            if (errors)
                *errors << QStringLiteral("linha %1: \"%2\"").arg(number).arg(raw);
            continue;
        }
        Touch t{code.rightJustified(6, '0'), when};
        if (parts.size() >= 4)
            t.type = parts[3].left(2);
        touches << t;
    }
    return touches;
}

bool writeLines(const QString &path, const QStringList &lines)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const QString &line : lines)
        f.write((line + "\r\n").toLatin1());
    return f.commit();
}

namespace {

class LumetSimulator : public LumetLibrary {
public:
    explicit LumetSimulator(const QString &folder)
        : m_program(Folders::withSeparator(folder)), m_terminal(Kind::Lumet, folder)
    {
    }
    int isAnswering(int, const QString &) override { return m_terminal.connected() ? 0 : 1; }
    int download(int, const QString &, const QString &path) override
    {
        if (!m_terminal.connected())
            return 2;
        return writeLines(path, m_terminal.lumetDump(m_terminal.now())) ? 0 : 3;
    }
    int afterDownload(int, const QString &) override
    {
        if (!m_terminal.connected())
            return 2;
        m_terminal.erase();
        return 0;
    }
    int setClock(int, const QString &, const QString &dateTime) override
    {
        const QDateTime when =
            QDateTime::fromString(dateTime, QStringLiteral("dd/MM/yyyy hh:mm:ss"));
        if (!m_terminal.connected() || !when.isValid())
            return 2;
        m_terminal.setClock(when);
        return 0;
    }

private:
    QString m_program;
    Terminal m_terminal;
    QString simulator() const override { return QStringLiteral("simulador do Lumet"); }
};

class WatchSimulator : public WatchLibrary {
public:
    explicit WatchSimulator(const QString &folder)
        : m_program(Folders::withSeparator(folder)), m_terminal(Kind::Watch, folder)
    {
    }
    int AwakenTX(int, const QString &) override { return m_terminal.connected() ? 1 : 0; }
    int InquirID(int, const QString &) override { return m_terminal.identifier().toInt(); }
    int SetWatchTime(int, const QString &, int year2, int month, int day, int hour, int minute,
                     int second) override
    {
        const QDateTime when(QDate(2000 + year2, month, day), QTime(hour, minute, second));
        if (!m_terminal.connected() || !when.isValid())
            return 0;
        m_terminal.setClock(when);
        return 1;
    }
    int GetWatchData(int, const QString &) override
    {
        if (!m_terminal.connected())
            return 0;
        return writeLines(m_program + "watch.dat", m_terminal.watchDump()) ? 1 : 0;
    }
    int DeleteData(int, const QString &) override
    {
        if (!m_terminal.connected())
            return 0;
        m_terminal.erase();
        return 1;
    }

private:
    QString m_program;
    Terminal m_terminal;
    QString simulator() const override { return QString::fromUtf8("simulador do Vigia Bastão Novo"); }
};

}  // namespace

std::unique_ptr<LumetLibrary> lumet(const QString &programFolder)
{
    return std::make_unique<LumetSimulator>(programFolder);
}

std::unique_ptr<WatchLibrary> watch(const QString &programFolder)
{
    return std::make_unique<WatchSimulator>(programFolder);
}

}  // namespace TerminalSimulator
