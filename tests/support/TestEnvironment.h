#pragma once

#include "core/db/Sql.h"

#include <QString>
#include <QTemporaryDir>

// Points every folder override of the program at a fresh temporary folder, and makes pauses
// instant, for the lifetime of the object.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path() + '/'; }
    QString programFolder() const { return root() + "home/"; }
    QString iniPath() const { return programFolder() + "TORVEL.INI"; }

    // Writes TORVEL.INI of the program folder with these lines.
    void writeIni(const QString &text) const;
    // A TORVEL.INI that connects to `params` without asking (first-run dialog done).
    void writeIniFor(const ConnectionParams &params) const;

private:
    QTemporaryDir m_dir;
};
