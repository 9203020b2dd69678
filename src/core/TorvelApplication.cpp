#include "core/TorvelApplication.h"

#include "core/db/Sql.h"
#include "platform/MessageService.h"

#include <QLocale>

TorvelApplication::TorvelApplication(int &argc, char **argv) : QApplication(argc, argv) {}

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
    QCoreApplication::setApplicationVersion(QStringLiteral("5.0.3"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Torvel - Controle de Rondas"));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
}
