// The real Plugins/Zentrel.so in Brevant's main window: its menu commands,
// an "irc:" address typed in a browser window, its settings dialog, and
// nothing of it left after Done.
#include "EngineTestMain.h"
#include "ZentrelHarness.h"

#include "platform/Cp874.h"

#include <QAction>
#include <QMenu>

class TestPluginLifetime : public QObject
{
    Q_OBJECT

    ZentrelHarness h_;

    QMenu* group() const
    {
        QMenu* plugins = h_.main->MNU_Plugins->SubMenu();
        for (QAction* a : plugins->actions())
            if (a->menu() && a->text() == QStringLiteral("IRC 0.98 BETA (20010428)"))
                return a->menu();
        return nullptr;
    }
    QAction* item(const QString& caption) const
    {
        QMenu* g = group();
        if (!g)
            return nullptr;
        for (QAction* a : g->actions())
            if (a->text() == caption)
                return a;
        return nullptr;
    }
    QString readAll(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        MessageBoxService::SetHandler(
            [](const MessageBoxService::Request&) { return int(MessageBoxService::IDNO); });
        QVERIFY(h_.prepare());
        h_.start();
        QVERIFY(QTest::qWaitForWindowExposed(h_.main.get()));
    }

    void cleanupTestCase()
    {
        h_.stop();
        h_.release();
        MessageBoxService::SetHandler({});
    }

    void loadsWithItsNameMenuAndFolder()
    {
        TPluginHost* host = h_.services.PluginHost();
        QVERIFY(host);
        QCOMPARE(host->PluginCount(), 1);
        QCOMPARE(host->PluginName(0), QStringLiteral("IRC Plugin 0.98 BETA (20010428)"));
        QVERIFY(group());
        QCOMPARE(group()->actions().size(), 2);
        QVERIFY(item(QStringLiteral("Setup")));
        QCOMPARE(item(QStringLiteral("Setup"))->statusTip(), QStringLiteral("Setup IRC Plugins"));
        QVERIFY(item(QStringLiteral("Connect")));
        QCOMPARE(item(QStringLiteral("Connect"))->statusTip(),
                 QStringLiteral("Open connection to IRC Server"));
        // The DCC receive folder in the program folder, and its setting.
        QVERIFY(QFileInfo(h_.home + QStringLiteral("/DCCReceived")).isDir());
    }

    void anIrcAddressTypedInABrowserWindowIsClaimed()
    {
        TF_Browser* window = h_.browser();
        QVERIFY(window);
        const int before = h_.main->WindowCount();
        ZentrelHarness::type(window, QStringLiteral("irc:Some.Host:7000"));
        QTRY_COMPARE(h_.serverWindows().size(), 1);
        TForm* server = h_.serverWindows().first();
        QVERIFY(ZentrelHarness::isZentrel(server));
        QCOMPARE(h_.main->WindowCount(), before + 1);
        auto* box = server->findChild<TComboBox*>(QStringLiteral("ServerList"));
        QVERIFY(box);
        QCOMPARE(box->Text(), QStringLiteral("Some.Host:7000"));
        // The browser window stayed where it was.
        QVERIFY(!window->CB_URL->Text().isEmpty());
        QVERIFY(!window->PageURL.startsWith(QLatin1String("irc"), Qt::CaseInsensitive));
    }

    void connectOpensAnIdleWindow()
    {
        QAction* connect = item(QStringLiteral("Connect"));
        QVERIFY(connect);
        connect->trigger();
        QTRY_COMPARE(h_.serverWindows().size(), 2);
        auto* box = h_.serverWindows().last()->findChild<TComboBox*>(QStringLiteral("ServerList"));
        QCOMPARE(box->Text(), QString());
    }

    void setupOpensAndCancels()
    {
        const QString before = readAll(h_.registry);
        bool seen = false;
        ZentrelHarness::onModal([&](QWidget* modal) {
            seen = ZentrelHarness::isZentrel(modal) && modal->windowTitle() == "IRC Plugin";
            QVERIFY(modal->objectName() != QStringLiteral("F_Main"));
            auto* edit = modal->findChild<TEdit*>(QStringLiteral("E_IRCPort"));
            QVERIFY(edit);
            edit->setText(QStringLiteral("1"));
            auto* cancel = modal->findChild<TButton*>(QStringLiteral("Button2"));
            QVERIFY(cancel);
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        item(QStringLiteral("Setup"))->trigger();
        QVERIFY(seen);
        QCOMPARE(readAll(h_.registry), before);
        // The host's main window is still the one found by its name.
        QCOMPARE(FindFormByName(QStringLiteral("F_Main")), h_.main.get());
    }

    void doneLeavesNothingBehind()
    {
        // One window closed by the user just before the exit waits for its
        // deferred deletion: Done takes it too.
        TForm* closing = h_.serverWindows().last();
        closing->Close();
        QVERIFY(!ZentrelHarness::zentrelWidgets().isEmpty());
        h_.stop();
        QVERIFY2(ZentrelHarness::zentrelWidgets().isEmpty(),
                 qPrintable(QString::number(ZentrelHarness::zentrelWidgets().size())));
        QCOMPARE(h_.serverWindows().size(), 0);
        for (TForm* f : h_.main->MDIChildren())
            QVERIFY(!ZentrelHarness::isZentrel(f));
        QVERIFY(!h_.services.PluginHost() || h_.services.PluginHost()->PluginCount() == 0);
        // Unloaded by the host and by the test, the event loop runs on and
        // paints without it.
        ::dlclose(h_.pin);
        h_.pin = nullptr;
        h_.main->update();
        QTest::qWait(200);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestPluginLifetime)
#include "plugin_lifetime.moc"
