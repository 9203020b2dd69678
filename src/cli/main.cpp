// torvelctl: the engines without windows, for scripts and batch jobs.
#include "cli/CliContext.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Printed reports are laid out with fonts, which need a GUI application; a script has no
    // screen, so it gets the offscreen one unless it chose a platform itself.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvelctl"));
    QStringList args = app.arguments().mid(1);
    return Cli::run(args);
}
