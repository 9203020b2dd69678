// torvelctl: the engines without windows, for scripts and batch jobs.
#include "cli/CliContext.h"
#include "core/TorvelApplication.h"
#include "platform/SystemServices.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

namespace {

// Laying out a printed report or a picture needs fonts, hence a GUI application (the offscreen one, as a
// script has no screen). Every other command stays a plain console program, whose stderr
// carries nothing but its own messages.
bool printsReport(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--pdf") == 0 || qstrcmp(argv[i], "--png") == 0)
            return true;
    return false;
}

}  // namespace

int main(int argc, char *argv[])
{
    SystemServices::pinTimeZone();
    std::unique_ptr<QCoreApplication> app;
    if (printsReport(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
        // Whatever Qt itself writes into a report (page texts, defaults) is in Portuguese.
        TorvelApplication::installQtTranslations();
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("torvelctl"));
    QStringList args = app->arguments().mid(1);
    return Cli::run(args);
}
