// A plug-in's windows in the main window: an MDI-child form that the
// plug-in makes with the shared toolkit joins the host's main form when it
// is shown, gets its tab, caption, images and activation through the host
// procedures alone, leaves when the user closes it, and is gone after Done.
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"
#include "shell/navigation/U_Plugins.h"
#include "toolkit/Controls.h"

#include "TestBrowserWindow.h"
#include "TestServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

class TestPluginWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    void* pin_ = nullptr;

    template <typename F> F resolve(const char* name) const
    {
        return reinterpret_cast<F>(::dlsym(pin_, name));
    }
    TForm* window(int index) const
    {
        return static_cast<TForm*>(resolve<TPluginForm (*)(int)>("TestWindow")(index));
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        const QString home = dir_.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Plugins")));
        const QString plugin = home + QStringLiteral("/Plugins/e_window.so");
        QVERIFY(QFile::copy(QStringLiteral(TEST_PLUGIN_DIR "/e_window.so"), plugin));
        qputenv("BREVANT_HOME", home.toUtf8());
        qputenv("BREVANT_REGISTRY", dir_.filePath(QStringLiteral("registry.reg")).toUtf8());
        TRegistry reg;
        QVERIFY(OpenSettingsKey(reg));
        reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
        reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
        // The test reads the library's exports while the host has it loaded.
        pin_ = ::dlopen(QFile::encodeName(plugin).constData(), RTLD_NOW);
        QVERIFY(pin_);
    }

    void cleanupTestCase() { ::dlclose(pin_); }

    void aPluginsWindowIsATabOfTheMainWindowUntilDone()
    {
        MessageBoxService::ScopedHandler no(
            [](const MessageBoxService::Request&) { return int(MessageBoxService::IDNO); });
        TTestServices services;
        services.BrowserWindow = [](TF_Main& main) {
            return new TTestBrowserWindow(main, new QWidget, QStringLiteral("browser"));
        };
        auto main = std::make_unique<TF_Main>(services);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        TPluginHost* plugins = services.PluginHost();
        QVERIFY(plugins);
        QCOMPARE(plugins->PluginCount(), 1);
        QVERIFY(resolve<int (*)()>("TestInitedWithTheHostsApplication")());
        IBrowserWindow* browser = main->NewBrowserWindow();

        // Opened: the form entered the main form's area and has its tab,
        // captioned through the host (code page 874, the "&" shown as such).
        QVERIFY(plugins->OfferAddress(QStringLiteral("window:first")));
        QPointer<TForm> first = window(0);
        QVERIFY(first);
        QVERIFY(first->MDIFrame());
        QCOMPARE(first->MDIFrame()->mdiArea(), main->MDIClient);
        QCOMPARE(main->WindowCount(), 2);
        QCOMPARE(main->WindowList.at(1).data(), first.data());
        QCOMPARE(first->Caption(), QStringLiteral("สนุก & more"));
        QCOMPARE(first->MDIFrame()->windowTitle(), first->Caption());
        QCOMPARE(main->TC_Pages->tabText(1), QStringLiteral("สนุก && more"));
        // Activated through the host: in front, its tab selected; the
        // active child and control stay the browser window's.
        QCOMPARE(main->ActiveMDIChild(), first.data());
        QCOMPARE(main->TC_Pages->currentIndex(), 1);
        QCOMPARE(main->ActiveChild(), browser->Form());
        QCOMPARE(main->ActiveWebBrowser(), browser->Browser());

        // Its busy and idle images.
        resolve<void (*)(int, int)>("TestBusy")(0, 1);
        QCOMPARE(main->TC_Pages->tabIcon(1).cacheKey(), main->IM_List.at(11).cacheKey());
        resolve<void (*)(int, int)>("TestBusy")(0, 0);
        QCOMPARE(main->TC_Pages->tabIcon(1).cacheKey(), main->IM_List.at(0).cacheKey());

        // A second one; the first comes back to the front through the host,
        // the second through its tab.
        QVERIFY(plugins->OfferAddress(QStringLiteral("window:second")));
        QPointer<TForm> second = window(1);
        QVERIFY(second);
        QCOMPARE(main->ActiveMDIChild(), second.data());
        QCOMPARE(main->TC_Pages->currentIndex(), 2);
        resolve<void (*)(int)>("TestActivate")(0);
        QCOMPARE(main->ActiveMDIChild(), first.data());
        QCOMPARE(main->TC_Pages->currentIndex(), 1);
        main->TC_Pages->setCurrentIndex(2);
        QCOMPARE(main->ActiveMDIChild(), second.data());

        // Closed by the user, it leaves the tab bar.
        second->MDIFrame()->close();
        QTRY_VERIFY(!second);
        QCOMPARE(main->WindowCount(), 2);
        QCOMPARE(main->TC_Pages->count(), 2);

        // Done frees the rest at once, frames and tabs with them.
        QPointer<QMdiSubWindow> frame = first->MDIFrame();
        services.UnloadPlugins();
        QVERIFY(!first);
        QCOMPARE(main->WindowCount(), 1);
        QCOMPARE(main->TC_Pages->count(), 1);
        QTRY_VERIFY(!frame);
        QCOMPARE(main->MDIChildren(), QList<TForm*>({browser->Form()}));
        main->ShuttingDown = true;
    }
};

QTEST_MAIN(TestPluginWindows)
#include "test_plugin_windows.moc"
