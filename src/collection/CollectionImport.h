#pragma once

#include "collection/DumpFormats.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

class TdmzDados;

struct ImportResult {
    bool opened = false;   // the file could be read
    bool failed = false;   // the database stopped the import: nothing of it was stored
    int imported = 0;      // collection records stored
    int skipped = 0;       // lines that are not a header, a touch, a trailer or blank
    int refused = 0;       // touch lines the database refused (skipped, the rest stored)
    QString error;         // why the file could not be read or the import failed
    // The file was imported before (its fingerprint is recorded) and nothing was stored again.
    bool storedEarlier = false;
    QString storedEarlierText;  // that import's moment and count, "dd/mm/yyyy hh:nn:ss, N toques"
};

// Import of a collection file made elsewhere ("Importar coletas externas"): header lines "H"
// with the download moment (3-21, dd/mm/yyyy hh:mm:ss) and the collector (23-28), and touch
// lines (any other first character) with the touch moment by position (2-13, minutes) and the
// identifier (26-31). Each touch becomes a collection record without type, route or
// collaborator. A line that does not decode is skipped and counted, and so are the touches after
// a header that does not read (their collector is unknown); a terminal dump's trailer ("T 000")
// and a blank line are passed over.
//
// One file is imported in one transaction, with its record (the fingerprint of its bytes): a
// server that goes away part-way leaves nothing of the file, and a file already imported is
// not imported again unless asked. A touch the server refuses is skipped like an undecodable
// line.
class CollectionImport {
public:
    explicit CollectionImport(TdmzDados &dm) : m_dm(dm) {}
    // A file already imported is stored again only with `again` (the user asked for it).
    ImportResult importFile(const QString &path, bool again = false);

    // "Fim da importação. Registros importados: N", with the lines skipped when there were any.
    static QString summary(const ImportResult &result);

private:
    bool readTouches(DumpFormats::DumpReader &reader, QList<QVariantList> &rows, QString &firstCollector,
                     ImportResult &result);

    TdmzDados &m_dm;
};

// "Excluir coletas": the downloads up to a moment, and their deletion.
namespace DownloadDeletion {

struct Download {
    QDateTime downloaded;
    QString collector;
};

// "SELECT DISTINCT data_descarga, coletor from desctot where data_descarga <= :limit order by
// data_descarga". Throws DbError.
QList<Download> list(TdmzDados &dm, const QDateTime &limit);
// Deletes every collection record downloaded at or before `limit`; the number deleted. Throws
// DbError.
int deleteUpTo(TdmzDados &dm, const QDateTime &limit);

}  // namespace DownloadDeletion
