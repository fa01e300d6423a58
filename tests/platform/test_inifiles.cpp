#include "platform/IniFiles.h"

#include "CrashWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

class TestIniFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString ini_;
    QString reg_;

private slots:
    void init()
    {
        ini_ = dir_.filePath(QStringLiteral("test.INI"));
        reg_ = dir_.filePath(QStringLiteral("registry.reg"));
        QFile::remove(ini_);
        QFile::remove(reg_);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("ident");
        QTest::addColumn<QString>("expected"); // "<none>": the default

        const QByteArray plain = "[Main]\r\nName=Value\r\n";
        QTest::newRow("plain") << plain << "Main"
                               << "Name"
                               << "Value";
        QTest::newRow("no case in names") << plain << "mAIN"
                                          << "NAME"
                                          << "Value";
        QTest::newRow("missing ident") << plain << "Main"
                                       << "Other"
                                       << "<none>";
        QTest::newRow("missing section") << plain << "Other"
                                         << "Name"
                                         << "<none>";
        QTest::newRow("blanks around") << QByteArray("  [ Main ]  \n  Name  =  a b  \n") << "Main"
                                       << "Name"
                                       << "a b";
        QTest::newRow("double quotes stripped") << QByteArray("[S]\nv=\"a b\"\n") << "S"
                                                << "v"
                                                << "a b";
        QTest::newRow("apostrophes stripped") << QByteArray("[S]\nv='x'\n") << "S"
                                              << "v"
                                              << "x";
        QTest::newRow("one pair only") << QByteArray("[S]\nv=\"\"x\"\"\n") << "S"
                                       << "v"
                                       << "\"x\"";
        QTest::newRow("mixed quotes kept") << QByteArray("[S]\nv=\"x'\n") << "S"
                                           << "v"
                                           << "\"x'";
        QTest::newRow("equals in value") << QByteArray("[S]\nv=a=b\n") << "S"
                                         << "v"
                                         << "a=b";
        QTest::newRow("empty value") << QByteArray("[S]\nv=\n") << "S"
                                     << "v"
                                     << "";
        QTest::newRow("comment is no entry") << QByteArray("[S]\n;v=1\n") << "S"
                                             << "v"
                                             << "<none>";
        QTest::newRow("before any section") << QByteArray("v=1\n[S]\n") << "S"
                                            << "v"
                                            << "<none>";
        QTest::newRow("header without bracket is text") << QByteArray("[S]\n[T\nv=1\n") << "S"
                                                        << "v"
                                                        << "1";
        QTest::newRow("first copy of a value wins")
            << QByteArray("[S]\nv=1\n[T]\nv=2\n[s]\nv=3\nw=4\n") << "S"
            << "v"
            << "1";
        QTest::newRow("later copy of a section read")
            << QByteArray("[S]\nv=1\n[T]\nv=2\n[s]\nv=3\nw=4\n") << "S"
            << "w"
            << "4";
        QTest::newRow("no final line end") << QByteArray("[S]\nv=last") << "S"
                                           << "v"
                                           << "last";
        QTest::newRow("lone CR ends lines") << QByteArray("[S]\rv=1\rw=2") << "S"
                                            << "w"
                                            << "2";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[S]\nv=1\n") << "S"
                                         << "v"
                                         << "1";
        QTest::newRow("long line")
            << QByteArray("[S]\nv=" + QByteArray(200000, 'x') + "\nw=1") << "S"
            << "w"
            << "1";
        QTest::newRow("Thai bytes")
            << QByteArray("[\xc0\xd2\xc9\xd2]\nv=\xca\xc7\xd1\xca\xb4\xd5\n") << "ภาษา"
            << "v"
            << "สวัสดี";
        QTest::newRow("NUL and undefined bytes")
            << QByteArray("[S]\nv=a\0b\xfc\n", 12) << "S"
            << "v" << QStringLiteral("a") + QChar(0) + QStringLiteral("b") + QChar(0xF7FC);
    }

    void reading()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, ident);
        QFETCH(QString, expected);
        writeAll(ini_, file);
        TIniFile ini(ini_);
        QVERIFY(ini.Readable());
        const QString none = QStringLiteral("<none>");
        QCOMPARE(ini.ReadString(section, ident, none), expected);
    }

    void numbersAndBooleans()
    {
        writeAll(ini_, "[S]\nn= 42 \nneg=-7\nbad=12x\nbig=99999999999\non=1\noff=0\nyes=7\n");
        TIniFile ini(ini_);
        QCOMPARE(ini.ReadInteger("S", "n", 0), 42);
        QCOMPARE(ini.ReadInteger("S", "neg", 0), -7);
        QCOMPARE(ini.ReadInteger("S", "bad", 5), 5);
        QCOMPARE(ini.ReadInteger("S", "big", 5), 5);
        QCOMPARE(ini.ReadInteger("S", "missing", 5), 5);
        QVERIFY(ini.ReadBool("S", "on", false));
        QVERIFY(!ini.ReadBool("S", "off", true));
        QVERIFY(ini.ReadBool("S", "yes", false));
        QVERIFY(ini.ReadBool("S", "missing", true));
        ini.WriteBool("S", "flag", true);
        ini.WriteInteger("S", "n", -3);
        QCOMPARE(ini.ReadString("S", "flag", {}), QStringLiteral("1"));
        QCOMPARE(ini.ReadString("S", "n", {}), QStringLiteral("-3"));
    }

    // A file of another program keeps every line that nothing changed, byte
    // for byte; a new value joins the first copy of its section.
    void writingKeepsWhatItDoesNotTouch()
    {
        const QByteArray before = "; made elsewhere\r\n"
                                  "stray line\r\n"
                                  "[Main]\r\n"
                                  "  Name = old  \r\n"
                                  "Other=\xfc\xfd\r\n"
                                  "\r\n"
                                  "[Second]\r\n"
                                  "x=1\r\n"
                                  "[main]\r\n"
                                  "Dup=2";
        writeAll(ini_, before);
        {
            TIniFile ini(ini_);
            ini.WriteString("MAIN", "name", "new");
            ini.WriteString("Main", "Added", "a");
            ini.WriteString("Third", "t", "3");
            ini.UpdateFile();
        }
        QCOMPARE(readAll(ini_), QByteArray("; made elsewhere\r\n"
                                           "stray line\r\n"
                                           "[Main]\r\n"
                                           "Name=new\r\n"
                                           "Other=\xfc\xfd\r\n"
                                           "Added=a\r\n"
                                           "\r\n"
                                           "[Second]\r\n"
                                           "x=1\r\n"
                                           "[main]\r\n"
                                           "Dup=2\r\n"
                                           "\r\n"
                                           "[Third]\r\n"
                                           "t=3\r\n"));
    }

    // Each line keeps its own line end through a rewrite, whichever it is
    // (a lone CR too); new lines end as the file's first line does.
    void eachLineKeepsItsOwnEnd_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("ident");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("mixed ends, a value changed")
            << QByteArray("[S]\nA=1\r\nB=2\rC=3\n") << "B" << QByteArray("[S]\nA=1\r\nB=x\rC=3\n");
        QTest::newRow("a lone CR stays one line end") << QByteArray("[S]\r\nA=a\rtext\r\n") << "N"
                                                      << QByteArray("[S]\r\nA=a\rtext\r\nN=x\r\n");
        QTest::newRow("a new line ends as the first")
            << QByteArray("[S]\nA=1\r\n") << "N" << QByteArray("[S]\nA=1\r\nN=x\n");
        QTest::newRow("CR before CR LF")
            << QByteArray("[S]\r\r\nA=1\r\n") << "A" << QByteArray("[S]\r\r\nA=x\r\n");
        QTest::newRow("only lone CRs")
            << QByteArray("[S]\rA=1\r") << "N" << QByteArray("[S]\rA=1\rN=x\r");
        QTest::newRow("a changed last line without an end")
            << QByteArray("[S]\r\nA=1") << "A" << QByteArray("[S]\r\nA=x");
        QTest::newRow("a line after the last one that had no end")
            << QByteArray("[S]\nA=1") << "N" << QByteArray("[S]\nA=1\nN=x\n");
    }
    void eachLineKeepsItsOwnEnd()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, ident);
        QFETCH(QByteArray, after);
        writeAll(ini_, before);
        {
            TIniFile ini(ini_);
            ini.WriteString("S", ident, "x");
            ini.UpdateFile();
        }
        QCOMPARE(readAll(ini_), after);
        TIniFile again(ini_);
        QCOMPARE(again.ReadString("S", ident, {}), QStringLiteral("x"));
    }

    void erasingTakesEveryCopyOfTheSection()
    {
        writeAll(ini_, "[Bar]\nButton1=a\n[Keep]\nk=1\n[bar]\nButton9=z\n");
        TIniFile ini(ini_);
        QVERIFY(ini.SectionExists("BAR"));
        ini.EraseSection("bar");
        QVERIFY(!ini.SectionExists("Bar"));
        ini.WriteString("Bar", "Button1", "b");
        QCOMPARE(ini.ReadSection("Bar"), QStringList{"Button1"});
        ini.UpdateFile();
        QCOMPARE(readAll(ini_), QByteArray("[Keep]\nk=1\n\n[Bar]\nButton1=b\n"));
    }

    void unusableEntriesAreRefused_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("ident");
        QTest::addColumn<QString>("value");
        QTest::newRow("LF in value") << "S"
                                     << "v"
                                     << "a\nb=1";
        QTest::newRow("CR in value") << "S"
                                     << "v"
                                     << "a\r[Other]";
        QTest::newRow("LF in ident") << "S"
                                     << "a\nb"
                                     << "1";
        QTest::newRow("equals in ident") << "S"
                                         << "a=b"
                                         << "1";
        QTest::newRow("ident as section") << "S"
                                          << "[T]"
                                          << "1";
        QTest::newRow("ident as comment") << "S"
                                          << ";x"
                                          << "1";
        QTest::newRow("empty ident") << "S"
                                     << " "
                                     << "1";
        QTest::newRow("bracket in section") << "S]x"
                                            << "v"
                                            << "1";
        QTest::newRow("LF in section") << "S\n[T"
                                       << "v"
                                       << "1";
        QTest::newRow("empty section") << ""
                                       << "v"
                                       << "1";
    }

    void unusableEntriesAreRefused()
    {
        QFETCH(QString, section);
        QFETCH(QString, ident);
        QFETCH(QString, value);
        writeAll(ini_, "[S]\nv=old\n");
        TIniFile ini(ini_);
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.WriteString(section, ident, value));
        ini.UpdateFile();
        QCOMPARE(readAll(ini_), QByteArray("[S]\nv=old\n"));
        QCOMPARE(ini.ReadSection("S"), QStringList{"v"});
    }

    void aFileThatCannotBeReadIsNeverWrittenOver()
    {
        QVERIFY(QDir().mkpath(ini_)); // a folder where the file should be
        TIniFile ini(ini_);
        QVERIFY(!ini.Readable());
        QCOMPARE(ini.ReadString("S", "v", "default"), QStringLiteral("default"));
        ini.WriteString("S", "v", "x");
        QVERIFY_THROWS_EXCEPTION(EIniFileError, ini.UpdateFile());
        QVERIFY(QFileInfo(ini_).isDir());
        QVERIFY(QDir(ini_).removeRecursively());
    }

    void writingKeepsTheFileMode()
    {
        writeAll(ini_, "[S]\nv=1\n");
        QVERIFY(::chmod(QFile::encodeName(ini_).constData(), 0600) == 0);
        TIniFile ini(ini_);
        ini.WriteString("S", "v", "2");
        ini.UpdateFile();
        struct stat st
        {};
        QVERIFY(::stat(QFile::encodeName(ini_).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
    }

    // An erase and the writes after it reach the file in one replacement: a
    // writer killed at any moment leaves one whole layout, never an erased
    // or half-written section.
    void aKilledWriterLeavesOneWholeLayout()
    {
        auto save = [this](int round) {
            TIniFile ini(ini_);
            ini.EraseSection("Bar");
            const int count = 1 + round % 5;
            for (int i = 1; i <= count; ++i)
                ini.WriteString("Bar", QStringLiteral("Button%1").arg(i),
                                QStringLiteral("%1,%2").arg(round).arg(QString(2000, u'x')));
            ini.WriteInteger("Bar", "Count", count);
            ini.UpdateFile();
        };
        writeAll(ini_, "[Other]\nkept=1\n");
        save(0);
        for (int delay : {3, 7, 13, 29}) {
            QVERIFY(killWriterMidSave(save, delay));
            TIniFile ini(ini_);
            QCOMPARE(ini.ReadString("Other", "kept", {}), QStringLiteral("1"));
            const int count = ini.ReadInteger("Bar", "Count", 0);
            QVERIFY(count >= 1 && count <= 5);
            const QStringList names = ini.ReadSection("Bar");
            QCOMPARE(names.size(), count + 1);
            const QString round = ini.ReadString("Bar", "Button1", {}).section(u',', 0, 0);
            for (int i = 1; i <= count; ++i)
                QCOMPARE(ini.ReadString("Bar", QStringLiteral("Button%1").arg(i), {})
                             .section(u',', 0, 0),
                         round);
            QCOMPARE(1 + round.toInt() % 5, count);
        }
    }

    // ---- The registry as an ini file ----

    void registrySectionsAreKeys()
    {
        {
            TRegIniFile reg("Software\\Brevant Test", RegRoot::HKEY_CURRENT_USER, false, reg_);
            reg.WriteString("TF_Test", "NormPos", "\"quoted\"");
            reg.WriteInteger("TF_Test", "ShowCmd", 3);
            reg.WriteBool("TF_Test\\Bar", "On", true);
            // Changes are seen before they are written.
            QCOMPARE(reg.ReadInteger("tf_test", "showcmd", 0), 3);
            QCOMPARE(reg.ReadString("TF_Test", "ShowCmd", {}), QStringLiteral("3"));
            QVERIFY(!QFile::exists(reg_));
            reg.UpdateFile();
        }
        TRegistry raw(reg_);
        raw.RootKey = RegRoot::HKEY_CURRENT_USER;
        QVERIFY(raw.OpenKey("\\Software\\Brevant Test\\TF_Test", false));
        QCOMPARE(raw.GetDataType("ShowCmd"), RegDataType::rdInteger);
        QCOMPARE(raw.ReadString("NormPos"), QStringLiteral("\"quoted\"")); // no quoting rule
        raw.WriteString("Text", "12");
        raw.WriteString("Word", "twelve");
        QVERIFY(raw.OpenKey("\\Software\\Brevant Test\\TF_Test\\Bar", false));
        QCOMPARE(raw.ReadInteger("On"), 1);

        TRegIniFile reg("Software\\Brevant Test", RegRoot::HKEY_CURRENT_USER, true, reg_);
        QCOMPARE(reg.ReadInteger("TF_Test", "Text", 0), 12);
        QCOMPARE(reg.ReadInteger("TF_Test", "Word", 5), 5);
        QVERIFY(reg.ReadBool("TF_Test\\Bar", "On", false));
        QCOMPARE(reg.ReadString("TF_Test", "NormPos", {}), QStringLiteral("\"quoted\""));
        QCOMPARE(reg.ReadString("Missing", "x", "d"), QStringLiteral("d"));
        // The other hive holds none of it.
        TRegIniFile machine("Software\\Brevant Test", RegRoot::HKEY_LOCAL_MACHINE, true, reg_);
        QCOMPARE(machine.ReadInteger("TF_Test", "ShowCmd", -1), -1);
    }

    void readOnlyRegistryRefusesChanges()
    {
        TRegIniFile reg("Software\\Brevant Test", RegRoot::HKEY_LOCAL_MACHINE, true, reg_);
        QVERIFY_THROWS_EXCEPTION(EIniFileError, reg.WriteString("S", "v", "1"));
        QVERIFY_THROWS_EXCEPTION(EIniFileError, reg.EraseSection("S"));
        reg.UpdateFile();
        QVERIFY(!QFile::exists(reg_)); // reading created nothing
    }

    void registryEraseKeepsOnlyWhatWasWrittenAgain()
    {
        {
            TRegIniFile reg("Software\\T", RegRoot::HKEY_CURRENT_USER, false, reg_);
            for (int i = 1; i <= 4; ++i)
                reg.WriteString("Bar", QStringLiteral("Button%1").arg(i), "old");
            reg.WriteString("Bar\\Sub", "x", "old");
            reg.WriteString("Bar\\Gone", "y", "old");
            reg.WriteString("Keep", "k", "1");
            reg.UpdateFile();
        }
        TRegIniFile reg("Software\\T", RegRoot::HKEY_CURRENT_USER, false, reg_);
        reg.EraseSection("bar");
        QCOMPARE(reg.ReadString("Bar", "Button3", "none"), QStringLiteral("none"));
        QVERIFY(!reg.SectionExists("Bar"));
        reg.WriteString("Bar", "Button1", "new");
        reg.WriteString("Bar\\Sub", "z", "new");
        QCOMPARE(reg.ReadSection("Bar"), QStringList{"Button1"});
        reg.UpdateFile();

        TRegIniFile after("Software\\T", RegRoot::HKEY_CURRENT_USER, true, reg_);
        QCOMPARE(after.ReadSection("Bar"), QStringList{"Button1"});
        QCOMPARE(after.ReadString("Bar", "Button1", {}), QStringLiteral("new"));
        QCOMPARE(after.ReadSection("Bar\\Sub"), QStringList{"z"});
        QVERIFY(!after.SectionExists("Bar\\Gone"));
        QCOMPARE(after.ReadString("Keep", "k", {}), QStringLiteral("1"));

        TRegIniFile erase("Software\\T", RegRoot::HKEY_CURRENT_USER, false, reg_);
        erase.EraseSection("Bar");
        erase.UpdateFile();
        QVERIFY(!TRegIniFile("Software\\T", RegRoot::HKEY_CURRENT_USER, true, reg_)
                     .SectionExists("Bar"));
    }

    // An erase and the writes after it reach the registry file in one
    // replacement: a writer killed at any moment leaves one whole layout.
    void aKilledRegistryWriterLeavesOneWholeLayout()
    {
        auto save = [this](int round) {
            TRegIniFile reg("Software\\Crash", RegRoot::HKEY_CURRENT_USER, false, reg_);
            reg.EraseSection("Bar");
            const int count = 1 + round % 4;
            for (int i = 1; i <= count; ++i)
                reg.WriteString("Bar", QStringLiteral("Button%1").arg(i), QString::number(round));
            reg.WriteInteger("Bar", "Count", count);
            reg.WriteString("Other", "kept", "1");
            reg.UpdateFile();
        };
        save(3);
        for (int delay : {5, 11, 23, 37}) {
            QVERIFY(killWriterMidSave(save, delay));
            TRegIniFile reg("Software\\Crash", RegRoot::HKEY_CURRENT_USER, true, reg_);
            QCOMPARE(reg.ReadString("Other", "kept", {}), QStringLiteral("1"));
            const int count = reg.ReadInteger("Bar", "Count", 0);
            QVERIFY(count >= 1 && count <= 4);
            QCOMPARE(reg.ReadSection("Bar").size(), count + 1);
            const QString round = reg.ReadString("Bar", "Button1", {});
            for (int i = 1; i <= count; ++i)
                QCOMPARE(reg.ReadString("Bar", QStringLiteral("Button%1").arg(i), {}), round);
            QCOMPARE(1 + round.toInt() % 4, count);
        }
    }
};

QTEST_GUILESS_MAIN(TestIniFiles)
#include "test_inifiles.moc"
