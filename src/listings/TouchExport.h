#pragma once

#include <QString>
#include <functional>

class TdmzDados;

// The collaborators' touches of a period written for another system ("Exportar texto"): one
// line "0," + the collaborator's external code (funcs.complemento) + " " + the touch moment to
// the minute + " " + the collector, after a header line "******** yymmdd hh,mm,ss" when the file
// is created or replaced. Windows-1252, CR LF.
struct TouchExportInputs {
    QString from;   // "dd/mm/yyyy" as typed; cut by position into the period
    QString to;
    QString path;
    bool append = true;
};

struct TouchExportResult {
    bool written = false;  // every line was written
    int rows = 0;          // touches the query returned
    int lines = 0;         // record lines written
    bool header = false;   // a header line was written
    QString error;         // what failed, when not written
};

class TouchExport {
public:
    explicit TouchExport(TdmzDados &dm) : m_dm(dm) {}
    // `progress(done, total)` after each line. Throws DbError when the query fails.
    TouchExportResult run(const TouchExportInputs &inputs,
                          const std::function<void(int, int)> &progress = {});

    // The chosen file name, with ".txt" when it has no extension.
    static QString withTextExtension(const QString &path);

private:
    TdmzDados &m_dm;
};
