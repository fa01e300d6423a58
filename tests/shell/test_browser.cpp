#include "FakeWebBrowser.h"
#include "platform/Registry.h"
#include "shell/browser/FrmAdvanceWeb.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "TestServices.h"

#include <QApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The browser window on a fake control, inside a real main window.
class TestBrowser : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    TTestServices services_;
    std::unique_ptr<TF_Main> main_;

    struct Window
    {
        TF_Browser* form;
        FakeWebBrowser* control;
    };

    Window open()
    {
        auto* control = new FakeWebBrowser;
        auto* form = new TF_Browser(*main_, control);
        return {form, control};
    }

    static QStringList numbered(const QString& stem, int count)
    {
        QStringList list;
        for (int i = 1; i <= count; ++i)
            list << QStringLiteral("http://%1%2/").arg(stem).arg(i);
        return list;
    }

    // Completes a page in the window as the control would report it.
    static void complete(Window w, const QString& url, const QString& title)
    {
        emit w.control->NavigateComplete2(url, true);
        emit w.control->TitleChange(title);
        emit w.control->DocumentComplete(url, true);
    }

    void closeAll()
    {
        const QList<QPointer<TForm>> windows = main_->WindowList;
        for (const QPointer<TForm>& form : windows)
            if (form)
                form->Close();
        QTRY_COMPARE(main_->WindowCount(), 0);
        QTest::qWait(0);
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        qputenv("BREVANT_HOME", dir_.path().toUtf8());
        qputenv("BREVANT_REGISTRY", dir_.filePath(QStringLiteral("registry.reg")).toUtf8());
        TRegistry reg;
        QVERIFY(OpenSettingsKey(reg));
        reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
        reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
        services_.BrowserControl = [] { return new FakeWebBrowser; };
        main_ = std::make_unique<TF_Main>(services_);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }

    void cleanup() { closeAll(); }

    void cleanupTestCase() { main_.reset(); }

    void creationRegistersAndPublishes()
    {
        Window w = open();
        QCOMPARE(w.form->Caption(), QStringLiteral("Brevant++ (Untitled Document)"));
        QCOMPARE(w.form->SB_Go->Caption(), QStringLiteral("ไป"));
        QCOMPARE(main_->WindowCount(), 1);
        QCOMPARE(main_->TC_Pages->tabText(0), QStringLiteral("(ยังไม่ได้เปิด)"));
        QCOMPARE(main_->ActiveWebBrowser(), w.control);
        QCOMPARE(main_->ActiveChild(), w.form);
        QVERIFY(w.form->SelfRef);
        QVERIFY(w.form->IsActive);
        // The window's control carries the window's options.
        QCOMPARE(w.control->DownloadMask(), 0x70u);
        QCOMPARE(w.control->UIMask(), 0x84u);
        QCOMPARE(w.control->UserAgent(), QStringLiteral("Brevant++ 1.00 SE"));
        QCOMPARE(w.control->PrintOptions()->Margins()->Left, 19.05);
        QCOMPARE(w.control->PrintOptions()->Header, QStringLiteral("&w&bPage &p of &P"));
        QVERIFY(!main_->N_Print->isEnabled());
        QVERIFY(!w.form->SB_SelBack->isEnabled());
        // The bottom row's speed buttons: back, forward and the back list
        // flat, go flat with its caption, stop and the menu plain.
        for (TRxSpeedButton* b : {w.form->SB_Back, w.form->SB_Next, w.form->SB_SelBack}) {
            QVERIFY(b->Flat());
            QVERIFY(!b->Transparent());
            QVERIFY(!b->Glyph().isNull());
            QCOMPARE(b->ButtonGlyph().TransparentColor(), qRgb(255, 0, 255));
        }
        QVERIFY(w.form->SB_Go->Flat());
        QVERIFY(!w.form->SB_Stop->Flat());
        QVERIFY(!w.form->SB_Stop->Glyph().isNull());
        QVERIFY(!w.form->SB_ShowMenu->Glyph().isNull());
    }

    // Typing into the address box with the history behind it.
    void suggestionsFromTheHistory_data()
    {
        QTest::addColumn<int>("matching");
        QTest::addColumn<bool>("shown");
        QTest::newRow("1") << 1 << true;
        QTest::newRow("20") << 20 << true;
        QTest::newRow("21") << 21 << false;
    }
    void suggestionsFromTheHistory()
    {
        QFETCH(int, matching);
        main_->Data.URLHistory = numbered("match", matching) + QStringList{"http://other/"};
        Window w = open();
        main_->Settings.UseCC = true;
        w.form->CB_URL->SetText(QStringLiteral("match"));
        w.form->CB_URLChange();
        QTEST(w.form->LB_URL->isVisibleTo(w.form), "shown");
    }

    void keysInTheSuggestionList()
    {
        main_->Data.URLHistory = {"http://hello/", "http://help/", "http://other/"};
        main_->Settings.UseCC = true;
        Window w = open();
        w.form->CB_URL->SetText(QStringLiteral("http://hel"));
        w.form->CB_URLChange();
        QVERIFY(w.form->LB_URL->isVisibleTo(w.form));
        QCOMPARE(w.form->LB_URL->count(), 2);

        QVERIFY(w.form->LB_URLKeyPress(QLatin1Char('l')));
        QCOMPARE(w.form->CB_URL->Text(), QStringLiteral("http://hell"));
        QCOMPARE(w.form->LB_URL->count(), 1);

        QVERIFY(w.form->LB_URLKeyPress(QChar(8)));
        QCOMPARE(w.form->CB_URL->Text(), QStringLiteral("http://hel"));
        QCOMPARE(w.form->LB_URL->count(), 2);

        QVERIFY(w.form->LB_URLKeyPress(QChar(27)));
        QVERIFY(!w.form->LB_URL->isVisibleTo(w.form));
        QCOMPARE(w.form->CB_URL->Text(), QStringLiteral("http://hel"));

        // With the list shown again, Enter goes to the typed text.
        w.form->CB_URLChange();
        QVERIFY(w.form->LB_URL->isVisibleTo(w.form));
        QVERIFY(w.form->CB_URLKeyPress(QChar(13))); // handed to the list
        QVERIFY(!w.form->LB_URL->isVisibleTo(w.form));
        QCOMPARE(w.control->navigated, QStringList{"http://hel"});

        // No suggestions while the setting is off.
        main_->Settings.UseCC = false;
        w.form->CB_URLChange();
        QVERIFY(!w.form->LB_URL->isVisibleTo(w.form));
    }

    void enterInTheAddressBoxNavigates()
    {
        Window w = open();
        w.form->CB_URL->SetText(QStringLiteral("http://typed/"));
        QVERIFY(!w.form->CB_URLKeyPress(QChar(13))); // the box sees Enter too
        QCOMPARE(w.control->navigated, QStringList{"http://typed/"});
        QVERIFY(w.form->CB_URL->Items()->lines().contains(QStringLiteral("http://typed/")));
        w.form->SB_GoClick();
        QCOMPARE(w.control->navigated.size(), 2);
    }

    void completedPagesFillTheBackList()
    {
        main_->Data.URLHistory.clear();
        Window w = open();
        complete(w, "http://a/", "A");
        complete(w, "http://b/", "B&C");
        complete(w, "http://a/", "A");
        complete(w, "http://untitled/", "");
        QCOMPARE(w.form->BackURLs, (QStringList{"http://b/", "http://a/"}));
        QCOMPARE(w.form->BackTitles, (QStringList{"B&C", "A"}));
        QVERIFY(w.form->SB_SelBack->isEnabled());
        QTest::mouseClick(w.form->SB_SelBack, Qt::LeftButton);
        // The list pops up above the button.
        QVERIFY(w.form->PM_SelURL->isVisible());
        QVERIFY(w.form->PM_SelURL->geometry().top() <
                w.form->SB_SelBack->mapToGlobal(QPoint(0, 0)).y());
        const QList<QAction*> items = w.form->PM_SelURL->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QStringLiteral("B&C"));
        items[1]->trigger();
        QCOMPARE(w.control->navigated.last(), QStringLiteral("http://a/"));
        w.form->PM_SelURL->close();
        // The history takes each address once, without its trailing slash.
        QCOMPARE(main_->Data.URLHistory, (QStringList{"http://a", "http://b", "http://untitled"}));
        QCOMPARE(w.form->PageURL, QStringLiteral("http://untitled"));
        QCOMPARE(CurrentURL, QStringLiteral("http://untitled"));
    }

    void titleShowsOnTheTabDoubled()
    {
        Window w = open();
        emit w.control->TitleChange(QStringLiteral("A&B"));
        QCOMPARE(w.form->Caption(), QStringLiteral("Brevant++ (A&B)"));
        QCOMPARE(main_->TC_Pages->tabText(main_->IndexOfChild(w.form)), QStringLiteral("A&&B"));
        QCOMPARE(w.form->PageTitle, QStringLiteral("A&B"));
        QCOMPARE(CurrentTitle, QStringLiteral("A&B"));
    }

    void homeIsTheEnginesHomePage()
    {
        Window w = open();
        w.form->GoHome();
        QCOMPARE(w.control->navigated.last(), MakerHomePage());
        TRegistry reg;
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main"), true));
        reg.WriteString(QStringLiteral("Start Page"), QStringLiteral("http://home.example/"));
        w.form->GoHome();
        QCOMPARE(w.control->navigated.last(), QStringLiteral("http://home.example/"));
        QCOMPARE(w.form->CB_URL->Text(), QStringLiteral("http://home.example/"));
        QVERIFY(reg.DeleteValue(QStringLiteral("Start Page")));
    }

    void busyAndIdle()
    {
        Window w = open();
        emit w.control->DownloadBegin();
        emit w.control->DownloadBegin();
        QVERIFY(w.form->P_Stat->isVisibleTo(w.form));
        QVERIFY(!w.form->CB_URL->isVisibleTo(w.form));
        emit w.control->DownloadComplete();
        QVERIFY(w.form->P_Stat->isVisibleTo(w.form));
        emit w.control->DownloadComplete();
        emit w.control->DownloadComplete(); // never below zero
        QCOMPARE(w.form->DownloadCount, 0);
        QVERIFY(!w.form->P_Stat->isVisibleTo(w.form));

        emit w.control->StatusTextChange(QStringLiteral("Opening page http://x/..."));
        QVERIFY(w.form->P_Stat->isVisibleTo(w.form));
        emit w.control->StatusTextChange(QStringLiteral("Done."));
        QVERIFY(w.form->P_Stat->isVisibleTo(w.form));
        emit w.control->StatusTextChange(QStringLiteral("Done"));
        QVERIFY(!w.form->P_Stat->isVisibleTo(w.form));
        emit w.control->StatusTextChange(QStringLiteral("a&b"));
        QCOMPARE(w.form->L_Stat->Caption(), QStringLiteral("a&&b"));
        QCOMPARE(main_->S_Status->SimpleText(), QStringLiteral("a&&b"));

        emit w.control->ProgressChange(30, 60);
        QCOMPARE(w.form->G_Progress->value(), 50);
        emit w.control->ProgressChange(-1, 60);
        emit w.control->ProgressChange(10, 0);
        QCOMPARE(w.form->G_Progress->value(), 50);

        w.form->SetBusy(true);
        w.form->SB_StopClick();
        QVERIFY(!w.form->P_Stat->isVisibleTo(w.form));
        QCOMPARE(w.control->calls.last(), QStringLiteral("Stop"));

        // The main window's stop is the window's own stop command.
        emit w.control->DownloadBegin();
        emit w.control->DownloadBegin();
        w.control->calls.clear();
        main_->RSB_StopClick();
        QCOMPARE(w.form->DownloadCount, 0);
        QVERIFY(!w.form->P_Stat->isVisibleTo(w.form));
        QVERIFY(w.form->CB_URL->isVisibleTo(w.form));
        QCOMPARE(w.control->calls, QStringList{QStringLiteral("Stop")});
        emit w.control->DownloadComplete(); // the count stays at zero
        QCOMPARE(w.form->DownloadCount, 0);
    }

    void navigationShowsTheZone()
    {
        Window w = open();
        w.form->Navigate(QStringLiteral("file:///tmp/x.html"));
        QCOMPARE(w.form->IM_NetInfo->Hint(), QStringLiteral("My Computer"));
        w.form->Navigate(QStringLiteral("http://www.example.com/"));
        QCOMPARE(w.form->IM_NetInfo->Hint(), QStringLiteral("Internet"));
        QVERIFY(w.form->P_Stat->isVisibleTo(w.form));
        QVERIFY(!w.control->fpExceptions);
    }

    void backAndForwardButtonsFollowTheControl()
    {
        Window w = open();
        emit w.control->CommandStateChange(CSC_NAVIGATEBACK, true);
        QVERIFY(main_->RSB_Back->isEnabled());
        QVERIFY(w.form->SB_Back->isEnabled());
        QVERIFY(!main_->RSB_Forward->isEnabled());
        emit w.control->CommandStateChange(CSC_NAVIGATEFORWARD, true);
        QVERIFY(main_->RSB_Forward->isEnabled());
        QVERIFY(main_->MNU_NextPage->isEnabled());
        emit w.control->CommandStateChange(99, false); // ignored
        QVERIFY(w.form->CanGoBack);
        QTest::mouseClick(w.form->SB_Back, Qt::LeftButton);
        QTest::mouseClick(w.form->SB_Next, Qt::LeftButton);
        QCOMPARE(w.control->calls.mid(w.control->calls.size() - 2),
                 (QStringList{"GoBack", "GoForward"}));
    }

    void acceleratorsRunTheMainWindowsCommands()
    {
        Window w = open();
        QVERIFY(!main_->N_SaveHTML->isEnabled()); // no page loaded
        bool handled = false;
        emit w.control->TranslateAccelerator(Qt::Key_S, Qt::ControlModifier, &handled);
        QCOMPARE(w.control->calls.count(QStringLiteral("SaveAs")), 1);
        emit w.control->TranslateAccelerator(Qt::Key_S, Qt::NoModifier, &handled);
        QCOMPARE(w.control->calls.count(QStringLiteral("SaveAs")), 1);
        QVERIFY(!handled); // the page handles the key as well
        const int windows = main_->WindowCount();
        emit w.control->TranslateAccelerator(Qt::Key_N, Qt::ControlModifier, &handled);
        QCOMPARE(main_->WindowCount(), windows + 1);
    }

    void activationPublishesTheWindow()
    {
        Window a = open();
        Window b = open();
        QCOMPARE(main_->ActiveChild(), b.form);
        emit a.control->NavigateComplete2(QStringLiteral("http://first/"), true);
        main_->MDIClient->setActiveSubWindow(a.form->MDIFrame());
        QCOMPARE(main_->ActiveChild(), a.form);
        QCOMPARE(main_->ActiveWebBrowser(), a.control);
        QVERIFY(a.form->IsActive);
        QVERIFY(!b.form->IsActive);
        QCOMPARE(CurrentURL, QStringLiteral("http://first"));
        QCOMPARE(main_->TC_Pages->currentIndex(), main_->IndexOfChild(a.form));
        QVERIFY(main_->N_Print->isEnabled());
    }

    void maximisingIsShared()
    {
        Window a = open();
        auto* sub = a.form->MDIFrame();
        sub->showNormal();
        QVERIFY(!ChildMaximized);
        sub->showMaximized();
        QVERIFY(ChildMaximized);
        Window b = open();
        QVERIFY(b.form->MDIFrame()->isMaximized());
    }

    void newWindowFromAPageCopiesTheOptions()
    {
        Window w = open();
        w.control->SetDownloadOptions({DLCTL_NO_SCRIPTS});
        TWebBrowser* created = nullptr;
        bool cancel = false;
        emit w.control->NewWindow2(&created, &cancel);
        QVERIFY(created);
        QVERIFY(!cancel);
        QCOMPARE(created->DownloadOptions(), TDownloadControlOptions{DLCTL_NO_SCRIPTS});
        QCOMPARE(main_->WindowCount(), 2);
        QCOMPARE(main_->ActiveWebBrowser(), created);
    }

    // Closing clears every reference to the window and its control, and the
    // window is freed only after the event that closed it has returned.
    void closingClearsEveryReference()
    {
        Window w = open();
        QPointer<TF_Browser> form = w.form;
        QPointer<FakeWebBrowser> control = w.control;
        TF_AdvanceWeb dialog;
        dialog.ShowOptions(control);
        control->SetDownloadOptions({DLCTL_DLIMAGES, DLCTL_NO_SCRIPTS, DLCTL_NO_JAVA,
                                     DLCTL_NO_RUNACTIVEXCTLS, DLCTL_PRAGMA_NO_CACHE});
        emit control->CommandStateChange(CSC_NAVIGATEBACK, true);
        bool canClose = true;
        emit control->CloseQuery(&canClose); // a script closes the window
        QVERIFY(form);                       // not inside the control's event
        QVERIFY(!form->SelfRef);
        QCOMPARE(control->DownloadOptions(),
                 (TDownloadControlOptions{DLCTL_DLIMAGES, DLCTL_PRAGMA_NO_CACHE}));
        QCOMPARE(control->navigated, QStringList{"about:blank"});
        QVERIFY(!main_->ActiveWebBrowser());
        QVERIFY(!main_->ActiveChild());
        QVERIFY(AdvanceWebTarget.isNull());
        QVERIFY(!main_->RSB_Back->isEnabled());
        QVERIFY(!main_->RSB_Forward->isEnabled());
        QCOMPARE(main_->WindowCount(), 0);
        QTRY_VERIFY(form.isNull());
        QVERIFY(control.isNull());
    }

    void eventsAfterClosingDoNothing()
    {
        Window w = open();
        w.form->SelfRef = nullptr;
        emit w.control->TitleChange(QStringLiteral("late"));
        emit w.control->DocumentComplete(QStringLiteral("http://late/"), true);
        QVERIFY(w.form->BackURLs.isEmpty());
        QCOMPARE(w.form->PageTitle, QString());
        TWebBrowser* created = nullptr;
        bool cancel = false;
        emit w.control->NewWindow2(&created, &cancel);
        QVERIFY(cancel);
        QVERIFY(!created);
        w.form->SelfRef = w.form;
    }

    void closingTheLastWindowDisablesBackAndForward()
    {
        Window a = open();
        Window b = open();
        emit b.control->CommandStateChange(CSC_NAVIGATEBACK, true);
        QVERIFY(main_->RSB_Back->isEnabled());
        b.form->CloseWindow();
        QVERIFY(!main_->ActiveWebBrowser() || main_->ActiveWebBrowser() == a.control);
        a.form->CloseWindow();
        QTRY_COMPARE(main_->WindowCount(), 0);
        QVERIFY(!main_->ActiveWebBrowser());
        QVERIFY(!main_->RSB_Back->isEnabled());
        QVERIFY(!main_->RSB_Forward->isEnabled());
    }

    void closeAfterLoadClosesAtTheNextDocument()
    {
        Window w = open();
        QPointer<TF_Browser> form = w.form;
        w.form->CloseAfterLoad = true;
        emit w.control->DocumentComplete(QStringLiteral("http://frame/"), false);
        QVERIFY(form->SelfRef);
        emit w.control->DocumentComplete(QStringLiteral("http://ad/"), true);
        QVERIFY(!form->SelfRef);
        QTRY_VERIFY(form.isNull());
    }
};

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
