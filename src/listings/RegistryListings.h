#pragma once

#include "reports/Listing.h"

#include <optional>

class QWidget;
class TdmzDados;

// The listings of the registries ("&Relatórios" > "&Cadastros"): one row per registered row,
// printed (with the report windows' titles and headings) or as a spreadsheet. Nothing is asked
// of the user; each listing is a query, a count and a configuration.
enum class RegistryListing { Collectors, Identifiers, Collaborators, Events, Locations, Functions, Distances };

class RegistryListings {
public:
    explicit RegistryListings(TdmzDados &dm) : m_dm(dm) {}

    // The name torvelctl knows a listing by ("collectors", "identifiers", ...).
    static QString name(RegistryListing listing);
    static std::optional<RegistryListing> named(const QString &name);
    static QStringList names();
    // The distance listing is only ever printed.
    static bool hasSpreadsheet(RegistryListing listing) { return listing != RegistryListing::Distances; }

    // The rows, the printed report's bands and the spreadsheet's shape. DbError when a query
    // fails.
    Listing run(RegistryListing listing);

    // The menu command: the spreadsheet when the spreadsheet setting is on (and the listing
    // has one), else the printed report's preview.
    static void open(RegistryListing listing, QWidget *parent);

    struct Column;

private:
    Listing collectors();
    Listing identifiers();
    Listing collaborators();
    Listing events();
    Listing locations();
    Listing functions();
    Listing distances();
    // A registry listed whole: the `columns` of every row of `sql`, then, `withMoment`, the
    // registration moment (written in full in the spreadsheet); "TOTAL: n" under the first
    // column and in the spreadsheet, n being the rows of `table`. The spreadsheet's title is
    // the printed one unless given.
    Listing registry(const QString &sql, const QString &table, const QList<Column> &columns, const QString &title,
                     const QString &sheetTitle = {}, bool withMoment = true);
    // "select count(*) as total from <table>".
    int count(const QString &table);

    TdmzDados &m_dm;
};
