#include "core/TorvelApplication.h"

#include "core/db/Sql.h"
#include "platform/MessageService.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

TorvelApplication::TorvelApplication(int &argc, char **argv) : QApplication(argc, argv) {}

// The project's version, handed in by the build for this file only.
QString TorvelApplication::version() { return QStringLiteral(TORVEL_VERSION); }

bool TorvelApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const DbError &e) {
        restoreOverrideCursor();
        Msg::error(e.text());
    } catch (const std::exception &e) {
        restoreOverrideCursor();
        Msg::error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

void TorvelApplication::setUp()
{
    QCoreApplication::setApplicationName(QStringLiteral("torvel"));
    QCoreApplication::setOrganizationName(QStringLiteral("torvel"));
    QCoreApplication::setApplicationVersion(version());
    // No application display name: on Linux Qt appends it to every window title
    // ("Lista de Locais — Torvel - Controle de Rondas"). The main window carries the
    // program's title itself.
    QGuiApplication::setDesktopFileName(QStringLiteral("torvel"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    installQtTranslations();
}

bool TorvelApplication::installQtTranslations()
{
    static QTranslator *installed = nullptr;
    if (installed)
        return true;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
