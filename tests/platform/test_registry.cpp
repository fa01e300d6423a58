#include "platform/Registry.h"

#include "CrashWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "test_registry.moc"
