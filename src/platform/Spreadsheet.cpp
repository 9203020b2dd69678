#include "platform/Spreadsheet.h"

#include "platform/Folders.h"
#include "platform/IniFile.h"
#include "platform/MessageService.h"
#include "platform/OutputFile.h"
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

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::function<bool(const QString &)> g_opener;
QString g_destination;

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

void Spreadsheet::showFailure(const QString &detail)
{
    Msg::error(detail.isEmpty() ? failureMessage() : failureMessage() + u'\n' + detail);
}

QString Spreadsheet::folder() { return Folders::documentsFolder() + "Planilhas/"; }

bool Spreadsheet::opensFiles()
{
    if (qEnvironmentVariableIntValue("TORVEL_NO_SPREADSHEET_PROGRAM") == 1)
        return false;
    return IniFile(Folders::programFolder() + "TORVEL.INI").readBool("CONFIG", "ABRIRPLANILHA", true);
}

void Spreadsheet::setOpener(std::function<bool(const QString &)> opener) { g_opener = std::move(opener); }

void Spreadsheet::setDestination(const QString &path) { g_destination = path; }

bool Spreadsheet::reserve(const QString &title)
{
    const QString dir = folder();
    if (!QDir().mkpath(dir)) {
        m_error = QString::fromUtf8("Não foi possível criar a pasta %1").arg(QDir::toNativeSeparators(dir));
        return false;
    }
    // Readable and unique: the report's title and the moment, numbered when that is taken.
    // The name is kept by an empty file made at once, so two reports in one second never
    // share a file.
    const QString stem = dir + safeName(title) + '-' +
                         SystemServices::now().toString(QStringLiteral("yyyy-MM-dd-hhmmss"));
    m_path = stem + ".xlsx";
    for (int n = 2;; ++n) {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        if (errno != EEXIST) {
            m_error = OutputFile::failureText(m_path, OutputFile::reasonFor(errno));
            return false;
        }
        m_path = QStringLiteral("%1-%2.xlsx").arg(stem).arg(n);
    }
    m_reserved = true;
    return true;
}

bool Spreadsheet::create(const QString &title)
{
    m_error.clear();
    if (g_destination.isEmpty()) {
        if (!reserve(title))
            return false;
    } else {
        m_path = g_destination;
    }
    m_output = std::make_unique<OutputFile>(m_path);
    if (!m_output->begin())
        return abandon(m_output->error());
    m_created = true;
    return true;
}

bool Spreadsheet::abandon(const QString &error)
{
    if (m_output)
        m_output->discard();
    if (m_reserved)
        QFile::remove(m_path);
    m_reserved = false;
    m_created = false;
    m_error = error;
    return false;
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
        showFailure(sheet.error());
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
        showFailure(sheet.error());
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
    const QByteArray path = QFile::encodeName(m_output->temporaryPath());
    lxw_workbook *book = workbook_new(path.constData());
    if (!book)
        return abandon(OutputFile::failureText(m_path, QString::fromUtf8("não há memória para a planilha")));
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
    errno = 0;
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        const int error = errno;
        return abandon(OutputFile::failureText(
            m_path, error != 0 ? OutputFile::reasonFor(error)
                               : QString::fromUtf8("a biblioteca de planilhas falhou (%1)")
                                     .arg(QString::fromUtf8(lxw_strerror(closed)))));
    }
    if (!m_output->commit())
        return abandon(m_output->error());
    m_created = false;
    m_reserved = false;
    // The file is there whatever happens next; with no program to open it the user is told
    // where it is. A destination is a file asked for, not one to show.
    if (g_destination.isEmpty() && opensFiles() && !openWithDesktop(m_path))
        Msg::information(QString::fromUtf8("A planilha foi gravada em:\n%1\n\nNão há neste computador "
                                           "um programa para abri-la; abra o arquivo num programa "
                                           "de planilhas.")
                             .arg(QDir::toNativeSeparators(m_path)));
    return true;
}

Spreadsheet::Spreadsheet() = default;

Spreadsheet::~Spreadsheet()
{
    // A report that failed after starting its spreadsheet leaves no file behind.
    if (m_created)
        abandon({});
}
