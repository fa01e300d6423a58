#include "FakeWebBrowser.h"

#include "platform/MessageBox.h"
#include "shell/dialogs/FrmSetup.h"
#include "shell/favorites/FrmEnterURLData.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestServices.h"

#include <QApplication>
#include <QListWidget>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace MessageBoxService;

class TestFrmSetup : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    TTestServices services_;
    std::unique_ptr<TF_Main> main_;
    QStringList boxes_;
    int answer_ = IDYES;
    std::unique_ptr<ScopedHandler> handler_;

    std::unique_ptr<TF_Setup> dialog()
    {
        auto d = std::make_unique<TF_Setup>(*main_);
        d->ShowSettings();
        return d;
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("BREVANT_HOME", dir_->path().toUtf8());
        qputenv("BREVANT_REGISTRY", (dir_->path() + QStringLiteral("/registry.reg")).toUtf8());
        handler_ = std::make_unique<ScopedHandler>([this](const Request& r) {
            boxes_.append(r.text);
            return answer_;
        });
        main_ = std::make_unique<TF_Main>(services_);
        QVERIFY(!main_->CreationFailed);
    }

    void init()
    {
        boxes_.clear();
        answer_ = IDYES;
        main_->Settings = TBrowserSettings();
        main_->Data.Banners.clear();
        SetBannerEntryDialog({});
        SetCurrentPageSource({});
    }

    void cleanupTestCase()
    {
        main_->ShuttingDown = true;
        main_.reset();
    }

    void showAndTakeRoundTrip()
    {
        TBrowserSettings& s = main_->Settings;
        s.StartMode = 3;
        s.StartURL = QStringLiteral("http://example.test/start");
        s.UseSpash = false;
        s.UseBanner = true;
        s.UseCC = true;
        s.MaxURLSave = 77;
        s.OpenFav = false;
        s.UseTelnet = true;
        s.NewWindowMaximize = false;
        s.DefaultThaiCodePage = true;
        s.TCols = 100;
        s.TRows = 40;
        s.TFont = QStringLiteral("DejaVu Sans Mono");
        s.TFontSize = 14;
        auto d = dialog();
        QVERIFY(d->RB_CustomStartPage->isChecked());
        QVERIFY(!d->E_StartPage->isHidden());
        QCOMPARE(d->E_StartPage->text(), s.StartURL);
        QVERIFY(!d->ChB_UseSpash->isChecked());
        QVERIFY(!d->G_MaxURL->isHidden());
        QCOMPARE(d->E_MaxURL->text(), QStringLiteral("77"));
        QVERIFY(!d->ChB_UseFav->isChecked());
        QVERIFY(!d->ChB_newWindowMaximize->isChecked());
        QCOMPARE(d->E_TCols->text(), QStringLiteral("100"));
        QCOMPARE(d->E_TRows->text(), QStringLiteral("40"));
        QCOMPARE(d->E_TFont->text(), s.TFont);
        QCOMPARE(d->FD_Font.pointSize(), 14);

        // Another start page hides the address, which OK still takes.
        d->RB_SFStartPage->click();
        QVERIFY(d->E_StartPage->isHidden());
        d->E_StartPage->setText(QStringLiteral("http://example.test/other"));
        d->ChB_UseSpash->setChecked(true);
        d->ChB_UseBanner->setChecked(false);
        d->ChB_UseFav->setChecked(true);
        d->ChB_UseTelnet->setChecked(false);
        d->ChB_newWindowMaximize->setChecked(true);
        d->ChB_DefaultThaiCodePage->setChecked(false);
        d->E_MaxURL->setText(QStringLiteral(" 12 "));
        d->E_TCols->setText(QStringLiteral("132"));
        d->E_TRows->setText(QStringLiteral("1"));
        d->FD_Font.setPointSize(9);
        d->Button1Click();
        QCOMPARE(d->ModalResult(), int(TForm::mrOk));
        QVERIFY(boxes_.isEmpty());
        QCOMPARE(s.StartMode, 2);
        QCOMPARE(s.StartURL, QStringLiteral("http://example.test/other"));
        QVERIFY(s.UseSpash);
        QVERIFY(!s.UseBanner);
        QVERIFY(s.OpenFav);
        QVERIFY(!s.UseTelnet);
        QVERIFY(s.NewWindowMaximize);
        QVERIFY(!s.DefaultThaiCodePage);
        QCOMPARE(s.MaxURLSave, 12);
        QCOMPARE(s.TCols, 132);
        QCOMPARE(s.TRows, 1);
        QCOMPARE(s.TFontSize, 9);
    }

    void startModeOutOfRangeSelectsNone()
    {
        main_->Settings.StartMode = 7;
        auto d = dialog();
        for (QRadioButton* b :
             {d->RB_NoStartPage, d->RB_IEStartPage, d->RB_SFStartPage, d->RB_CustomStartPage})
            QVERIFY(!b->isChecked());
        d->Button1Click();
        QCOMPARE(main_->Settings.StartMode, 7);
    }

    void uncheckedHistoryKeepsMaxURL()
    {
        main_->Settings.MaxURLSave = 500;
        auto d = dialog();
        d->E_MaxURL->setText(QStringLiteral("not a number"));
        d->ChB_UseCC->click();
        QVERIFY(d->G_MaxURL->isHidden());
        d->Button1Click();
        QVERIFY(boxes_.isEmpty());
        QVERIFY(!main_->Settings.UseCC);
        QCOMPARE(main_->Settings.MaxURLSave, 500);
        // Ticking again brings back the stored value, not the edit.
        d->E_MaxURL->setText(QStringLiteral("9"));
        d->ChB_UseCC->click();
        QCOMPARE(d->E_MaxURL->text(), QStringLiteral("500"));
    }

    void validation_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("max url letters") << "E_MaxURL"
                                         << "abc" << false;
        QTest::newRow("max url empty") << "E_MaxURL"
                                       << "" << false;
        QTest::newRow("max url zero") << "E_MaxURL"
                                      << "0" << false;
        QTest::newRow("max url negative") << "E_MaxURL"
                                          << "-5" << false;
        QTest::newRow("max url one") << "E_MaxURL"
                                     << "1" << true;
        QTest::newRow("max url overflow") << "E_MaxURL"
                                          << "99999999999" << false;
        QTest::newRow("cols zero") << "E_TCols"
                                   << "0" << false;
        QTest::newRow("cols 133") << "E_TCols"
                                  << "133" << false;
        QTest::newRow("cols 132") << "E_TCols"
                                  << "132" << true;
        QTest::newRow("cols hex") << "E_TCols"
                                  << "0x50" << false;
        QTest::newRow("rows 51") << "E_TRows"
                                 << "51" << false;
        QTest::newRow("rows 50") << "E_TRows"
                                 << "50" << true;
        QTest::newRow("rows fraction") << "E_TRows"
                                       << "2.5" << false;
    }

    void validation()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        auto d = dialog();
        // Fields before and after the tested one change too: a refused
        // dialog must leave every one of them as it was.
        d->RB_NoStartPage->click();
        d->ChB_UseSpash->setChecked(false);
        d->E_TFont->setText(QStringLiteral("Changed"));
        d->findChild<QLineEdit*>(field)->setText(text);
        const TBrowserSettings before = main_->Settings;
        d->Button1Click();
        const TBrowserSettings& s = main_->Settings;
        if (accepted) {
            QVERIFY(boxes_.isEmpty());
            QCOMPARE(d->ModalResult(), int(TForm::mrOk));
            QCOMPARE(s.StartMode, 0);
            QCOMPARE(s.TFont, QStringLiteral("Changed"));
        } else {
            QCOMPARE(boxes_.size(), 1);
            QCOMPARE(d->ModalResult(), int(TForm::mrNone));
            QCOMPARE(s.StartMode, before.StartMode);
            QCOMPARE(s.UseSpash, before.UseSpash);
            QCOMPARE(s.TFont, before.TFont);
            QCOMPARE(s.MaxURLSave, before.MaxURLSave);
            QCOMPARE(s.TCols, before.TCols);
            QCOMPARE(s.TRows, before.TRows);
        }
    }

    void bannerAddEditDelete()
    {
        main_->Data.AddBanner(QStringLiteral("Ads"), QStringLiteral("http://ads.test/"));
        auto d = dialog();
        d->PC_Select->setCurrentWidget(d->TabSheet2);
        QCOMPARE(d->LV_Banner->topLevelItemCount(), 1);
        QVERIFY(!d->SB_EditBanner->isEnabled());

        // Add: prefilled from the shown page.
        QStringList offered;
        SetCurrentPageSource([](QString& title, QString& url) {
            title = QStringLiteral("หน้าโฆษณา");
            url = QStringLiteral("http://pop.test/x");
        });
        SetBannerEntryDialog([&](QString& name, QString& url) {
            offered << name << url;
            name = QStringLiteral("Pop");
            return true;
        });
        d->SB_AddBanner->click();
        QCOMPARE(offered,
                 (QStringList{QStringLiteral("หน้าโฆษณา"), QStringLiteral("http://pop.test/x")}));
        QCOMPARE(main_->Data.Banners.Names, (QStringList{"Ads", "Pop"}));
        QCOMPARE(main_->Data.Banners.URLs, (QStringList{"http://ads.test/", "http://pop.test/x"}));
        QCOMPARE(d->LV_Banner->topLevelItem(1)->text(0), QStringLiteral("Pop"));

        // A cancelled entry dialog changes nothing.
        SetBannerEntryDialog([](QString& name, QString&) {
            name = QStringLiteral("Never");
            return false;
        });
        d->LV_Banner->topLevelItem(0)->setSelected(true);
        QCOMPARE(d->BannerIndex, 0);
        QVERIFY(d->SB_EditBanner->isEnabled());
        QVERIFY(d->SB_DelBanner->isEnabled());
        d->SB_EditBanner->click();
        d->SB_AddBanner->click();
        QCOMPARE(main_->Data.Banners.Names, (QStringList{"Ads", "Pop"}));
        QCOMPARE(d->LV_Banner->topLevelItemCount(), 2);

        // Edit the selected row.
        offered.clear();
        SetBannerEntryDialog([&](QString& name, QString& url) {
            offered << name << url;
            name = QStringLiteral("Ads2");
            url = QStringLiteral("http://ads2.test/");
            return true;
        });
        d->SB_EditBanner->click();
        QCOMPARE(offered, (QStringList{"Ads", "http://ads.test/"}));
        QCOMPARE(main_->Data.Banners.Names.at(0), QStringLiteral("Ads2"));
        QCOMPARE(d->LV_Banner->topLevelItem(0)->text(1), QStringLiteral("http://ads2.test/"));

        // Delete, refused then confirmed; cancelling the dialog keeps it deleted.
        answer_ = IDNO;
        d->SB_DelBanner->click();
        QCOMPARE(boxes_, QStringList{QStringLiteral("ยืนยันการลบ")});
        QCOMPARE(main_->Data.Banners.count(), 2);
        answer_ = IDYES;
        d->SB_DelBanner->click();
        QCOMPARE(main_->Data.Banners.Names, QStringList{"Pop"});
        QCOMPARE(d->LV_Banner->topLevelItemCount(), 1);
        QCOMPARE(d->BannerIndex, -1);
        QVERIFY(!d->SB_DelBanner->isEnabled());
        d->Button2Click();
        QCOMPARE(main_->Data.Banners.Names, QStringList{"Pop"});
    }

    void emptyBannerTextsShowAsNoData()
    {
        main_->Data.AddBanner(QString(), QStringLiteral("http://ads.test/"));
        auto d = dialog();
        d->PC_Select->setCurrentWidget(d->TabSheet2);
        SetCurrentPageSource([](QString& title, QString& url) {
            title = QStringLiteral("Pop");
            url.clear();
        });
        SetBannerEntryDialog([](QString&, QString&) { return true; });
        d->SB_AddBanner->click();
        const QString none = QStringLiteral("<ไม่มีข้อมูล>");
        QCOMPARE(d->LV_Banner->topLevelItemCount(), 2);
        QCOMPARE(d->LV_Banner->topLevelItem(0)->text(0), none);
        QCOMPARE(d->LV_Banner->topLevelItem(0)->text(1), QStringLiteral("http://ads.test/"));
        QCOMPARE(d->LV_Banner->topLevelItem(1)->text(0), QStringLiteral("Pop"));
        QCOMPARE(d->LV_Banner->topLevelItem(1)->text(1), none);
        // The list keeps the empty texts.
        QCOMPARE(main_->Data.Banners.Names, (QStringList{QString(), "Pop"}));
        QCOMPARE(main_->Data.Banners.URLs, (QStringList{"http://ads.test/", QString()}));
        // Every row carries the banner image.
        const QImage banner = main_->ListImage(1).pixmap(16).toImage();
        QVERIFY(banner != main_->ListImage(0).pixmap(16).toImage());
        for (int r = 0; r < 2; ++r)
            QCOMPARE(d->LV_Banner->topLevelItem(r)->icon(0).pixmap(16).toImage(), banner);
        SetCurrentPageSource({});
        SetBannerEntryDialog({});
    }

    void bannerAddOffersTheActivePage()
    {
        FakeWebBrowser page;
        page.title = QStringLiteral("หน้าที่เปิดอยู่");
        page.url = QStringLiteral("http://active.test/");
        main_->SetActiveWebBrowser(&page);
        auto d = dialog();
        QStringList offered;
        SetBannerEntryDialog([&](QString& name, QString& url) {
            offered << name << url;
            return false;
        });
        d->SB_AddBanner->click();
        main_->SetActiveWebBrowser(nullptr);
        QCOMPARE(offered, (QStringList{page.title, page.url}));
    }

    void refillForgetsSelection()
    {
        main_->Data.AddBanner(QStringLiteral("A"), QStringLiteral("http://a.test/"));
        main_->Data.AddBanner(QStringLiteral("B"), QStringLiteral("http://b.test/"));
        auto d = dialog();
        d->PC_Select->setCurrentWidget(d->TabSheet2);
        d->LV_Banner->topLevelItem(1)->setSelected(true);
        QCOMPARE(d->BannerIndex, 1);
        main_->Data.DeleteBanner(1);
        d->PC_Select->setCurrentWidget(d->TabSheet1);
        d->PC_Select->setCurrentWidget(d->TabSheet2);
        QCOMPARE(d->LV_Banner->topLevelItemCount(), 1);
        QCOMPARE(d->BannerIndex, -1);
        QVERIFY(!d->SB_EditBanner->isEnabled());
        QVERIFY(!d->SB_DelBanner->isEnabled());
        // Nothing to edit or delete now, whatever is clicked.
        d->SB_EditBannerClick();
        d->SB_DelBannerClick();
        QCOMPARE(main_->Data.Banners.Names, QStringList{"A"});
        QVERIFY(boxes_.isEmpty());
    }

    // The banner entry runs the favorites' own entry dialog.
    void bannerAddThroughEntryDialog()
    {
        auto d = dialog();
        d->PC_Select->setCurrentWidget(d->TabSheet2);
        SetCurrentPageSource([](QString& title, QString& url) {
            title = QStringLiteral("Title");
            url = QStringLiteral("http://shown.test/");
        });
        QString seenName;
        bool groupHidden = false;
        OnModal([&](QWidget* modal) {
            auto* entry = qobject_cast<TF_EnterURLData*>(modal);
            QVERIFY(entry && entry->IsModal());
            seenName = entry->E_WebName->text();
            groupHidden = !entry->E_Favorite->isEnabled();
            entry->E_URL->setText(QStringLiteral("http://typed.test/"));
            entry->SpeedButton1Click();
        });
        d->SB_AddBanner->click();
        QCOMPARE(seenName, QStringLiteral("Title"));
        QVERIFY(groupHidden);
        QCOMPARE(main_->Data.Banners.Names, QStringList{"Title"});
        QCOMPARE(main_->Data.Banners.URLs, QStringList{"http://typed.test/"});
    }

    void pagesAndPlugins()
    {
        auto d = dialog();
        QVERIFY(d->LV_Select->item(4)->isHidden());
        QCOMPARE(d->LV_Select->count(), 5);
        d->LV_SelectSelectItem(2);
        QCOMPARE(d->PC_Select->currentWidget(), d->TabSheet3);
        QVERIFY(d->LV_Select->selectedItems().isEmpty());
        d->LV_SelectSelectItem(3);
        QCOMPARE(d->PC_Select->currentWidget(), d->TabSheet4);
        // No plug-in loaded: an empty page and no setup.
        QCOMPARE(d->LV_Plugins->count(), 0);
        QVERIFY(!d->SB_PlugSetup->isEnabled());
        QCOMPARE(d->Caption(), QStringLiteral("ปรับแต่งค่าโปรแกรม"));
        QCOMPARE(d->Button1->Caption(), QStringLiteral("ตกลง"));
        QCOMPARE(d->Button2->Caption(), QStringLiteral("ยกเลิก"));
    }
};

QTEST_MAIN(TestFrmSetup)
#include "test_FrmSetup.moc"
