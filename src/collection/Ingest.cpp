#include "collection/Ingest.h"

#include "collection/BatchInsert.h"
#include "collection/ClassifyIdentifier.h"
#include "collection/DownloadRecord.h"
#include "collection/TmpDesc.h"
#include "core/TdmzDados.h"
#include "core/db/DatabaseSetup.h"
#include "core/db/Cluster.h"
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

namespace IngestSteps {

// A line of pass 2 as read: a header naming the collector whose programming applies from it
// on, or a touch.
struct StoreItem {
    bool header = false;
    QString collector;
    Touch touch;
};

// What a line of a dump is. A header that does not read as one is a BadHeader: the touches after
// it, up to the next header that reads, cannot be attributed to a collector and are unreadable.
enum class LineKind : int { Other, Header, BadHeader, Touch, Unreadable };

}  // namespace IngestSteps

using namespace IngestSteps;

// Pass 2 of one dump: the registry answers, the attribution variables, the rows for desctot
// and for the working table.
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
        return {};
    }

    // Every registry answer the items will need, asked in a few statements. Throws DbError.
    void prefetch(const QList<StoreItem> &items)
    {
        QStringList identifiers, collectors;
        QSet<QString> seen;
        for (const StoreItem &item : items) {
            const QString &value = item.header ? item.collector : item.touch.identifier;
            if (seen.contains(value + (item.header ? u'h' : u't')))
                continue;
            seen.insert(value + (item.header ? u'h' : u't'));
            (item.header ? collectors : identifiers) << value;
        }
        m_lookups.prefetch(collectors, QStringLiteral("codigo_coletor"), QStringLiteral("coletor"));
        m_lookups.prefetch(identifiers, QStringLiteral("button_referencia"), QStringLiteral("roteiros"));
        m_lookups.prefetch(identifiers, QStringLiteral("memoria"), QStringLiteral("funcs"));
        m_lookups.prefetchClassification(identifiers);
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

    // The touch with the route and collaborator in force at it: a route reference wins over a
    // collaborator memory; the touch that switches a variable is itself attributed with the
    // new value. The desctot values in the insert's order, and the working table's row.
    void attribute(const Touch &touch, QVariantList &record, QVariantList &local)
    {
        const Effect &e = effect(touch.identifier);
        if (e.route)
            m_route = *e.route;
        else if (e.func)
            m_func = *e.func;
        record = {collectorBinding(touch.storedCollector), QVariant(touch.downloaded),
                  touch.touchedBinding, QVariant(touch.identifier), QVariant(touch.type),
                  codeBinding(m_route), codeBinding(m_func)};
        local = {touch.sequencial, touch.shownCollector,
                 momentText(touch.downloaded, m_lastDownloaded, m_downloadedText), touch.identifier,
                 DateTimeText::toText(touch.touched), touch.type, e.description};
    }

    // The working table's rows, written once the download is stored. Empty on success.
    QString writeTable(const QList<QVariantList> &rows)
    {
        if (!m_table.appendRows(rows))
            return m_table.lastError();
        // Closed and opened again, so whoever reads it next sees every row.
        m_table.close();
        m_table.open();
        return {};
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
    QString m_route;
    QString m_func;
    QHash<QString, Effect> m_effects;
    QDateTime m_lastDownloaded;
    QString m_downloadedText;
};

namespace {

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
    void add(const QString &collector, const QString &identifier, const QDateTime &touched)
    {
        Span &span = m_spans[collector];
        span.keys.insert(identifier.trimmed() + u'|' + paramText(touched));
        if (!span.first.isValid() || touched < span.first)
            span.first = touched;
        if (!span.last.isValid() || touched > span.last)
            span.last = touched;
    }
    // Before this download's own records are written, inside its transaction: only earlier
    // downloads are read. Throws DbError.
    int count(const QSqlDatabase &db) const
    {
        int repeated = 0;
        for (auto it = m_spans.cbegin(); it != m_spans.cend(); ++it) {
            // The moment read as text, as it is stored: no time zone comes between.
            QSqlQuery q = Sql::exec(db,
                                    QStringLiteral("select button, date_format(data_toque, "
                                                   "'%Y/%m/%d %H:%i:%s') from desctot where "
                                                   "coletor = :c and data_toque between :a and :b"),
                                    {{"c", collectorBinding(it.key())},
                                     {"a", paramText(it->first)},
                                     {"b", paramText(it->last)}});
            QSet<QString> seen;
            while (q.next()) {
                const QString k = q.value(0).toString().trimmed() + u'|' + q.value(1).toString();
                if (it->keys.contains(k) && !seen.contains(k)) {
                    seen.insert(k);
                    ++repeated;
                }
            }
        }
        return repeated;
    }

private:
    struct Span {
        QSet<QString> keys;
        QDateTime first, last;
    };
    QHash<QString, Span> m_spans;
};

QString nowText() { return fullText(now()); }

}  // namespace

// One terminal model as the two passes see it.
struct Ingest::Model {
    QString name;                // lumet, watch, vigia or q90, as the download record names it
    QString dumpPath;            // the file the terminal left
    QString storePath;           // read by pass 2; the dump itself except for the Q90
    QString backupPath;          // the monthly copy
    bool q90 = false;
    bool deleteDump = true;      // a complete ingest deletes the dump
    bool reviewAlways = false;
    // Lines read as they stand, control characters and all (the Q90 listing's header lines).
    std::function<bool(int index)> freeText;
    // What a line of the dump is (pass 1) and of the file pass 2 reads (the same by default).
    // `clean` false: the line holds characters outside the format; it is unreadable, or a
    // BadHeader when it was meant as a header.
    std::function<LineKind(int index, const QString &line, bool clean)> classify;
    std::function<LineKind(int index, const QString &line, bool clean)> classifyStored;
    // Pass 1: the backup lines before the first line, for each line as classified, and after
    // the last one (`anyLine` false for an empty dump).
    std::function<void(LineWriter &copy)> copyStart;
    std::function<void(int index, const QString &line, LineKind kind, LineWriter &copy)> copyLine;
    std::function<void(LineWriter &copy, bool anyLine)> copyEnd;
    // Between the passes; an error text stops the ingest.
    std::function<QString()> afterCopy;
    // Pass 2: the collector a header names (the collector whose programming applies), and a
    // touch line read into `touch` (false when it is none).
    std::function<QString(const QString &line)> header;
    std::function<bool(const QString &line, Touch &touch)> touch;
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
    if (!model.classifyStored)
        model.classifyStored = model.classify;
    if (!QFileInfo::exists(path))
        return result;
    if (!ensureBackupFolder()) {
        result.failed = true;
        return result;
    }
    const QString fingerprint = fingerprintOf(path, result);
    if (fingerprint.isEmpty())
        return result;
    if (const auto earlier = storedEarlier(model, fingerprint, result)) {
        finishStoredEarlier(model, *earlier, result);
        return result;
    }
    if (result.failed || !copyToBackup(model, result, true))
        return result;
    if (model.afterCopy) {
        if (const QString error = model.afterCopy(); !error.isEmpty()) {
            result.failed = true;
            Msg::error(error);
            return result;
        }
    }
    if (storeTouches(model, fingerprint, result))
        finishStored(model, result);
    return result;
}

QString Ingest::fingerprintOf(const QString &path, IngestResult &result)
{
    // Only a regular file is read: a FIFO or a device is refused before a byte is read.
    DumpReader check(path);
    QString error = check.open();
    QString fingerprint;
    if (error.isEmpty())
        fingerprint = DownloadRecord::fingerprint(path, &error);
    if (fingerprint.isEmpty()) {
        result.failed = true;
        log(error);
        Msg::error(error);
    }
    return fingerprint;
}

std::optional<DownloadRecord::Stored> Ingest::storedEarlier(const Model &model, const QString &fingerprint,
                                                            IngestResult &result)
{
    // A server lost (the next of the list is tried) or a cluster node not ready yet, as in the
    // seconds a cluster takes to form again after losing a node, is asked again.
    for (int attempt = 1;; ++attempt) {
        try {
            return DownloadRecord::find(m_dm.db(), fingerprint);
        } catch (const DbError &e) {
            const bool passing = dynamic_cast<const Sql::ConnectionLost *>(&e) ||
                                 dynamic_cast<const Sql::Conflict *>(&e);
            if (passing && attempt < Sql::kTransactionAttempts) {
                Sql::pauseBeforeRetry(attempt);
                continue;
            }
            result.failed = true;
            reportFailure(e.text(), result, model.dumpPath);
            return std::nullopt;
        }
    }
}

void Ingest::finishStoredEarlier(Model &model, const DownloadRecord::Stored &earlier, IngestResult &result)
{
    // The same file, read again without writing anything, says whether it had unreadable lines
    // to keep apart, as its first store did.
    copyToBackup(model, result, false);
    if (result.failed)
        return;
    result.storedEarlier = true;
    result.storedEarlierText = DownloadRecord::describe(earlier);
    const QString text = QStringLiteral("Esta descarga já foi gravada em %1 (%2 toques); nada foi "
                                        "gravado de novo.")
                             .arg(earlier.moment)
                             .arg(earlier.touches);
    log(text);
    Msg::information(text);
    finishStored(model, result);
}

bool Ingest::copyToBackup(Model &model, IngestResult &result, bool write)
{
    const QString &path = model.dumpPath;
    const auto clean = [&](int index, const QString &line) {
        return (model.freeText && model.freeText(index)) || isBlank(line) || !outsideFormat(line);
    };
    DumpReader reader(path);
    if (const QString error = reader.open(); !error.isEmpty()) {
        result.failed = true;
        log(error);
        Msg::error(error);
        return false;
    }
    const bool copied = !write || alreadyCopied(path);
    if (copied && write)
        log(QStringLiteral("A cópia de segurança desta descarga já foi gravada numa tentativa "
                           "anterior."));
    const QDateTime started = now();
    LineWriter copy(model.backupPath, !copied);
    m_rejectsPath = Folders::backupFolder() + QStringLiteral("ro") +
                    started.toString(QStringLiteral("yyyyMM")) + QStringLiteral("-rejeitadas.txt");
    LineWriter rejects(m_rejectsPath, !copied);
    if (model.copyStart)
        model.copyStart(copy);
    QString line;
    QByteArray raw;
    int index = 0;
    bool orphaned = false;
    for (; reader.next(line, raw); ++index) {
        const LineKind kind = settled(model.classify(index, line, clean(index, line)), orphaned);
        model.copyLine(index, line, kind, copy);
        if (kind == LineKind::Touch) {
            ++result.touches;
        } else if (kind == LineKind::Unreadable) {
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
        return false;
    }
    if (model.copyEnd)
        model.copyEnd(copy, index > 0);
    if (result.rejected > 0)
        rejects.add(QByteArray());
    if (!copy.close()) {
        result.failed = true;
        Msg::error(QStringLiteral("Não foi possível gravar o arquivo de backup %1").arg(native(copy.path())));
        return false;
    }
    if (!rejects.close())
        log(QStringLiteral("Não foi possível gravar o arquivo %1").arg(native(m_rejectsPath)));
    if (!copied)
        markCopied(path);
    result.ran = true;
    return true;
}

LineKind Ingest::settled(LineKind kind, bool &orphaned)
{
    switch (kind) {
    case LineKind::BadHeader:
        orphaned = true;
        return LineKind::Unreadable;
    case LineKind::Header:
        orphaned = false;
        return kind;
    case LineKind::Touch:
        return orphaned ? LineKind::Unreadable : kind;
    default:
        return kind;
    }
}

bool Ingest::readStoreItems(Model &model, QList<StoreItem> &items, QString &failure)
{
    DumpReader store(model.storePath);
    if (failure = store.open(); !failure.isEmpty())
        return false;
    const auto clean = [&](int index, const QString &line) {
        return (model.freeText && model.freeText(index) && model.storePath == model.dumpPath) ||
               isBlank(line) || !outsideFormat(line);
    };
    QString line;
    QByteArray raw;
    bool orphaned = false;
    for (int i = 0; store.next(line, raw); ++i) {
        const LineKind kind = settled(model.classifyStored(i, line, clean(i, line)), orphaned);
        StoreItem item;
        if (kind == LineKind::Header) {
            item.header = true;
            item.collector = model.header(line);
        } else if (kind != LineKind::Touch || !model.touch(line, item.touch)) {
            continue;
        }
        items.append(item);
    }
    failure = store.error();
    return failure.isEmpty();
}

bool Ingest::storeTouches(Model &model, const QString &fingerprint, IngestResult &result)
{
    Session session(m_dm, model.q90);
    QList<StoreItem> items;
    QString failure = session.open();
    if (failure.isEmpty())
        readStoreItems(model, items, failure);
    QString collector;
    int touches = 0;
    for (const StoreItem &item : items) {
        if (collector.isEmpty())
            collector = item.header ? item.collector : item.touch.storedCollector;
        touches += item.header ? 0 : 1;
    }
    if (failure.isEmpty() && touches != result.touches)
        failure = QStringLiteral("O arquivo %1 mudou durante a gravação.").arg(native(model.storePath));

    QList<QVariantList> localRows;
    bool unknownOutcome = false;
    if (failure.isEmpty()) {
        try {
            session.prefetch(items);
            QList<QVariantList> records;
            records.reserve(touches);
            localRows.reserve(touches);
            RepeatCount repeats;
            for (const StoreItem &item : items) {
                if (item.header) {
                    session.header(item.collector);
                    continue;
                }
                QVariantList record, local;
                session.attribute(item.touch, record, local);
                records.append(record);
                localRows.append(local);
                repeats.add(item.touch.storedCollector, item.touch.identifier, item.touch.touched);
            }
            // A transaction the server undid whole (a cluster's conflict with another node's
            // write, a node not ready) or a server lost before the commit is run again, on the
            // next server of the list when its server is gone: nothing of the attempt was kept.
            const auto storeOnce = [&]() -> int {
                const QSqlDatabase store = m_dm.db();
                Sql::Transaction transaction(store);
                if (!transaction.active())
                    throw Sql::ConnectionLost(QStringLiteral("Não foi possível iniciar a gravação no banco de dados."));
                // The record first: a second run of the same file waits here until this one ends,
                // then finds it stored.
                DownloadRecord::write(store, fingerprint, 0, model.name, collector, nowText(),
                                      QFileInfo(model.dumpPath).fileName(), touches);
                if (touches > 0)
                    log(QStringLiteral("Gravando %1 toques...").arg(touches));
                result.repeated = repeats.count(store);
                BatchInsert writer(store,
                                   QStringLiteral("insert into desctot (coletor, data_descarga, data_toque, "
                                                  "button, tipo_button, codigo_roteiro,codigo_func) values"),
                                   kInsert,
                                   {":pcoletor", ":pdata_descarga", ":pdata_toque", ":pbutton",
                                    ":ptipo_button", ":pcodigo_roteiro", ":pcodigo_func"});
                writer.store(records);
                result.refused = writer.refused();
                if (writer.refused() > 0)
                    throw DbError(QStringLiteral("O banco de dados recusou %1 dos %2 toques. Primeiro erro: %3")
                                      .arg(writer.refused()).arg(result.touches).arg(writer.firstRefusal()));
                try {
                    transaction.commit();
                } catch (const CommitOutcomeUnknown &lost) {
                    log(lost.text());
                    log(QStringLiteral("Verificando se a descarga foi gravada..."));
                    switch (DownloadRecord::settle(m_dm.db(), lost.connectionId(), fingerprint, 0)) {
                    case DownloadRecord::Outcome::Stored:
                        log(QStringLiteral("A resposta do servidor se perdeu, mas a descarga foi gravada."));
                        break;
                    case DownloadRecord::Outcome::NotStored:
                        throw;
                    case DownloadRecord::Outcome::Unknown:
                        unknownOutcome = true;
                        throw;
                    }
                }
                return writer.stored();
            };
            for (int attempt = 1;; ++attempt) {
                const auto again = [&](const QString &why) {
                    if (attempt >= Sql::kTransactionAttempts)
                        return false;
                    log(why);
                    log(QStringLiteral("Gravando de novo (tentativa %1 de %2)...")
                            .arg(attempt + 1).arg(Sql::kTransactionAttempts));
                    Sql::pauseBeforeRetry(attempt);
                    return true;
                };
                try {
                    result.stored = storeOnce();
                    break;
                } catch (const Sql::Conflict &e) {
                    if (!again(e.text()))
                        throw;
                } catch (const Sql::ConnectionLost &e) {
                    if (!again(e.text()))
                        throw;
                } catch (const InsertFailed &e) {
                    if (!(e.retryable || e.connectionLost) || !again(e.text))
                        throw;
                } catch (const CommitOutcomeUnknown &e) {
                    // Settled: not stored (an outcome still unknown is never run again).
                    if (unknownOutcome || !again(e.text()))
                        throw;
                }
            }
        } catch (const DownloadRecord::AlreadyRecorded &) {
            // Another run stored this very file while this one read it.
            std::optional<DownloadRecord::Stored> earlier;
            try {
                earlier = DownloadRecord::find(m_dm.db(), fingerprint);
            } catch (const DbError &) {
            }
            result.touches = 0;
            result.rejected = 0;
            finishStoredEarlier(model, earlier.value_or(DownloadRecord::Stored{nowText(), touches, {}, {}}),
                                result);
            return false;
        } catch (const InsertFailed &e) {
            failure = e.text;
        } catch (const DbError &e) {
            failure = e.text();
        }
    }
    if (!failure.isEmpty()) {
        result.failed = true;
        result.stored = 0;
        if (unknownOutcome) {
            log(failure);
            Msg::error(QStringLiteral("%1\n\nNão foi possível saber se os %2 toques desta descarga foram "
                                      "gravados. O arquivo %3 foi mantido: a próxima tentativa verifica "
                                      "a gravação e grava cada toque uma única vez.")
                           .arg(failure)
                           .arg(result.touches)
                           .arg(native(model.dumpPath)));
        } else {
            reportFailure(failure, result, model.dumpPath);
        }
        // The review never shows touches that are not stored.
        TmpDesc::recreate(m_dm);
        return false;
    }
    if (const QString error = session.writeTable(localRows); !error.isEmpty())
        log(QStringLiteral("Não foi possível gravar a tabela local tmpdesc: ") + error);
    if (result.repeated > 0) {
        m_dm.downloadNote = QString::fromUtf8("%1 dos %2 toques repetem uma descarga anterior deste "
                                              "coletor (o coletor não tinha sido apagado) e foram "
                                              "gravados de novo.")
                                .arg(result.repeated)
                                .arg(result.stored);
        log(m_dm.downloadNote);
    }
    return true;
}

void Ingest::finishStored(Model &model, IngestResult &result)
{
    const QString &path = model.dumpPath;
    if (result.rejected > 0) {
        // The readable touches are stored; the file goes where no ingest will read it again.
        result.setAsidePath = setAsidePath(path, now());
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
                         .arg(result.storedEarlier ? result.touches : result.stored)
                         .arg(kept, native(m_rejectsPath)));
    } else {
        QFile::remove(copiedMarkPath(path));
        if (model.deleteDump)
            result.dumpDeleted = QFile::remove(path);
    }
    if (result.storedEarlier)
        return;
    if ((model.reviewAlways || result.stored > 0) && m_callbacks.showReview) {
        m_callbacks.showReview();
        result.reviewShown = true;
    }
}

namespace {

// A line of a dump with headers: a header or a trailer only when it reads as one, a touch when
// it parses, anything else unreadable.
template <typename Touch>
LineKind classifyLine(const QString &line, bool clean, bool (*readsAsHeader)(const QString &),
                      Touch (*parseTouch)(const QString &))
{
    if (line.startsWith(u'H'))
        return clean && readsAsHeader(line) ? LineKind::Header : LineKind::BadHeader;
    if (!clean)
        return LineKind::Unreadable;
    if (isBlank(line) || isTrailer(line))
        return LineKind::Other;
    if (line.startsWith(u'T'))
        return LineKind::Unreadable;  // meant as a trailer, and damaged
    return parseTouch(line) ? LineKind::Touch : LineKind::Unreadable;
}

// DATALM.TMD, DATA.TMD.
LineKind classifyTerminalLine(const QString &line, bool clean)
{
    return classifyLine(line, clean, isTerminalHeader, parseTerminalTouch);
}

LineKind classifyWatchLine(const QString &line, bool clean)
{
    return classifyLine(line, clean, isWatchHeader, parseWatchTouch);
}

}  // namespace

IngestResult Ingest::IngestTerminalDump(const QString &path)
{
    Model model;
    model.name = QStringLiteral("lumet");
    model.backupPath = backupFilePath(SystemServices::now(), true);
    model.classify = [](int, const QString &line, bool clean) { return classifyTerminalLine(line, clean); };

    // Pass 1: a backup header wherever the terminal named on the touch lines changes.
    QDateTime headerTime;
    QString previousTerminal;
    bool anyHeader = false;
    model.copyLine = [&](int, const QString &line, LineKind kind, LineWriter &copy) {
        if (kind == LineKind::Header) {
            headerTime = parseTerminalHeader(line).downloaded;
            return;
        }
        if (kind != LineKind::Touch)
            return;
        const auto touch = parseTerminalTouch(line);
        if (touch->terminal != previousTerminal) {
            if (anyHeader)
                copy.add(QString());
            copy.add(backupHeader(DateTimeText::toText(headerTime), touch->terminal, false));
            previousTerminal = touch->terminal;
            anyHeader = true;
        }
        copy.add(touch->backupLine);
    };
    model.copyEnd = [](LineWriter &copy, bool) { copy.add(QString()); };

    QString headerTerminal;
    MomentClock clock;
    model.header = [&](const QString &line) {
        const TerminalHeader header = parseTerminalHeader(line);
        headerTerminal = header.terminal;
        log(QStringLiteral("Coletor: ") + headerTerminal + QStringLiteral(" Descarga: ") +
            paramText(header.downloaded));
        return headerTerminal;
    };
    model.touch = [&](const QString &line, Touch &touch) {
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
    model.name = QStringLiteral("watch");
    model.backupPath = backupFilePath(started, true);
    model.classify = [](int, const QString &line, bool clean) { return classifyWatchLine(line, clean); };

    // Pass 1: one header naming the collector of the first line.
    QString collector;
    model.copyLine = [&](int index, const QString &line, LineKind kind, LineWriter &copy) {
        if (index == 0)
            copy.add(backupHeader(started.toString(QStringLiteral("dd/MM/yyyy hh:mm")),
                                  printable(field(line, 21, 26)), false));
        if (kind == LineKind::Header) {
            collector = watchHeaderCollector(line);
        } else if (kind == LineKind::Touch) {
            const auto touch = parseWatchTouch(line);
            copy.add(fullText(touch->touched) + QStringLiteral(" 000000") + touch->identifier + u' ' +
                     collector);
        }
    };
    model.copyEnd = [&](LineWriter &copy, bool anyLine) {
        if (!anyLine)
            copy.add(backupHeader(started.toString(QStringLiteral("dd/MM/yyyy hh:mm")), QString(), false));
        copy.add(QString());
        collector.clear();
    };
    model.header = [&](const QString &line) {
        collector = watchHeaderCollector(line);
        log(QStringLiteral("Coletor: ") + collector + QStringLiteral(" Descarga: ") + paramText(started));
        return collector;
    };
    model.touch = [&](const QString &line, Touch &touch) {
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
    model.name = QStringLiteral("vigia");
    model.backupPath = backupFilePath(started, true);
    model.reviewAlways = true;
    model.classify = [](int, const QString &line, bool clean) {
        if (isBlank(line))
            return LineKind::Other;
        return clean && parseVigiaTouch(line) ? LineKind::Touch : LineKind::Unreadable;
    };

    // Pass 1: no terminal is named in this file.
    model.copyStart = [&](LineWriter &copy) {
        copy.add(backupHeader(DateTimeText::toText(started), QString(), false));
    };
    model.copyLine = [&](int, const QString &line, LineKind kind, LineWriter &copy) {
        if (kind != LineKind::Touch)
            return;
        const auto touch = parseVigiaTouch(line);
        copy.add(fullText(touch->touched) + u' ' + touch->field);
    };
    model.copyEnd = [](LineWriter &copy, bool) { copy.add(QString()); };
    model.header = [](const QString &) { return QString(); };
    model.touch = [&](const QString &line, Touch &touch) {
        const auto parsed = parseVigiaTouch(line);
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
    model.name = QStringLiteral("q90");
    model.q90 = true;
    model.deleteDump = false;
    model.reviewAlways = true;
    model.backupPath = backupFilePath(converted, false);
    model.storePath = q90DumpPath();
    model.freeText = [](int index) { return index < 9; };
    model.classify = [](int index, const QString &line, bool clean) {
        if (index < 9 || isBlank(line))
            return LineKind::Other;
        return clean && parseQ90ListingTouch(line) ? LineKind::Touch : LineKind::Unreadable;
    };
    model.classifyStored = [](int, const QString &line, bool clean) {
        return classifyTerminalLine(line, clean);
    };

    QSaveFile dump(model.storePath);
    model.copyStart = [&](LineWriter &copy) {
        copy.add(QString());
        dump.open(QIODevice::WriteOnly);
    };
    const auto write = [&](const QString &line) { dump.write(line.toUtf8() + "\r\n"); };
    model.copyLine = [&](int index, const QString &line, LineKind kind, LineWriter &copy) {
        if (kind == LineKind::Unreadable)
            return;
        log(line);
        if (index == 4) {
            const QString terminal = printable(q90Terminal(line));
            write(q90DumpHeader(converted, terminal));
            copy.add(backupHeader(fullText(converted), terminal, true));
        } else if (kind == LineKind::Touch) {
            const auto touch = parseQ90ListingTouch(line);
            write(q90DumpTouch(*touch));
            copy.add(q90BackupTouch(*touch));
        }
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
    model.header = [&](const QString &line) {
        if (const QDateTime stamp = parseTerminalHeader(line).downloaded; stamp.isValid())
            downloaded = stamp;
        return collector;
    };
    model.touch = [&](const QString &line, Touch &touch) {
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

const QString &Ingest::touchInsert()
{
    return kInsert;
}
