#include "EngineTestMain.h"
#include "LoopbackHttp.h"
#include "platform/Registry.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/dialogs/FrmSelURL.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestServices.h"

#include <QFileInfo>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <optional>

// The browser window with the real engine inside the real main window.
class TestEngineBrowser : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    LoopbackHttp http_;
    TTestServices services_;
    std::unique_ptr<TF_Main> main_;

    static constexpr int timeout = 20000;

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
        http_.addPage("/one.html", "<html><head><title>One &amp; only</title></head><body>"
                                   "<a id='next' href='/two.html'>two</a></body></html>");
        http_.addPage("/two.html", "<html><head><title>Two</title></head><body>2</body></html>");
        http_.addPage("/three.html",
                      "<html><head><title>Three</title></head><body>3</body></html>");
        main_ = std::make_unique<TF_Main>(services_);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }

    void cleanupTestCase() { main_.reset(); }

    // Types into the address box as the keyboard does (the box has the
    // focus) and presses Enter.
    static void typeAddress(TF_Browser* window, const QString& text)
    {
        window->CB_URL->setFocus();
        window->CB_URL->SetText(text);
        QTest::keyClick(window->CB_URL, Qt::Key_Return);
    }

    // Runs the links command on the active window; the captions the dialog
    // listed, or nothing when it did not open.
    std::optional<QStringList> linksListed()
    {
        std::optional<QStringList> listed;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!F_SelURL || !F_SelURL->IsModal())
                return;
            poll.stop();
            listed = F_SelURL->Captions();
            F_SelURL->close();
        });
        poll.start();
        // The dialog fails the test within seconds rather than hang it.
        QTimer::singleShot(10000, this, [] {
            if (F_SelURL && F_SelURL->IsModal())
                F_SelURL->close();
        });
        main_->Link1Click();
        return listed;
    }

    void aWindowShowsPagesAndKeepsItsLists()
    {
        auto* window = dynamic_cast<TF_Browser*>(main_->NewBrowserWindow());
        QVERIFY(window);
        QPointer<TF_Browser> form = window;
        auto* control = qobject_cast<TEmbeddedWB*>(window->WB_Document);
        QVERIFY(control);
        QCOMPARE(main_->ActiveWebBrowser(), control);

        // Typed into the address box, as the user does.
        QSignalSpy done(control, &TWebBrowser::DocumentComplete);
        window->CB_URL->SetText(http_.url("/one.html"));
        window->SB_GoClick();
        QVERIFY(done.wait(timeout));
        QTRY_COMPARE(window->PageTitle, QStringLiteral("One & only"));
        QCOMPARE(window->Caption(), QStringLiteral("Brevant++ (One & only)"));
        QCOMPARE(main_->TC_Pages->tabText(main_->IndexOfChild(window)),
                 QStringLiteral("One && only"));
        QCOMPARE(window->CB_URL->Text(), http_.url("/one.html"));
        QCOMPARE(window->IM_NetInfo->Hint(), QStringLiteral("Local intranet"));
        QTRY_VERIFY(!window->P_Stat->isVisibleTo(window));
        QVERIFY(main_->Data.URLHistory.contains(http_.url("/one.html")));
        QVERIFY(main_->N_Print->isEnabled());
        QCOMPARE(main_->Settings.FontSize, 2);

        // A link, then back.
        control->Page()->runJavaScript(QStringLiteral("document.getElementById('next').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(window->PageTitle, QStringLiteral("Two"), timeout);
        QTRY_COMPARE_WITH_TIMEOUT(window->BackURLs.size(), 2, timeout);
        QCOMPARE(window->BackTitles, (QStringList{"Two", "One & only"}));
        QTRY_VERIFY_WITH_TIMEOUT(main_->RSB_Back->isEnabled(), timeout);
        QVERIFY(window->SB_Back->isEnabled());
        window->SB_BackClick();
        QTRY_COMPARE_WITH_TIMEOUT(window->PageTitle, QStringLiteral("One & only"), timeout);
        QTRY_VERIFY_WITH_TIMEOUT(window->SB_Next->isEnabled(), timeout);

        // Closing, as a script would ask.
        bool canClose = true;
        emit control->CloseQuery(&canClose);
        QVERIFY(!main_->ActiveWebBrowser());
        QCOMPARE(main_->WindowCount(), 0);
        QTRY_VERIFY(form.isNull());
    }

    void typedAddressesAreWebAddresses()
    {
        // A host with a port, no scheme: the page it serves.
        auto* window = dynamic_cast<TF_Browser*>(main_->NewBrowserWindow());
        QVERIFY(window);
        auto* control = static_cast<TEmbeddedWB*>(window->WB_Document);
        QStringList seen;
        connect(control, &TWebBrowser::BeforeNavigate2,
                [&](const QString& url, bool, bool*) { seen << url; });
        typeAddress(window, http_.url("/one.html").mid(7)); // "127.0.0.1:port/one.html"
        QTRY_COMPARE_WITH_TIMEOUT(window->PageTitle, QStringLiteral("One & only"), timeout);
        QCOMPARE(seen.value(0), http_.url("/one.html"));

        // A bare host name is a web address, not a file of the current
        // folder; nor is an ftp host an ftp address.
        for (const QString& host :
             {QStringLiteral("www.Example.invalid"), QStringLiteral("ftp.example.invalid")}) {
            seen.clear();
            typeAddress(window, host);
            QCOMPARE(seen.value(0), QStringLiteral("http://") + host);
            QTRY_COMPARE(control->Page()->requestedUrl().host(), host.toLower());
            QCOMPARE(control->Page()->requestedUrl().scheme(), QStringLiteral("http"));
        }
        window->CloseWindow();

        // The banner step sees the address as it will be loaded.
        main_->Data.AddBanner(QStringLiteral("Ads"), QStringLiteral("http://ads.example.invalid"));
        auto* banner = dynamic_cast<TF_Browser*>(main_->NewBrowserWindow());
        QPointer<TF_Browser> bannerForm = banner;
        typeAddress(banner, QStringLiteral("ads.example.invalid/pop"));
        QTRY_VERIFY(bannerForm.isNull());
        main_->Data.Banners.clear();
    }

    void theLinksDialogListsTheShownPageWhileItStillLoads()
    {
        http_.stall("/never.png");
        http_.addPage("/slow.html", "<html><head><title>Slow</title></head><body>"
                                    "<a href='/one.html'>1</a><a href='two.html'>2</a>"
                                    "<img src='/never.png'></body></html>");
        auto* window = dynamic_cast<TF_Browser*>(main_->NewBrowserWindow());
        QVERIFY(window);
        // No document has completed in the window yet.
        QVERIFY(!linksListed());

        QSignalSpy done(window->WB_Document, &TWebBrowser::DocumentComplete);
        window->Navigate(http_.url("/two.html"));
        QVERIFY(done.wait(timeout));
        QVERIFY(window->DocumentDone);
        // The next page is shown while its picture never comes.
        window->Navigate(http_.url("/slow.html"));
        QTRY_COMPARE_WITH_TIMEOUT(window->PageTitle, QStringLiteral("Slow"), timeout);
        QCOMPARE(window->WB_Document->ReadyState(), int(READYSTATE_LOADING));
        const std::optional<QStringList> listed = linksListed();
        QVERIFY(listed);
        QCOMPARE(*listed, (QStringList{http_.url("/one.html"), http_.url("/two.html")}));
        window->CloseWindow();
    }

    void addressesForTheTerminalReachThePipelineAsTyped()
    {
        // A window whose pipeline notes each address and keeps the terminal
        // and chat addresses from the engine.
        class TNotingBrowser : public TF_Browser
        {
        public:
            TNotingBrowser(TBrowserHost& host, QStringList& seen) : TF_Browser(host), seen_(seen) {}

        protected:
            void NavigationPipeline(const QString& url, bool, bool* cancel) override
            {
                seen_ << url;
                *cancel = url.startsWith(QLatin1String("telnet:")) ||
                          url.startsWith(QLatin1String("irc:"));
            }

        private:
            QStringList& seen_;
        };
        QStringList seen;
        auto* window = new TNotingBrowser(*main_, seen);
        QPointer<TF_Browser> form = window;
        window->CB_URL->SetText(QStringLiteral("telnet://BBS.Example:23/"));
        window->CB_URLKeyPress(QChar(13));
        window->Navigate(QStringLiteral("irc://Some.Server/#Chan"));
        QCOMPARE(seen, (QStringList{"telnet://BBS.Example:23/", "irc://Some.Server/#Chan"}));
        window->CloseWindow();
        QTRY_VERIFY(form.isNull());
    }

    // A page closes its window, or turns into a banner by its title, while
    // one of the window's modal commands has its dialog up: nothing is
    // freed under the dialog (its control, the dialog itself and the
    // printer stay), and the window closes once the command has returned.
    void aWindowClosedUnderItsDialogClosesWhenTheCommandReturns_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("script");
        for (const char* command : {"print", "preview", "page setup", "save as"}) {
            QTest::addRow("%s, the page closes itself", command)
                << command << QStringLiteral("window.close()");
            QTest::addRow("%s, a banner title", command)
                << command << QStringLiteral("document.title = 'Sponsored: buy now'");
        }
    }
    void aWindowClosedUnderItsDialogClosesWhenTheCommandReturns()
    {
        QFETCH(QString, command);
        QFETCH(QString, script);
        main_->Settings.UseBanner = true;
        if (!main_->Data.Banners.Names.contains(QStringLiteral("Sponsored")))
            main_->Data.AddBanner(QStringLiteral("Sponsored"), QStringLiteral("http://ads.test/"));
        auto* window = dynamic_cast<TF_Browser*>(main_->NewBrowserWindow());
        QVERIFY(window);
        QPointer<TF_Browser> form = window;
        auto* control = qobject_cast<TEmbeddedWB*>(window->WB_Document);
        QVERIFY(control);
        QSignalSpy done(control, &TWebBrowser::DocumentComplete);
        window->Navigate(http_.url("/three.html"));
        QVERIFY(done.wait(timeout));
        QTRY_COMPARE(window->PageTitle, QStringLiteral("Three"));
        // A coarse printer: the preview's pages are ready in moments.
        control->Printer()->setResolution(48);

        // The page's request reaches the window while the dialog is up.
        QSignalSpy closeAsked(control, &TWebBrowser::CloseQuery);
        QSignalSpy titles(control, &TWebBrowser::TitleChange);
        bool stayedUnderTheDialog = false;
        OnModal(
            [&](QWidget* modal) {
                if (!closeAsked.isEmpty() || !titles.isEmpty())
                    return CloseModal(modal); // asked already: the dialog goes
                control->Page()->runJavaScript(script);
                QVERIFY(QTest::qWaitFor([&] { return !closeAsked.isEmpty() || !titles.isEmpty(); },
                                        timeout));
                // What a free would have done meanwhile: deferred deletions run.
                QTest::qWait(100);
                stayedUnderTheDialog = !form.isNull() && main_->WindowCount() == 1;
                CloseModal(modal);
            },
            std::chrono::seconds(30)); // the preview waits for the engine first
        if (command == QLatin1String("print"))
            main_->N_PrintClick();
        else if (command == QLatin1String("preview"))
            main_->N_PrintPreviewClick();
        else if (command == QLatin1String("page setup"))
            main_->N_PSetupClick();
        else
            main_->N_SaveHTMLClick();
        QVERIFY(stayedUnderTheDialog);
        QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), timeout);
        QCOMPARE(main_->WindowCount(), 0);
        QVERIFY(!main_->ActiveWebBrowser());
    }

    // After the print dialog the engine prints into the control's printer
    // from a thread of its own: a window the page closes meanwhile stays
    // until the print has ended.
    void aWindowClosedWhileItPrintsStaysUntilThePrintEnds()
    {
        auto* window = dynamic_cast<TF_Browser*>(main_->NewBrowserWindow());
        QVERIFY(window);
        QPointer<TF_Browser> form = window;
        auto* control = qobject_cast<TEmbeddedWB*>(window->WB_Document);
        QVERIFY(control);
        QSignalSpy done(control, &TWebBrowser::DocumentComplete);
        window->Navigate(http_.url("/three.html"));
        QVERIFY(done.wait(timeout));
        const QString pdf = dir_.filePath(QStringLiteral("printed.pdf"));
        control->Printer()->setResolution(48);
        control->Printer()->setOutputFileName(pdf);
        QSignalSpy finished(control->View(), &QWebEngineView::printFinished);
        // Whether the window was still there when the print ended.
        bool formAtPrintEnd = false;
        connect(control->View(), &QWebEngineView::printFinished, this,
                [&] { formAtPrintEnd = !form.isNull(); });
        OnModal([](QWidget* modal) {
            auto* dialog = qobject_cast<QDialog*>(modal);
            QVERIFY(dialog);
            dialog->accept();
        });
        main_->N_PrintClick();
        QSignalSpy closeAsked(control, &TWebBrowser::CloseQuery);
        control->Page()->runJavaScript(QStringLiteral("window.close()"));
        QVERIFY(closeAsked.wait(timeout));
        if (finished.isEmpty())
            QVERIFY(finished.wait(60000));
        QVERIFY(formAtPrintEnd);
        QCOMPARE(finished.first().first().toBool(), true);
        QTRY_VERIFY_WITH_TIMEOUT(form.isNull(), timeout);
        QVERIFY(QFileInfo(pdf).size() > 0);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestEngineBrowser)
#include "test_engine_browser.moc"
