#include "reports/ConsistencyOutput.h"

#include "core/TdmzDados.h"
#include "core/db/DataSet.h"
#include "platform/LocalTable.h"
#include "platform/MessageService.h"
#include "platform/Spreadsheet.h"
#include "platform/SystemServices.h"
#include "platform/TextCut.h"

namespace {

const QString kFiveBlanks = QStringLiteral("     ");

// Positions of Contador and Col1..Col7 in a working-table row.
enum Column { Contador = 0, Col1, Col2, Col3, Col4, Col5, Col6, Col7, ColumnCount };

QString cell(const QVariantList &row, int column) { return row.value(column).toString(); }

bool isHeader(const QVariantList &row) { return cell(row, Col1).startsWith(QLatin1String("CICLO")); }

// A row that makes its cycle worth reading in full: a summary or remark line, a verdict, an
// interval remark.
bool hasRemark(const QVariantList &row)
{
    return cell(row, Col1).startsWith(u'-') || !cell(row, Col5).isEmpty() ||
           !cell(row, Col7).isEmpty();
}

// The header of a correct cycle, condensed. The duration limits ("  -  Duração (min): ...")
// are cut off with the separator before them, which leaves one trailing blank.
QString condensedHeader(const QString &header, const QString &start)
{
    QString text = header;
    const qsizetype at = text.indexOf(QString::fromUtf8("Duração"));
    if (at >= 0)
        text = text.left(qMax<qsizetype>(0, at + 1 - 5));
    return text + QString::fromUtf8(" - Início: ") + start + QStringLiteral(" - Correto");
}

bool rewrite(LocalTable &table, const QList<QVariantList> &rows)
{
    const QList<LocalField> fields = table.fields();
    if (!table.create(fields))
        return false;
    for (const QVariantList &row : rows) {
        if (!table.append())
            return false;
        for (int i = 0; i < fields.size(); ++i)
            if (row.value(i).isValid() && !table.setValue(fields.at(i).name, row.at(i)))
                return false;
        if (!table.post())
            return false;
    }
    return table.flush();
}

QVariantList blankRow() { return QVariantList(ColumnCount); }

}  // namespace

bool CondenseCycles(LocalTable &table)
{
    const QList<QVariantList> rows = table.rows();
    if (!table.lastError().isEmpty())
        return false;

    QList<QVariantList> kept;
    kept.reserve(rows.size());
    // The start text: for the first cycle the search begins at the top of the table, for every
    // later one at its header. A cycle without a location touch gets an empty start rather than
    // the start of the cycle before it.
    QString start;
    bool startFound = false;
    qsizetype i = 0;
    auto takeStart = [&](const QVariantList &row) {
        if (!startFound && !cell(row, Col4).isEmpty()) {
            start = TextCut::left(cell(row, Col6), 17);
            startFound = true;
        }
    };
    for (; i < rows.size() && !isHeader(rows.at(i)); ++i) {
        takeStart(rows.at(i));
        kept << rows.at(i);
    }
    bool firstCycle = true;
    while (i < rows.size()) {
        const qsizetype header = i;
        if (!firstCycle) {
            start.clear();
            startFound = false;
        }
        firstCycle = false;
        bool correct = true;
        qsizetype end = header;
        do {
            takeStart(rows.at(end));
            correct = correct && !hasRemark(rows.at(end));
            ++end;
        } while (end < rows.size() && !isHeader(rows.at(end)));

        if (!correct) {
            for (qsizetype r = header; r < end; ++r)
                kept << rows.at(r);
        } else {
            QVariantList condensed = rows.at(header);
            condensed[Col1] = condensedHeader(cell(condensed, Col1), start);
            kept << condensed;
            for (qsizetype r = header + 1; r < end; ++r)
                if (!cell(rows.at(r), Col2).isEmpty())
                    kept << rows.at(r);
        }
        i = end;
    }
    if (kept == rows)
        return true;
    return rewrite(table, kept);
}

bool AppendFunctionTotals(LocalTable &table, LocalTable &totals, int sumOfQuantities)
{
    if (sumOfQuantities <= 0)
        return true;
    const QList<QVariantList> functions = totals.rows();
    if (!totals.lastError().isEmpty())
        return false;
    if (functions.isEmpty())
        return true;
    const QList<LocalField> totalFields = totals.fields();
    auto totalColumn = [&](const QString &name) {
        for (int i = 0; i < totalFields.size(); ++i)
            if (totalFields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    const int description = totalColumn(QStringLiteral("descricao"));
    const int total = totalColumn(QStringLiteral("total"));

    QList<QVariantList> appended{blankRow(), blankRow()};
    for (const QVariantList &function : functions) {
        QVariantList row = blankRow();
        row[Col1] = function.value(description).toString();
        const QVariant quantity = function.value(total);
        row[Col3] = quantity.isValid() && !quantity.isNull() ? quantity.toString() : QString();
        appended << row;
    }
    appended << blankRow();
    QVariantList grand = blankRow();
    grand[Col1] = QStringLiteral("TOTAL GERAL :");
    grand[Col3] = QString::number(sumOfQuantities);
    appended << grand;

    // The appended rows go on numbering after the analysis' last row.
    qlonglong counter = 0;
    for (const QVariantList &row : table.rows())
        counter = qMax(counter, row.value(Contador).toLongLong());
    if (!table.lastError().isEmpty())
        return false;
    const QList<LocalField> fields = table.fields();
    for (QVariantList &row : appended) {
        row[Contador] = ++counter;
        if (!table.append())
            return false;
        for (int c = 0; c < ColumnCount && c < fields.size(); ++c)
            if (!table.setValue(fields.at(c).name, c == Contador ? row.at(c) : QVariant(row.at(c).toString())))
                return false;
        if (!table.post())
            return false;
    }
    return table.flush();
}

// --- printed report ---

TfmRelConsist::TfmRelConsist(const QString &installation, const QString &lineA,
                             const QString &lineB, QList<QStringList> rows)
    : m_rows(std::move(rows))
{
    m_definition.title = QString::fromUtf8("Consistência");
    m_definition.installation = installation;
    m_definition.titleLines = {lineA, lineB};
    // Names wrap when the page is short of room; verdicts, date-times and times never do.
    // Cycle headers and summaries live in the first column and run on over the empty cells
    // beside them.
    const QStringList titles = headings();
    for (int c = 0; c < titles.size(); ++c)
        m_definition.columns.append({titles.at(c)});
    for (int c = 4; c < 7; ++c)
        m_definition.columns[c].keepWhole = true;
    m_definition.columns[5].widest = QStringLiteral("00/00/0000 00:00:00");
    m_definition.spillIntoEmptyColumns = true;
    // A cycle header, and the title of a list of names, always has its first line below it.
    const QList<QStringList> data = m_rows;
    m_definition.boldRow = [data](int row) {
        return data.at(row).value(0).startsWith(QLatin1String("CICLO"));
    };
    m_definition.keepWithNext = [data](int row) {
        const QString first = data.at(row).value(0);
        return first.startsWith(QLatin1String("CICLO")) ||
               first.startsWith(QString::fromUtf8("- Não Visitados")) ||
               first.startsWith(QString::fromUtf8("- Não Programados"));
    };
}

QStringList TfmRelConsist::headings()
{
    return {QStringLiteral("ESPERADO"),   QString::fromUtf8("FUNCIONÁRIO"),
            QStringLiteral("EVENTO"),     QStringLiteral("REALIZADO"),
            QString::fromUtf8("OCORRÊNCIA"), QStringLiteral("DATA"),
            QStringLiteral("TEMPO (min)")};
}

// --- the output step ---

ConsistencyOutput::ConsistencyOutput(TdmzDados &dm, ConsistencyInputs inputs,
                                     ConsistencyOutputOptions options, ConsistencyResult result)
    : m_dm(dm), m_inputs(std::move(inputs)), m_options(options), m_result(std::move(result))
{
}

void ConsistencyOutput::completeRows()
{
    LocalTable table(m_dm.tempFolder(), ConsistencyAnalysis::kWorkingTable);
    if (!table.open())
        throw DbError(table.lastError());
    if (m_options.synthetic && !CondenseCycles(table))
        throw DbError(table.lastError());
    if (m_result.sumOfQuantities > 0) {
        LocalTable totals(m_dm.tempFolder(), ConsistencyAnalysis::kTotalsTable);
        // No totals table (no job functions registered) means nothing to add.
        if (totals.exists()) {
            if (!totals.open())
                throw DbError(totals.lastError());
            if (!AppendFunctionTotals(table, totals, m_result.sumOfQuantities))
                throw DbError(!table.lastError().isEmpty() ? table.lastError() : totals.lastError());
        }
    }
    table.close();
}

bool ConsistencyOutput::announceAutomaticCheck() const
{
    if (!m_options.automaticCheck)
        return true;
    if (!m_result.inconsistent) {
        Msg::information(QString::fromUtf8("Não existem inconsistências!"));
        return false;
    }
    Msg::information(QString::fromUtf8("Existem inconsistências"));
    return true;
}

QString ConsistencyOutput::lineA() const
{
    QString line;
    if (m_inputs.collectorNamed) {
        m_dm.FindByField(m_inputs.collector, QStringLiteral("codigo_coletor"), QStringLiteral("coletor"));
        line += QStringLiteral("Coletor: ") + m_dm.qyProcura->text("codigo_coletor") + " - " +
                m_dm.qyProcura->text("nome_coletor") + kFiveBlanks;
    }
    if (m_inputs.periodGiven)
        line += QString::fromUtf8("Período: ") + m_inputs.periodStart + " a " + m_inputs.periodEnd +
                kFiveBlanks;
    else
        line += QStringLiteral("Data do Descarregamento: ") + m_inputs.download + kFiveBlanks;
    if (m_inputs.betweenCycles)
        line += QStringLiteral("Tempo entre Ciclos: Min: ") + m_inputs.betweenMin + " Max: " +
                m_inputs.betweenMax;
    return line;
}

QString ConsistencyOutput::lineB() const
{
    QString line;
    if (!m_inputs.company.isEmpty())
        line += QStringLiteral("Empresa: ") + m_inputs.company + kFiveBlanks;
    if (!m_inputs.routeName.isEmpty()) {
        line += QStringLiteral("Roteiro: ") + m_inputs.routeName + QStringLiteral("    ");
    } else if (m_options.withoutReference) {
        // Without a reference the route is the one the collector is programmed with.
        m_dm.FindByField(m_inputs.collector, QStringLiteral("codigo_coletor"), QStringLiteral("coletor"));
        const QString route = m_dm.qyProcura->text("codigo_roteiro");
        if (!route.isEmpty() &&
            m_dm.CountByField(route, QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros")) > 0) {
            m_dm.FindByField(route, QStringLiteral("codigo_roteiro"), QStringLiteral("roteiros"));
            line += QStringLiteral("Roteiro: ") + m_dm.qyProcura->text("nome_roteiro") + kFiveBlanks;
        }
    }
    if (m_options.withoutReference)
        line += QString::fromUtf8("Funcionário: ") + m_result.firstCollaborator + kFiveBlanks;
    return line;
}

QList<QStringList> ConsistencyOutput::rowsWithCounter() const
{
    LocalTable table(m_dm.tempFolder(), ConsistencyAnalysis::kWorkingTable);
    if (!table.open())
        throw DbError(table.lastError());
    QList<QStringList> result;
    for (const QVariantList &row : table.rows()) {
        QStringList cells;
        for (int c = 0; c < ColumnCount; ++c)
            cells << cell(row, c);
        result << cells;
    }
    if (!table.lastError().isEmpty())
        throw DbError(table.lastError());
    return result;
}

QList<QStringList> ConsistencyOutput::rows() const
{
    QList<QStringList> result = rowsWithCounter();
    for (QStringList &row : result)
        row.removeFirst();
    return result;
}

TfmRelConsist ConsistencyOutput::report() const
{
    return TfmRelConsist(m_dm.installationName(), lineA(), lineB(), rows());
}

bool ConsistencyOutput::writeSpreadsheet(QString *path) const
{
    SheetLayout layout;
    layout.title = QString::fromUtf8("Consistência");
    layout.headerLines = {lineA(), lineB()};
    layout.headerFontSize = 12;
    // Column 5 stays empty between the touched location and the occurrence, and row 5 between
    // the headings and the rows.
    layout.columns = {{1, QStringLiteral("Esperado"), true},      {2, QString::fromUtf8("Funcionário"), true},
                      {3, QStringLiteral("Evento"), true},        {4, QStringLiteral("Realizado"), true},
                      {6, QString::fromUtf8("Ocorrência"), true}, {7, QStringLiteral("Data"), true},
                      {8, QStringLiteral("Tempo(min)"), true}};
    layout.firstRow = 6;
    return Spreadsheet::write(layout, rows(), path);
}

ConsistencyOutput::Shown ConsistencyOutput::present(QWidget *parent)
{
    completeRows();
    if (!announceAutomaticCheck())
        return Shown::Nothing;
    if (m_dm.excel)
        return writeSpreadsheet() ? Shown::Spreadsheet : Shown::Nothing;
    const TfmRelConsist printed = report();
    printed.preview(parent);
    return Shown::Report;
}
