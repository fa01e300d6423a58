#include "FakeWebBrowser.h"
#include "shell/browser/FrmAdvanceWeb.h"
#include "toolkit/Controls.h"

#include <QTest>

// The download-options dialog on a fake control.
class TestAdvanceWeb : public QObject
{
    Q_OBJECT

    static QList<bool> boxes(const TF_AdvanceWeb& dialog)
    {
        return {dialog.ChB_NoScript->isChecked(), dialog.ChB_NoActiveX->isChecked(),
                dialog.ChB_NoCache->isChecked(), dialog.ChB_NoJava->isChecked(),
                dialog.Chb_NoImage->isChecked()};
    }

private slots:
    void textsAreThai()
    {
        TF_AdvanceWeb dialog;
        QCOMPARE(dialog.Name(), QStringLiteral("F_AdvanceWeb"));
        QCOMPARE(dialog.Caption(), QStringLiteral("ตัวเลือกขั้นสูงของเว็บ"));
        QCOMPARE(dialog.B_Ok->Caption(), QStringLiteral("ตกลง"));
        QCOMPARE(dialog.GroupBox1->Caption(), QStringLiteral("ตั้งค่า"));
        QCOMPARE(dialog.Chb_NoImage->Caption(), QStringLiteral("ไม่ load ภาพที่มากับ page"));
    }

    void boxesShowTheOptions_data()
    {
        QTest::addColumn<TDownloadControlOptions>("options");
        QTest::addColumn<QList<bool>>("ticked"); // script, activex, cache, java, image
        QTest::newRow("defaults") << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_VIDEOS,
                                                             DLCTL_BGSOUNDS}
                                  << QList<bool>{false, false, false, false, false};
        QTest::newRow("nothing") << TDownloadControlOptions{}
                                 << QList<bool>{false, false, false, false, true};
        QTest::newRow("everything off")
            << TDownloadControlOptions{DLCTL_NO_SCRIPTS, DLCTL_NO_RUNACTIVEXCTLS,
                                       DLCTL_PRAGMA_NO_CACHE, DLCTL_NO_JAVA}
            << QList<bool>{true, true, true, true, true};
        QTest::newRow("only java") << TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_NO_JAVA}
                                   << QList<bool>{false, false, false, true, false};
    }
    void boxesShowTheOptions()
    {
        QFETCH(TDownloadControlOptions, options);
        FakeWebBrowser browser;
        browser.SetDownloadOptions(options);
        TF_AdvanceWeb dialog;
        dialog.ShowOptions(&browser);
        QTEST(boxes(dialog), "ticked");
        QCOMPARE(AdvanceWebTarget.data(), &browser);
    }

    void noImageAloneRemovesOnlyImages()
    {
        FakeWebBrowser browser;
        browser.hasDocument = true;
        TF_AdvanceWeb dialog;
        dialog.ShowOptions(&browser);
        dialog.Chb_NoImage->setChecked(true);
        const int before = browser.appliedOptions;
        dialog.B_OkClick();
        QCOMPARE(browser.DownloadOptions(),
                 (TDownloadControlOptions{DLCTL_VIDEOS, DLCTL_BGSOUNDS}));
        QCOMPARE(browser.appliedOptions - before, 5); // told after every step
        QCOMPARE(browser.calls, QStringList{QStringLiteral("Refresh")});
    }

    void everyBoxMapsToItsFlag()
    {
        FakeWebBrowser browser;
        TF_AdvanceWeb dialog;
        dialog.ShowOptions(&browser);
        for (TCheckBox* box :
             {dialog.ChB_NoScript, dialog.ChB_NoActiveX, dialog.ChB_NoCache, dialog.ChB_NoJava})
            box->setChecked(true);
        dialog.B_OkClick();
        QCOMPARE(browser.DownloadMask(), 0x70u | 0x80u | 0x200u | 0x100u | 0x4000u);
        QVERIFY(browser.calls.isEmpty()); // no document: nothing to refresh

        dialog.ShowOptions(&browser);
        QCOMPARE(boxes(dialog), (QList<bool>{true, true, true, true, false}));
        dialog.ChB_NoScript->setChecked(false);
        dialog.ChB_NoCache->setChecked(false);
        dialog.B_OkClick();
        QCOMPARE(browser.DownloadMask(), 0x70u | 0x200u | 0x100u);
    }

    void cancelChangesNothing()
    {
        FakeWebBrowser browser;
        TF_AdvanceWeb dialog;
        dialog.ShowOptions(&browser);
        dialog.ChB_NoScript->setChecked(true);
        dialog.B_CancelClick();
        QCOMPARE(browser.DownloadMask(), 0x70u);
    }

    // The dialog outlives the windows it was run for.
    void aClosedControlIsForgotten()
    {
        TF_AdvanceWeb dialog;
        {
            FakeWebBrowser browser;
            dialog.ShowOptions(&browser);
        }
        QVERIFY(AdvanceWebTarget.isNull());
        dialog.ChB_NoScript->setChecked(true);
        dialog.B_OkClick(); // nothing to change, nothing to crash
    }
};

QTEST_MAIN(TestAdvanceWeb)
#include "test_advanceweb.moc"
