#include "collection/Ingest.h"

#include "collection/ClassifyIdentifier.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"
#include "core/db/Sql.h"
#include "platform/DateTimeText.h"
#include "platform/Folders.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

using namespace DumpFormats;

namespace {

const QString kInsert = QStringLiteral(
    "insert into desctot (coletor, data_descarga, data_toque, button, tipo_button, "
    "codigo_roteiro,codigo_func) values\n"
    "(:pcoletor, :pdata_descarga, :pdata_toque, :pbutton, :ptipo_button, :pcodigo_roteiro,"
    ":pcodigo_func)");

// The server keeps whole seconds; cutting here rather than letting it round keeps the stored
// moment the one written in the backup and the working table. Like the touch times, the
// moment is kept as its wall-clock fields without a zone, which is how it is written and
// bound, and costs no time-zone lookup when it is taken for every touch.
QDateTime wholeSeconds(const QDateTime &moment)
{
    const QTime time = moment.time();
    return QDateTime(moment.date(), QTime(time.hour(), time.minute(), time.second()), Qt::UTC);
}

QDateTime now() { return wholeSeconds(SystemServices::now()); }

// The current moment for a model that stamps every record with it. Each reading of the local
// clock pays a time-zone lookup; between readings a quarter of a second apart the monotonic
// timer carries the last reading forward, so every touch still gets the moment it is stored.
class MomentClock {
public:
    QDateTime now()
    {
        if (!m_since.isValid() || m_since.elapsed() >= 250) {
            const QDateTime reading = SystemServices::now();
            m_reading = QDateTime(reading.date(), reading.time(), Qt::UTC);
            m_since.start();
            return wholeSeconds(m_reading);
        }
        return wholeSeconds(m_reading.addMSecs(m_since.elapsed()));
    }

private:
    QDateTime m_reading;
    QElapsedTimer m_since;
};

bool isBlank(const QString &line) { return line.trimmed().isEmpty(); }

QString text(const QVariant &value) { return value.isNull() ? QString() : value.toString(); }

// The monthly backup is opened, appended to and closed by each collection, so a copy never
// depends on the database being reachable.
bool appendLines(const QString &path, const QStringList &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return file.write(bytes) == bytes.size() && file.flush();
}

bool writeLines(const QString &path, const QStringList &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return file.write(bytes) == bytes.size();
}

struct InsertFailed {
    QString text;
    bool connectionLost = false;
};

}  // namespace

// One touch as pass 2 stores it.
struct Touch {
    QString identifier;
    QString type;
    QString storedCollector;  // desctot.coletor
    QString shownCollector;   // tmpdesc.coletor
    QString sequencial;
    QDateTime downloaded;
    QVariant touchedBinding;  // text or date-time, as the model binds it
    QDateTime touched;
};

// Pass 2 of one dump: the attribution variables, the registry answers, the prepared insert
// and the working table.
class Ingest::Session {
public:
    Session(TdmzDados &dm, bool q90) : m_dm(dm), m_q90(q90), m_lookups(dm.db()),
          m_table(dm.tempFolder(), QString::fromLatin1(TmpDesc::kName)) {}

    // Empty on success, else why the ingest cannot start.
    QString open()
    {
        if (!m_table.open() && !TmpDesc::recreate(m_dm))
            return m_table.lastError();
        if (!m_table.isOpen() && !m_table.open())
            return m_table.lastError();
        m_insert = QSqlQuery(m_dm.db());
        if (!m_insert.prepare(kInsert))
            return Sql::describe(m_insert.lastError());
        return {};
    }

    // A header: the collector's programming, or nothing when it is not registered.
    void header(const QString &collector)
    {
        m_route.clear();
        m_func.clear();
        if (m_lookups.CountByField(collector, "codigo_coletor", "coletor") > 0) {
            const auto row = m_lookups.FindByField(collector, "codigo_coletor", "coletor");
            if (row) {
                m_func = text(row->value("codigo_func"));
                m_route = text(row->value("codigo_roteiro"));
            }
        }
    }

    // A route reference wins over a collaborator memory; the touch that switches a variable is
    // itself attributed with the new value. Throws DbError (lookups) or InsertFailed.
    void store(const Touch &touch)
    {
        const Effect &e = effect(touch.identifier);
        if (e.route)
            m_route = *e.route;
        else if (e.func)
            m_func = *e.func;
        m_table.append();
        m_table.setValue("sequencial", touch.sequencial);
        m_table.setValue("coletor", touch.shownCollector);
        m_table.setValue("data_descarga", momentText(touch.downloaded, m_lastDownloaded, m_downloadedText));
        m_table.setValue("button", touch.identifier);
        m_table.setValue("data_toque", DateTimeText::toText(touch.touched));
        m_table.setValue("tipo_button", touch.type);
        m_table.setValue("descricao", e.description);
        m_table.post();

        m_insert.bindValue(":pcoletor", QVariant(touch.storedCollector));
        m_insert.bindValue(":pdata_descarga", QVariant(touch.downloaded));
        m_insert.bindValue(":pdata_toque", touch.touchedBinding);
        m_insert.bindValue(":pbutton", QVariant(touch.identifier));
        m_insert.bindValue(":ptipo_button", QVariant(touch.type));
        m_insert.bindValue(":pcodigo_roteiro", codeBinding(m_route));
        m_insert.bindValue(":pcodigo_func", codeBinding(m_func));
        if (!m_insert.exec()) {
            const QSqlError error = m_insert.lastError();
            throw InsertFailed{Sql::describe(error), Sql::isConnectionLost(error)};
        }
    }

    // Closed and opened again, so whoever reads it next sees every row.
    void reopenTable()
    {
        m_table.close();
        m_table.open();
    }

private:
    // What touching an identifier does to the variables, and its description, worked out at
    // its first touch in this ingest.
    struct Effect {
        std::optional<QString> route;
        std::optional<QString> func;
        QString description;
    };

    const Effect &effect(const QString &identifier)
    {
        if (const auto it = m_effects.constFind(identifier); it != m_effects.constEnd())
            return it.value();
        Effect e;
        if (m_lookups.CountByField(identifier, "button_referencia", "roteiros") >= 1) {
            const auto row = m_lookups.FindByField(identifier, "button_referencia", "roteiros");
            e.route = row ? text(row->value("codigo_roteiro")) : QString();
        } else if (m_lookups.CountByField(identifier, "memoria", "funcs") > 0) {
            const auto row = m_lookups.FindByField(identifier, "memoria", "funcs");
            e.func = row ? text(row->value("codigo_func")) : QString();
        }
        e.description = m_lookups.ClassifyIdentifier(identifier);
        return m_effects.insert(identifier, e).value();
    }

    // Texts of the working table, remembered while the same moment repeats.
    const QString &momentText(const QDateTime &moment, QDateTime &last, QString &text)
    {
        if (moment != last) {
            last = moment;
            text = DateTimeText::toText(moment);
        }
        return text;
    }

    QVariant codeBinding(const QString &code) const
    {
        if (m_q90)
            return code.isEmpty() ? QVariant(QStringLiteral("0")) : QVariant(code);
        bool whole = false;
        code.toLongLong(&whole);
        return whole ? QVariant(code) : QVariant(0);
    }

    TdmzDados &m_dm;
    bool m_q90;
    RegistryLookups m_lookups;
    LocalTable m_table;
    QSqlQuery m_insert;
    QString m_route;
    QString m_func;
    QHash<QString, Effect> m_effects;
    QDateTime m_lastDownloaded;
    QString m_downloadedText;
};

Ingest::Ingest(TdmzDados &dm, IngestCallbacks callbacks)
    : m_dm(dm), m_callbacks(std::move(callbacks)) {}

void Ingest::log(const QString &line) const
{
    if (m_callbacks.log)
        m_callbacks.log(line);
}

bool Ingest::ensureBackupFolder()
{
    const QString folder = Folders::backupFolder();
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return true;
    Msg::information(QStringLiteral("Falha ao criar diretório de backup de coletas. Favor criar "
                                    "manualmente: \"%1\"").arg(QDir::toNativeSeparators(QDir::cleanPath(folder))));
    return false;
}

void Ingest::reportFailure(const QString &error, const IngestResult &result, const QString &dumpPath)
{
    log(error);
    Msg::error(QStringLiteral("%1\n\nToques gravados: %2 de %3. O arquivo %4 foi mantido.")
                   .arg(error)
                   .arg(result.stored)
                   .arg(result.touches)
                   .arg(QDir::toNativeSeparators(dumpPath)));
}

void Ingest::finish(Session &session, IngestResult &result, const QString &dumpPath,
                    bool deleteDump, bool reviewAlways)
{
    session.reopenTable();
    if (result.skipped > 0)
        log(QStringLiteral("Linhas inválidas ignoradas: %1").arg(result.skipped));
    if (result.failed)
        return;
    if (deleteDump && result.stored == result.touches)
        result.dumpDeleted = QFile::remove(dumpPath);
    if ((reviewAlways || result.stored > 0) && m_callbacks.showReview) {
        m_callbacks.showReview();
        result.reviewShown = true;
    }
}

namespace {

// The dump's lines, or nullopt (with the user told) when it exists but cannot be read.
std::optional<QStringList> readDump(const QString &path)
{
    auto lines = readLines(path);
    if (!lines)
        Msg::error(QStringLiteral("Não foi possível ler o arquivo %1").arg(QDir::toNativeSeparators(path)));
    return lines;
}

bool writeBackup(const QString &path, const QStringList &lines)
{
    if (appendLines(path, lines))
        return true;
    Msg::error(QStringLiteral("Não foi possível gravar o arquivo de backup %1")
                   .arg(QDir::toNativeSeparators(path)));
    return false;
}

}  // namespace

void Ingest::storeTouches(IngestResult &result, const QString &path, const QStringList &lines,
                          bool reviewAlways,
                          const std::function<bool(Session &, const QString &)> &storeLine)
{
    Session session(m_dm, false);
    if (const QString error = session.open(); !error.isEmpty()) {
        result.failed = true;
        reportFailure(error, result, path);
        return;
    }
    try {
        for (const QString &line : lines)
            if (storeLine(session, line))
                ++result.stored;
    } catch (const DbError &e) {
        result.failed = true;
        reportFailure(e.text(), result, path);
    } catch (const InsertFailed &e) {
        result.failed = true;
        reportFailure(e.text, result, path);
    }
    finish(session, result, path, true, reviewAlways);
}

IngestResult Ingest::IngestTerminalDump(const QString &path)
{
    IngestResult result;
    if (!QFileInfo::exists(path) || !ensureBackupFolder())
        return result;
    const auto lines = readDump(path);
    if (!lines)
        return result;

    // Pass 1: a backup header wherever the terminal named on the touch lines changes.
    QStringList backup;
    QDateTime headerTime;
    QString previousTerminal;
    for (const QString &line : *lines) {
        if (line.startsWith(u'H')) {
            headerTime = parseTerminalHeader(line).downloaded;
        } else if (!line.startsWith(u'T') && !isBlank(line)) {
            const auto touch = parseTerminalTouch(line);
            if (!touch) {
                ++result.skipped;
                continue;
            }
            if (touch->terminal != previousTerminal) {
                if (!backup.isEmpty())
                    backup << QString();
                backup << backupHeader(DateTimeText::toText(headerTime), touch->terminal, false);
                previousTerminal = touch->terminal;
            }
            backup << touch->backupLine;
            ++result.touches;
        }
    }
    backup << QString();
    if (!writeBackup(backupFilePath(SystemServices::now(), true), backup))
        return result;
    result.ran = true;

    QString headerTerminal;
    MomentClock clock;
    storeTouches(result, path, *lines, false, [&](Session &session, const QString &line) {
        if (line.startsWith(u'H')) {
            const TerminalHeader header = parseTerminalHeader(line);
            headerTerminal = header.terminal;
            session.header(headerTerminal);
            log(QStringLiteral("Coletor: ") + headerTerminal + QStringLiteral(" Descarga: ") +
                paramText(header.downloaded));
            return false;
        }
        if (line.startsWith(u'T') || isBlank(line))
            return false;
        const auto parsed = parseTerminalTouch(line);
        if (!parsed)
            return false;
        Touch touch;
        touch.identifier = parsed->identifier;
        touch.type = parsed->type;
        touch.storedCollector = headerTerminal;
        touch.shownCollector = parsed->terminal.isEmpty() ? headerTerminal : parsed->terminal;
        touch.downloaded = clock.now();
        touch.touched = parsed->touched;
        touch.touchedBinding = QVariant(paramText(parsed->touched));
        session.store(touch);
        return true;
    });
    return result;
}

IngestResult Ingest::IngestWatchData(const QString &path)
{
    IngestResult result;
    if (!QFileInfo::exists(path) || !ensureBackupFolder())
        return result;
    const auto lines = readDump(path);
    if (!lines)
        return result;
    const QDateTime started = now();

    // Pass 1: one header naming the collector of the first line.
    QStringList backup;
    backup << backupHeader(started.toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                           lines->isEmpty() ? QString() : field(lines->first(), 21, 26), false);
    QString collector;
    for (const QString &line : *lines) {
        if (line.startsWith(u'H')) {
            collector = watchHeaderCollector(line);
        } else if (!line.startsWith(u'T') && !isBlank(line)) {
            const auto touch = parseWatchTouch(line);
            if (!touch) {
                ++result.skipped;
                continue;
            }
            backup << fullText(touch->touched) + QStringLiteral(" 000000") + touch->identifier +
                          u' ' + collector;
            ++result.touches;
        }
    }
    backup << QString();
    if (!writeBackup(backupFilePath(started, true), backup))
        return result;
    result.ran = true;

    collector.clear();
    storeTouches(result, path, *lines, false, [&](Session &session, const QString &line) {
        if (line.startsWith(u'H')) {
            collector = watchHeaderCollector(line);
            session.header(collector);
            log(QStringLiteral("Coletor: ") + collector + QStringLiteral(" Descarga: ") +
                paramText(started));
            return false;
        }
        if (line.startsWith(u'T') || isBlank(line))
            return false;
        const auto parsed = parseWatchTouch(line);
        if (!parsed)
            return false;
        Touch touch;
        touch.identifier = parsed->identifier;
        touch.type = parsed->type;
        touch.storedCollector = collector;
        touch.shownCollector = collector;
        touch.downloaded = started;
        touch.touched = parsed->touched;
        touch.touchedBinding = QVariant(paramText(parsed->touched));
        session.store(touch);
        return true;
    });
    return result;
}

IngestResult Ingest::IngestVigiaFile(const QString &path, const QString &collector)
{
    IngestResult result;
    if (!QFileInfo::exists(path) || !ensureBackupFolder())
        return result;
    const auto lines = readDump(path);
    if (!lines)
        return result;
    TmpDesc::recreate(m_dm);
    const QDateTime started = now();

    // Pass 1: no terminal is named in this file.
    QStringList backup;
    backup << backupHeader(DateTimeText::toText(started), QString(), false);
    for (const QString &line : *lines) {
        if (isBlank(line))
            continue;
        const auto touch = parseVigiaTouch(line);
        if (!touch) {
            ++result.skipped;
            continue;
        }
        backup << fullText(touch->touched) + u' ' + touch->field;
        ++result.touches;
    }
    backup << QString();
    if (!writeBackup(backupFilePath(started, true), backup))
        return result;
    result.ran = true;

    storeTouches(result, path, *lines, true, [&](Session &session, const QString &line) {
        const auto parsed = isBlank(line) ? std::nullopt : parseVigiaTouch(line);
        if (!parsed)
            return false;
        Touch touch;
        touch.identifier = parsed->identifier;
        touch.type = QStringLiteral("01");
        touch.storedCollector = collector;
        touch.shownCollector = collector;
        touch.downloaded = started;
        touch.touched = wholeSeconds(parsed->touched);
        touch.touchedBinding = QVariant(touch.touched);
        session.store(touch);
        return true;
    });
    return result;
}

IngestResult Ingest::ConvertAndIngestQ90Listing(const QString &collector, const QString &listingPath)
{
    IngestResult result;
    if (!QFileInfo::exists(listingPath) || !ensureBackupFolder())
        return result;
    const auto listing = readDump(listingPath);
    if (!listing)
        return result;

    // The conversion: DATA.TMD in the terminal dump's layout, and the backup copy.
    const QDateTime converted = now();
    QStringList dump;
    QStringList backup{QString()};
    for (int i = 0; i < listing->size(); ++i) {
        const QString &line = listing->at(i);
        log(line);
        if (i == 4) {
            const QString terminal = q90Terminal(line);
            dump << q90DumpHeader(converted, terminal);
            backup << backupHeader(fullText(converted), terminal, true);
        } else if (i >= 9 && !isBlank(line)) {
            const auto touch = parseQ90ListingTouch(line);
            if (!touch) {
                ++result.skipped;
                continue;
            }
            dump << q90DumpTouch(*touch);
            backup << q90BackupTouch(*touch);
        }
    }
    if (!writeBackup(backupFilePath(converted, false), backup))
        return result;
    log(QString());
    log(QStringLiteral("Fim da comunicação"));
    dump << QStringLiteral("T 000");
    const QString dumpPath = q90DumpPath();
    if (!writeLines(dumpPath, dump)) {
        Msg::error(QStringLiteral("Não foi possível gravar o arquivo %1").arg(QDir::toNativeSeparators(dumpPath)));
        return result;
    }
    QFile::remove(q90ScratchPath());

    // Pass 2 on DATA.TMD, under the collector the user chose.
    const auto lines = readDump(dumpPath);
    if (!lines)
        return result;
    for (const QString &line : *lines)
        if (!line.startsWith(u'H') && !line.startsWith(u'T') && parseTerminalTouch(line))
            ++result.touches;
    result.ran = true;

    Session session(m_dm, true);
    if (const QString error = session.open(); !error.isEmpty()) {
        result.failed = true;
        log(error);
        return result;
    }
    try {
        QDateTime downloaded = converted;
        int sequence = 0;
        for (const QString &line : *lines) {
            if (line.startsWith(u'H')) {
                if (const QDateTime stamp = parseTerminalHeader(line).downloaded; stamp.isValid())
                    downloaded = stamp;
                session.header(collector);
                continue;
            }
            if (line.startsWith(u'T') || isBlank(line))
                continue;
            const auto parsed = parseTerminalTouch(line);
            if (!parsed)
                continue;
            Touch touch;
            touch.sequencial = QStringLiteral("%1").arg(++sequence, 6, 10, QChar(u'0'));
            touch.identifier = parsed->identifier;
            touch.type = parsed->type;
            touch.storedCollector = collector;
            touch.shownCollector = collector;
            touch.downloaded = downloaded;
            touch.touched = parsed->touched;
            touch.touchedBinding = QVariant(parsed->touched);
            try {
                session.store(touch);
                ++result.stored;
            } catch (const InsertFailed &e) {
                // A record the server refuses is reported and the next one tried; a server
                // that is gone would refuse them all, so the ingest ends there.
                if (e.connectionLost)
                    throw;
                Msg::error(e.text);
            }
        }
    } catch (const InsertFailed &e) {
        result.failed = true;
        reportFailure(e.text, result, dumpPath);
    } catch (const DbError &e) {
        result.failed = true;
        log(e.text());
    }
    finish(session, result, dumpPath, false, true);
    return result;
}
