#include "EngineTestMain.h"
#include "LoopbackHttp.h"
#include "ModalWindow.h"
#include "platform/Registry.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <memory>
#include <utility>

// The control on the real engine, offscreen, with pages served by the test
// from 127.0.0.1.
class TestEngineEmbeddedWB : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    LoopbackHttp http_;
    QString registryFile_;

    static constexpr int loadTimeout = 20000;

    std::unique_ptr<TEmbeddedWB> makeBrowser()
    {
        auto browser = std::make_unique<TEmbeddedWB>();
        browser->SetUserAgent(QStringLiteral("Brevant++ 1.00 SE"));
        browser->resize(400, 300);
        browser->show();
        return browser;
    }

    // Navigates and waits for the document to complete.
    bool load(TEmbeddedWB& browser, const QString& url)
    {
        QSignalSpy done(&browser, &TWebBrowser::DocumentComplete);
        browser.Navigate(url);
        return done.wait(loadTimeout) || done.count() > 0;
    }

    // Runs a script in the page and returns its result.
    QVariant script(TEmbeddedWB& browser, const QString& source)
    {
        QVariant result;
        bool finished = false;
        browser.Page()->runJavaScript(source, [&](const QVariant& v) {
            result = v;
            finished = true;
        });
        if (!QTest::qWaitFor([&] { return finished; }, loadTimeout))
            qWarning("script did not finish");
        return result;
    }

private slots:
    void initTestCase()
    {
        registryFile_ = dir_.filePath(QStringLiteral("registry.reg"));
        qputenv("BREVANT_REGISTRY", registryFile_.toUtf8());
        http_.addPage("/page.html", "<html><head><title>Test page</title></head><body>"
                                    "<p>a needle and another Needle and a NEEDLE</p>"
                                    "<p id='marker'>saved-marker-7731</p></body></html>");
        http_.addPage("/script.html",
                      "<html><head><title>static</title></head><body>"
                      "<script>document.title = 'scripted';</script></body></html>");
        http_.addPage("/links.html", "<html><head><title>links</title></head><body>"
                                     "<a id='t' href='telnet:bbs.example:23'>t</a>"
                                     "<a id='i' href='irc://irc.example/#chan'>i</a>"
                                     "<a id='n' href='/page.html' target='_blank'>n</a>"
                                     "<iframe src='/page.html'></iframe></body></html>");
    }

    void aPageLoadsAndDocumentCompleteFires()
    {
        auto browser = makeBrowser();
        QStringList before;
        connect(browser.get(), &TWebBrowser::BeforeNavigate2,
                [&](const QString& url, bool topLevel, bool*) {
                    if (topLevel)
                        before << url;
                });
        QSignalSpy navigated(browser.get(), &TWebBrowser::NavigateComplete2);
        QSignalSpy titles(browser.get(), &TWebBrowser::TitleChange);
        QSignalSpy done(browser.get(), &TWebBrowser::DocumentComplete);
        QSignalSpy begun(browser.get(), &TWebBrowser::DownloadBegin);
        QSignalSpy ended(browser.get(), &TWebBrowser::DownloadComplete);
        QSignalSpy status(browser.get(), &TWebBrowser::StatusTextChange);
        QVERIFY(!browser->HasDocument());
        QCOMPARE(browser->GetZoom(), 0); // no document: nothing to ask

        const QString url = http_.url("/page.html");
        browser->Navigate(url);
        QVERIFY(done.wait(loadTimeout));
        QCOMPARE(done.first().at(0).toString(), url);
        QCOMPARE(done.first().at(1).toBool(), true);
        QCOMPARE(before, QStringList{url}); // offered once, not again by the engine
        QVERIFY(!navigated.isEmpty());
        QCOMPARE(navigated.first().at(0).toString(), url);
        QVERIFY(titles.contains(QVariantList{QStringLiteral("Test page")}));
        QCOMPARE(browser->LocationName(), QStringLiteral("Test page"));
        QCOMPARE(browser->LocationURL(), url);
        QCOMPARE(browser->ReadyState(), int(READYSTATE_COMPLETE));
        QVERIFY(browser->HasDocument());
        QCOMPARE(begun.count(), ended.count());
        QCOMPARE(status.last().at(0).toString(), QStringLiteral("Done"));

        // The engine's own agent, with our token once.
        const QByteArray head = http_.requestFor("/page.html");
        QCOMPARE(head.count("Brevant++/1.00 (SE)"), 1);
        QVERIFY(head.contains("QtWebEngine"));
    }

    void aCancelledNavigationLoadsNothing()
    {
        auto browser = makeBrowser();
        connect(browser.get(), &TWebBrowser::BeforeNavigate2,
                [](const QString&, bool, bool* cancel) { *cancel = true; });
        QSignalSpy begun(browser.get(), &TWebBrowser::DownloadBegin);
        browser->Navigate(http_.url("/cancelled.html"));
        QTest::qWait(300);
        QCOMPARE(begun.count(), 0);
        QVERIFY(http_.requestFor("/cancelled.html").isEmpty());
    }

    void zoom()
    {
        auto browser = makeBrowser();
        QVERIFY(load(*browser, http_.url("/page.html")));
        QCOMPARE(browser->GetZoom(), 2);
        const QList<QPair<int, int>> cases = {{0, 0}, {3, 3}, {9, 4}, {-5, 0}, {4, 4}, {1, 1}};
        for (const auto& [level, expected] : cases) {
            browser->SetZoom(level);
            QCOMPARE(browser->GetZoom(), expected);
            QCOMPARE(browser->Page()->zoomFactor(), ZoomFactorForLevel(expected));
        }
    }

    void find()
    {
        auto browser = makeBrowser();
        QVERIFY(load(*browser, http_.url("/page.html")));
        const QList<std::tuple<QString, bool, int>> cases = {
            {QStringLiteral("needle"), false, 3},
            {QStringLiteral("Needle"), true, 1},
            {QStringLiteral("haystack"), false, 0},
        };
        for (const auto& [text, caseSensitive, expected] : cases) {
            int matches = -1;
            browser->FindText(text, false, caseSensitive, [&](int n) { matches = n; });
            QTRY_COMPARE_WITH_TIMEOUT(matches, expected, loadTimeout);
        }
    }

    void saveAs()
    {
        auto browser = makeBrowser();
        QVERIFY(load(*browser, http_.url("/page.html")));
        const QList<QString> names = {QStringLiteral("saved.html"), QStringLiteral("saved.mht")};
        for (const QString& name : names) {
            const QString path = dir_.filePath(name);
            QSignalSpy saved(browser.get(), &TEmbeddedWB::SaveFinished);
            browser->SaveAs(path);
            QVERIFY(saved.wait(loadTimeout));
            QCOMPARE(saved.first().at(1).toBool(), true);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray content = file.readAll();
            QVERIFY2(content.contains("saved-marker-7731"), name.toUtf8());
            if (name.endsWith(QLatin1String(".mht")))
                QVERIFY(content.contains("MIME-Version"));
        }
    }

    // Addresses for the terminal and the chat plug-in reach BeforeNavigate2
    // with their letter case, whether given to the control or clicked.
    void externalSchemesReachBeforeNavigate2_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("telnet") << QStringLiteral("telnet://BBS.Example.COM:23/");
        QTest::newRow("irc") << QStringLiteral("irc://Some.Server/#Chan");
        QTest::newRow("telnet without slashes") << QStringLiteral("telnet:Host:2323");
    }
    void externalSchemesReachBeforeNavigate2()
    {
        QFETCH(QString, address);
        auto browser = makeBrowser();
        QStringList seen;
        connect(browser.get(), &TWebBrowser::BeforeNavigate2,
                [&](const QString& url, bool, bool* cancel) {
                    seen << url;
                    *cancel = true;
                });
        browser->Navigate(address);
        QCOMPARE(seen, QStringList{address});
    }

    void externalSchemeNotTakenFailsQuietly()
    {
        auto browser = makeBrowser();
        QStringList seen;
        connect(browser.get(), &TWebBrowser::BeforeNavigate2,
                [&](const QString& url, bool, bool*) { seen << url; });
        QSignalSpy done(browser.get(), &TWebBrowser::DocumentComplete);
        QSignalSpy ended(browser.get(), &TWebBrowser::DownloadComplete);
        browser->Navigate(QStringLiteral("telnet://host.example:23/"));
        QVERIFY(ended.wait(loadTimeout));
        QCOMPARE(done.count(), 0);
        QCOMPARE(seen, QStringList{QStringLiteral("telnet://host.example:23/")});
    }

    void clickedExternalLinksReachBeforeNavigate2()
    {
        auto browser = makeBrowser();
        QVERIFY(load(*browser, http_.url("/links.html")));
        QStringList seen;
        connect(browser.get(), &TWebBrowser::BeforeNavigate2,
                [&](const QString& url, bool topLevel, bool* cancel) {
                    if (!topLevel)
                        return;
                    seen << url;
                    *cancel = true;
                });
        script(*browser, QStringLiteral("document.getElementById('t').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1, loadTimeout);
        script(*browser, QStringLiteral("document.getElementById('i').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 2, loadTimeout);
        QCOMPARE(seen[0], QStringLiteral("telnet:bbs.example:23"));
        QCOMPARE(seen[1], QStringLiteral("irc://irc.example/#chan"));
    }

    void framesAreNotTopLevel()
    {
        auto browser = makeBrowser();
        QList<QPair<QString, bool>> seen;
        connect(browser.get(), &TWebBrowser::BeforeNavigate2,
                [&](const QString& url, bool topLevel, bool*) {
                    seen.append({url, topLevel});
                });
        QVERIFY(load(*browser, http_.url("/links.html")));
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains(qMakePair(http_.url("/page.html"), false)),
                                 loadTimeout);
        QCOMPARE(seen.first(), qMakePair(http_.url("/links.html"), true));
    }

    void newWindowGoesToTheControlTheHandlerMakes()
    {
        auto browser = makeBrowser();
        QVERIFY(load(*browser, http_.url("/links.html")));
        std::unique_ptr<TEmbeddedWB> opened;
        connect(browser.get(), &TWebBrowser::NewWindow2, [&](TWebBrowser** created, bool*) {
            opened = makeBrowser();
            *created = opened.get();
        });
        script(*browser, QStringLiteral("document.getElementById('n').click()"));
        QTRY_VERIFY_WITH_TIMEOUT(opened != nullptr, loadTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(opened->LocationName(), QStringLiteral("Test page"), loadTimeout);
        QCOMPARE(browser->LocationName(), QStringLiteral("links"));
    }

    void newWindowRefused()
    {
        auto browser = makeBrowser();
        QVERIFY(load(*browser, http_.url("/links.html")));
        QSignalSpy asked(browser.get(), &TWebBrowser::NewWindow2);
        script(*browser, QStringLiteral("document.getElementById('n').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(asked.count(), 1, loadTimeout);
        QCOMPARE(browser->LocationName(), QStringLiteral("links"));
    }

    void offlineRefusesTheNetworkButNotFiles()
    {
        const QString file = dir_.filePath(QStringLiteral("local.html"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<html><head><title>local</title></head><body>x</body></html>");
        }
        auto browser = makeBrowser();
        TWebBrowser::SetOffline(true);
        const int requests = int(http_.requests.size());
        QSignalSpy done(browser.get(), &TWebBrowser::DocumentComplete);
        QSignalSpy ended(browser.get(), &TWebBrowser::DownloadComplete);
        browser->Navigate(http_.url("/page.html"));
        QVERIFY(ended.wait(loadTimeout));
        QCOMPARE(done.count(), 0);
        QCOMPARE(int(http_.requests.size()), requests);

        QVERIFY(load(*browser, QUrl::fromLocalFile(file).toString()));
        QCOMPARE(browser->LocationName(), QStringLiteral("local"));

        TWebBrowser::SetOffline(false);
        QVERIFY(load(*browser, http_.url("/page.html")));
        QCOMPARE(int(http_.requests.size()), requests + 1);
    }

    void downloadOptionsReachThePage()
    {
        auto browser = makeBrowser();
        QVERIFY(load(*browser, http_.url("/script.html")));
        QTRY_COMPARE_WITH_TIMEOUT(browser->LocationName(), QStringLiteral("scripted"), loadTimeout);
        QVERIFY(!http_.requestFor("/script.html").contains("no-cache"));

        TDownloadControlOptions options = browser->DownloadOptions();
        options.insert(DLCTL_NO_SCRIPTS).insert(DLCTL_PRAGMA_NO_CACHE).remove(DLCTL_DLIMAGES);
        browser->SetDownloadOptions(options);
        QWebEngineSettings* settings = browser->Page()->settings();
        QVERIFY(!settings->testAttribute(QWebEngineSettings::AutoLoadImages));
        QVERIFY(!settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
        QVERIFY(load(*browser, http_.url("/script.html")));
        QCOMPARE(browser->LocationName(), QStringLiteral("static"));
        const QByteArray head = http_.requestFor("/script.html");
        QVERIFY(head.contains("Pragma: no-cache"));
        QVERIFY(head.contains("Cache-Control: no-cache"));
    }

    // The registry names the agent while any control with it exists, and
    // the engine's agent carries the token once however many come and go.
    void userAgentSurvivesClosingOneWindow()
    {
        auto hasEntry = [] {
            TRegistry reg;
            return reg.OpenKey(UserAgentRegistryKey(), false) &&
                   reg.ValueExists(QStringLiteral("Brevant++ 1.00 SE"));
        };
        auto first = makeBrowser();
        auto second = makeBrowser();
        QVERIFY(hasEntry());
        first.reset();
        QVERIFY(hasEntry());
        const QString agent = QWebEngineProfile::defaultProfile()->httpUserAgent();
        QCOMPARE(agent.count(QStringLiteral("Brevant++/1.00 (SE)")), 1);
        auto third = makeBrowser();
        QCOMPARE(QWebEngineProfile::defaultProfile()->httpUserAgent(), agent);
        QVERIFY(load(*second, http_.url("/page.html")));
        QCOMPARE(http_.requestFor("/page.html").count("Brevant++/1.00 (SE)"), 1);
        second.reset();
        third.reset();
        QVERIFY(!hasEntry());
    }

    void anUnwritableRegistryDoesNotStopTheControl()
    {
        const QByteArray saved = qgetenv("BREVANT_REGISTRY");
        // A plain file where the registry's folder should be.
        QFile blocker(dir_.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("BREVANT_REGISTRY", dir_.filePath(QStringLiteral("blocker/r.reg")).toUtf8());
        {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("user agent entry not written"));
            auto browser = makeBrowser();
            QVERIFY(load(*browser, http_.url("/page.html")));
        }
        qputenv("BREVANT_REGISTRY", saved);
    }

    void pageSetupFillsThePageLayout()
    {
        auto browser = makeBrowser();
        TPrintOptions* options = browser->PrintOptions();
        options->Margins()->Left = 19.05;
        options->Margins()->Top = 10;
        options->Margins()->Right = 12.5;
        options->Margins()->Bottom = 19.05;
        options->Orientation = TPrintOptions::poLandscape;
        // The dialog shows, filled in from the options; the user accepts
        // it as it is, then with a wider left margin and portrait.
        QPageLayout shown;
        const auto answer = [&](const std::function<void(QPageSetupDialog&)>& act) {
            auto first = std::make_shared<bool>(true);
            OnModal([&, act, first](QWidget* modal) {
                auto* dialog = qobject_cast<QPageSetupDialog*>(modal);
                QVERIFY(dialog);
                if (std::exchange(*first, false)) {
                    shown = dialog->printer()->pageLayout();
                    act(*dialog);
                }
                dialog->accept();
            });
        };
        answer([](QPageSetupDialog&) {});
        browser->PageSetup(true);
        QCOMPARE(shown.orientation(), QPageLayout::Landscape);
        const QMarginsF m = shown.margins(QPageLayout::Millimeter);
        QVERIFY(qAbs(m.left() - 19.05) < 0.01);
        QVERIFY(qAbs(m.top() - 10) < 0.01);
        QVERIFY(qAbs(m.right() - 12.5) < 0.01);
        QVERIFY(qAbs(m.bottom() - 19.05) < 0.01);
        QVERIFY(qAbs(options->Margins()->Left - 19.05) < 0.1);
        QCOMPARE(options->Orientation, TPrintOptions::poLandscape);

        answer([](QPageSetupDialog& dialog) {
            auto* left = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("leftMargin"));
            auto* portrait = dialog.findChild<QRadioButton*>(QStringLiteral("portrait"));
            QVERIFY(left && portrait);
            left->setValue(left->value() * 2);
            portrait->click();
        });
        browser->PageSetup(true);
        QVERIFY2(qAbs(options->Margins()->Left - 38.1) < 0.2,
                 qPrintable(QString::number(options->Margins()->Left)));
        QCOMPARE(options->Orientation, TPrintOptions::poPortrait);

        // A later control's page setup is its own.
        auto other = makeBrowser();
        answer([](QPageSetupDialog&) {});
        other->PageSetup(true);
        QCOMPARE(shown.orientation(), QPageLayout::Portrait);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestEngineEmbeddedWB)
#include "test_engine_embeddedwb.moc"
