#include "platform/LineFile.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"

#include "EngineTestMain.h"
#include "TestServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <dlfcn.h>

// The pipeline in real browser windows on the real engine: a claimed
// address goes to the plug-in that claims it, from the top-level page only;
// a telnet address opens the terminal; a banner address closes its window.
class TestEnginePipeline : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString home_;
    void* pin_ = nullptr;
    const char* (*log_)() = nullptr;
    QStringList telnets_;
    TTestServices services_;
    std::unique_ptr<TF_Main> main_;

    QString log() const { return QString::fromLatin1(log_()); }

    TF_Browser* newWindow() { return dynamic_cast<TF_Browser*>(main_->NewBrowserWindow()); }

    QString page(const QString& name, const QByteArray& html)
    {
        const QString path = home_ + '/' + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(html) != html.size())
            qFatal("cannot write %s", qPrintable(path));
        return QUrl::fromLocalFile(path).toString();
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        home_ = dir_.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home_ + QStringLiteral("/Plugins")));
        const QString plugin = home_ + QStringLiteral("/Plugins/a_first.so");
        QVERIFY(QFile::copy(QStringLiteral(TEST_PLUGIN_DIR "/a_first.so"), plugin));
        qputenv("BREVANT_HOME", home_.toUtf8());
        qputenv("BREVANT_REGISTRY", dir_.filePath(QStringLiteral("registry.reg")).toUtf8());
        {
            TRegistry reg;
            QVERIFY(OpenSettingsKey(reg));
            reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
            reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
        }
        QVERIFY(LineFile::write(
            home_ + QStringLiteral("/brevantbanner.dat"),
            {QStringLiteral("Advert"), QUrl::fromLocalFile(home_ + "/ad").toString()}));
        MessageBoxService::SetHandler(
            [](const MessageBoxService::Request&) { return int(MessageBoxService::IDNO); });
        pin_ = ::dlopen(QFile::encodeName(plugin).constData(), RTLD_NOW);
        QVERIFY(pin_);
        log_ = reinterpret_cast<const char* (*)()>(::dlsym(pin_, "TestLog"));
        services_.TelnetWindow = [this](TF_Main&, const QString& host, const QString& port) {
            telnets_ << host + ':' + port;
        };
        main_ = std::make_unique<TF_Main>(services_);
        main_->show();
    }

    void cleanupTestCase()
    {
        services_.UnloadPlugins();
        main_.reset();
        MessageBoxService::SetHandler({});
    }

    void anAddressOpenedWhileAPluginStartsGoesToTheEarlierOnesOnly()
    {
        // The test plug-in opens irc://from-init/ from its Init: it is not
        // offered to the plug-in that is still starting.
        QVERIFY(log().startsWith(QStringLiteral("first:init;")));
        QTRY_VERIFY(!log().contains(QStringLiteral("navigate irc://from-init/")) &&
                    main_->WindowCount() >= 1);
    }

    void aClaimedAddressGoesToThePluginFromTheTopLevelOnly()
    {
        TF_Browser* window = newWindow();
        QVERIFY(window);
        window->Navigate(QStringLiteral("irc://Some.Server/#Chan"));
        QTRY_VERIFY(log().contains(QStringLiteral("navigate irc://Some.Server/#Chan;")));

        const QString framed =
            page(QStringLiteral("frame.html"), "<html><body><iframe src=\"irc://framed/\"></iframe>"
                                               "<p>frame</p></body></html>");
        window->Navigate(framed);
        QTRY_VERIFY_WITH_TIMEOUT(
            window->DocumentDone && window->PageURL.contains(QLatin1String("frame")), 10000);
        QTest::qWait(200);
        QVERIFY(!log().contains(QStringLiteral("navigate irc://framed/")));

        // Nor may the page's own script send the user there.
        const QString scripted = page(QStringLiteral("script.html"),
                                      "<html><body><p>script</p><script>"
                                      "location.href = 'irc://scripted/';</script></body></html>");
        window->Navigate(scripted);
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("is irc://scripted/")), 10000);
        QTest::qWait(200);
        QVERIFY(!log().contains(QStringLiteral("navigate irc://scripted/")));
    }

    void aTelnetAddressOpensTheTerminal()
    {
        TF_Browser* window = newWindow();
        window->Navigate(QStringLiteral("telnet://host.example:2323/"));
        QTRY_COMPARE(telnets_, QStringList{QStringLiteral("host.example:2323")});
        QVERIFY(window->SelfRef);
    }

    void aBannerAddressClosesItsWindow()
    {
        page(QStringLiteral("ad"), "<html><body>advert</body></html>");
        QPointer<TF_Browser> window = newWindow();
        const int before = main_->WindowCount();
        window->Navigate(QUrl::fromLocalFile(home_ + "/ad").toString());
        QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 10000);
        QCOMPARE(main_->WindowCount(), before - 1);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestEnginePipeline)
#include "test_engine_pipeline.moc"
