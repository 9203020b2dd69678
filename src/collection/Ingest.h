#pragma once

#include "collection/DumpFormats.h"

#include <QString>
#include <functional>

class TdmzDados;

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
    int stored = 0;            // collection records inserted
    int skipped = 0;           // lines that are neither header, trailer, blank nor a touch
    bool failed = false;       // a database error ended the ingest before its end
    bool dumpDeleted = false;
    bool reviewShown = false;
};

// The one way touches enter the database. For each dump: a copy of its touches appended to the
// monthly backup file, then one collection record in desctot and one row of the working table
// tmpdesc per touch, each attributed to the route and collaborator in force at it.
//
// A dump is deleted only when every one of its touches was stored; when an insert fails the
// user is told how many were and that the file was kept, and what was stored stays.
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

private:
    class Session;
    struct Dump;

    void log(const QString &line) const;
    // Pass 2 of the dumps whose touches all go the same way: `storeLine` stores the touch of
    // one line (true when it did) until the end or the first failure; the dump goes only when
    // every touch was stored.
    void storeTouches(IngestResult &result, const QString &path, const QStringList &lines,
                      bool reviewAlways,
                      const std::function<bool(Session &, const QString &)> &storeLine);
    void finish(Session &session, IngestResult &result, const QString &dumpPath,
                bool deleteDump, bool reviewAlways);
    void reportFailure(const QString &error, const IngestResult &result, const QString &dumpPath);

    TdmzDados &m_dm;
    IngestCallbacks m_callbacks;
};
