#include "reports/Listing.h"

Listing::Listing(ListingConfig config, QString headerText, QList<QStringList> printed,
                 QList<QStringList> sheetRows)
    : m_config(std::move(config)), m_header(std::move(headerText)), m_printed(std::move(printed)),
      m_sheet(sheetRows.isEmpty() ? m_printed : std::move(sheetRows))
{
}

void Listing::setGroupRows(QSet<int> names, QSet<int> keptWithNext)
{
    m_names = std::move(names);
    m_kept = std::move(keptWithNext);
}

ReportDefinition Listing::definition(const QString &installation) const
{
    ReportDefinition d;
    d.title = m_config.title;
    d.installation = installation;
    d.columns = m_config.columns;
    // A listing without a heading line (the registries) has no empty line above its headings.
    if (!m_header.isEmpty())
        d.headingLines = {m_header};
    d.headingsOnEveryPage = m_config.headingsOnEveryPage;
    d.spillIntoEmptyColumns = m_config.spillIntoEmptyColumns;
    if (!m_names.isEmpty()) {
        const QSet<int> names = m_names;
        d.boldRow = [names](int row) { return names.contains(row); };
    }
    if (!m_kept.isEmpty()) {
        const QSet<int> kept = m_kept;
        d.keepWithNext = [kept](int row) { return kept.contains(row); };
    }
    if (m_bands)
        m_bands(d);
    return d;
}

ReportRenderer Listing::renderer(const QString &installation) const
{
    return ReportRenderer(definition(installation), m_printed);
}

void Listing::preview(const QString &installation, QWidget *parent) const
{
    renderer(installation).preview(parent);
}

bool Listing::writePdf(const QString &installation, const QString &path, QString *error) const
{
    return renderer(installation).writePdf(path, error);
}

void Listing::present(bool asSpreadsheet, const QString &installation, QWidget *parent) const
{
    if (asSpreadsheet)
        writeSpreadsheet();
    else
        preview(installation, parent);
}

bool Listing::writeSpreadsheet(QString *path) const
{
    SheetLayout layout = m_config.sheet;
    if (!m_header.isEmpty())
        layout.headerLines = {m_header};
    return Spreadsheet::write(layout, m_sheet, path);
}

QStringList Listing::tsv() const
{
    QStringList lines;
    lines.reserve(m_printed.size());
    for (const QStringList &row : m_printed)
        lines << row.join(u'\t');
    return lines;
}
