#pragma once

#include "platform/Progress.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

class Spreadsheet;
class TdmzDados;

// "Relatório Analítico por Coletor" of one route: a spreadsheet with one column per day and one
// row per stop of the route (after one for the route's reference event), each cell holding the
// times of day at which that identifier was touched that day. The touches are chosen by
// identifier and day only, whoever collected them; the collector is only named in the header.
struct RouteTimesInputs {
    QString collector;      // codigo_coletor, named in the header
    QString collectorName;
    int route = 0;          // codigo_roteiro; 0 when no route is chosen (no stops)
    QString reference;      // the route's button_referencia
    QString firstDay;       // "dd/mm/yyyy" as typed
    QString lastDay;
};

// The cells of the sheet, by row and column (both from 1), as the spreadsheet receives them.
class RouteTimesSheet {
public:
    static constexpr int kTitleSize = 16;  // the font size of (1, 1)

    void set(int row, int column, const QString &text) { m_cells[{row, column}] = text; }
    QString text(int row, int column) const { return m_cells.value({row, column}); }
    bool has(int row, int column) const { return m_cells.contains({row, column}); }
    int rowCount() const;
    int columnCount() const;
    const QMap<std::pair<int, int>, QString> &cells() const { return m_cells; }

    // The rows as text, columns 1 to columnCount() separated by tabs with the trailing empty
    // ones left off; rows with nothing written are empty lines.
    QStringList tsv() const;
    // Every cell into `sheet` (already created), the title at kTitleSize.
    void writeTo(Spreadsheet &sheet) const;

private:
    QMap<std::pair<int, int>, QString> m_cells;
};

class RouteTimes {
public:
    static inline const QString kTitle = QString::fromUtf8("Relatório Analítico por Coletor");
    static constexpr int kFirstDayColumn = 3;
    static constexpr int kEventRow = 5;

    explicit RouteTimes(TdmzDados &dm) : m_dm(dm) {}

    // "01/dez": the day with two digits and the month's Portuguese abbreviation.
    static QString dayLabel(const QDate &day);
    // The code and name parts of a stop's name, split at its first "-": the code is what comes
    // before it less the character just before it ("001 - Portaria" gives "001" and
    // " Portaria"); with no "-" the code is empty and the name is all of it.
    static std::pair<QString, QString> splitLocationName(const QString &name);
    // "Início" or "Fim" read as a day; nullopt after "<campo>: '<texto>' não é uma data válida".
    static std::optional<QDate> readDay(const QString &field, const QString &typed);

    // The sheet's cells; nullopt after the message when a day is not a date, or the period
    // has more days than a spreadsheet has columns (nothing read then). DbError when a query
    // fails.
    std::optional<RouteTimesSheet> build(const RouteTimesInputs &inputs);

    // build() written as a spreadsheet, the days checked before the spreadsheet is started and
    // the spreadsheet started before anything is read. False after the message that says why
    // (Spreadsheet::showFailure() when it cannot be written). The file written in `path`.
    // `progress` hears how far it is and may stop it (false, no file written).
    bool run(const RouteTimesInputs &inputs, QString *path = nullptr, Progress progress = {});

private:
    // The first and last day; nullopt after the message when either is not a date, or when
    // there are more days than a spreadsheet has columns for.
    static std::optional<std::pair<QDate, QDate>> period(const RouteTimesInputs &inputs);
    // nullopt when `progress` stopped it.
    std::optional<RouteTimesSheet> collect(const RouteTimesInputs &inputs, const QDate &first, const QDate &last,
                                           Progress progress);

    TdmzDados &m_dm;
};
