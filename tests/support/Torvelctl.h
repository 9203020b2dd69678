#pragma once

// torvelctl as a test runs it: to its end, with its exit status, standard output by line and
// standard error.
#include <QProcess>
#include <QStringList>

#ifdef TORVELCTL
namespace Torvelctl {

struct Result {
    int status;
    QStringList out;
    QString err;
};

struct How {
    // As a batch job runs it: with no screen setting.
    bool batch = false;
    // Blank lines of the output left out (else only the last line end goes).
    bool skipBlankLines = false;
};

inline Result run(const QStringList &args, How how = {})
{
    QProcess p;
    if (how.batch) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(e);
    }
    p.start(QStringLiteral(TORVELCTL), args);
    p.waitForFinished(60000);
    QString out = QString::fromUtf8(p.readAllStandardOutput());
    QStringList lines;
    if (how.skipBlankLines) {
        lines = out.split('\n', Qt::SkipEmptyParts);
    } else {
        if (out.endsWith('\n'))
            out.chop(1);
        if (!out.isEmpty())
            lines = out.split('\n');
    }
    return {p.exitCode(), lines, QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace Torvelctl
#endif
