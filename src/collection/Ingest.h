#pragma once

#include "collection/DownloadRecord.h"
#include "collection/DumpFormats.h"

#include <QString>
#include <functional>

class TdmzDados;

namespace IngestSteps {
enum class LineKind : int;
struct StoreItem;
}  // namespace IngestSteps

// What the ingest needs from the window that runs it: a place for its progress lines (the
// collection dialog's log memo, stderr in torvelctl) and the review window "Dados da última
// coleta", shown modally over the working table when the model asks for it.
struct IngestCallbacks {
    std::function<void(const QString &)> log;
    std::function<void()> showReview;
};

struct IngestResult {
    bool ran = false;          // the dump was there and the backup folder could be made
    int touches = 0;           // touch lines read from the dump
    int stored = 0;            // collection records inserted (and committed)
    int rejected = 0;          // lines that could not be read as a touch; never stored
    int refused = 0;           // touches the database refused (then nothing was stored)
    int repeated = 0;          // stored touches that an earlier download of the collector holds
    bool failed = false;       // nothing of the dump could be stored (database, file or backup)
    bool dumpDeleted = false;
    QString setAsidePath;      // where a dump with unreadable lines was moved
    bool reviewShown = false;
    // The file was stored before (its download record is there): nothing was stored again,
    // and the clean-up the first store left undone was finished.
    bool storedEarlier = false;
    QString storedEarlierText;  // "dd/mm/yyyy hh:nn:ss, N toques"

    // Every touch of the dump is in the database: only then may a terminal be erased, and only
    // then does a command report success.
    bool complete() const { return ran && !failed && rejected == 0; }
};

// The one way touches enter the database. For each dump: a copy of its touches appended to the
// monthly backup file, then one collection record in desctot and one row of the working table
// tmpdesc per touch, each attributed to the route and collaborator in force at it.
//
// A dump is stored whole or not at all: its records go in one transaction, so a failure leaves
// nothing of it in the database, the dump stays where it was, and running the ingest again
// stores each touch exactly once. The transaction also writes the download's record (the
// fingerprint of the file): a file already recorded is never stored again, whether its commit
// answer was lost or the program died before deleting it; the clean-up is finished instead. The backup copy is written once per dump: a retry of the same
// file (same size and modification time) does not copy it again. A line that cannot be read as
// a touch is never stored and never thrown away: it goes to the backup as read and to the
// month's file of rejected lines, the readable touches are stored, and the dump is moved aside
// into the backup folder so that it is not ingested again. Only a complete ingest deletes the
// dump.
class Ingest {
public:
    explicit Ingest(TdmzDados &dm, IngestCallbacks callbacks = {});

    // Lumet: DATALM.TMD.
    IngestResult IngestTerminalDump(const QString &path = DumpFormats::lumetDumpPath());
    // Vigia Bastão Novo: watch.dat.
    IngestResult IngestWatchData(const QString &path = DumpFormats::watchDataPath());
    // Vigia Bastão: a NOVOS.TXT, stored under the collector chosen in the collection dialog
    // (empty when none was chosen).
    IngestResult IngestVigiaFile(const QString &path, const QString &collector);
    // Q90: the listing q90.tmd becomes DATA.TMD and the backup, then DATA.TMD is ingested
    // under the chosen collector.
    IngestResult ConvertAndIngestQ90Listing(const QString &collector,
                                            const QString &listingPath = DumpFormats::q90ListingPath());

    // Creates the backup folder; when that fails tells the user and returns false.
    static bool ensureBackupFolder();
    // The prepared statement that stores one touch in desctot, for measurements that compare
    // other ways of storing the same rows against it.
    static const QString &touchInsert();

private:
    class Session;
    struct Model;

    void log(const QString &line) const;
    // Both passes over `path` for one model; pass 2 reads `storePath` (DATA.TMD for the Q90).
    // The steps, in order:
    IngestResult run(const QString &path, Model &model);
    // the fingerprint of a regular file (empty, told, when it cannot be read);
    QString fingerprintOf(const QString &path, IngestResult &result);
    // its earlier store, if any;
    std::optional<DownloadRecord::Stored> storedEarlier(const Model &model, const QString &fingerprint,
                                                        IngestResult &result);
    void finishStoredEarlier(Model &model, const DownloadRecord::Stored &earlier, IngestResult &result);
    // pass 1, the backup copy and the count of touches and unreadable lines (`write` false:
    // only the count);
    bool copyToBackup(Model &model, IngestResult &result, bool write);
    // pass 2, every touch and the record in one transaction;
    bool readStoreItems(Model &model, QList<IngestSteps::StoreItem> &items, QString &failure);
    bool storeTouches(Model &model, const QString &fingerprint, IngestResult &result);
    // the dump deleted or set aside, and the review.
    void finishStored(Model &model, IngestResult &result);
    // A line's kind once the headers before it are known: after a header that does not read,
    // its touches cannot be attributed and are unreadable up to the next header that reads.
    static IngestSteps::LineKind settled(IngestSteps::LineKind kind, bool &orphaned);
    void reportFailure(const QString &error, const IngestResult &result, const QString &dumpPath);

    TdmzDados &m_dm;
    IngestCallbacks m_callbacks;
    QString m_rejectsPath;
};
