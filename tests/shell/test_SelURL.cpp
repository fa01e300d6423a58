#include "FakeWebBrowser.h"

#include "platform/MessageBox.h"
#include "shell/dialogs/FrmSelURL.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestBrowserWindow.h"
#include "TestServices.h"
#include "ThrowawayHome.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

// A browser window over a fake control that notes the download options in
// force when each address reaches it.
class TRecordingWindow : public TTestBrowserWindow
{
public:
    explicit TRecordingWindow(TChildWindowHost& host)
        : TTestBrowserWindow(host, new FakeWebBrowser),
          control(static_cast<FakeWebBrowser*>(control_))
    {
        QObject::connect(control, &TWebBrowser::BeforeNavigate2, control,
                         [this](const QString&, bool, bool*) {
                             optionsAtNavigate.append(control->DownloadOptions());
                         });
    }
    void Navigate(const QString& url) override { control->Navigate(url); }

    FakeWebBrowser* control;
    QList<TDownloadControlOptions> optionsAtNavigate;
};

class TestSelURL : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    TTestServices services_;
    std::unique_ptr<TF_Main> main_;
    QList<TRecordingWindow*> made_;
    QStringList boxes_;
    int answer_ = MessageBoxService::IDNO;
    std::unique_ptr<MessageBoxService::ScopedHandler> handler_;

    // Runs the links dialog on `control` and lets `act` work the dialog.
    void runDialog(FakeWebBrowser* control, const std::function<void(TF_SelURL&)>& act)
    {
        bool acted = false;
        OnModal([&](QWidget* modal) {
            QVERIFY(F_SelURL && modal == F_SelURL.data() && F_SelURL->IsModal());
            act(*F_SelURL);
            acted = true;
            if (F_SelURL->IsModal())
                F_SelURL->close();
        });
        ShowLinksDialog(*main_, control);
        QVERIFY(acted);
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        UseThrowawayHome(*dir_);
        handler_ = std::make_unique<MessageBoxService::ScopedHandler>(
            [this](const MessageBoxService::Request& r) {
                boxes_.append(r.text);
                return answer_;
            });
        services_.BrowserWindow = [this](TF_Main& main) {
            auto* window = new TRecordingWindow(main);
            made_.append(window);
            return window;
        };
        main_ = std::make_unique<TF_Main>(services_);
        QVERIFY(!main_->CreationFailed);
    }

    void cleanupTestCase()
    {
        SetPageLinkReader({});
        main_->ShuttingDown = true;
        main_.reset();
    }

    void extractHRef_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("href");
        QTest::newRow("quoted") << R"(<a href="a.html">A</a>)"
                                << "a.html";
        QTest::newRow("quoted then target") << R"(<A HREF="a.html" TARGET="_blank">A</A>)"
                                            << "a.html";
        QTest::newRow("unquoted then target") << R"(<a href=a.html target=_top>A</a>)"
                                              << "a.html ";
        QTest::newRow("unquoted to the tag end") << R"(<a href=x.html>X</a>)"
                                                 << "x.html";
        QTest::newRow("blank before equals") << R"(<a href ="b.html">B</a>)"
                                             << "b.html";
        QTest::newRow("single quotes stay") << R"(<a href='c.html'>C</a>)"
                                            << "'c.html'";
        QTest::newRow("no href") << R"(<a name="top">T</a>)"
                                 << "";
        QTest::newRow("empty value") << R"(<a href="">E</a>)"
                                     << "";
        QTest::newRow("script") << R"x(<a href="javascript:void(0)">J</a>)x"
                                << "javascript:void(0)";
        QTest::newRow("target inside value cut") << R"(<a href="p.html?target=x">P</a>)"
                                                 << "p.html?";
    }

    void extractHRef()
    {
        QFETCH(QString, html);
        QFETCH(QString, href);
        QCOMPARE(ExtractHRef(html), href);
    }

    void addressParts_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("folder");
        QTest::newRow("page in folder") << "http://h.test/folder/page.html"
                                        << "http://h.test"
                                        << "http://h.test/folder/";
        QTest::newRow("host only") << "http://h.test"
                                   << ""
                                   << "http://";
        QTest::newRow("file") << "file:/c:/x/y.htm"
                              << "file:/c:"
                              << "file:/c:/x/";
        QTest::newRow("backslashes") << "file:\\c\\d\\e.htm"
                                     << "file:\\c"
                                     << "file:\\c\\d\\";
        QTest::newRow("no separator") << "page.html"
                                      << ""
                                      << "";
    }

    void addressParts()
    {
        QFETCH(QString, address);
        QFETCH(QString, root);
        QFETCH(QString, folder);
        QCOMPARE(URLRootOf(address), root);
        QCOMPARE(URLFolderOf(address), folder);
    }

    void captions_data()
    {
        QTest::addColumn<QString>("href");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("caption");
        const QString page = QStringLiteral("http://h.test/folder/page.html?old#top");
        QTest::newRow("sibling") << "sub.html" << page << "http://h.test/folder/sub.html";
        QTest::newRow("root") << "/x.html" << page << "http://h.test/x.html";
        QTest::newRow("host without path") << "/x.html"
                                           << "http://h.test"
                                           << "http://h.test/x.html";
        QTest::newRow("query") << "?q=1" << page << "http://h.test/folder/page.html?q=1";
        QTest::newRow("fragment") << "#frag" << page << "http://h.test/folder/page.html?old#frag";
        QTest::newRow("parent") << "../up.html" << page << "http://h.test/up.html";
        QTest::newRow("other host") << "//o.test/p" << page << "http://o.test/p";
        QTest::newRow("base element folder") << "a.html"
                                             << "http://b.test/base/"
                                             << "http://b.test/base/a.html";
        QTest::newRow("script") << "javascript:void(0)" << page << "javascript:void(0)";
        QTest::newRow("absolute") << "https://x.test/" << page << "https://x.test/";
        QTest::newRow("empty") << "" << page << "";
        QTest::newRow("no base address") << "/x.html"
                                         << ""
                                         << "/x.html";
    }

    void captions()
    {
        QFETCH(QString, href);
        QFETCH(QString, base);
        QFETCH(QString, caption);
        QCOMPARE(LinkCaption(href, base), caption);
    }

    void sortByColumn()
    {
        TF_SelURL dialog;
        dialog.FillLinks({true,
                          {R"(<a href="b">)", R"(<a href="A">)", R"(<a href="c">)"},
                          QStringLiteral("http://h.test/")});
        SelURLSortAscending = false;
        dialog.LV_URLColumnClick();
        QCOMPARE(dialog.Captions(),
                 (QStringList{"http://h.test/A", "http://h.test/b", "http://h.test/c"}));
        dialog.LV_URLColumnClick();
        QCOMPARE(dialog.Captions(),
                 (QStringList{"http://h.test/c", "http://h.test/b", "http://h.test/A"}));
        QVERIFY(TF_SelURL::LV_URLCompare("abc", "ABC", true) == 0);
    }

    void unreadableLinksShowNoDialog()
    {
        FakeWebBrowser control;
        SetPageLinkReader([](TWebBrowser*) -> TPageLinks { throw std::runtime_error("no doc"); });
        ShowLinksDialog(*main_, &control);
        SetPageLinkReader([](TWebBrowser*) { return TPageLinks{}; });
        ShowLinksDialog(*main_, &control);
        // Without the engine there is nothing to read either.
        SetPageLinkReader({});
        ShowLinksDialog(*main_, &control);
        QVERIFY(!F_SelURL || !F_SelURL->isVisible());
    }

    void openChosenLinks()
    {
        made_.clear();
        FakeWebBrowser source;
        TDownloadControlOptions options{DLCTL_NO_SCRIPTS, DLCTL_NO_JAVA};
        source.SetDownloadOptions(options);
        SetPageLinkReader([](TWebBrowser*) {
            return TPageLinks{
                true,
                {R"(<a href="one.html">)", R"(<a href="/two.html">)", R"(<a href="three.html">)"},
                QStringLiteral("http://h.test/d/p.html")};
        });
        runDialog(&source, [](TF_SelURL& d) {
            // Shown with every entry selected.
            QCOMPARE(d.LV_URL->selectedItems().size(), 3);
            d.SB_DeSelClick();
            QVERIFY(d.LV_URL->selectedItems().isEmpty());
            d.LV_URL->topLevelItem(0)->setSelected(true);
            d.LV_URL->topLevelItem(1)->setSelected(true);
            d.BitBtn1Click();
        });
        QVERIFY(boxes_.isEmpty());
        QCOMPARE(made_.size(), 2);
        QCOMPARE(made_.at(0)->control->navigated, QStringList{"http://h.test/d/one.html"});
        QCOMPARE(made_.at(1)->control->navigated, QStringList{"http://h.test/two.html"});
        for (TRecordingWindow* w : made_)
            QCOMPARE(w->optionsAtNavigate, QList<TDownloadControlOptions>{options});
    }

    void manyLinksAskFirst()
    {
        made_.clear();
        boxes_.clear();
        FakeWebBrowser source;
        SetPageLinkReader([](TWebBrowser*) {
            TPageLinks links{true, {}, QStringLiteral("http://h.test/")};
            for (int i = 0; i < kLinksWithoutAsking + 1; ++i)
                links.elements.append(QStringLiteral(R"(<a href="p%1.html">)").arg(i));
            return links;
        });
        answer_ = MessageBoxService::IDNO;
        runDialog(&source, [](TF_SelURL& d) { d.BitBtn1Click(); });
        QCOMPARE(boxes_.size(), 1);
        QCOMPARE(made_.size(), 0);
        answer_ = MessageBoxService::IDYES;
        runDialog(&source, [](TF_SelURL& d) { d.BitBtn1Click(); });
        QCOMPARE(made_.size(), kLinksWithoutAsking + 1);
        QCOMPARE(made_.last()->control->navigated,
                 QStringList{QStringLiteral("http://h.test/p%1.html").arg(kLinksWithoutAsking)});
    }

    void mainMenuCommand()
    {
        made_.clear();
        SetPageLinkReader([](TWebBrowser*) {
            return TPageLinks{true, {R"(<a href="x.html">)"}, QStringLiteral("http://h.test/")};
        });
        main_->RSB_NewWindowClick();
        QCOMPARE(made_.size(), 1);
        bool shown = false;
        OnModal([&](QWidget* modal) {
            shown = F_SelURL && modal == F_SelURL.data() && F_SelURL->IsModal() &&
                    F_SelURL->Captions() == QStringList{"http://h.test/x.html"};
            modal->close();
        });
        main_->Link1->trigger();
        QVERIFY(shown);
        QCOMPARE(made_.size(), 1);
    }
};

QTEST_MAIN(TestSelURL)
#include "test_SelURL.moc"
