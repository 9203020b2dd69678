#include "platform/Spreadsheet.h"

#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/SystemServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <xlsxwriter.h>

namespace {
std::function<bool(const QString &)> g_opener;

QString safeName(const QString &title)
{
    QString name = title;
    name.replace(QRegularExpression(QStringLiteral("[^\\w\\- ]+"), QRegularExpression::UseUnicodePropertiesOption), QStringLiteral(" "));
    name = name.simplified().replace(' ', '-');
    return name.isEmpty() ? QStringLiteral("Planilha") : name.left(60);
}

// Whether the desktop has a program for .xlsx files: xdg-open itself starts happily and then
// fails out of sight when nothing is associated with the type.
bool desktopOpensSpreadsheets()
{
    const QString mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() || mime.isEmpty())
        return false;
    QProcess query;
    query.start(mime, {QStringLiteral("query"), QStringLiteral("default"),
                       QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

bool openWithDesktop(const QString &path)
{
    if (g_opener)
        return g_opener(path);
    return desktopOpensSpreadsheets() && SystemServices::openDocument(path);
}
}  // namespace

QString Spreadsheet::failureMessage()
{
    return QString::fromUtf8("Não foi possível imprimir no Excel");
}

void Spreadsheet::showFailure() { Msg::error(failureMessage()); }

QString Spreadsheet::folder() { return Folders::documentsFolder() + "Planilhas/"; }

bool Spreadsheet::opensFiles()
{
    if (qEnvironmentVariableIntValue("TORVEL_NO_SPREADSHEET_PROGRAM") == 1)
        return false;
    return IniFile(Folders::programFolder() + "TORVEL.INI").readBool("CONFIG", "ABRIRPLANILHA", true);
}

void Spreadsheet::setOpener(std::function<bool(const QString &)> opener) { g_opener = std::move(opener); }

bool Spreadsheet::create(const QString &title)
{
    const QString dir = folder();
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isWritable())
        return false;
    // Readable and unique: the report's title and the moment, numbered when that is taken.
    const QString stem = dir + safeName(title) + '-' +
                         SystemServices::now().toString(QStringLiteral("yyyy-MM-dd-hhmmss"));
    m_path = stem + ".xlsx";
    for (int n = 2; QFile::exists(m_path); ++n)
        m_path = QStringLiteral("%1-%2.xlsx").arg(stem).arg(n);
    // Reserve the name now, so two reports in one second never share a file.
    QFile reserve(m_path);
    if (!reserve.open(QIODevice::WriteOnly))
        return false;
    reserve.close();
    m_created = true;
    return true;
}

Spreadsheet::Cell &Spreadsheet::cell(int row, int column) { return m_cells[{row, column}]; }

void Spreadsheet::setValue(int row, int column, const QString &text) { cell(row, column).text = text; }

void Spreadsheet::setFontSize(int row, int column, int size) { cell(row, column).size = size; }

void Spreadsheet::setFontStyle(int row, int column, const QString &style)
{
    cell(row, column).bold = style.compare(QLatin1String("bold"), Qt::CaseInsensitive) == 0;
}

bool Spreadsheet::setHorizontalAlignment(int row, int column, int alignment)
{
    if (alignment != 2) {
        qWarning("Spreadsheet: horizontal alignment %d refused in row %d, column %d (only 2, left)",
                 alignment, row, column);
        return false;
    }
    cell(row, column).alignment = alignment;
    return true;
}

bool Spreadsheet::write(const SheetLayout &layout, const QList<QStringList> &rows, QString *path)
{
    Spreadsheet sheet;
    if (!sheet.create(layout.title)) {
        showFailure();
        return false;
    }
    sheet.show();
    sheet.addWorkbook();
    sheet.setValue(1, 1, layout.title);
    sheet.setFontSize(1, 1, 16);
    sheet.setValue(1, 9, SystemServices::now().toString(QStringLiteral("dd/MM/yyyy hh:mm")));
    for (int i = 0; i < layout.headerLines.size(); ++i) {
        sheet.setValue(2 + i, 1, layout.headerLines.at(i));
        if (layout.headerFontSize > 0)
            sheet.setFontSize(2 + i, 1, layout.headerFontSize);
    }
    for (const SheetColumn &c : layout.columns) {
        if (c.heading.isEmpty())
            continue;
        sheet.setValue(4, c.column, c.heading);
        sheet.setFontStyle(4, c.column, QStringLiteral("bold"));
        sheet.setHorizontalAlignment(4, c.column, 2);
    }
    int line = layout.firstRow;
    for (const QStringList &row : rows) {
        for (int i = 0; i < layout.columns.size(); ++i) {
            const SheetColumn &c = layout.columns.at(i);
            sheet.setValue(line, c.column, (c.leadingBlank ? QStringLiteral(" ") : QString()) + row.value(i));
            sheet.setHorizontalAlignment(line, c.column, 2);
            if (layout.dataFontSize > 0)
                sheet.setFontSize(line, c.column, layout.dataFontSize);
        }
        ++line;
    }
    if (layout.totalLine) {
        // Two rows below the row after the last data row.
        const int at = layout.firstRow + int(rows.size()) + 2;
        sheet.setValue(at, 1, QStringLiteral("TOTAL: ") +
                                  QString::number(layout.total >= 0 ? layout.total : int(rows.size())));
        sheet.setFontStyle(at, 1, QStringLiteral("bold"));
    }
    sheet.setColumnWidth(1, 20);
    if (!sheet.finish()) {
        showFailure();
        return false;
    }
    if (path)
        *path = sheet.fileName();
    return true;
}

void Spreadsheet::setColumnWidth(int column, int width) { m_widths[column] = width; }

QString Spreadsheet::text(int row, int column) const
{
    return m_cells.value({row, column}).text;
}

bool Spreadsheet::finish()
{
    if (!m_created)
        return false;
    const QByteArray path = QFile::encodeName(m_path);
    lxw_workbook *book = workbook_new(path.constData());
    if (!book)
        return false;
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    // One format per distinct look.
    QHash<QString, lxw_format *> formats;
    auto formatFor = [&](const Cell &c) -> lxw_format * {
        if (c.size == 0 && !c.bold && c.alignment == 0)
            return nullptr;
        const QString key = QStringLiteral("%1/%2/%3").arg(c.size).arg(c.bold).arg(c.alignment);
        if (lxw_format *f = formats.value(key))
            return f;
        lxw_format *f = workbook_add_format(book);
        if (c.size > 0)
            format_set_font_size(f, c.size);
        if (c.bold)
            format_set_bold(f);
        if (c.alignment == 2)
            format_set_align(f, LXW_ALIGN_LEFT);
        formats.insert(key, f);
        return f;
    };
    for (auto it = m_widths.cbegin(); it != m_widths.cend(); ++it)
        worksheet_set_column(sheet, lxw_col_t(it.key() - 1), lxw_col_t(it.key() - 1), it.value(), nullptr);
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        const auto [row, column] = it.key();
        if (row < 1 || column < 1)
            continue;
        const QByteArray text = it.value().text.toUtf8();
        worksheet_write_string(sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), text.constData(),
                               formatFor(it.value()));
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        return false;
    m_created = false;
    // The file is there whatever happens next; with no program to open it the user is told
    // where it is.
    if (opensFiles() && !openWithDesktop(m_path))
        Msg::information(QString::fromUtf8("A planilha foi gravada em:\n%1\n\nNão há neste computador "
                                           "um programa para abri-la; abra o arquivo num programa "
                                           "de planilhas.")
                             .arg(QDir::toNativeSeparators(m_path)));
    return true;
}

Spreadsheet::~Spreadsheet()
{
    // A report that failed after starting its spreadsheet leaves no empty file behind.
    if (m_created)
        QFile::remove(m_path);
}
