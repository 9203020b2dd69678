// torvelctl: the engines without windows, for scripts and batch jobs.
#include "cli/CliContext.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvelctl"));
    QStringList args = app.arguments().mid(1);
    return Cli::run(args);
}
