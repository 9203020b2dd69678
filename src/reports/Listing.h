#pragma once

#include "platform/Report.h"
#include "platform/Spreadsheet.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// What makes one listing report different from another: its printed title and columns, where
// the heading line goes, and its spreadsheet's shape. A report of the family is one of these
// plus the engine that builds its rows.
struct ListingConfig {
    QString title;                 // printed page header (may be empty)
    QList<ReportColumn> columns;   // printed headings and how each column behaves
    bool headingsOnEveryPage = false;
    // Group names in the first column run on over the empty cells beside them.
    bool spillIntoEmptyColumns = false;
    SheetLayout sheet;             // the header line goes in as sheet.headerLines
};

// One run of a listing report: the heading line (collector and download, period, key), the rows
// the printed report prints, and the spreadsheet's values where they are written differently.
// The printed report, the spreadsheet and torvelctl's text output all come from here.
class Listing {
public:
    Listing() = default;
    Listing(ListingConfig config, QString headerText, QList<QStringList> printed,
            QList<QStringList> sheetRows = {});

    const ListingConfig &config() const { return m_config; }
    QString headerText() const { return m_header; }
    // The rows the printed report prints, in order, every field as printed.
    const QList<QStringList> &rows() const { return m_printed; }
    // The values written to the spreadsheet, in the order of the sheet's columns.
    const QList<QStringList> &sheetRows() const { return m_sheet; }
    bool isEmpty() const { return m_printed.isEmpty(); }

    // Rows printed in bold that never end a page (group names and what follows them).
    void setGroupRows(QSet<int> names, QSet<int> keptWithNext);
    // Bands the family does not set itself (summaries, master bands, shading), applied to the
    // printed report's definition last.
    void setBands(std::function<void(ReportDefinition &)> bands) { m_bands = std::move(bands); }

    ReportDefinition definition(const QString &installation) const;
    ReportRenderer renderer(const QString &installation) const;
    // The preview (nothing for no rows).
    void preview(const QString &installation, QWidget *parent) const;
    // What a listing's window does with its run: the spreadsheet when `asSpreadsheet`, else the
    // preview.
    void present(bool asSpreadsheet, const QString &installation, QWidget *parent) const;
    // The printed report as a PDF (ReportRenderer::writePdf); false with the reason in `error`.
    bool writePdf(const QString &installation, const QString &path, QString *error = nullptr) const;
    // The spreadsheet; on failure "Não foi possível imprimir no Excel" and false.
    bool writeSpreadsheet(QString *path = nullptr) const;
    // One line per row, its fields separated by tabs (an empty row is a line of tabs).
    QStringList tsv() const;

private:
    ListingConfig m_config;
    QString m_header;
    QList<QStringList> m_printed;
    QList<QStringList> m_sheet;
    QSet<int> m_names;
    QSet<int> m_kept;
    std::function<void(ReportDefinition &)> m_bands;
};
