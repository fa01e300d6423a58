#include "EngineTestMain.h"
#include "LoopbackHttp.h"

#include "platform/MessageBox.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/dialogs/FrmSelURL.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestBrowserWindow.h"
#include "TestServices.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A browser window over the real control.
class TEngineWindow : public TTestBrowserWindow
{
public:
    explicit TEngineWindow(TChildWindowHost& host)
        : TTestBrowserWindow(host, new TEmbeddedWB), control(static_cast<TEmbeddedWB*>(control_))
    {
        control->resize(300, 200);
    }
    void Navigate(const QString& url) override { control->Navigate(url); }

    TEmbeddedWB* control;
};

// The links dialog on a page served from 127.0.0.1 and shown by the engine:
// the links are read from the page, resolved against its base element and
// opened in new windows that load them.
class TestEngineSelURL : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    LoopbackHttp http_;
    TTestServices services_;
    std::unique_ptr<TF_Main> main_;
    QList<QPointer<TEngineWindow>> made_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QApplication::setQuitOnLastWindowClosed(false);
        qputenv("BREVANT_HOME", dir_.path().toUtf8());
        qputenv("BREVANT_REGISTRY", (dir_.path() + QStringLiteral("/registry.reg")).toUtf8());
        qputenv("XDG_DATA_HOME", (dir_.path() + QStringLiteral("/data")).toUtf8());
        MessageBoxService::SetHandler(
            [](const MessageBoxService::Request&) { return int(MessageBoxService::IDNO); });
        services_.BrowserWindow = [this](TF_Main& main) {
            auto* window = new TEngineWindow(main);
            made_.append(window);
            return window;
        };
        main_ = std::make_unique<TF_Main>(services_);
        QVERIFY(!main_->CreationFailed);
    }

    void cleanupTestCase()
    {
        for (const auto& window : made_)
            delete window.data();
        main_->ShuttingDown = true;
        main_.reset();
    }

    void linksOfAServedPage()
    {
        http_.addPage("/dir/a.html", "<html><body>A</body></html>");
        http_.addPage("/b.html", "<html><body>B</body></html>");
        http_.addPage("/c.html?x=1", "<html><body>C</body></html>");
        const QByteArray base = http_.url("/dir/").toUtf8();
        http_.addPage("/other/page.html", "<html><head><base href=\"" + base +
                                              "\"></head><body>"
                                              "<a href=\"a.html\" target=\"_blank\">A</a>"
                                              "<a href=\"/b.html\">B</a>"
                                              "<a href=\"../c.html?x=1\">C</a>"
                                              "<a href=\"javascript:void(0)\">J</a>"
                                              "</body></html>");
        main_->RSB_NewWindowClick();
        QCOMPARE(made_.size(), 1);
        TEmbeddedWB* source = made_.first()->control;
        source->SetDownloadOptions({DLCTL_NO_SCRIPTS});
        QSignalSpy done(source, &TWebBrowser::DocumentComplete);
        source->Navigate(http_.url("/other/page.html"));
        QVERIFY(done.wait(20000) || done.count() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(source->ReadyState(), int(READYSTATE_COMPLETE), 10000);

        // The dialog runs modally once the links are read: answer it then.
        QStringList listed;
        OnModal([&](QWidget* modal) {
            QVERIFY(F_SelURL && modal == F_SelURL.data() && F_SelURL->IsModal());
            listed = F_SelURL->Captions();
            // Every link but the script one.
            F_SelURL->LV_URL->topLevelItem(3)->setSelected(false);
            F_SelURL->BitBtn1Click();
        });
        main_->Link1Click();
        const QString root = http_.url("");
        QCOMPARE(listed, (QStringList{root + "/dir/a.html", root + "/b.html", root + "/c.html?x=1",
                                      "javascript:void(0)"}));
        QCOMPARE(made_.size(), 4);
        for (int i = 1; i < 4; ++i) {
            QVERIFY(made_.at(i));
            QCOMPARE(made_.at(i)->control->DownloadOptions(),
                     TDownloadControlOptions{DLCTL_NO_SCRIPTS});
        }
        QTRY_VERIFY_WITH_TIMEOUT(!http_.requestFor("/dir/a.html").isEmpty(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!http_.requestFor("/b.html").isEmpty(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!http_.requestFor("/c.html?x=1").isEmpty(), 20000);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestEngineSelURL)
#include "test_engine_selurl.moc"
