#pragma once

#include "TestDatabase.h"
#include "core/db/DataSet.h"

#include <initializer_list>

// A throw-away database holding what the `setup` statements put in, and a data set already open
// on `sql` over it: the start of most data set tests. Taken apart with `auto &[tdb, ds] = ...`.
struct OpenDataSet {
    TestDatabase tdb;
    DataSet ds;

    OpenDataSet(std::initializer_list<QString> setup, const QString &sql) : ds(tdb.db())
    {
        for (const QString &statement : setup)
            tdb.exec(statement);
        ds.setSql(sql);
        ds.open();
    }
};
