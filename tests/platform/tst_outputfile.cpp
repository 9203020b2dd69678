#include "TestFiles.h"
#include "Unwritable.h"
#include "platform/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestFiles::readAll;
using TestFiles::writeAll;

}  // namespace

// Files written for the user: whole or not at all, never at the cost of the file that was there.
class TestOutputFile : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString path(const QString &name) const { return dir->filePath(name); }
    // Everything in the folder, hidden files included.
    QStringList entries() const
    {
        return QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private Q_SLOTS:
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    void replacesOnlyOnCommitAndKeepsPermissions()
    {
        const QString target = path("saida.txt");
        writeAll(target, "antigo");
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
        OutputFile out(target);
        QVERIFY(out.begin());
        QVERIFY(out.existed());
        QVERIFY(!out.isDirect());
        QCOMPARE(out.write("novo"), 4);
        // Until the commit the old file is what anyone reads.
        QCOMPARE(readAll(target), QByteArray("antigo"));
        QCOMPARE(entries().size(), 2);
        QVERIFY(QFileInfo(out.temporaryPath()).fileName().startsWith(".saida.txt."));
        QVERIFY(out.commit());
        QCOMPARE(readAll(target), QByteArray("novo"));
        QCOMPARE(entries(), QStringList{"saida.txt"});
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), 0640);

        // Dropped, or never committed: the file stays as it was, nothing beside it.
        {
            OutputFile dropped(target);
            QVERIFY(dropped.begin());
            dropped.write("perdido");
        }
        OutputFile discarded(target);
        QVERIFY(discarded.begin());
        discarded.write("perdido");
        discarded.discard();
        QVERIFY(!discarded.commit());
        QCOMPARE(readAll(target), QByteArray("novo"));
        QCOMPARE(entries(), QStringList{"saida.txt"});
    }

    void appendCopiesTheOldContentFirst()
    {
        const QString target = path("pontos.txt");
        OutputFile created(target);
        QVERIFY(created.begin(OutputFile::Mode::Append));
        QVERIFY(!created.existed());
        created.write("1\r\n");
        QVERIFY(created.commit());
        OutputFile appended(target);
        QVERIFY(appended.begin(OutputFile::Mode::Append));
        QVERIFY(appended.existed());
        appended.write("2\r\n");
        QCOMPARE(readAll(target), QByteArray("1\r\n"));
        QVERIFY(appended.commit());
        QCOMPARE(readAll(target), QByteArray("1\r\n2\r\n"));
        QCOMPARE(entries(), QStringList{"pontos.txt"});
    }

    void aLinkKeepsPointingAtTheNewFile()
    {
        QDir().mkpath(path("real"));
        writeAll(path("real/alvo.txt"), "antigo");
        QVERIFY(QFile::link(path("real/alvo.txt"), path("atalho.txt")));
        OutputFile out(path("atalho.txt"));
        QVERIFY(out.begin());
        out.write("novo");
        QVERIFY(out.commit());
        QVERIFY(QFileInfo(path("atalho.txt")).isSymLink());
        QCOMPARE(readAll(path("real/alvo.txt")), QByteArray("novo"));
        QCOMPARE(QDir(path("real")).entryList(QDir::Files | QDir::Hidden), QStringList{"alvo.txt"});
    }

    void aDeviceIsWrittenDirectly()
    {
        OutputFile null(QStringLiteral("/dev/null"));
        QVERIFY(null.begin());
        QVERIFY(null.isDirect());
        QCOMPARE(null.write("nada"), 4);
        QVERIFY(null.commit());
        QVERIFY(QFileInfo(QStringLiteral("/dev/null")).exists());

        OutputFile full(QStringLiteral("/dev/full"));
        QVERIFY(full.begin());
        QCOMPARE(full.write("nada"), -1);
        QVERIFY(!full.commit());
        QCOMPARE(full.reason(), QString::fromUtf8("não há espaço no disco"));
    }

    void whatCannotBeWrittenIsRefusedBeforeAnythingIsTouched_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder") << "pasta" << QString::fromUtf8("é uma pasta");
        QTest::newRow("a missing folder") << "falta/saida.pdf" << QString::fromUtf8("a pasta %1 não existe");
        QTest::newRow("a file as folder") << "arquivo/saida.pdf" << QString::fromUtf8("%1 não é uma pasta");
        QTest::newRow("no name") << "" << QString::fromUtf8("nenhum arquivo foi informado");
    }

    void whatCannotBeWrittenIsRefusedBeforeAnythingIsTouched()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        QDir().mkpath(path("pasta"));
        writeAll(path("arquivo"), "meu");
        const QStringList before = entries();
        const QString full = target.isEmpty() ? QString() : path(target);
        OutputFile out(full);
        QVERIFY(!out.begin());
        QCOMPARE(out.reason(), reason.contains("%1") ? reason.arg(QFileInfo(full).absolutePath()) : reason);
        QCOMPARE(out.error(), QString::fromUtf8("Não foi possível gravar o arquivo %1: %2").arg(full, out.reason()));
        QVERIFY(!out.commit());
        QCOMPARE(entries(), before);
        QCOMPARE(readAll(path("arquivo")), QByteArray("meu"));
    }

    void anUnwritableFileOrFolderKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("lockFolder");
        QTest::addColumn<bool>("append");
        QTest::newRow("read-only file") << false << false;
        QTest::newRow("read-only file, appending") << false << true;
        QTest::newRow("read-only folder") << true << false;
        QTest::newRow("read-only folder, appending") << true << true;
    }

    void anUnwritableFileOrFolderKeepsTheOldFile()
    {
        QFETCH(bool, lockFolder);
        QFETCH(bool, append);
        QDir().mkpath(path("docs"));
        const QString target = path("docs/relatorio.pdf");
        writeAll(target, "conteúdo antigo");
        Unwritable locked(lockFolder ? path("docs") : target);
        if (!locked.ok())
            QSKIP("this file system cannot make a file unwritable for root");
        OutputFile out(target);
        QVERIFY(!out.begin(append ? OutputFile::Mode::Append : OutputFile::Mode::Replace));
        QVERIFY2(out.reason() == OutputFile::reasonFor(EACCES) || out.reason() == OutputFile::reasonFor(EPERM),
                 qPrintable(out.reason()));
        QVERIFY(out.error().contains(target));
        QCOMPARE(readAll(target), QByteArray("conteúdo antigo"));
        QCOMPARE(QDir(path("docs")).entryList(QDir::Files | QDir::Hidden), QStringList{"relatorio.pdf"});
    }

    // The disk fills up half-way (here: the file size limit): the old file is whole, the
    // half-written one is gone.
    void aWriteThatFailsHalfWayLosesNothing()
    {
        const QString target = path("grande.txt");
        writeAll(target, "antigo");
        const QByteArray block(64 * 1024, 'x');
        rlimit before{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = before;
        small.rlim_cur = 100 * 1024;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        OutputFile out(target);
        const bool begun = out.begin();
        const qint64 first = out.write(block);
        const qint64 second = out.write(block);
        const bool committed = out.commit();
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(begun);
        QCOMPARE(first, block.size());
        QCOMPARE(second, -1);
        QVERIFY(!committed);
        QCOMPARE(out.reason(), QString::fromUtf8("o arquivo ficou grande demais"));
        QCOMPARE(readAll(target), QByteArray("antigo"));
        QCOMPARE(entries(), QStringList{"grande.txt"});

        // Appending: the same.
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        std::signal(SIGXFSZ, SIG_IGN);
        OutputFile more(target);
        const bool appendBegun = more.begin(OutputFile::Mode::Append);
        more.write(block);
        more.write(block);
        const bool appendCommitted = more.commit();
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(appendBegun);
        QVERIFY(!appendCommitted);
        QCOMPARE(readAll(target), QByteArray("antigo"));
        QCOMPARE(entries(), QStringList{"grande.txt"});
    }
};

QTEST_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
