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
#include <QSaveFile>
#include <QSet>
#include <QSqlQuery>
#include <QTimeZone>

#include <unistd.h>

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

// A line of blanks, or the end-of-file mark that DOS programs leave.
bool isBlank(const QString &line)
{
    const QString t = line.trimmed();
    return t.isEmpty() || t == QStringLiteral("\x1a");
}

QString text(const QVariant &value) { return value.isNull() ? QString() : value.toString(); }

// A collector code is stored as text even when the dump names none: an empty text, never NULL,
// which no per-collector report would ever find.
QVariant collectorBinding(const QString &code)
{
    return QVariant(code.isNull() ? QString::fromLatin1("") : code);
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

        m_insert.bindValue(":pcoletor", collectorBinding(touch.storedCollector));
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

    // After a failure the working table must not show touches that were not stored.
    void emptyTable()
    {
        m_table.close();
        TmpDesc::recreate(m_dm);
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


namespace {

enum class LineKind { Other, Touch, Unreadable };

// Appends text lines (CR LF) to a file, gathered in memory a few thousand lines at a time, so a
// large dump never stands whole in memory. A writer made with `write` false writes nothing.
class LineWriter {
public:
    LineWriter(const QString &path, bool write) : m_file(path), m_write(write) {}
    void add(const QByteArray &bytes)
    {
        if (!m_write)
            return;
        m_pending += bytes;
        m_pending += "\r\n";
        if (m_pending.size() > (1 << 20))
            flush();
    }
    void add(const QString &line) { add(line.toUtf8()); }
    bool flush()
    {
        if (!m_write || m_pending.isEmpty())
            return m_ok;
        if (!m_file.isOpen() && !m_file.open(QIODevice::WriteOnly | QIODevice::Append))
            m_ok = false;
        if (m_ok && m_file.write(m_pending) != m_pending.size())
            m_ok = false;
        m_pending.clear();
        return m_ok;
    }
    // Everything written and on disk.
    bool close()
    {
        if (!flush())
            return false;
        if (m_file.isOpen()) {
            m_ok = m_file.flush() && ::fsync(m_file.handle()) == 0;
            m_file.close();
        }
        return m_ok;
    }
    QString path() const { return m_file.fileName(); }

private:
    QFile m_file;
    bool m_write;
    bool m_ok = true;
    QByteArray m_pending;
};

// What identifies one dump on disk between two attempts: a terminal that writes its file again
// changes its size or its modification time.
QString signature(const QString &path)
{
    const QFileInfo info(path);
    return QStringLiteral("%1 %2").arg(info.size()).arg(
        info.lastModified().toMSecsSinceEpoch());
}

// The mark left beside a dump once its backup copy is written, so a retry does not copy it again.
QString copiedMarkPath(const QString &dumpPath) { return dumpPath + QStringLiteral(".copiado"); }

bool alreadyCopied(const QString &dumpPath)
{
    QFile mark(copiedMarkPath(dumpPath));
    return mark.open(QIODevice::ReadOnly) && QString::fromUtf8(mark.readAll()) == signature(dumpPath);
}

void markCopied(const QString &dumpPath)
{
    QSaveFile mark(copiedMarkPath(dumpPath));
    if (mark.open(QIODevice::WriteOnly)) {
        mark.write(signature(dumpPath).toUtf8());
        mark.commit();
    }
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// A free name in the backup folder for a dump that is moved aside.
QString setAsidePath(const QString &dumpPath, const QDateTime &moment)
{
    const QString base = Folders::backupFolder() + QFileInfo(dumpPath).fileName() +
                         QStringLiteral(".separado-") + moment.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString path = base;
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = base + QStringLiteral("-%1").arg(n);
    return path;
}

// The touches of one download that an earlier download of the same collector already holds
// (same identifier, same moment): a terminal that was not erased gives them again. They are
// stored, as they were touched, and counted so the user knows. Keys are gathered while storing;
// the earlier touches are read once per collector over the download's time span, and only rows
// stored before this download began count.
class RepeatCount {
public:
    void begin(const QSqlDatabase &db)
    {
        m_db = db;
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("select coalesce(max(cod), 0) from desctot")) && q.next())
            m_lastBefore = q.value(0).toLongLong();
    }
    void add(const QString &collector, const QString &identifier, const QDateTime &touched)
    {
        Span &span = m_spans[collector];
        span.keys.insert(key(identifier, touched.date(), touched.time()));
        if (!span.first.isValid() || touched < span.first)
            span.first = touched;
        if (!span.last.isValid() || touched > span.last)
            span.last = touched;
    }
    // Throws DbError.
    int count() const
    {
        int repeated = 0;
        for (auto it = m_spans.cbegin(); it != m_spans.cend(); ++it) {
            QSqlQuery q = Sql::exec(m_db,
                                    QStringLiteral("select button, data_toque from desctot where "
                                                   "coletor = :c and data_toque between :a and :b "
                                                   "and cod <= :m"),
                                    {{"c", collectorBinding(it.key())},
                                     {"a", paramText(it->first)},
                                     {"b", paramText(it->last)},
                                     {"m", m_lastBefore}});
            QSet<QString> seen;
            while (q.next()) {
                const QDateTime t = q.value(1).toDateTime();
                const QString k = key(q.value(0).toString(), t.date(), t.time());
                if (it->keys.contains(k) && !seen.contains(k)) {
                    seen.insert(k);
                    ++repeated;
                }
            }
        }
        return repeated;
    }

private:
    static QString key(const QString &identifier, const QDate &date, const QTime &time)
    {
        return identifier.trimmed() + u'|' + date.toString(Qt::ISODate) + u' ' +
               time.toString(QStringLiteral("hh:mm:ss"));
    }
    struct Span {
        QSet<QString> keys;
        QDateTime first, last;
    };
    QSqlDatabase m_db;
    qlonglong m_lastBefore = 0;
    QHash<QString, Span> m_spans;
};

}  // namespace

// One terminal model as the two passes see it.
struct Ingest::Model {
    QString dumpPath;            // the file the terminal left
    QString storePath;           // read by pass 2; the dump itself except for the Q90
    QString backupPath;          // the monthly copy
    bool q90 = false;
    bool deleteDump = true;      // a complete ingest deletes the dump
    bool reviewAlways = false;
    // Lines read as they stand, control characters and all (the Q90 listing's header lines).
    std::function<bool(int index)> freeText;
    // Pass 1: the backup lines before the first line, for each line (which also says what the
    // line is), and after the last one (`anyLine` false for an empty dump).
    std::function<void(LineWriter &copy)> copyStart;
    // `readable` false: the line has control characters and is unreadable whatever it holds.
    std::function<LineKind(int index, const QString &line, bool readable, LineWriter &copy)> copyLine;
    std::function<void(LineWriter &copy, bool anyLine)> copyEnd;
    // Between the passes; an error text stops the ingest.
    std::function<QString()> afterCopy;
    // Pass 2: true with `touch` filled for a touch line; headers act on the session.
    std::function<bool(Session &session, int index, const QString &line, Touch &touch)> storeLine;
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
                                    "manualmente: \"%1\"").arg(native(QDir::cleanPath(folder))));
    return false;
}

void Ingest::reportFailure(const QString &error, const IngestResult &result, const QString &dumpPath)
{
    log(error);
    Msg::error(QStringLiteral("%1\n\nNenhum dos %2 toques desta descarga foi gravado. O arquivo %3 "
                              "foi mantido para uma nova tentativa.")
                   .arg(error)
                   .arg(result.touches)
                   .arg(native(dumpPath)));
}

IngestResult Ingest::run(const QString &path, Model &model)
{
    IngestResult result;
    model.dumpPath = path;
    if (model.storePath.isEmpty())
        model.storePath = path;
    if (!QFileInfo::exists(path))
        return result;
    if (!ensureBackupFolder()) {
        result.failed = true;
        return result;
    }
    const auto readable = [&](int index, const QString &line) {
        return (model.freeText && model.freeText(index)) || !hasControlCharacters(line) ||
               isBlank(line);
    };

    // Pass 1: the backup copy; unreadable lines are copied as read and kept apart.
    DumpReader reader(path);
    if (const QString error = reader.open(); !error.isEmpty()) {
        result.failed = true;
        log(error);
        Msg::error(error);
        return result;
    }
    const bool copied = alreadyCopied(path);
    if (copied)
        log(QStringLiteral("A cópia de segurança desta descarga já foi gravada numa tentativa "
                           "anterior."));
    const QDateTime started = now();
    LineWriter copy(model.backupPath, !copied);
    const QString rejectsPath = Folders::backupFolder() + QStringLiteral("ro") +
                                started.toString(QStringLiteral("yyyyMM")) +
                                QStringLiteral("-rejeitadas.txt");
    LineWriter rejects(rejectsPath, !copied);
    if (model.copyStart)
        model.copyStart(copy);
    QString line;
    QByteArray raw;
    int index = 0;
    for (; reader.next(line, raw); ++index) {
        const bool clean = readable(index, line);
        const LineKind kind = model.copyLine(index, line, clean, copy);
        if (kind == LineKind::Touch && clean) {
            ++result.touches;
        } else if (kind == LineKind::Unreadable || !clean) {
            if (result.rejected++ == 0)
                rejects.add(QStringLiteral("ARQUIVO: %1 LIDO EM: %2").arg(native(path), fullText(started)));
            rejects.add(raw);
            copy.add(QStringLiteral("LINHA NÃO GRAVADA: ") + printable(line));
        }
    }
    if (!reader.error().isEmpty()) {
        result.failed = true;
        log(reader.error());
        Msg::error(reader.error());
        return result;
    }
    if (model.copyEnd)
        model.copyEnd(copy, index > 0);
    if (result.rejected > 0)
        rejects.add(QByteArray());
    if (!copy.close()) {
        result.failed = true;
        Msg::error(QStringLiteral("Não foi possível gravar o arquivo de backup %1").arg(native(copy.path())));
        return result;
    }
    if (!rejects.close())
        log(QStringLiteral("Não foi possível gravar o arquivo %1").arg(native(rejectsPath)));
    if (!copied)
        markCopied(path);
    result.ran = true;
    if (model.afterCopy) {
        if (const QString error = model.afterCopy(); !error.isEmpty()) {
            result.failed = true;
            Msg::error(error);
            return result;
        }
    }

    // Pass 2: every touch in one transaction.
    Session session(m_dm, model.q90);
    QString failure;
    QString firstRefusal;
    if (failure = session.open(); failure.isEmpty()) {
        Sql::Transaction transaction(m_dm.db());
        RepeatCount repeats;
        repeats.begin(m_dm.db());
        DumpReader store(model.storePath);
        if (!transaction.active())
            failure = QStringLiteral("Não foi possível iniciar a gravação no banco de dados.");
        else
            failure = store.open();
        try {
            for (int i = 0; failure.isEmpty() && store.next(line, raw); ++i) {
                Touch touch;
                if (!readable(i, line) || !model.storeLine(session, i, line, touch))
                    continue;
                try {
                    session.store(touch);
                    ++result.stored;
                    repeats.add(touch.storedCollector, touch.identifier, touch.touched);
                } catch (const InsertFailed &e) {
                    // A lost server refuses everything that follows; a refused row is counted
                    // so the user hears of every refusal at once.
                    if (e.connectionLost)
                        throw;
                    if (result.refused++ == 0)
                        firstRefusal = e.text;
                }
            }
            if (failure.isEmpty() && !store.error().isEmpty())
                failure = store.error();
            if (failure.isEmpty() && result.refused > 0)
                failure = QStringLiteral("O banco de dados recusou %1 dos %2 toques. Primeiro erro: %3")
                              .arg(result.refused).arg(result.touches).arg(firstRefusal);
            if (failure.isEmpty() && result.stored != result.touches)
                failure = QStringLiteral("O arquivo %1 mudou durante a gravação.").arg(native(model.storePath));
            if (failure.isEmpty())
                result.repeated = repeats.count();
            if (failure.isEmpty())
                transaction.commit();
        } catch (const InsertFailed &e) {
            failure = e.text;
        } catch (const DbError &e) {
            failure = e.text();
        }
    }
    if (!failure.isEmpty()) {
        result.failed = true;
        result.stored = 0;
        session.emptyTable();
        reportFailure(failure, result, path);
        return result;
    }
    session.reopenTable();
    if (result.repeated > 0) {
        m_dm.downloadNote = QString::fromUtf8("%1 dos %2 toques repetem uma descarga anterior deste "
                                              "coletor (o coletor não tinha sido apagado) e foram "
                                              "gravados de novo.")
                                .arg(result.repeated)
                                .arg(result.stored);
        log(m_dm.downloadNote);
    }

    if (result.rejected > 0) {
        // The readable touches are stored; the file goes where no ingest will read it again.
        result.setAsidePath = setAsidePath(path, started);
        QFile::remove(copiedMarkPath(path));
        if (!QFile::rename(path, result.setAsidePath))
            result.setAsidePath.clear();
        const QString kept = result.setAsidePath.isEmpty() ? native(path) : native(result.setAsidePath);
        log(QStringLiteral("Linhas não gravadas: %1").arg(result.rejected));
        Msg::warning(QStringLiteral("%1 linha(s) do arquivo %2 não puderam ser lidas e não foram "
                                    "gravadas; os outros %3 toques foram gravados.\n\nO arquivo foi "
                                    "guardado em %4 e as linhas não lidas em %5.")
                         .arg(result.rejected)
                         .arg(native(path))
                         .arg(result.stored)
                         .arg(kept, native(rejectsPath)));
    } else {
        QFile::remove(copiedMarkPath(path));
        if (model.deleteDump)
            result.dumpDeleted = QFile::remove(path);
    }
    if ((model.reviewAlways || result.stored > 0) && m_callbacks.showReview) {
        m_callbacks.showReview();
        result.reviewShown = true;
    }
    return result;
}

IngestResult Ingest::IngestTerminalDump(const QString &path)
{
    Model model;
    model.backupPath = backupFilePath(SystemServices::now(), true);

    // Pass 1: a backup header wherever the terminal named on the touch lines changes.
    QDateTime headerTime;
    QString previousTerminal;
    bool anyHeader = false;
    model.copyLine = [&](int, const QString &line, bool readable, LineWriter &copy) {
        if (!readable)
            return LineKind::Unreadable;
        if (line.startsWith(u'H')) {
            headerTime = parseTerminalHeader(line).downloaded;
            return LineKind::Other;
        }
        if (line.startsWith(u'T') || isBlank(line))
            return LineKind::Other;
        const auto touch = parseTerminalTouch(line);
        if (!touch)
            return LineKind::Unreadable;
        if (touch->terminal != previousTerminal) {
            if (anyHeader)
                copy.add(QString());
            copy.add(backupHeader(DateTimeText::toText(headerTime), touch->terminal, false));
            previousTerminal = touch->terminal;
            anyHeader = true;
        }
        copy.add(touch->backupLine);
        return LineKind::Touch;
    };
    model.copyEnd = [](LineWriter &copy, bool) { copy.add(QString()); };

    QString headerTerminal;
    MomentClock clock;
    model.storeLine = [&](Session &session, int, const QString &line, Touch &touch) {
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
        touch.identifier = parsed->identifier;
        touch.type = parsed->type;
        touch.storedCollector = headerTerminal;
        touch.shownCollector = parsed->terminal.isEmpty() ? headerTerminal : parsed->terminal;
        touch.downloaded = clock.now();
        touch.touched = parsed->touched;
        touch.touchedBinding = QVariant(paramText(parsed->touched));
        return true;
    };
    return run(path, model);
}

IngestResult Ingest::IngestWatchData(const QString &path)
{
    const QDateTime started = now();
    Model model;
    model.backupPath = backupFilePath(started, true);

    // Pass 1: one header naming the collector of the first line.
    QString collector;
    model.copyLine = [&](int index, const QString &line, bool readable, LineWriter &copy) {
        if (index == 0)
            copy.add(backupHeader(started.toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                                  printable(field(line, 21, 26)), false));
        if (!readable)
            return LineKind::Unreadable;
        if (line.startsWith(u'H')) {
            collector = watchHeaderCollector(line);
            return LineKind::Other;
        }
        if (line.startsWith(u'T') || isBlank(line))
            return LineKind::Other;
        const auto touch = parseWatchTouch(line);
        if (!touch)
            return LineKind::Unreadable;
        copy.add(fullText(touch->touched) + QStringLiteral(" 000000") + touch->identifier + u' ' +
                 collector);
        return LineKind::Touch;
    };
    model.copyEnd = [&](LineWriter &copy, bool anyLine) {
        if (!anyLine)
            copy.add(backupHeader(started.toString(QStringLiteral("dd/MM/yyyy hh:mm")), QString(), false));
        copy.add(QString());
        collector.clear();
    };
    model.storeLine = [&](Session &session, int, const QString &line, Touch &touch) {
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
        touch.identifier = parsed->identifier;
        touch.type = parsed->type;
        touch.storedCollector = collector;
        touch.shownCollector = collector;
        touch.downloaded = started;
        touch.touched = parsed->touched;
        touch.touchedBinding = QVariant(paramText(parsed->touched));
        return true;
    };
    return run(path, model);
}

IngestResult Ingest::IngestVigiaFile(const QString &path, const QString &collector)
{
    if (!QFileInfo::exists(path))
        return {};
    TmpDesc::recreate(m_dm);
    const QDateTime started = now();
    Model model;
    model.backupPath = backupFilePath(started, true);
    model.reviewAlways = true;

    // Pass 1: no terminal is named in this file.
    model.copyStart = [&](LineWriter &copy) {
        copy.add(backupHeader(DateTimeText::toText(started), QString(), false));
    };
    model.copyLine = [&](int, const QString &line, bool readable, LineWriter &copy) {
        if (!readable)
            return LineKind::Unreadable;
        if (isBlank(line))
            return LineKind::Other;
        const auto touch = parseVigiaTouch(line);
        if (!touch)
            return LineKind::Unreadable;
        copy.add(fullText(touch->touched) + u' ' + touch->field);
        return LineKind::Touch;
    };
    model.copyEnd = [](LineWriter &copy, bool) { copy.add(QString()); };
    model.storeLine = [&](Session &, int, const QString &line, Touch &touch) {
        const auto parsed = isBlank(line) ? std::nullopt : parseVigiaTouch(line);
        if (!parsed)
            return false;
        touch.identifier = parsed->identifier;
        touch.type = QStringLiteral("01");
        touch.storedCollector = collector;
        touch.shownCollector = collector;
        touch.downloaded = started;
        touch.touched = wholeSeconds(parsed->touched);
        touch.touchedBinding = QVariant(touch.touched);
        return true;
    };
    return run(path, model);
}

IngestResult Ingest::ConvertAndIngestQ90Listing(const QString &collector, const QString &listingPath)
{
    // The conversion: DATA.TMD in the terminal dump's layout, and the backup copy.
    const QDateTime converted = now();
    Model model;
    model.q90 = true;
    model.deleteDump = false;
    model.reviewAlways = true;
    model.backupPath = backupFilePath(converted, false);
    model.storePath = q90DumpPath();
    model.freeText = [](int index) { return index < 9; };

    QSaveFile dump(model.storePath);
    model.copyStart = [&](LineWriter &copy) {
        copy.add(QString());
        dump.open(QIODevice::WriteOnly);
    };
    const auto write = [&](const QString &line) { dump.write(line.toUtf8() + "\r\n"); };
    model.copyLine = [&](int index, const QString &line, bool readable, LineWriter &copy) {
        if (!readable)
            return LineKind::Unreadable;
        log(line);
        if (index == 4) {
            const QString terminal = printable(q90Terminal(line));
            write(q90DumpHeader(converted, terminal));
            copy.add(backupHeader(fullText(converted), terminal, true));
        } else if (index >= 9 && !isBlank(line)) {
            const auto touch = parseQ90ListingTouch(line);
            if (!touch)
                return LineKind::Unreadable;
            write(q90DumpTouch(*touch));
            copy.add(q90BackupTouch(*touch));
            return LineKind::Touch;
        }
        return LineKind::Other;
    };
    model.afterCopy = [&]() -> QString {
        log(QString());
        log(QStringLiteral("Fim da comunicação"));
        write(QStringLiteral("T 000"));
        if (!dump.commit())
            return QStringLiteral("Não foi possível gravar o arquivo %1").arg(native(model.storePath));
        QFile::remove(q90ScratchPath());
        return {};
    };

    // Pass 2 on DATA.TMD, under the collector the user chose.
    QDateTime downloaded = converted;
    int sequence = 0;
    model.storeLine = [&](Session &session, int, const QString &line, Touch &touch) {
        if (line.startsWith(u'H')) {
            if (const QDateTime stamp = parseTerminalHeader(line).downloaded; stamp.isValid())
                downloaded = stamp;
            session.header(collector);
            return false;
        }
        if (line.startsWith(u'T') || isBlank(line))
            return false;
        const auto parsed = parseTerminalTouch(line);
        if (!parsed)
            return false;
        touch.sequencial = QStringLiteral("%1").arg(++sequence, 6, 10, QChar(u'0'));
        touch.identifier = parsed->identifier;
        touch.type = parsed->type;
        touch.storedCollector = collector;
        touch.shownCollector = collector;
        touch.downloaded = downloaded;
        touch.touched = parsed->touched;
        touch.touchedBinding = QVariant(parsed->touched);
        return true;
    };
    return run(listingPath, model);
}
