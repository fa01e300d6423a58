#include "platform/Cp874.h"
#include "shell/data/AlLanguager.h"
#include "shell/data/FormLocalizations.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include <QtTest>

class TestAlLanguager : public QObject
{
    Q_OBJECT

    // A small form: a button, a menu with an item, a list view with one
    // column, a combo box and an unnamed label.
    struct Form
    {
        TForm form;
        TButton* SB_Go;
        TMenuItem* N1;
        TListView* LV_URL;
        TComboBox* CB_URL;
        TLabel* unnamed;
        TEdit* E_Text;
        TAlLanguager* AL_Language;

        Form()
        {
            form.setObjectName(QStringLiteral("F_Browser"));
            form.SetCaption(QStringLiteral(" Hello "));
            SB_Go = new TButton(QStringLiteral("SB_Go"), &form);
            SB_Go->SetCaption(QStringLiteral("Go"));
            auto* menu = new TMainMenu(QStringLiteral("MainMenu1"), &form);
            N1 = menu->AddItem(QStringLiteral("N1"));
            LV_URL = new TListView(QStringLiteral("LV_URL"), &form);
            static_cast<TListColumn*>(LV_URL->Columns()->Add())->SetCaption(QStringLiteral("x"));
            CB_URL = new TComboBox(QStringLiteral("CB_URL"), &form);
            unnamed = new TLabel(QString(), &form);
            unnamed->SetCaption(QStringLiteral("  kept  "));
            E_Text = new TEdit(QStringLiteral("E_Text"), &form);
            AL_Language = new TAlLanguager(&form, QStringLiteral("AL_Language"));
        }
    };

private slots:
    void decoding_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "ไป"
                               << "ไป";
        QTest::newRow("doubled escape") << "ต้องงการ"
                                        << "ต้องการ";
        QTest::newRow("line break") << "a ง!b"
                                    << "a \r\nb";
        QTest::newRow("lone escape dropped") << "งx"
                                             << "x";
        QTest::newRow("escape at the end") << "abง"
                                           << "ab";
        QTest::newRow("two apostrophes") << "it''s"
                                         << "it's";
        QTest::newRow("single apostrophe stays") << "it's"
                                                 << "it's";
        QTest::newRow("three apostrophes") << "'''"
                                           << "''";
        QTest::newRow("escaped apostrophe") << "ง''"
                                            << "''";
        QTest::newRow("empty") << ""
                               << "";
    }

    void decoding()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(DecodeLocalizedValue(value), expected);
    }

    void escapeIsTheCodePageByte()
    {
        // The strings are code page 874 text: the escape is the byte 0xA7.
        QCOMPARE(DecodeLocalizedValue(Cp874::toUnicode("\xa7\xa7\xa7!")), QStringLiteral("ง\r\n"));
    }

    void encodingRoundTrips()
    {
        for (const char* text : {"ต้องการออกจากโปรแกรม?", "a\r\nb", "it's", "งงง", "ง!", ""}) {
            const QString value = QString::fromUtf8(text);
            QCOMPARE(DecodeLocalizedValue(EncodeLocalizedValue(value)), value);
        }
    }

    void lineSplitting()
    {
        QCOMPARE(SplitLocalizationLines(QStringLiteral("a\r\nb\nc\rd\r\n")),
                 QStringList({"a", "b", "c", "d"}));
        QCOMPARE(SplitLocalizationLines(QStringLiteral("a\r\n\r\nb")), QStringList({"a", "", "b"}));
    }

    void translatesAForm()
    {
        Form f;
        f.AL_Language->SetLocalizationString(
            QStringLiteral("*_*SB_GO_CAPTION\r\n ไป\r\n"
                           "*_*sb_go_hint\r\n   ไปที่ง!หน้านี้  \r\n"
                           "*_*n1_caption\r\n-แฟ้มข้อมูล\r\n"
                           "*_*e_text_text\r\n xx\r\n"
                           "*_*lv_url_columns.count\r\n 2\r\n"
                           "*_.lv_url_columns*item0_caption\r\n ชื่อ\r\n"
                           "*_.lv_url_columns*item1_caption\r\n ที่อยู่\r\n"
                           "*_.cb_url_items*count\r\n 2\r\n"
                           "*_.cb_url_items*item0\r\n one\r\n"
                           "*_.cb_url_items*item1\r\n two\r\n"
                           "*_*n1_hint\r\n"));
        QCOMPARE(f.SB_Go->Caption(), QStringLiteral("ไป"));
        QCOMPARE(f.SB_Go->Hint(), QStringLiteral("ไปที่\r\nหน้านี้"));
        QCOMPARE(f.N1->Caption(), QStringLiteral("แฟ้มข้อมูล"));
        QCOMPARE(f.E_Text->text(), QStringLiteral("xx"));
        // An absent key leaves the trimmed current text.
        QCOMPARE(f.form.Caption(), QStringLiteral("Hello"));
        // A component without a name is not translated.
        QCOMPARE(f.unnamed->Caption(), QStringLiteral("  kept  "));
        QCOMPARE(f.LV_URL->Columns()->Count(), 2);
        QCOMPARE(f.LV_URL->headerItem()->text(1), QStringLiteral("ที่อยู่"));
        QCOMPARE(f.CB_URL->Items()->lines(), QStringList({"one", "two"}));
    }

    void lookupRules()
    {
        Form f;
        f.AL_Language->SetLocalizationString(QStringLiteral("*_*a_b\r\n xyz\r\n*_*last\r\n"));
        QCOMPARE(f.AL_Language->ReadLocalizedString(QStringLiteral("_"), QStringLiteral("A_B"),
                                                    QStringLiteral("def")),
                 QStringLiteral("xyz"));
        // A key on the last line has no value: the default stays.
        QCOMPARE(f.AL_Language->ReadLocalizedString(QStringLiteral("_"), QStringLiteral("last"),
                                                    QStringLiteral("def")),
                 QStringLiteral("def"));
        QCOMPARE(f.AL_Language->ReadLocalizedString(QStringLiteral("_"), QStringLiteral("none"),
                                                    QStringLiteral("def")),
                 QStringLiteral("def"));
    }

    void propertiesList()
    {
        Form f;
        auto* second = new TAlLanguager(&f.form, QStringLiteral("AL_Second"));
        Q_UNUSED(second);
        QStringList lines;
        for (const TPropertyLine& line : f.AL_Language->PropertiesList())
            lines.append(line.text);
        // The form and menu items: caption and hint only; other controls
        // add their items, columns and texts; no languager is listed.
        QVERIFY(lines.contains(QStringLiteral("f_browser.caption")));
        QVERIFY(lines.contains(QStringLiteral("n1.caption")));
        QVERIFY(lines.contains(QStringLiteral("lv_url.columns")));
        QVERIFY(lines.contains(QStringLiteral("cb_url.items")));
        QVERIFY(lines.contains(QStringLiteral("cb_url.text")));
        QVERIFY(lines.contains(QStringLiteral("e_text.text")));
        for (const QString& line : lines) {
            QVERIFY2(!line.startsWith(QLatin1String("al_")), qPrintable(line));
            QVERIFY2(!line.startsWith(QLatin1String(".")), qPrintable(line));
        }
    }

    void storeDefaults()
    {
        TAlLanguagesStore store;
        QCOMPARE(store.DefaultLang(), QStringLiteral("eng"));
        QCOMPARE(store.LanguagesDefines()->lines(), QStringList({"eng"}));
        QCOMPARE(store.LanguagesPasUnit(), QStringLiteral("c:\\FormLocalizations1"));
        store.SetDefaultLang(QStringLiteral("tha"));
        store.SetLanguagesDefines({});
        QCOMPARE(store.LanguagesDefines()->lines(), QStringList({"tha"}));

        TAlLanguager languager;
        {
            TAlLanguagesStore gone;
            languager.SetLanguagesStore(&gone);
            QCOMPARE(languager.LanguagesStore(), &gone);
        }
        QCOMPARE(languager.LanguagesStore(), nullptr);
    }

    void programStringsDecodeToTheirTexts()
    {
        // Every value of the program's strings survives its own encoding,
        // and every key is lower case.
        for (const QString& text :
             {F_MainLocalization(), F_ExitLocalization(), F_AboutLocalization()}) {
            const QStringList lines = SplitLocalizationLines(text);
            QVERIFY(lines.size() % 2 == 0);
            for (qsizetype i = 0; i < lines.size(); i += 2) {
                QVERIFY(lines.at(i).startsWith(QLatin1String("*_*")));
                QCOMPARE(lines.at(i), lines.at(i).toLower());
                QVERIFY(lines.at(i + 1).startsWith(u' '));
            }
        }
        QVERIFY(F_ExitLocalization().contains(QStringLiteral("ต้องงการ")));
    }
};

QTEST_MAIN(TestAlLanguager)
#include "test_AlLanguager.moc"
