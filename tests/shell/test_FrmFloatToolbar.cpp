#include "platform/MessageBox.h"
#include "shell/main/FrmFloatToolbar.h"
#include "shell/main/FrmMain.h"
#include "toolkit/Controls.h"

#include "TestBrowserWindow.h"
#include "TestServices.h"
#include "ThrowawayHome.h"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A browser window that shows nothing: enough for the main window's lists.
class TBlankWindow : public TTestBrowserWindow
{
public:
    explicit TBlankWindow(TChildWindowHost& host) : TTestBrowserWindow(host, new QWidget) {}
};

class TestFrmFloatToolbar : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    TTestServices services_;
    std::unique_ptr<MessageBoxService::ScopedHandler> boxes_;
    int windows_ = 0;

    std::unique_ptr<TF_Main> start()
    {
        auto main = std::make_unique<TF_Main>(services_);
        main->move(50, 60);
        return main;
    }

    static void finish(std::unique_ptr<TF_Main>& main)
    {
        main->ShuttingDown = true;
        main.reset();
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        UseThrowawayHome(*dir_);
        boxes_ = std::make_unique<MessageBoxService::ScopedHandler>(
            [](const MessageBoxService::Request&) { return int(MessageBoxService::IDNO); });
        services_.BrowserWindow = [this](TF_Main& main) {
            ++windows_;
            return new TBlankWindow(main);
        };
    }

    void clamp_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("inside the first") << QPoint(100, 100) << QPoint(100, 100);
        QTest::newRow("inside the second") << QPoint(1200, 50) << QPoint(1200, 50);
        QTest::newRow("off the left") << QPoint(-500, 100) << QPoint(0, 100);
        QTest::newRow("off the bottom") << QPoint(100, 5000) << QPoint(100, 768 - 32);
        QTest::newRow("across both") << QPoint(900, 10) << QPoint(1024, 10);
        QTest::newRow("far away") << QPoint(30000, -30000) << QPoint(1024 - 320, 0);
        QTest::newRow("under the second") << QPoint(1100, 700) << QPoint(1100, 720 - 32);
    }

    void clamp()
    {
        QFETCH(QPoint, pos);
        QFETCH(QPoint, expected);
        // Two screens side by side, the second one shorter.
        const QList<QRect> areas{QRect(0, 0, 1024, 768), QRect(1024, 0, 1280, 720)};
        const QPoint got = ClampOntoScreens(pos, QSize(320, 32), areas);
        QCOMPARE(got, expected);
    }

    void clampWindowLargerThanScreen()
    {
        QCOMPARE(ClampOntoScreens(QPoint(50, 50), QSize(2000, 40), {QRect(0, 0, 800, 600)}),
                 QPoint(0, 50));
    }

    void startPosition()
    {
        auto main = start();
        main->Settings.ToolBarX = -1;
        main->Settings.ToolBarY = -1;
        F_FloatToolbar->FormCreate();
        QCOMPARE(F_FloatToolbar->pos(), main->pos() + QPoint(100, 100));
        QVERIFY(F_FloatToolbar->isHidden());
        main->Settings.ToolBarX = 20;
        main->Settings.ToolBarY = 30;
        main->Settings.ToolBarVisible = false;
        F_FloatToolbar->FormCreate();
        QCOMPARE(F_FloatToolbar->pos(), QPoint(20, 30));
        QVERIFY(!F_FloatToolbar->isHidden());
        // A position saved on a screen that is gone comes back onto one.
        main->Settings.ToolBarX = 50000;
        F_FloatToolbar->FormCreate();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(F_FloatToolbar->frameGeometry().topLeft()));
        F_FloatToolbar->hide();
        finish(main);
    }

    void hidingTheToolbarShowsIt()
    {
        auto main = start();
        QCOMPARE(F_FloatToolbar->Caption(), QStringLiteral("แผงควบคุมฉบับย่อ"));
        QVERIFY(F_FloatToolbar->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(F_FloatToolbar->Buttons().size(), 10);
        QVERIFY(!F_FloatToolbar->RSB_Back->isEnabled());
        main->MNU_HideToolbarClick();
        QVERIFY(main->SpB_ToolBar->isHidden());
        QVERIFY(!F_FloatToolbar->isHidden());
        QCOMPARE(F_FloatToolbar->RSB_Favorite->isChecked(), main->FavoritesPanelOpen);
        main->MNU_HideToolbarClick();
        QVERIFY(!main->SpB_ToolBar->isHidden());
        QVERIFY(F_FloatToolbar->isHidden());
        finish(main);
    }

    void buttonsRunTheMainCommands()
    {
        auto main = start();
        main->MNU_HideToolbarClick();
        windows_ = 0;
        F_FloatToolbar->RSB_NewWindow->click();
        QCOMPARE(windows_, 1);
        QCOMPARE(main->WindowCount(), 1);

        const bool open = main->FavoritesPanelOpen;
        F_FloatToolbar->RSB_Favorite->click();
        QCOMPARE(main->FavoritesPanelOpen, !open);
        QCOMPARE(F_FloatToolbar->RSB_Favorite->isChecked(), !open);
        // The main window's own command keeps the floating button in step.
        main->ToggleFavoritesPanel();
        QCOMPARE(F_FloatToolbar->RSB_Favorite->isChecked(), open);

        main->Settings.StartMode = 0;
        F_FloatToolbar->RSB_Home->click();
        QCOMPARE(windows_, 1);
        F_FloatToolbar->RSB_CascadeWindow->click();
        QVERIFY(!ChildMaximized);
        finish(main);
    }
};

QTEST_MAIN(TestFrmFloatToolbar)
#include "test_FrmFloatToolbar.moc"
