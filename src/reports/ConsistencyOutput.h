#pragma once

#include "platform/Report.h"
#include "reports/ConsistencyAnalysis.h"

#include <QList>
#include <QString>
#include <QStringList>

class LocalTable;
class Spreadsheet;
class TdmzDados;
class QWidget;

// The choices of the consistency window that only the output reads.
struct ConsistencyOutputOptions {
    bool synthetic = true;          // "Sintético": correct cycles condensed into one line
    bool withoutReference = false;  // "Sem Referência"
    bool automaticCheck = false;    // run from the review of a download
};

// The synthetic condensation of the working table, in place: every correct cycle (a header row
// whose Col1 begins with "CICLO" and the rows up to the next header, none of them with a Col1
// beginning with "-", a Col5 or a Col7) keeps only its header, which becomes
// "<header> - Início: <dd/mm/yyyy hh:mm:> - Correto" with the duration limits cut away, and
// its collaborator rows (a Col2). Rows before the first header and cycles with any remark stay
// as they are; no row is reordered. False with the table's reason when it cannot be rewritten.
bool CondenseCycles(LocalTable &table);

// Appends the job-function totals when quantities were recorded: two empty rows, one row per
// function (description, total), an empty row and "TOTAL GERAL :" with the sum.
bool AppendFunctionTotals(LocalTable &table, LocalTable &totals, int sumOfQuantities);

// The printed consistency report: page header "Consistência", line A and line B with the
// seven column headings on the first page, one detail band per working-table row. Cycle
// headers are bold and never end a page.
class TfmRelConsist {
public:
    TfmRelConsist(const QString &installation, const QString &lineA, const QString &lineB,
                  QList<QStringList> rows);

    static QStringList headings();
    ReportRenderer renderer() const { return ReportRenderer(m_definition, m_rows); }
    void preview(QWidget *parent) const { renderer().preview(parent); }
    bool writePdf(const QString &path, QString *error = nullptr) const { return renderer().writePdf(path, error); }

private:
    ReportDefinition m_definition;
    QList<QStringList> m_rows;
};

// What the consistency report shows after a run of the analysis: the working table completed
// (condensed when synthetic, with the function totals), the automatic check's verdict, the
// two header lines, and the rows as a printed report or a spreadsheet.
class ConsistencyOutput {
public:
    enum class Shown { Nothing, Report, Spreadsheet };

    ConsistencyOutput(TdmzDados &dm, ConsistencyInputs inputs, ConsistencyOutputOptions options,
                      ConsistencyResult result);

    // The whole output step as the window runs it; the spreadsheet when the data module's
    // spreadsheet flag is on, else the preview. DbError when the working table fails.
    Shown present(QWidget *parent);

    // The parts of present(), for torvelctl and the tests.
    void completeRows();
    // False after "Não existem inconsistências!": an automatic check that found nothing shows
    // nothing more. "Existem inconsistências" precedes the output of one that found some.
    bool announceAutomaticCheck() const;
    QString lineA() const;
    QString lineB() const;
    // Col1..Col7 of every working-table row, in order.
    QList<QStringList> rows() const;
    // Contador and Col1..Col7, as text.
    QList<QStringList> rowsWithCounter() const;
    TfmRelConsist report() const;
    // Writes the spreadsheet; on failure shows "Não foi possível imprimir no Excel" and gives
    // false. The written file in `path`.
    bool writeSpreadsheet(QString *path = nullptr) const;

private:
    TdmzDados &m_dm;
    ConsistencyInputs m_inputs;
    ConsistencyOutputOptions m_options;
    ConsistencyResult m_result;
};
