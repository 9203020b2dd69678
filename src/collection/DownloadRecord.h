#pragma once

#include <QSqlDatabase>
#include <QString>
#include <optional>

// The record each stored download leaves in `tv_descargas`, written in the same transaction as
// its touches: the SHA-256 of the file's bytes, the model, the collector, the moment, the file
// name and how many touches. A file whose fingerprint is recorded is stored already, whatever
// happened after its commit (an answer lost on the way, a crash before the file was deleted),
// and a commit whose answer was lost is settled by looking for its record.
namespace DownloadRecord {

struct Stored {
    QString moment;  // dd/mm/yyyy hh:nn:ss, as the workstation's clock read it
    int touches = 0;
    QString collector;
    QString file;
};

// The fingerprint of a file's bytes (64 hexadecimal digits); empty with `error` set when the
// file cannot be read.
QString fingerprint(const QString &path, QString *error = nullptr);

// The first store of a fingerprint, nullopt when it was never stored. Throws DbError.
std::optional<Stored> find(const QSqlDatabase &db, const QString &fingerprint);
// Whether that store (the given repetition) is in the database. Throws DbError.
bool exists(const QSqlDatabase &db, const QString &fingerprint, int repetition);
// The repetition the next store of an already stored file takes. Throws DbError.
int nextRepetition(const QSqlDatabase &db, const QString &fingerprint);

// Thrown by write() when the record exists: another run stored the same file meanwhile.
struct AlreadyRecorded {};

// Writes the record inside the caller's transaction. Throws AlreadyRecorded or DbError.
void write(const QSqlDatabase &db, const QString &fingerprint, int repetition, const QString &model,
           const QString &collector, const QString &moment, const QString &file, int touches);

// What a lost commit answer left: the record is there, is not, or the server cannot tell yet.
enum class Outcome { Stored, NotStored, Unknown };
Outcome settle(const QSqlDatabase &db, const QVariant &lostConnection, const QString &fingerprint,
               int repetition);

// "dd/mm/yyyy hh:nn:ss, N toques", for the messages about an earlier store.
QString describe(const Stored &stored);

}  // namespace DownloadRecord
