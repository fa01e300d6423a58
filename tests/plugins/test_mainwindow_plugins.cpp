#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"
#include "shell/main/MainServices.h"
#include "shell/navigation/U_Plugins.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

class TestMainWindowPlugins : public QObject
{
    Q_OBJECT

private slots:
    void theMainWindowLoadsThePluginsFolderAndStopsItAtExit()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        QTemporaryDir dir;
        const QString home = dir.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home + QStringLiteral("/Plugins")));
        const QString plugin = home + QStringLiteral("/Plugins/a_first.so");
        QVERIFY(QFile::copy(QStringLiteral(TEST_PLUGIN_DIR "/a_first.so"), plugin));
        qputenv("BREVANT_HOME", home.toUtf8());
        qputenv("BREVANT_REGISTRY", dir.filePath(QStringLiteral("registry.reg")).toUtf8());
        {
            TRegistry reg;
            QVERIFY(OpenSettingsKey(reg));
            reg.WriteString(QStringLiteral("UseSpash"), QStringLiteral("0"));
            reg.WriteString(QStringLiteral("StartMode"), QStringLiteral("0"));
        }
        MessageBoxService::ScopedHandler no(
            [](const MessageBoxService::Request&) { return int(MessageBoxService::IDNO); });
        // Keeps the library mapped after the host unloads it, to read its log.
        void* pin = ::dlopen(QFile::encodeName(plugin).constData(), RTLD_NOW);
        QVERIFY(pin);
        auto log = reinterpret_cast<const char* (*)()>(::dlsym(pin, "TestLog"));

        TMainServices services;
        auto main = std::make_unique<TF_Main>(services);
        main->show();
        QVERIFY(services.PluginHost());
        QCOMPARE(services.PluginHost()->PluginCount(), 1);
        QMenu* plugins = main->MNU_Plugins->SubMenu();
        QCOMPARE(plugins->actions().size(), 2);
        QCOMPARE(plugins->actions()[0]->text(), QStringLiteral("Group first"));
        QCOMPARE(plugins->actions()[0]->menu()->actions().size(), 2);
        // The address the plug-in opened while starting got a browser window.
        QTRY_COMPARE(main->WindowCount(), 1);

        services.UnloadPlugins();
        QVERIFY(QString::fromLatin1(log()).endsWith(QStringLiteral("first:done;")));
        QVERIFY(!services.PluginHost());
        main.reset();
        ::dlclose(pin);
    }
};

QTEST_MAIN(TestMainWindowPlugins)
#include "test_mainwindow_plugins.moc"
