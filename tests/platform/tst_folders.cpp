#include "platform/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestFolders : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void overridesAreCreatedAndEndInASeparator_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<int>("which");
        QTest::newRow("program") << QByteArray("TORVEL_HOME") << 0;
        QTest::newRow("windows") << QByteArray("TORVEL_WINDIR") << 1;
        QTest::newRow("backup") << QByteArray("TORVEL_BACKUP_DIR") << 2;
        QTest::newRow("documents") << QByteArray("TORVEL_DOCUMENTS") << 3;
    }

    void overridesAreCreatedAndEndInASeparator()
    {
        QFETCH(QByteArray, variable);
        QFETCH(int, which);
        QString (*const folders[])() = {Folders::programFolder, Folders::windowsFolder,
                                        Folders::backupFolder, Folders::documentsFolder};
        const QString target = m_dir.filePath(QString::fromLatin1(variable) + "/a/b");
        qputenv(variable.constData(), target.toUtf8());
        const QString folder = folders[which]();
        QCOMPARE(folder, target + "/");
        QVERIFY(QFileInfo(folder).isDir());
    }

    void tempFolderLivesInTheWindowsFolder()
    {
        qputenv("TORVEL_WINDIR", m_dir.filePath("win/").toUtf8());
        QCOMPARE(Folders::tempFolder(), m_dir.filePath("win/TEMP/"));
        QVERIFY(QFileInfo(Folders::tempFolder()).isDir());
    }

    void relativeOverrideBecomesAbsolute()
    {
        QDir::setCurrent(m_dir.path());
        qputenv("TORVEL_BACKUP_DIR", "rel/../coleta");
        QCOMPARE(Folders::backupFolder(), m_dir.filePath("coleta/"));
    }

    void defaultsUnderHome()
    {
        qputenv("HOME", m_dir.filePath("home").toUtf8());
        qunsetenv("TORVEL_HOME");
        qunsetenv("TORVEL_WINDIR");
        qunsetenv("TORVEL_BACKUP_DIR");
        QCOMPARE(Folders::programFolder(), m_dir.filePath("home/.local/share/torvel/"));
        QCOMPARE(Folders::windowsFolder(), m_dir.filePath("home/.config/torvel/"));
        QCOMPARE(Folders::backupFolder(), m_dir.filePath("home/COLETA/"));
    }

    void withSeparator()
    {
        QCOMPARE(Folders::withSeparator("/tmp"), QString("/tmp/"));
        QCOMPARE(Folders::withSeparator("/tmp/"), QString("/tmp/"));
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
