#pragma once

#include <QDateTime>
#include <QString>

class TdmzDados;

// The collections of one collector for a newspaper-distribution system ("Exportação "): the
// touches, in the order they were stored, become records "A"/"Z" (an event touch opens, the
// next closes a working period), "E" (a delivery point left without an edition record) and "R"
// (an edition at the current delivery point, from a date code "0..ddmm" after a product code
// "3nnnnn" or "4nnnnn"). Semicolon-separated, Windows-1252, CR LF, no header.
struct NewspaperExportInputs {
    QString collector;
    QDateTime from;  // downloads between these moments
    QDateTime to;
    QString path;
};

struct NewspaperExportResult {
    bool written = false;
    int rows = 0;      // touches read
    int records = 0;   // records written
    QString error;     // what stopped the export
};

class NewspaperExport {
public:
    explicit NewspaperExport(TdmzDados &dm) : m_dm(dm) {}
    // Creates or replaces the file. Throws DbError when a query fails.
    NewspaperExportResult run(const NewspaperExportInputs &inputs);

    // A location's code for the file: its complemento cut to 6 and padded with "0" to 6.
    static QString locationCode(const QString &complemento);
    // The edition date of a date code touched at `touched`: day 3-4 and month 5-6 of the code,
    // in the year before the touch's when the code's month/day comes after the touch's.
    // Invalid when the code holds no real day and month.
    static QDate editionDate(const QString &code, const QDate &touched);

private:
    TdmzDados &m_dm;
};
