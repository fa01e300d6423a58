#include "components/IniAccess.h"
#include "toolkit/Classes.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TF_Main : public TForm
{
    Q_OBJECT
};

// A store of someone else's: the routines treat it as empty.
class TOtherStore : public TCustomIniFile
{
public:
    int writes = 0;
    QString ReadString(const QString&, const QString&, const QString&) override
    {
        return QStringLiteral("other");
    }
    void WriteString(const QString&, const QString&, const QString&) override { ++writes; }
    void EraseSection(const QString&) override { ++writes; }
    QStringList ReadSection(const QString&) override { return {}; }
    bool SectionExists(const QString&) override { return true; }
    void UpdateFile() override {}
};

class TestIniAccess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    QString iniPath() const { return dir_.filePath(QStringLiteral("a.INI")); }

private slots:
    void init()
    {
        QFile::remove(iniPath());
        RegistryCompanyName.clear();
        RegistryUsesTitle = false;
        DefaultIniFileHook = nullptr;
    }

    void quoting_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain") << "abc"
                               << "abc";
        QTest::newRow("double quoted") << "\"abc\""
                                       << "\"\"abc\"\"";
        QTest::newRow("apostrophes") << "'abc'"
                                     << "\"'abc'\"";
        QTest::newRow("one quote") << "\""
                                   << "\"";
        QTest::newRow("two quotes") << "\"\""
                                    << "\"\"\"\"";
        QTest::newRow("mixed") << "\"abc'"
                               << "\"abc'";
        QTest::newRow("inner quotes") << "a\"b\"c"
                                      << "a\"b\"c";
        QTest::newRow("empty") << ""
                               << "";
    }

    // What the routines write reads back unchanged, from an ini file (with
    // its extra quotes) and from the registry (as it stands).
    void quoting()
    {
        QFETCH(QString, value);
        QFETCH(QString, stored);
        QCOMPARE(IniQuoted(value), stored);
        {
            TIniFile ini(iniPath());
            StorageWriteString(&ini, "S", "v", value);
            ini.UpdateFile();
        }
        TIniFile ini(iniPath());
        QCOMPARE(StorageReadString(&ini, "S", "v", "none"), value);

        TRegIniFile reg("Software\\Quoting", RegRoot::HKEY_CURRENT_USER, false,
                        dir_.filePath("registry.reg"));
        StorageWriteString(&reg, "S", "v", value);
        reg.UpdateFile();
        TRegistry raw(dir_.filePath("registry.reg"));
        QVERIFY(raw.OpenKey("\\Software\\Quoting\\S", false));
        QCOMPARE(raw.ReadString("v"), value);
    }

    void otherStoresAreEmpty()
    {
        TOtherStore other;
        for (TCustomIniFile* store :
             {static_cast<TCustomIniFile*>(nullptr), static_cast<TCustomIniFile*>(&other)}) {
            QCOMPARE(StorageReadString(store, "S", "v", "d"), QStringLiteral("d"));
            QCOMPARE(StorageReadInteger(store, "S", "v", 7), 7);
            QVERIFY(StorageReadBool(store, "S", "v", true));
            StorageWriteString(store, "S", "v", "x");
            StorageWriteInteger(store, "S", "v", 1);
            StorageWriteBool(store, "S", "v", true);
            StorageEraseSection(store, "S");
            QCOMPARE(ReadResolutionString(store, "S", "NormPos"), QString());
        }
        QCOMPARE(other.writes, 0);
    }

    void storeRoutines()
    {
        TIniFile ini(iniPath());
        StorageWriteInteger(&ini, "S", "n", -12);
        StorageWriteBool(&ini, "S", "b", true);
        QCOMPARE(StorageReadInteger(&ini, "S", "n", 0), -12);
        QVERIFY(StorageReadBool(&ini, "S", "b", false));
        StorageEraseSection(&ini, "s");
        QCOMPARE(StorageReadInteger(&ini, "S", "n", 5), 5);
    }

    void resolutionValues()
    {
        // The offscreen screen is 800 by 800 pixels.
        QCOMPARE(ScreenSizeSuffix(), QStringLiteral("(800x800)"));
        TIniFile ini(iniPath());
        ini.WriteString("S", "NormPos", "1,2,3,4");
        ini.WriteString("S", "NormPos(1024x768)", "5,6,7,8");
        QCOMPARE(ReadResolutionString(&ini, "S", "NormPos"), QStringLiteral("1,2,3,4"));
        ini.WriteString("S", "NormPos(800x800)", "9,9,9,9");
        QCOMPARE(ReadResolutionString(&ini, "S", "NormPos"), QStringLiteral("9,9,9,9"));
        WriteResolutionString(&ini, "S", "MinMaxPos", "-1,-1,-1,-1");
        QCOMPARE(ini.ReadSection("S").mid(3), (QStringList{"MinMaxPos(800x800)", "MinMaxPos"}));
    }

    void sectionNames()
    {
        TF_Main form;
        form.setObjectName("F_Main");
        auto* bar = new QWidget(&form);
        bar->setObjectName("SpB_ToolBar");
        auto* panel = new TPanel("P_Left", &form);
        auto* inPanel = new TButton("B_Go", panel);
        auto* timer = new TComponent(&form, "Timer1");
        QWidget loose;
        loose.setObjectName("P_Loose");
        auto* onLoose = new TEdit("E_Text", &loose);
        TComponent alone(nullptr, "Store1");
        TComponent owned(&alone, "Inner");

        QCOMPARE(DefaultSectionName(nullptr), QString());
        QCOMPARE(DefaultSectionName(&form), QStringLiteral("TF_Main"));
        QCOMPARE(DefaultSectionName(bar), QStringLiteral("TF_MainSpB_ToolBar"));
        QCOMPARE(DefaultSectionName(inPanel), QStringLiteral("TF_MainB_Go"));
        QCOMPARE(DefaultSectionName(timer), QStringLiteral("TF_Main.Timer1"));
        QCOMPARE(DefaultSectionName(onLoose), QStringLiteral("P_LooseE_Text"));
        QCOMPARE(DefaultSectionName(&loose), QStringLiteral("P_Loose"));
        QCOMPARE(DefaultSectionName(&alone), QStringLiteral("Store1"));
        QCOMPARE(DefaultSectionName(&owned), QStringLiteral("Inner"));
    }

    void defaultNames()
    {
        const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        QCOMPARE(DefaultIniFileName(), program + ".INI");
        DefaultIniFileHook = [] { return QStringLiteral("custom.ini"); };
        QCOMPARE(DefaultIniFileName(), QStringLiteral("custom.ini"));

        QCOMPARE(DefaultRegistryKey(), "Software\\" + program);
        RegistryCompanyName = "Talvik_Software";
        QCOMPARE(DefaultRegistryKey(), "Software\\Talvik_Software\\" + program);
        RegistryUsesTitle = true;
        QGuiApplication::setApplicationDisplayName("Brevant++ 1.00");
        QCOMPARE(DefaultRegistryKey(), QStringLiteral("Software\\Talvik_Software\\Brevant++ 1.00"));
    }

    // An ini file named without a folder lives in the program folder, never
    // in the current directory.
    void iniFilesLiveInTheProgramFolder()
    {
        QTemporaryDir home, elsewhere;
        qputenv("BREVANT_HOME", home.path().toUtf8());
        const QString saved = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        QCOMPARE(IniFilePath("brevant.INI"), home.filePath("brevant.INI"));
        QCOMPARE(IniFilePath("sub/../x.ini"), home.filePath("x.ini"));
        QCOMPARE(IniFilePath("/etc/a.ini"), QStringLiteral("/etc/a.ini"));
        QDir::setCurrent(saved);
        qunsetenv("BREVANT_HOME");
    }
};

QTEST_MAIN(TestIniAccess)
#include "test_iniaccess.moc"
