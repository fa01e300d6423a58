#include "EngineTestMain.h"
#include "platform/Registry.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "TestServices.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>

#include <memory>

// The program's own services, telling which control they made ahead.
class TRecordingServices : public TTestServices
{
public:
    int Preparations = 0;
    QPointer<TEmbeddedWB> Prepared;
    QPointer<QWebEnginePage> PreparedPage;

    void PrepareBrowserControl() override
    {
        TTestServices::PrepareBrowserControl();
        ++Preparations;
        Prepared = qobject_cast<TEmbeddedWB*>(PreparedBrowserControl());
        PreparedPage = Prepared ? Prepared->Page() : nullptr;
    }
};

// The engine starts as the main window is shown, while its start timer
// runs: the page of the window the timer opens is made ahead, and that
// window shows its start page in it; a page that no window takes goes with
// the main window.
class TestEngineStartup : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString startURL_;

    static constexpr int timeout = 30000;

    void setSetting(const QString& name, const QString& value)
    {
        TRegistry reg;
        QVERIFY(OpenSettingsKey(reg));
        reg.WriteString(name, value);
    }

    static bool userAgentEntryExists()
    {
        TRegistry reg;
        return reg.OpenKey(UserAgentRegistryKey(), false) &&
               reg.ValueExists(QStringLiteral("Brevant++ 1.00 SE"));
    }

    static int liveControls()
    {
        int count = 0;
        for (QWidget* widget : QApplication::allWidgets())
            if (qobject_cast<TEmbeddedWB*>(widget))
                ++count;
        return count;
    }

    static std::unique_ptr<TF_Main> start(TMainServices& services)
    {
        auto main = std::make_unique<TF_Main>(services);
        main->show();
        return main;
    }

    static TF_Browser* windowAt(TF_Main& main, int index)
    {
        return dynamic_cast<TF_Browser*>(main.WindowList.value(index).data());
    }

    static QVariant script(QWebEnginePage* page, const QString& source)
    {
        return RunPageScript(page, source, timeout);
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("BREVANT_HOME", dir_->path().toUtf8());
        qputenv("BREVANT_REGISTRY", dir_->filePath(QStringLiteral("registry.reg")).toUtf8());
        const QString page = dir_->filePath(QStringLiteral("start.html"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html><head><title>Start</title></head><body>start</body></html>");
        file.close();
        startURL_ = QUrl::fromLocalFile(page).toString();
        setSetting(QStringLiteral("UseSpash"), QStringLiteral("0"));
        setSetting(QStringLiteral("StartMode"), QStringLiteral("3"));
        setSetting(QStringLiteral("StartURL"), startURL_);
    }

    void cleanup()
    {
        QCOMPARE(liveControls(), 0);
        QVERIFY(!userAgentEntryExists());
        dir_.reset();
    }

    void theFirstWindowShowsItsPageInThePreparedOne()
    {
        TRecordingServices services;
        auto main = start(services);
        // The timer waits (on a slow machine the page may take longer to
        // make than the timer's 100 ms).
        main->Timer1->start(timeout);
        QTRY_VERIFY_WITH_TIMEOUT(services.PreparedPage, timeout);
        QCOMPARE(services.Preparations, 1);
        // The render process starts with the page, before any address.
        QTRY_VERIFY_WITH_TIMEOUT(services.PreparedPage->renderProcessPid() != 0, timeout);
        const qint64 pid = services.PreparedPage->renderProcessPid();
        QCOMPARE(main->WindowCount(), 0);
        QVERIFY(!services.Prepared->HasDocument());
        QCOMPARE(services.Prepared->ReadyState(), int(READYSTATE_UNINITIALIZED));
        QVERIFY(!userAgentEntryExists());

        // The timer fires: its window takes the prepared control.
        main->Timer1->start(0);
        QTRY_COMPARE_WITH_TIMEOUT(main->WindowCount(), 1, timeout);
        TF_Browser* window = windowAt(*main, 0);
        QVERIFY(window);
        QCOMPARE(window->WB_Document, services.Prepared.data());
        QCOMPARE(services.Prepared->Page(), services.PreparedPage.data());
        // Shown once the window has its place: the control fills its panel.
        QVERIFY(window->WB_Document->isVisible());
        QCOMPARE(window->WB_Document->size(), window->P_WB->size() - QSize(2, 2));
        QVERIFY(!services.PreparedBrowserControl());
        QCOMPARE(main->ActiveWebBrowser(), services.Prepared.data());

        // The start page, shown as a window that made its own page shows it,
        // by the render process made ahead.
        QTRY_COMPARE_WITH_TIMEOUT(window->PageTitle, QStringLiteral("Start"), timeout);
        QCOMPARE(window->CB_URL->Text(), startURL_);
        QWebEnginePage* page = services.PreparedPage;
        QCOMPARE(page->renderProcessPid(), pid);
        QCOMPARE(page->history()->count(), 1);
        QVERIFY(!window->SB_Back->isEnabled());
        QVERIFY(!main->RSB_Back->isEnabled());
        QVERIFY(script(page, QStringLiteral("navigator.userAgent"))
                    .toString()
                    .endsWith(UserAgentToken(QStringLiteral("Brevant++ 1.00 SE"))));
        QVERIFY(userAgentEntryExists());

        // Later windows make their own.
        main->RSB_NewWindowClick();
        QCOMPARE(main->WindowCount(), 2);
        QVERIFY(windowAt(*main, 1)->WB_Document != services.Prepared.data());
        QCOMPARE(services.Preparations, 1);
        main.reset();
    }

    void theEngineStartsAsTheMainWindowIsShown_data()
    {
        QTest::addColumn<QString>("startMode");
        QTest::addColumn<bool>("firstStart");
        QTest::addColumn<bool>("prepared");
        QTest::newRow("a start page") << QStringLiteral("3") << false << true;
        QTest::newRow("the engine's home page") << QStringLiteral("1") << false << true;
        QTest::newRow("a first start opens the maker's page")
            << QStringLiteral("0") << true << true;
        QTest::newRow("no window") << QStringLiteral("0") << false << false;
    }

    void theEngineStartsAsTheMainWindowIsShown()
    {
        QFETCH(QString, startMode);
        QFETCH(bool, firstStart);
        QFETCH(bool, prepared);
        setSetting(QStringLiteral("StartMode"), startMode);
        if (firstStart)
            setSetting(QStringLiteral("StartUp"), QStringLiteral("1"));
        TRecordingServices services;
        auto main = std::make_unique<TF_Main>(services);
        QCOMPARE(services.Preparations, 0);
        // Shown, as its timer starts, before the event loop has run: the
        // profile and the first window's page are there, its render
        // process on its way, while the timer runs.
        main->show();
        QVERIFY(main->Timer1->isActive());
        QCOMPARE(services.Preparations, prepared ? 1 : 0);
        QCOMPARE(bool(services.PreparedPage), prepared);
        QCOMPARE(liveControls(), prepared ? 1 : 0);
        if (prepared)
            QVERIFY(services.PreparedPage->profile() == BrowserProfile());
        main.reset();
        QCOMPARE(liveControls(), 0);
    }

    void aPageNoWindowTakesGoesWithTheMainWindow_data()
    {
        QTest::addColumn<QString>("startMode");
        QTest::addColumn<bool>("prepared");
        QTest::newRow("a start that opens no window makes none") << QStringLiteral("0") << false;
        QTest::newRow("an exit before the timer frees it") << QStringLiteral("3") << true;
    }

    void aPageNoWindowTakesGoesWithTheMainWindow()
    {
        QFETCH(QString, startMode);
        QFETCH(bool, prepared);
        setSetting(QStringLiteral("StartMode"), startMode);
        TRecordingServices services;
        auto main = start(services);
        main->Timer1->start(timeout);
        if (prepared) {
            QTRY_VERIFY_WITH_TIMEOUT(services.PreparedPage, timeout);
            QTRY_VERIFY_WITH_TIMEOUT(services.PreparedPage->renderProcessPid() != 0, timeout);
        } else {
            QTest::qWait(500);
            QCOMPARE(services.Preparations, 0);
        }
        QCOMPARE(liveControls(), prepared ? 1 : 0);
        QCOMPARE(main->WindowCount(), 0);
        QVERIFY(!userAgentEntryExists());

        main.reset();
        QVERIFY(!services.Prepared);
        QVERIFY(!services.PreparedPage);
        QVERIFY(!services.PreparedBrowserControl());
        QCOMPARE(liveControls(), 0);
    }
};

BREVANT_ENGINE_TEST_MAIN(TestEngineStartup)
#include "test_engine_startup.moc"
