#include "platform/Registry.h"

#include "CrashWriter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TestRegistry : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString file_;

    TRegistry openedAt(const QString& key, RegRoot root = RegRoot::HKEY_LOCAL_MACHINE)
    {
        TRegistry reg(file_);
        reg.RootKey = root;
        if (!reg.OpenKey(key, true))
            qFatal("cannot open %s", qPrintable(key));
        return reg;
    }

private slots:
    void init()
    {
        file_ = dir_.filePath(QStringLiteral("sub/registry.reg"));
        QFile::remove(file_);
    }

    void valuesSurviveTheFile()
    {
        const QString tricky = QStringLiteral("เว็บ \"quoted\" back\\slash\nline\ttab\x01");
        {
            TRegistry reg = openedAt(QStringLiteral("Software\\Talvik_Software\\Korvisto"));
            reg.WriteString(QStringLiteral("Text"), tricky);
            reg.WriteString(QString(), QStringLiteral("default"));
            reg.WriteInteger(QStringLiteral("Number"), -5);
            reg.WriteBinaryData(QStringLiteral("Bytes"), QByteArray("\x6a\x03\x00\x00", 4));
        }
        TRegistry reg(file_);
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(reg.OpenKey(QStringLiteral("software\\TALVIK_SOFTWARE\\korvisto"), false));
        QCOMPARE(reg.ReadString(QStringLiteral("text")), tricky);
        QCOMPARE(reg.ReadString(QString()), QStringLiteral("default"));
        QCOMPARE(reg.ReadInteger(QStringLiteral("NUMBER")), -5);
        QCOMPARE(reg.ReadBinaryData(QStringLiteral("bytes")), QByteArray("\x6a\x03\x00\x00", 4));
        QCOMPARE(reg.GetDataType(QStringLiteral("Bytes")), RegDataType::rdBinary);
        QCOMPARE(reg.GetDataType(QStringLiteral("Missing")), RegDataType::rdUnknown);
        QCOMPARE(reg.ReadString(QStringLiteral("Missing")), QString());
        // The same names under the other hive are other values.
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        reg.CloseKey();
        QVERIFY(!reg.OpenKey(QStringLiteral("Software\\Talvik_Software"), false));
    }

    void namesCompareWithoutCaseAndKeepTheirFirstSpelling()
    {
        TRegistry reg = openedAt(QStringLiteral("Software\\Korvisto"));
        reg.WriteString(QStringLiteral("ToolbarAlign"), QStringLiteral("bottom"));
        reg.WriteString(QStringLiteral("ToolBarAlign"), QStringLiteral("top"));
        QCOMPARE(reg.GetValueNames(), QStringList{QStringLiteral("ToolbarAlign")});
        QCOMPARE(reg.ReadString(QStringLiteral("TOOLBARALIGN")), QStringLiteral("top"));
        QVERIFY(reg.OpenKey(QStringLiteral("Sub"), true));
        QCOMPARE(reg.CurrentPath(), QStringLiteral("Software\\Korvisto\\Sub"));
        QVERIFY(reg.KeyExists(QStringLiteral("\\SOFTWARE\\korvisto")));
    }

    void keysOpenOnlyWhenAskedToCreate()
    {
        TRegistry reg(file_);
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(reg.OpenKey(QStringLiteral("Software"), false)); // every machine has it
        QVERIFY(!reg.OpenKey(QStringLiteral("Microsoft"), false));
        QVERIFY(!QFile::exists(file_)); // looking writes nothing
        QVERIFY(reg.OpenKey(QStringLiteral("Microsoft\\Internet Explorer"), true));
        reg.CloseKey();
        QVERIFY(reg.KeyExists(QStringLiteral("Software\\Microsoft\\Internet Explorer")));
        QVERIFY_THROWS_EXCEPTION(ERegistryException,
                                 reg.WriteString(QStringLiteral("x"), QStringLiteral("y")));
    }

    void valuesAndKeysCanBeDeleted()
    {
        TRegistry reg = openedAt(QStringLiteral("Software\\A\\B"));
        reg.WriteString(QStringLiteral("One"), QStringLiteral("1"));
        reg.WriteString(QStringLiteral("Two"), QStringLiteral("2"));
        QVERIFY(reg.DeleteValue(QStringLiteral("ONE")));
        QVERIFY(!reg.DeleteValue(QStringLiteral("One")));
        QCOMPARE(reg.GetValueNames(), QStringList{QStringLiteral("Two")});
        reg.CloseKey();
        QVERIFY(reg.DeleteKey(QStringLiteral("Software\\a")));
        QVERIFY(!reg.KeyExists(QStringLiteral("Software\\A\\B")));
        QVERIFY(!reg.DeleteKey(QStringLiteral("Software\\A")));
    }

    void readingTheWrongTypeRaises()
    {
        TRegistry reg = openedAt(QStringLiteral("Software\\A"));
        reg.WriteInteger(QStringLiteral("N"), 1);
        reg.WriteString(QStringLiteral("S"), QStringLiteral("1"));
        QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadString(QStringLiteral("N")));
        QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadInteger(QStringLiteral("S")));
        QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadInteger(QStringLiteral("Missing")));
    }

    void writersSharingTheFileKeepEachOthersValues()
    {
        TRegistry browser = openedAt(QStringLiteral("Software\\Talvik_Software\\Korvisto"));
        TRegistry plugin = openedAt(QStringLiteral("Software\\Talvik_Software\\Zentrel"));
        browser.WriteString(QStringLiteral("StartMode"), QStringLiteral("2"));
        plugin.WriteString(QStringLiteral("Port"), QStringLiteral("6667"));
        browser.WriteString(QStringLiteral("UseCC"), QStringLiteral("0"));
        QCOMPARE(plugin.ReadString(QStringLiteral("Port")), QStringLiteral("6667"));
        TRegistry reader = openedAt(QStringLiteral("Software\\Talvik_Software\\Korvisto"));
        QCOMPARE(reader.ReadString(QStringLiteral("StartMode")), QStringLiteral("2"));
        QCOMPARE(reader.ReadString(QStringLiteral("UseCC")), QStringLiteral("0"));
        // A reader sees what another writer changed since it last looked.
        plugin.CloseKey();
        QVERIFY(plugin.OpenKey(QStringLiteral("Software\\Talvik_Software\\Korvisto"), false));
        plugin.WriteString(QStringLiteral("UseCC"), QStringLiteral("1"));
        QCOMPARE(browser.ReadString(QStringLiteral("UseCC")), QStringLiteral("1"));

        struct stat st
        {};
        QCOMPARE(::stat(QFile::encodeName(file_).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }

    void textFormIsReadable()
    {
        TRegistry reg = openedAt(QStringLiteral("Software\\Talvik_Software\\Korvisto"));
        reg.WriteString(QStringLiteral("Favorite"), QStringLiteral("เว็บในไทย"));
        reg.WriteInteger(QStringLiteral("N"), 255);
        QFile f(file_);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY(text.startsWith(QStringLiteral("REGEDIT4\n")));
        QVERIFY(text.contains(
            QStringLiteral("[HKEY_LOCAL_MACHINE\\Software\\Talvik_Software\\Korvisto]\n"
                           "\"Favorite\"=\"เว็บในไทย\"\n\"N\"=dword:000000ff\n")));
    }

    void aKilledWriterLeavesTheOldFileWhole()
    {
        const QString a(100000, QChar('a'));
        const QString b(150000, QChar('b'));
        {
            TRegistry reg = openedAt(QStringLiteral("Software\\Crash"));
            reg.WriteString(QStringLiteral("Other"), QStringLiteral("kept"));
            reg.WriteString(QStringLiteral("Big"), a);
        }
        for (int delay : {3, 7, 13, 21}) {
            const bool killed = killWriterMidSave(
                [&](int round) {
                    TRegistry reg(file_);
                    reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
                    reg.OpenKey(QStringLiteral("Software\\Crash"), false);
                    reg.WriteString(QStringLiteral("Big"), round % 2 ? a : b);
                },
                delay);
            QVERIFY(killed);
            TRegistry reg(file_);
            reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Crash"), false));
            const QString big = reg.ReadString(QStringLiteral("Big"));
            QVERIFY2(big == a || big == b, qPrintable(QString::number(big.size())));
            QCOMPARE(reg.ReadString(QStringLiteral("Other")), QStringLiteral("kept"));
        }
    }

    // Hand edits, values of types this reader does not know and sections of
    // other hives are kept as they stand through every rewrite.
    void linesNotUnderstoodAreKept()
    {
        const QByteArray unknownValue = "\"Path\"=hex(2):25,00,54,00";
        const QByteArray handEdit = "Colour = red";
        const QByteArray continued = "\"Big\"=hex:00,01,\\";
        const QByteArray continuation = "  02,03";
        const QByteArray notUtf8 = "\"Name\"=\"caf\xe9\"";
        const QByteArray badEscape = "\"Esc\"=\"a\\qb\"";
        const QByteArray foreign = "[HKEY_CLASSES_ROOT\\.txt]\r\n@=\"txtfile\"\r\n; their comment";
        QDir().mkpath(QFileInfo(file_).absolutePath());
        QFile f(file_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("REGEDIT4\r\n; written by hand\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                "\"Known\"=\"yes\"\r\n" +
                unknownValue + "\r\n" + handEdit + "\r\n" + continued + "\r\n" + continuation +
                "\r\n" + notUtf8 + "\r\n" + badEscape + "\r\n\r\n" + foreign + "\r\n");
        f.close();
        {
            TRegistry reg = openedAt(QStringLiteral("Software\\A"));
            QCOMPARE(reg.ReadString(QStringLiteral("Known")), QStringLiteral("yes"));
            QCOMPARE(reg.GetDataType(QStringLiteral("Path")), RegDataType::rdUnknown);
            QVERIFY_THROWS_EXCEPTION(ERegistryException, reg.ReadString(QStringLiteral("Path")));
            // A line that is not UTF-8 has no name to go by.
            QCOMPARE(reg.GetValueNames(), (QStringList{"Known", "Path", "Big", "Esc"}));
            reg.WriteString(QStringLiteral("Added"), QStringLiteral("1"));
            reg.WriteString(QStringLiteral("Known"), QStringLiteral("still"));
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        f.close();
        for (const QByteArray& line : {QByteArray("; written by hand"), unknownValue, handEdit,
                                       continued, continuation, notUtf8, badEscape, foreign})
            QVERIFY2(text.contains(line + "\r\n"), line.constData());
        QVERIFY(text.contains("\"Known\"=\"still\"\n"));
        QVERIFY(text.contains("\"Added\"=\"1\"\n"));
        // Written over by the program, a value is the program's again.
        TRegistry reg = openedAt(QStringLiteral("Software\\A"));
        reg.WriteInteger(QStringLiteral("Path"), 7);
        QCOMPARE(reg.ReadInteger(QStringLiteral("Path")), 7);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.readAll().contains(unknownValue));
    }

    void textRoundTrips_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\X]\n"
                                             "\"a\"=\"b\"\n@=dword:0000002a\n\"h\"=hex:01,ff\n");
        QTest::newRow("values under a hive") << QByteArray("[HKEY_CURRENT_USER]\n\"top\"=\"1\"\n");
        QTest::newRow("no hive") << QByteArray("[]\n\"lost\"=\"no\"\n[\\\\]\nx\n");
        QTest::newRow("garbage first") << QByteArray("\xff\xfe junk\n[HKEY_LOCAL_MACHINE\\S]\n=\n");
        QTest::newRow("duplicate") << QByteArray("[HKEY_LOCAL_MACHINE\\S]\n\"v\"=\"1\"\n"
                                                 "\"V\"=unknown:1\n");
    }
    void textRoundTrips()
    {
        QFETCH(QByteArray, text);
        const QByteArray once = RegistryStore::parse(text).serialize();
        QCOMPARE(RegistryStore::parse(once).serialize(), once);
    }

    // A file that is there but cannot be read is never written over: it is
    // moved aside whole before anything is written, and the program is told.
    void anUnreadableFileIsKeptAside()
    {
        TRegistry::TakeNotices();
        // A folder where the file should be: it cannot be read, not even by
        // root.
        QVERIFY(QDir().mkpath(file_));
        QVERIFY(QFile(file_ + "/inside").open(QIODevice::WriteOnly));
        TRegistry reg(file_);
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(!reg.KeyExists(QStringLiteral("Software\\A")));
        QStringList notices = TRegistry::TakeNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0].contains("cannot be read"));
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\A"), true));
        reg.WriteString(QStringLiteral("New"), QStringLiteral("1"));
        notices = TRegistry::TakeNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices[0].contains(file_ + ".bak"));
        QVERIFY(QFile::exists(file_ + ".bak/inside"));
        QCOMPARE(TRegistry(file_).ReadString(QStringLiteral("x")), QString());
        TRegistry again(file_);
        again.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(again.OpenKey(QStringLiteral("Software\\A"), false));
        QCOMPARE(again.ReadString(QStringLiteral("New")), QStringLiteral("1"));
        QDir(file_ + ".bak").removeRecursively();
    }

    // Another program holding the lock costs a bounded wait: the write fails
    // with a clear error, the value stays in memory, and the next write that
    // gets the lock saves it too.
    void aLockHeldElsewhereFailsTheWriteButKeepsTheValue()
    {
        {
            TRegistry reg = openedAt(QStringLiteral("Software\\A"));
            reg.WriteString(QStringLiteral("Before"), QStringLiteral("1"));
        }
        const int holder =
            ::open(QFile::encodeName(file_ + ".lock").constData(), O_RDWR | O_CLOEXEC);
        QVERIFY(holder >= 0);
        QCOMPARE(::flock(holder, LOCK_EX), 0);
        TRegistry reg = openedAt(QStringLiteral("Software\\A"));
        QElapsedTimer t;
        t.start();
        try {
            reg.WriteString(QStringLiteral("During"), QStringLiteral("2"));
            QFAIL("no exception");
        } catch (const ERegistryException& e) {
            QVERIFY2(QByteArray(e.what()).contains("locked by another program"), e.what());
        }
        QVERIFY(t.elapsed() < TRegistry::LockWaitMs + 3000);
        // Kept in memory: every reader of this program sees it...
        QCOMPARE(reg.ReadString(QStringLiteral("During")), QStringLiteral("2"));
        QCOMPARE(openedAt(QStringLiteral("Software\\A")).ReadString(QStringLiteral("During")),
                 QStringLiteral("2"));
        QFile f(file_);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(!f.readAll().contains("During"));
        f.close();
        ::close(holder);
        // ...and the next write saves it.
        reg.WriteString(QStringLiteral("After"), QStringLiteral("3"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("\"Before\"=\"1\"") && text.contains("\"During\"=\"2\"") &&
                text.contains("\"After\"=\"3\""));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "test_registry.moc"
