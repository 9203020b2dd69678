#pragma once

// The program as most tests meet it: its folders in a temporary place, a throw-away database
// on the test server, the data module connected to it, and torvelctl at hand. A test class
// derives from it (after QObject), starts it in init() and stops it in cleanup(); its cases
// then reach env, tdb and dm as their own.
#include "TestDatabase.h"
#include "TestEnvironment.h"
#include "Torvelctl.h"
#include "core/TdmzDados.h"
#include "platform/SystemServices.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QStringList>
#include <memory>

// How a test starts the program.
struct ProgramStart {
    // Where valid, the program's clock stands still at this moment.
    QDateTime now;
    // TORVEL.INI names the test database, as for a window or torvelctl that connects itself.
    bool ini = false;
    // The data module is connected (false: made, but left for the test to connect).
    bool connected = true;
    // Spreadsheets are written but no spreadsheet program is started for them.
    bool quietSpreadsheets = false;
};

class ProgramFixture {
public:
    using Start = ProgramStart;

protected:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TestDatabase> tdb;
    std::unique_ptr<TdmzDados> dm;

    // False where the data module does not connect.
    bool startProgram(const Start &how = {})
    {
        env = std::make_unique<TestEnvironment>();
        if (how.quietSpreadsheets)
            qputenv("TORVEL_NO_SPREADSHEET_PROGRAM", "1");
        m_clockStopped = how.now.isValid();
        if (m_clockStopped)
            SystemServices::setClock([now = how.now] { return now; });
        tdb = std::make_unique<TestDatabase>();
        if (how.ini)
            env->writeIniFor(tdb->params());
        dm = std::make_unique<TdmzDados>();
        return !how.connected || dm->connectTo(tdb->params()).isEmpty();
    }

    // The data module first: it holds a connection to the database the test drops.
    void stopProgram()
    {
        dm.reset();
        tdb.reset();
        env.reset();
        if (m_clockStopped)
            SystemServices::setClock({});
        m_clockStopped = false;
    }

    QVariant scalar(const QString &sql) const { return tdb->scalar(sql); }

    // The collectors the report tests share: COL01 ALFA and COL02 BETA, and where given a
    // collector whose code tries the quoting of the statements, ESTRANHO.
    void seedCollectors(const QString &oddCollector = {}) const
    {
        tdb->exec("insert into coletor (codigo_coletor, nome_coletor) values ('COL01', 'ALFA'), ('COL02', 'BETA')");
        if (!oddCollector.isEmpty())
            Sql::exec(tdb->db(), "insert into coletor (codigo_coletor, nome_coletor) values (:c, 'ESTRANHO')",
                      {{":c", oddCollector}});
    }

    // A touch of `button` at `when` (yyyy-MM-dd hh:mm:ss), downloaded from `collector` at `download`.
    void insertTouch(const QString &collector, const QString &download, const QString &button, const QString &when,
                     int route = 0, int func = 0) const
    {
        Sql::exec(tdb->db(),
                  "insert into desctot (coletor, data_descarga, button, data_toque, codigo_roteiro, codigo_func) "
                  "values (:c, :d, :b, :t, :r, :f)",
                  {{":c", collector}, {":d", download}, {":b", button}, {":t", when}, {":r", route}, {":f", func}});
    }

    // The stops of `route` in their order, as "ORDEM:<column>".
    QStringList routeStops(int route, const QString &column) const
    {
        QSqlQuery q(tdb->db());
        q.exec(QStringLiteral("select ordem, %1 from descrot where codigo_roteiro = %2 order by ordem")
                   .arg(column)
                   .arg(route));
        QStringList out;
        while (q.next())
            out << q.value(0).toString() + ":" + q.value(1).toString();
        return out;
    }

#ifdef TORVELCTL
    using Ctl = Torvelctl::Result;
    static Ctl torvelctl(const QStringList &args) { return Torvelctl::run(args); }
#endif

private:
    bool m_clockStopped = false;
};
