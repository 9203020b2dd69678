#pragma once

#include "reports/Listing.h"

#include <QDateTime>
#include <QVariant>
#include <optional>

class TdmzDados;

// The four analytic reports over the collection records of one key and a period of days: by
// collector (its downloads, with the collaborator of each), by collaborator (the downloads that
// hold its touches), by event and by location (the touches of that identifier). One engine;
// a member is its configuration (DownloadsMember) and its query.
enum class DownloadsKey { Collector, Collaborator, Event, Location };

struct DownloadsMember {
    DownloadsKey key;
    QString cliName;                 // torvelctl report NAME
    QString keyParam;                // the query's key parameter
    QStringList sql;                 // the query's lines
    QStringList fields;              // the result's fields, in the order they are printed
    QStringList gridTitles;          // the on-screen grid's column titles
    QString headingLabel;            // "Coletor: ", "Colaborador: ", ...
    bool headingHasKey = false;      // the key before the description ("Coletor: 0001 ALFA")
    bool emptyMessage = true;        // "Nenhuma informação encontrada neste período!"
    bool touchTimeShort = false;     // the printed touch date-time as dd-mm-yy hh:nn:ss
    QString notRegistered;           // the message for an unknown key
    ListingConfig listing;
};

// What a window gathers: the key (by location, the chosen location's identifier), its
// description, and the date fields as typed ("  /  /    " when blank).
struct DownloadsInputs {
    DownloadsKey key = DownloadsKey::Collector;
    QString keyValue;
    QString description;
    QString from;
    QString to;
};

// The query's rows: values as the database gives them, and the texts the printed report shows.
struct DownloadsResult {
    QString from;   // the date fields after the blank substitutes
    QString to;
    QList<QVariantList> values;
    Listing listing;
};

class DownloadReports {
public:
    static inline const QString kBlankDate = QStringLiteral("  /  /    ");

    explicit DownloadReports(TdmzDados &dm) : m_dm(dm) {}

    static const DownloadsMember &member(DownloadsKey key);
    static const DownloadsMember *memberNamed(const QString &cliName);

    // The description of a key, as each window fills it ("nome_coletor", "nome_func",
    // "desc_evento", "nome_local"); nullopt when no such key is registered.
    std::optional<QString> describe(DownloadsKey key, const QString &value);

    // A blank date field becomes 01/01/0001 (start) or 31/12/9999 (end). A field typed in part
    // or with an impossible date is refused with an error that names it (nullopt).
    static std::optional<QString> dateField(bool start, const QString &typed);

    // Runs the member's query. nullopt after a refused date field. DbError on the database's.
    std::optional<DownloadsResult> run(const DownloadsInputs &inputs);

private:
    TdmzDados &m_dm;
};
