#include "platform/Registry.h"
#include "shell/data/BrowserSettings.h"

#include <QTemporaryDir>
#include <QTest>

class TestBrowserSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString file_;

    TRegistry settingsKey()
    {
        TRegistry reg(file_);
        if (!OpenSettingsKey(reg))
            qFatal("no settings key");
        return reg;
    }

private slots:
    void init()
    {
        static int n = 0;
        file_ = dir_.filePath(QStringLiteral("registry%1.reg").arg(++n));
        qputenv("BREVANT_HOME", dir_.path().toUtf8());
    }

    void aFreshMachineGetsTheKeyAndTheDefaults()
    {
        TRegistry reg(file_);
        TBrowserSettings s;
        LoadSettings(reg, s);
        QCOMPARE(s.Favorite, QStringLiteral("เว็บในไทย"));
        QCOMPARE(s.StartMode, 2);
        QCOMPARE(s.TFont, QStringLiteral("FixedSys"));
        QCOMPARE(s.MaxURLSave, 1500);
        QCOMPARE(s.ToolBarAlign, QString()); // taken as read, even when missing
        QCOMPARE(s.FormX, -1);
        QVERIFY(s.StartURL.startsWith(QStringLiteral("file:///")));
        reg.CloseKey();
        QVERIFY(reg.KeyExists(QStringLiteral("Software\\Talvik_Software\\Korvisto")));
    }

    void readingRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        QTest::newRow("yes is false") << "UseBanner"
                                      << "yes"
                                      << "UseBanner"
                                      << "0";
        QTest::newRow("empty keeps default") << "UseBanner"
                                             << ""
                                             << "UseBanner"
                                             << "1";
        QTest::newRow("0 is false") << "UseCC"
                                    << "0"
                                    << "UseCC"
                                    << "0";
        QTest::newRow("number") << "StartMode"
                                << "3"
                                << "StartMode"
                                << "3";
        QTest::newRow("not a number keeps default") << "StartMode"
                                                    << "three"
                                                    << "StartMode"
                                                    << "2";
        QTest::newRow("hex is not decimal") << "TCols"
                                            << "$50"
                                            << "TCols"
                                            << "80";
        QTest::newRow("minus one") << "FormX"
                                   << "-1"
                                   << "FormX"
                                   << "-1";
        QTest::newRow("text") << "Favorite"
                              << "ข่าว"
                              << "Favorite"
                              << "ข่าว";
        QTest::newRow("align empty taken") << "ToolBarAlign"
                                           << ""
                                           << "ToolBarAlign"
                                           << "";
        QTest::newRow("align left taken") << "ToolbarAlign"
                                          << "left"
                                          << "ToolBarAlign"
                                          << "left";
        QTest::newRow("other spelling") << "toolbarbutton"
                                        << "pic"
                                        << "ToolBarButton"
                                        << "pic";
    }
    void readingRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        settingsKey().WriteString(name, text);
        TRegistry reg(file_);
        TBrowserSettings s;
        LoadSettings(reg, s);
        const QHash<QString, QString> fields{{"UseBanner", QString::number(s.UseBanner)},
                                             {"UseCC", QString::number(s.UseCC)},
                                             {"StartMode", QString::number(s.StartMode)},
                                             {"TCols", QString::number(s.TCols)},
                                             {"FormX", QString::number(s.FormX)},
                                             {"Favorite", s.Favorite},
                                             {"ToolBarAlign", s.ToolBarAlign},
                                             {"ToolBarButton", s.ToolBarButton}};
        QCOMPARE(fields.value(field), expected);
    }

    void valuesOfAnotherTypeKeepTheDefaults()
    {
        TRegistry reg = settingsKey();
        reg.WriteInteger(QStringLiteral("TCols"), 132);
        reg.WriteBinaryData(QStringLiteral("UseCC"), QByteArray(1, '\0'));
        reg.WriteInteger(QStringLiteral("ToolBarAlign"), 1);
        TBrowserSettings s;
        LoadSettings(reg, s);
        QCOMPARE(s.TCols, 80);
        QCOMPARE(s.UseCC, true);
        QCOMPARE(s.ToolBarAlign, QStringLiteral("top"));
    }

    void theEngineHomePageIsTheUsersStartPage()
    {
        const QString key = QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main");
        const auto home = [&] {
            TRegistry reg(file_);
            return EngineHomePage(reg);
        };
        QCOMPARE(home(), MakerHomePage()); // no key
        TRegistry reg(file_);
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        QVERIFY(reg.OpenKey(key, true));
        QCOMPARE(home(), MakerHomePage()); // no value
        reg.WriteString(QStringLiteral("Start Page"), QStringLiteral("http://home.example/"));
        QCOMPARE(home(), QStringLiteral("http://home.example/"));
        reg.WriteString(QStringLiteral("start page"), QStringLiteral("  "));
        QCOMPARE(home(), MakerHomePage()); // blank
        reg.WriteInteger(QStringLiteral("Start Page"), 7);
        QCOMPARE(home(), MakerHomePage()); // not a string
        // Only the current user's value counts.
        TRegistry machine(file_);
        machine.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(machine.OpenKey(key, true));
        machine.WriteString(QStringLiteral("Start Page"),
                            QStringLiteral("http://machine.example/"));
        QCOMPARE(home(), MakerHomePage());
    }

    void writesInOrderAndRoundTrips()
    {
        TRegistry reg(file_);
        TBrowserSettings s;
        s.Favorite = QStringLiteral("ข่าว");
        s.StartMode = 3;
        s.UseBanner = false;
        s.TRows = 40;
        s.FormWidth = 1024;
        s.ToolBarAlign = QStringLiteral("bottom");
        s.ToolBarVisible = false;
        SaveSettings(reg, s);
        const QStringList general{"Favorite",
                                  "StartMode",
                                  "StartURL",
                                  "UseSpash",
                                  "UseBanner",
                                  "UseCC",
                                  "OpenFav",
                                  "UseTelnet",
                                  "TCols",
                                  "TRows",
                                  "TFont",
                                  "TFontSize",
                                  "MaxURLSave",
                                  "NewWindowMaximize",
                                  "DefaultThaiCodePage",
                                  "FontSize",
                                  "TVURLSize"};
        QCOMPARE(settingsKey().GetValueNames(), general);
        SaveLayout(reg, s);
        const QStringList layout{
            "ToolbarAlign",     "ToolbarButton", "ToolbarVisible", "FavoriteBarVisible",
            "WindowBarVisible", "FormMaximize",  "FormX",          "FormY",
            "FormWidth",        "FormHeight",    "ToolBarX",       "ToolBarY"};
        QCOMPARE(settingsKey().GetValueNames(), general + layout);
        QCOMPARE(settingsKey().ReadString(QStringLiteral("UseBanner")), QStringLiteral("0"));

        TBrowserSettings back;
        LoadSettings(reg, back);
        QCOMPARE(back.Favorite, s.Favorite);
        QCOMPARE(back.StartMode, 3);
        QCOMPARE(back.UseBanner, false);
        QCOMPARE(back.TRows, 40);
        QCOMPARE(back.FormWidth, 1024);
        QCOMPARE(back.ToolBarAlign, QStringLiteral("bottom"));
        QCOMPARE(back.ToolBarVisible, false);
    }

    void anAlignmentReadInOneSpellingIsWrittenAsTheSameValue()
    {
        settingsKey().WriteString(QStringLiteral("ToolBarAlign"), QStringLiteral("left"));
        TRegistry reg(file_);
        TBrowserSettings s;
        LoadSettings(reg, s);
        SaveLayout(reg, s); // the toolbar stayed at the top
        TRegistry check = settingsKey();
        QCOMPARE(check.ReadString(QStringLiteral("toolbaralign")), QStringLiteral("top"));
        QCOMPARE(check.GetValueNames().filter(QStringLiteral("align"), Qt::CaseInsensitive).size(),
                 1);
    }

    void theStartUpMarkerIsTakenOnce()
    {
        settingsKey().WriteString(QStringLiteral("StartUp"), QStringLiteral("1"));
        settingsKey().WriteString(QStringLiteral("ToolBarStretch"), QStringLiteral("1"));
        TRegistry reg(file_);
        const TStartOnlySettings first = LoadStartOnlySettings(reg);
        QVERIFY(first.FirstStart);
        QVERIFY(first.ToolBarStretch);
        QVERIFY(!LoadStartOnlySettings(reg).FirstStart);
    }

    void theEngineCodePageIsWrittenOnlyWhereItsKeyExists()
    {
        TRegistry reg(file_);
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer\\International"),
                            true));
        SetIECodepage(reg, 874);
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        reg.CloseKey();
        QVERIFY(!reg.KeyExists(QStringLiteral("Software\\Microsoft")));
        reg.RootKey = RegRoot::HKEY_LOCAL_MACHINE;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer\\International"),
                            false));
        QCOMPARE(reg.ReadBinaryData(QStringLiteral("Default_Codepage")),
                 QByteArray("\x6a\x03\x00\x00", 4));

        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        reg.CloseKey();
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer\\International"),
                            true));
        SetIECodepage(reg, 1252);
        for (RegRoot root : {RegRoot::HKEY_CURRENT_USER, RegRoot::HKEY_LOCAL_MACHINE}) {
            reg.RootKey = root;
            reg.CloseKey();
            QVERIFY(reg.OpenKey(
                QStringLiteral("Software\\Microsoft\\Internet Explorer\\International"), false));
            QCOMPARE(reg.ReadBinaryData(QStringLiteral("Default_Codepage")),
                     QByteArray("\xe4\x04\x00\x00", 4));
        }
    }
};

QTEST_GUILESS_MAIN(TestBrowserSettings)
#include "test_browsersettings.moc"
