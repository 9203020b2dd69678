#include "platform/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    static void put(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // The file `name` in the scratch folder, holding `bytes`.
    QString written(const QString &name, const QByteArray &bytes) const
    {
        const QString file = path(name);
        put(file, bytes);
        return file;
    }

    // Lines ended the Windows way, as files the old program wrote.
    static QByteArray crlf(const QStringList &lines)
    {
        QByteArray bytes;
        for (const QString &line : lines)
            bytes += line.toUtf8() + "\r\n";
        return bytes;
    }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void missingFileReadsAsDefaultsAndIsCreatedWithItsFolderOnWrite()
    {
        const QString file = path("novo/sub/TORVEL.INI");
        IniFile ini(file);
        QCOMPARE(ini.readString("Banco", "Host", "localhost"), QString("localhost"));
        QCOMPARE(ini.readInteger("Banco", "Porta", 3306), 3306);
        QVERIFY(ini.isReadable());
        QVERIFY(ini.sections().isEmpty());
        QVERIFY(!QFile::exists(file));

        QVERIFY(ini.writeString("Banco", "Host", "servidor"));
        QCOMPARE(contents(file), QByteArray("[Banco]\nHost=servidor\n"));
    }

    void readsTrimmedValuesCaseInsensitivelyAndIgnoresNonEntries()
    {
        const QString file = path("read.ini");
        put(file,
            "orfa=fora de seção\r\n"
            "; comentario=nao e chave\r\n"
            "[ Geral ]\r\n"
            "  Empresa  =  Vigilância Ltda  \r\n"
            "lixo sem igual\r\n"
            "=sem chave\r\n"
            "Vazio=\r\n"
            "Empresa=segunda ocorrência\r\n"
            "[geral]\n"
            "Outra=da seção repetida\n");
        IniFile ini(file);
        QCOMPARE(ini.readString("GERAL", "empresa"), QString("Vigilância Ltda"));
        QCOMPARE(ini.readString("Geral", "Vazio", "def"), QString());
        QVERIFY(ini.valueExists("geral", "VAZIO"));
        QVERIFY(!ini.valueExists("Geral", "lixo sem igual"));
        QVERIFY(!ini.valueExists("Geral", "Outra"));  // only the first section counts
        QCOMPARE(ini.readString("", "orfa", "def"), QString("def"));
        QCOMPARE(ini.sections(), QStringList{"Geral"});
        QCOMPARE(ini.keys("geral"), (QStringList{"Empresa", "Vazio"}));
        QVERIFY(!ini.sectionExists("Banco"));
    }

    void integersAndBooleans_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("integer");
        QTest::addColumn<bool>("boolean");
        // Defaults are 7 and true, so a value read as the default shows.
        QTest::newRow("plain") << QByteArray("42") << 42 << true;
        QTest::newRow("blanks") << QByteArray("  -5 ") << -5 << true;
        QTest::newRow("plus") << QByteArray("+3") << 3 << true;
        QTest::newRow("zero") << QByteArray("0") << 0 << false;
        QTest::newRow("empty") << QByteArray("") << 7 << true;
        QTest::newRow("trailing junk") << QByteArray("12abc") << 7 << true;
        QTest::newRow("word") << QByteArray("abc") << 7 << true;
        QTest::newRow("hex") << QByteArray("0x10") << 7 << true;
        QTest::newRow("decimal") << QByteArray("1.5") << 7 << true;
        QTest::newRow("overflow") << QByteArray("99999999999") << 7 << true;
    }

    void integersAndBooleans()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, integer);
        QFETCH(bool, boolean);
        const QString file = written("numbers.ini", "[N]\nv=" + stored + "\n");
        IniFile ini(file);
        QCOMPARE(ini.readInteger("N", "v", 7), integer);
        QCOMPARE(ini.readBool("N", "v", true), boolean);
    }

    void booleansReadNonZeroAsTrueAndWriteOneOrZero()
    {
        const QString file = written("bool.ini", "[B]\nminus=-1\nword=sim\n");
        IniFile ini(file);
        QVERIFY(ini.readBool("B", "minus", false));
        QVERIFY(!ini.readBool("B", "word", false));
        QVERIFY(ini.writeBool("B", "on", true));
        QVERIFY(ini.writeBool("B", "off", false));
        QVERIFY(ini.writeInteger("B", "n", -12));
        QCOMPARE(contents(file), QByteArray("[B]\nminus=-1\nword=sim\non=1\noff=0\nn=-12\n"));
    }

    void rewritingKeepsLayoutSpellingAndOrder()
    {
        const QString file = written("layout.ini", crlf({"; Torvel", "[Banco]", "Host = velho", "Porta=3306",
                                                          "", "; serial", "[Serial]", "Porta=COM1"}));
        IniFile ini(file);
        QVERIFY(ini.writeString("BANCO", "HOST", "novo"));
        QVERIFY(ini.writeString("banco", "Usuario", "torvel"));
        QVERIFY(ini.writeString("Relatorios", "Pasta", "/tmp"));
        QCOMPARE(contents(file), QByteArray("; Torvel\n"
                                            "[Banco]\n"
                                            "Host=novo\n"
                                            "Porta=3306\n"
                                            "Usuario=torvel\n"
                                            "\n"
                                            "; serial\n"
                                            "[Serial]\n"
                                            "Porta=COM1\n"
                                            "[Relatorios]\n"
                                            "Pasta=/tmp\n"));
    }

    void keyAddedToAnEmptySectionGoesRightAfterItsHeader()
    {
        const QString file = written("empty-section.ini", "[A]\n\n[B]\nx=1\n");
        IniFile ini(file);
        QVERIFY(ini.sectionExists("a"));
        QVERIFY(ini.writeString("A", "k", "v"));
        QCOMPARE(contents(file), QByteArray("[A]\nk=v\n\n[B]\nx=1\n"));
    }

    void lineBreaksInAValueCannotSplitTheEntry()
    {
        IniFile ini(path("breaks.ini"));
        QVERIFY(ini.writeString("S", "k", "um\r\ndois"));
        QVERIFY(ini.writeString("S", "depois", "x"));
        QCOMPARE(ini.keys("S"), (QStringList{"k", "depois"}));
        QCOMPARE(ini.readString("S", "k"), QString("um  dois"));
    }

    void invalidNamesAreRefused()
    {
        IniFile ini(path("names.ini"));
        QVERIFY(!ini.writeString("S", " ", "v"));
        QVERIFY(!ini.writeString("S", "a=b", "v"));
        QVERIFY(!ini.writeString("", "k", "v"));
        // Names that would read back as another line: a header, a comment, a second entry.
        QVERIFY(!ini.writeString("S", "k\nx", "v"));
        QVERIFY(!ini.writeString("S\n[T", "k", "v"));
        QVERIFY(!ini.writeString("S", "[T]", "v"));
        QVERIFY(!ini.writeString("S", ";k", "v"));
        QVERIFY(ini.lastError().startsWith("Não foi possível gravar o arquivo de configuração"));
        QVERIFY(!QFile::exists(ini.path()));
        QVERIFY(IniFile::isValidName("Password"));
        for (const char *bad : {"", " ", "a\nb", "a\rb", "[a", "a]", "a=b", ";a"})
            QVERIFY2(!IniFile::isValidName(QString::fromUtf8(bad)), bad);
    }

    // Two processes writing different keys of one file at the same time: every write survives
    // (each rewrite replaces the whole file, so an unlocked read-modify-write loses the other
    // process's keys written in between).
    void concurrentWritersLoseNothing()
    {
        const QString file = path("concurrent.ini");
        constexpr int kWrites = 300;
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            IniFile ini(file, true);
            bool ok = true;
            for (int i = 0; i < kWrites; ++i)
                ok = ini.writeString("FILHO", QStringLiteral("k%1").arg(i), QString::number(i))
                     && ok;
            _exit(ok ? 0 : 1);
        }
        IniFile ini(file, true);
        for (int i = 0; i < kWrites; ++i)
            QVERIFY(ini.writeString("PAI", QStringLiteral("k%1").arg(i), QString::number(i)));
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(ini.keys("PAI").size(), kWrites);
        QCOMPARE(ini.keys("FILHO").size(), kWrites);
        QCOMPARE(ini.readString("FILHO", QStringLiteral("k%1").arg(kWrites - 1)),
                 QString::number(kWrites - 1));
        // The lock file shows no more than the file holding the password.
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(file + ".lock").constData(), &st), 0);
        QCOMPARE(st.st_mode & 0077, mode_t(0));
    }

    void deleteKeyAndEraseSection()
    {
        const QString file = written("delete.ini", "[A]\nx=1\ny=2\n[B]\nz=3\n; fim\n[a]\nw=4\n");
        IniFile ini(file);
        QVERIFY(ini.deleteKey("a", "X"));
        QVERIFY(ini.deleteKey("A", "inexistente"));
        QCOMPARE(contents(file), QByteArray("[A]\ny=2\n[B]\nz=3\n; fim\n[a]\nw=4\n"));
        QVERIFY(ini.eraseSection("A"));
        QCOMPARE(contents(file), QByteArray("[B]\nz=3\n; fim\n"));
        QVERIFY(ini.eraseSection("nenhuma"));

        IniFile missing(path("never.ini"));
        QVERIFY(missing.deleteKey("A", "x"));
        QVERIFY(missing.eraseSection("A"));
        QVERIFY(!QFile::exists(missing.path()));
    }

    void readsSeeWritesFromAnotherObject()
    {
        const QString file = path("shared.ini");
        IniFile reader(file);
        IniFile writer(file);
        QCOMPARE(reader.readString("S", "k"), QString());
        QVERIFY(writer.writeString("S", "k", "primeiro"));
        QCOMPARE(reader.readString("S", "k"), QString("primeiro"));
        // Same size, written within the same second: a size/mtime cache would miss this.
        QVERIFY(writer.writeString("S", "k", "segundo!"));
        QCOMPARE(reader.readString("S", "k"), QString("segundo!"));
        reader.close();
        reader.close();
        QVERIFY(reader.isClosed());
        QCOMPARE(reader.readString("S", "k"), QString("segundo!"));
        QVERIFY(reader.writeString("S", "k", "depois de fechar"));
        QCOMPARE(writer.readString("S", "k"), QString("depois de fechar"));
    }

    void encodings()
    {
        const QString file = written("latin1.ini", "\xEF\xBB\xBF[Empresa]\r\nNome=Seguran\xE7" "a\r\nCidade=S\xC3\xA3o Paulo\r\n");
        IniFile ini(file);
        QCOMPARE(ini.sections(), QStringList{"Empresa"});  // the BOM is not part of the name
        QCOMPARE(ini.readString("Empresa", "Nome"), QString("Segurança"));
        QCOMPARE(ini.readString("Empresa", "Cidade"), QString("São Paulo"));
        QVERIFY(ini.writeString("Empresa", "Rua", "Avenida Paulista"));
        QCOMPARE(contents(file), QByteArray("[Empresa]\nNome=Seguran\xC3\xA7" "a\n"
                                            "Cidade=S\xC3\xA3o Paulo\nRua=Avenida Paulista\n"));
    }

    void garbledFileNeverBreaksReading()
    {
        const QString file = path("junk.ini");
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk += char((i * 7919) % 256);
        static const char tail[] = "\n[Ok]\nchave=valor\0oculto\n";
        junk += QByteArray(tail, sizeof(tail) - 1) + QByteArray(200000, 'x') + "=longa\n";
        put(file, junk);
        IniFile ini(file);
        QVERIFY(ini.sections().contains("Ok"));
        QCOMPARE(ini.readString("Ok", "chave").left(5), QString("valor"));
        QCOMPARE(ini.readString("Ok", QString(200000, 'x')), QString("longa"));
        QVERIFY(ini.writeString("Ok", "nova", "1"));
        QCOMPARE(ini.readInteger("Ok", "nova", 0), 1);
    }

    void ownerOnlyFileStaysPrivate()
    {
        const QString file = path("secret.ini");
        IniFile ini(file, true);
        QVERIFY(ini.writeString("Banco", "Senha", "segredo"));
        const auto privateMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                            | QFileDevice::ReadOther | QFileDevice::WriteOther;
        QCOMPARE(QFileInfo(file).permissions() & (privateMode | others), privateMode);
        QVERIFY(ini.writeString("Banco", "Senha", "outro"));
        QCOMPARE(QFileInfo(file).permissions() & (privateMode | others), privateMode);
        // No temporary left behind; the lock file of the writes stays.
        QCOMPARE(QFileInfo(file).absoluteDir().entryList(QDir::Files | QDir::Hidden)
                     .filter("secret"),
                 (QStringList{"secret.ini", "secret.ini.lock"}));
    }

    void unreadableFileReadsEmptyAndIsNotOverwritten()
    {
        // A folder where the file should be cannot be read even by root.
        const QString file = path("folder.ini");
        QVERIFY(QDir().mkpath(file));
        IniFile ini(file);
        QVERIFY(!ini.isReadable());
        QVERIFY(ini.readError().startsWith("Não foi possível ler o arquivo de configuração " + file));
        QCOMPARE(ini.readString("S", "k", "def"), QString("def"));
        QVERIFY(ini.sections().isEmpty());
        QVERIFY(!ini.writeString("S", "k", "x"));
        QVERIFY(!ini.lastError().isEmpty());
        QVERIFY(QFileInfo(file).isDir());
    }

    void writeWhereNoFolderCanBeMadeFailsWithReason()
    {
        const QString blocker = path("blocker");
        put(blocker, "not a folder");
        IniFile ini(blocker + "/sub/TORVEL.INI");
        QVERIFY(!ini.writeString("S", "k", "v"));
        QVERIFY(ini.lastError().startsWith("Não foi possível gravar o arquivo de configuração "
                                           + blocker + "/sub/TORVEL.INI: "));
    }

    void writeFailureLeavesTheOldFileWhole()
    {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        const QString folder = path("ro");
        QVERIFY(QDir().mkpath(folder));
        put(folder + "/TORVEL.INI", "[S]\nk=v\n");
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        IniFile ini(folder + "/TORVEL.INI");
        QVERIFY(!ini.writeString("S", "k", "novo"));
        QCOMPARE(ini.readString("S", "k"), QString("v"));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
