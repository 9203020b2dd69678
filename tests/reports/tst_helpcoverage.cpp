// The help text speaks of every command the menus offer, by the caption the user sees.
#include "TestEnvironment.h"
#include "collection/Commands.h"
#include "core/TfmQ90ini.h"
#include "core/TorvelApplication.h"
#include "listings/Commands.h"
#include "registries/Commands.h"
#include "reports/Commands.h"

#include <QAction>
#include <QFile>
#include <QtTest>

class TestHelpCoverage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TorvelApplication::setUp(); }

    void everyMenuCommandIsInTheHelp()
    {
        TestEnvironment env;
        QFile file(QStringLiteral(TORVEL_SOURCE_DIR "/docs/TORVEL.TXT"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString help = QString::fromUtf8(file.readAll());
        TfmQ90ini w;
        Registries::registerCommands(w);
        Collection::registerCommands(w);
        Reports::registerCommands(w);
        Listings::registerCommands(w);
        QStringList missing;
        int commands = 0;
        for (QAction *action : w.findChildren<QAction *>()) {
            if (action->objectName().isEmpty() || !w.hasCommand(action->objectName()))
                continue;
            ++commands;
            QString caption = action->text().remove(u'&').trimmed();
            if (caption.endsWith(QStringLiteral("...")))
                caption.chop(3);
            if (!help.contains(caption, Qt::CaseInsensitive))
                missing << caption;
        }
        QVERIFY(commands > 30);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    }
};

QTEST_MAIN(TestHelpCoverage)
#include "tst_helpcoverage.moc"
