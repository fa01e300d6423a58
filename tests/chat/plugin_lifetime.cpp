// The real Plugins/Zentrel.so in Brevant's main window: its menu commands,
// an "irc:" address typed in a browser window, its settings dialog, and
// nothing of it left after Done.
#include "EngineTestMain.h"
#include "ZentrelIrc.h"

#include "platform/Cp874.h"
#include "shell/browser/BrowserWindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QProcess>
#include <QTabWidget>
#include <QTcpServer>
#include <QTextEdit>
#include <QUrl>

// Takes the file addresses the desktop is asked to open.
class DesktopCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// A browser window that only notes where it was sent.
class NotingBrowser : public IBrowserWindow
{
public:
    QStringList urls;
    TForm* Form() override { return nullptr; }
    QWidget* Browser() override { return nullptr; }
    void Navigate(const QString& url) override { urls << url; }
    void GoHome() override {}
    void StopCommand() override {}
    QString AddressText() const override { return urls.value(0); }
};

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
    void initTestCase() { QVERIFY(h_.setUp(MessageBoxService::IDNO)); }

    void cleanupTestCase() { h_.tearDown(); }

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
        // The library shows the plug-in interface's exports and nothing else.
        QProcess nm;
        nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                        h_.home + QStringLiteral("/Plugins/Zentrel.so")});
        QVERIFY(nm.waitForFinished(10000));
        QStringList exported;
        for (const QByteArray& line : nm.readAllStandardOutput().split('\n'))
            if (!line.trimmed().isEmpty())
                exported << QString::fromLatin1(line.split(' ').last());
        exported.sort();
        QCOMPARE(exported, QStringList({"CallBack", "Done", "ISNavigate", "Init", "Name",
                                        "Navigate", "Setup"}));
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
        OnModal([&](QWidget* modal) {
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

    void theNickPromptComesAfterTheNavigation()
    {
        // A port with nothing listening.
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        QList<MessageBoxService::Request> boxes;
        MessageBoxService::ScopedHandler answer([&](const MessageBoxService::Request& r) {
            boxes << r;
            return int(MessageBoxService::IDOK);
        });
        const QString address = QStringLiteral("irc:127.0.0.1:%1#room").arg(port);
        const int before = h_.serverWindows().size();
        for (const QString& nick : {QStringLiteral("bad!nick"), QStringLiteral("somchai")}) {
            bool returned = false;
            bool promptAfterReturn = false;
            QString caption;
            OnModal([&](QWidget* modal) {
                // Had the prompt run inside the address box's event, this
                // would run before the typing returned.
                if (caption.isEmpty())
                    promptAfterReturn = returned;
                caption = modal->windowTitle();
                auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("E_Nick"));
                QVERIFY(edit);
                edit->clear();
                QTest::keyClicks(edit, nick);
                QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("Button1")),
                                  Qt::LeftButton);
            });
            ZentrelHarness::type(h_.browser(), address);
            returned = true;
            QTRY_VERIFY(!caption.isEmpty());
            QVERIFY(promptAfterReturn);
            QCOMPARE(caption, QStringLiteral("Automatic join"));
        }
        QCOMPARE(h_.serverWindows().size(), before + 2);
        TForm* refused = h_.serverWindows().at(before);
        TForm* tried = h_.serverWindows().at(before + 1);
        // The nick with "!" is refused with its message box, before anything
        // is looked up or sent.
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].caption, QStringLiteral("Error!"));
        QCOMPARE(boxes[0].text, QStringLiteral("กรุณาตรวจสอบ nick ที่ใช้เนื่องจากไม่สามารถใช้ชื่อนี้ได้"));
        QVERIFY(ZentrelIrc::raw(refused).isEmpty());
        QVERIFY(refused->findChild<QAbstractButton*>(QStringLiteral("B_Connect"))->isEnabled());
        // The other takes the nick and connects at once.
        QCOMPARE(tried->findChild<QLineEdit*>(QStringLiteral("edtNick"))->text(),
                 QStringLiteral("somchai"));
        QTRY_VERIFY_WITH_TIMEOUT(ZentrelIrc::status(tried).contains("Connection refused!"), 10000);
        QVERIFY(ZentrelIrc::status(tried).contains(QStringLiteral("Looking up..127.0.0.1")));
        refused->Close();
        tried->Close();
        QTRY_COMPARE(h_.serverWindows().size(), before);
    }

    void thePlusButtonOpensTheServerListInTheDesktopsEditor()
    {
        const QString file = h_.home + QStringLiteral("/data/ircserver.txt");
        QFile::remove(file);
        TForm* server = h_.serverWindows().first();
        DesktopCatcher desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
        server->findChild<QAbstractButton*>(QStringLiteral("SpeedButton1"))->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        // Made when missing, then handed to the desktop.
        QVERIFY(QFileInfo(file).isFile());
        QCOMPARE(desktop.urls, QList<QUrl>{QUrl::fromLocalFile(file)});
        // What the user writes there fills the server box's list.
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("irc.one.test\n\nirc.two.test:7000\n");
        f.close();
        auto* box = server->findChild<QComboBox*>(QStringLiteral("ServerList"));
        const QString text = box->currentText();
        box->showPopup();
        box->hidePopup();
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        QCOMPARE(items, QStringList({"irc.one.test", "irc.two.test:7000"}));
        QCOMPARE(box->currentText(), text);
        QFile::remove(file);
    }

    void anAboutLinkOpensInABrowserWindow()
    {
        TForm* server = h_.serverWindows().first();
        server->BringToFront();
        auto* pages = server->findChild<QTabWidget*>(QStringLiteral("PC_Page"));
        QVERIFY(pages);
        pages->setCurrentWidget(server->findChild<QWidget*>(QStringLiteral("TabSheet4")));
        auto* about = server->findChild<QTextEdit*>(QStringLiteral("RxRichEdit1"));
        QVERIFY(about);
        QTRY_VERIFY(about->isVisible());
        const QTextCursor link = about->document()->find(QStringLiteral("http://brevant.example/"));
        QVERIFY(!link.isNull());
        QTextCursor at(about->document());
        at.setPosition(link.selectionStart() + 3);
        const QPoint point = about->cursorRect(at).center();
        NotingBrowser browser;
        h_.services.BrowserWindow = [&](TF_Main&) -> IBrowserWindow* { return &browser; };
        QTest::mouseClick(about->viewport(), Qt::LeftButton, {}, point);
        h_.services.BrowserWindow = {};
        QCOMPARE(browser.urls, QStringList{QStringLiteral("http://brevant.example/")});
    }

    void doneLeavesNothingBehind()
    {
        // One window closed by the user just before the exit waits for its
        // deferred deletion: Done takes it too.
        TForm* closing = h_.serverWindows().last();
        closing->Close();
        QVERIFY(!ZentrelHarness::zentrelWidgets().isEmpty());
        QVERIFY(h_.zentrelObjects().contains(QStringLiteral("Zentrel::TMDIServer")));
        // The user leaves the program: the main window closes and, when its
        // exit dialog is confirmed, runs its exit steps, Done among them.
        OnModal([](QWidget* modal) {
            auto* ok = modal->findChild<QPushButton*>(QStringLiteral("B_OK"));
            QVERIFY(modal->objectName() == QStringLiteral("F_Exit") && ok);
            ok->click();
        });
        h_.main->close();
        QVERIFY(h_.main->ShuttingDown);
        QVERIFY(h_.main->ExitStepsFailed.isEmpty());
        QVERIFY2(ZentrelHarness::zentrelWidgets().isEmpty(),
                 qPrintable(QString::number(ZentrelHarness::zentrelWidgets().size())));
        QVERIFY2(h_.zentrelObjects().isEmpty(), qPrintable(h_.zentrelObjects().join(u' ')));
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
