#include "FakeWebBrowser.h"

#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/browser/FrmAdvanceWeb.h"
#include "shell/dialogs/FrmSetup.h"
#include "shell/main/FrmMain.h"
#include "shell/main/MainFavorites.h"
#include "toolkit/AlignLayout.h"
#include "toolkit/Controls.h"

#include "ModalWindow.h"
#include "TestBrowserWindow.h"
#include "TestServices.h"
#include "ThrowawayHome.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

// A browser window whose control is a fake: it records what the commands
// ask of it.
class TFakeBrowserWindow : public TTestBrowserWindow
{
public:
    explicit TFakeBrowserWindow(TChildWindowHost& host)
        : TTestBrowserWindow(host, new FakeWebBrowser),
          control(static_cast<FakeWebBrowser*>(control_))
    {}

    void Navigate(const QString& url) override { control->Navigate(url); }
    void GoHome() override { control->calls << QStringLiteral("GoHome"); }
    void StopCommand() override { control->Stop(); }

    FakeWebBrowser* control;
};

// Runs `act` on the modal dialog of type T once it is up; a dialog that
// `act` left open is closed.
template <typename T> void whenModal(const std::function<void(T&)>& act, bool& seen)
{
    OnModal([act, &seen](QWidget* modal) {
        auto* dialog = qobject_cast<T*>(modal);
        QVERIFY(dialog && dialog->IsModal());
        seen = true;
        act(*dialog);
        if (dialog->IsModal())
            dialog->close();
    });
}

class TestFrmMainCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    TTestServices services_;
    std::unique_ptr<TF_Main> main_;
    std::unique_ptr<MessageBoxService::ScopedHandler> boxes_;
    QList<QPointer<TFakeBrowserWindow>> made_;

    TFakeBrowserWindow* active() const
    {
        return dynamic_cast<TFakeBrowserWindow*>(main_->ActiveChild());
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
            auto* window = new TFakeBrowserWindow(main);
            made_.append(window);
            return window;
        };
        main_ = std::make_unique<TF_Main>(services_);
        QVERIFY(!main_->CreationFailed);
        main_->resize(800, 600);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }

    void init()
    {
        for (QMdiSubWindow* sub : main_->MDIClient->subWindowList())
            delete sub;
        QApplication::processEvents();
        main_->SetActiveChild(nullptr);
        main_->SetActiveWebBrowser(nullptr);
        main_->WindowList.clear();
        made_.clear();
        main_->Settings = TBrowserSettings();
    }

    void cleanupTestCase()
    {
        main_->ShuttingDown = true;
        main_.reset();
    }

    void home_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("windowOpen");
        QTest::addColumn<QStringList>("navigated");
        QTest::addColumn<QStringList>("calls");
        const QString custom = QStringLiteral("http://custom.test/");
        QTest::newRow("none, no window") << 0 << false << QStringList() << QStringList();
        QTest::newRow("none, open window") << 0 << true << QStringList() << QStringList();
        QTest::newRow("engine home") << 1 << false << QStringList() << QStringList{"GoHome"};
        QTest::newRow("maker") << 2 << true << QStringList{MakerHomePage()} << QStringList();
        QTest::newRow("custom") << 3 << false << QStringList{custom} << QStringList();
    }

    void home()
    {
        QFETCH(int, mode);
        QFETCH(bool, windowOpen);
        QFETCH(QStringList, navigated);
        QFETCH(QStringList, calls);
        main_->Settings.StartMode = mode;
        main_->Settings.StartURL = QStringLiteral("http://custom.test/");
        if (windowOpen)
            main_->RSB_NewWindowClick();
        main_->RSB_HomeClick();
        // Home opens a window only when none is active.
        QCOMPARE(made_.size(), 1);
        QCOMPARE(active()->control->navigated, navigated);
        QCOMPARE(active()->control->calls, calls);
    }

    void searchOpensAWindow()
    {
        main_->RSB_SearchClick();
        QCOMPARE(made_.size(), 1);
        QCOMPARE(active()->control->navigated.size(), 1);
        main_->RSB_SearchClick();
        QCOMPARE(made_.size(), 1);
    }

    void controlCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("call");
        QTest::newRow("back") << "RSB_BackClick"
                              << "GoBack";
        QTest::newRow("forward") << "RSB_ForwardClick"
                                 << "GoForward";
        QTest::newRow("stop") << "RSB_StopClick"
                              << "Stop";
        QTest::newRow("refresh") << "RSB_RefreshClick"
                                 << "Refresh";
        QTest::newRow("save") << "N_SaveHTMLClick"
                              << "SaveAs";
        QTest::newRow("page setup") << "N_PSetupClick"
                                    << "PageSetup(true)";
        QTest::newRow("preview") << "N_PrintPreviewClick"
                                 << "PrintPreview";
        QTest::newRow("print") << "N_PrintClick"
                               << "Print";
        QTest::newRow("source") << "HTML1Click"
                                << "ViewSource";
        QTest::newRow("find") << "N15Click"
                              << "ShowFindDialog";
    }

    void controlCommands()
    {
        QFETCH(QString, name);
        QFETCH(QString, call);
        const std::map<QString, void (TF_Main::*)()> handlers = {
            {"RSB_BackClick", &TF_Main::RSB_BackClick},
            {"RSB_ForwardClick", &TF_Main::RSB_ForwardClick},
            {"RSB_StopClick", &TF_Main::RSB_StopClick},
            {"RSB_RefreshClick", &TF_Main::RSB_RefreshClick},
            {"N_SaveHTMLClick", &TF_Main::N_SaveHTMLClick},
            {"N_PSetupClick", &TF_Main::N_PSetupClick},
            {"N_PrintPreviewClick", &TF_Main::N_PrintPreviewClick},
            {"N_PrintClick", &TF_Main::N_PrintClick},
            {"HTML1Click", &TF_Main::HTML1Click},
            {"N15Click", &TF_Main::N15Click},
        };
        const auto handler = handlers.at(name);
        // Without a window the command does nothing and opens none.
        (main_.get()->*handler)();
        QCOMPARE(made_.size(), 0);
        main_->RSB_NewWindowClick();
        (main_.get()->*handler)();
        QCOMPARE(active()->control->calls, QStringList{call});
    }

    void toolbarButtonsRunTheCommands()
    {
        main_->RSB_NewWindowClick();
        QTest::mouseClick(main_->RSB_Refresh, Qt::LeftButton);
        main_->MNU_Stop->trigger();
        QCOMPARE(active()->control->calls, (QStringList{"Refresh", "Stop"}));
    }

    void textSize()
    {
        // No window: the size is stored and checked all the same.
        main_->MNU_TextBiggest->trigger();
        QCOMPARE(main_->Settings.FontSize, 4);
        QVERIFY(main_->MNU_TextBiggest->isChecked());
        main_->RSB_NewWindowClick();
        main_->MNU_TextSmall->trigger();
        QCOMPARE(main_->Settings.FontSize, 1);
        QCOMPARE(active()->control->zoom, 1);
        QVERIFY(main_->MNU_TextSmall->isChecked());
        QVERIFY(!main_->MNU_TextBiggest->isChecked());
    }

    void encoding_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<quint32>("codePage");
        QTest::newRow("thai") << 0 << quint32(874);
        QTest::newRow("western") << 1 << quint32(1252);
    }

    void encoding()
    {
        QFETCH(int, tag);
        QFETCH(quint32, codePage);
        {
            TRegistry reg;
            reg.RootKey = RegRoot::HKEY_CURRENT_USER;
            QVERIFY(reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer"
                                               "\\International"),
                                true));
        }
        main_->N_SetThatEncodeClick(tag); // no window: nothing
        main_->RSB_NewWindowClick();
        main_->N_SetThatEncodeClick(tag);
        QCOMPARE(active()->control->calls, QStringList{"Refresh"});
        TRegistry reg;
        reg.RootKey = RegRoot::HKEY_CURRENT_USER;
        QVERIFY(reg.OpenKey(QStringLiteral("Software\\Microsoft\\Internet Explorer\\International"),
                            false));
        const QByteArray data = reg.ReadBinaryData(QStringLiteral("Default_Codepage"));
        QCOMPARE(data.size(), 4);
        QCOMPARE(qFromLittleEndian<quint32>(data.constData()), codePage);
    }

    void displayModes()
    {
        main_->MNU_TextOnly->trigger();
        QCOMPARE(main_->SpB_ToolBar->height(), 30);
        QCOMPARE(main_->Settings.ToolBarButton, QStringLiteral("text"));
        for (TRxSpeedButton* b : main_->ToolbarButtons) {
            QVERIFY(b->Glyph().isNull());
            QVERIFY(!b->Caption().isEmpty());
            QCOMPARE(b->height(), 26);
        }
        main_->MNU_PicOnly->trigger();
        QCOMPARE(main_->SpB_ToolBar->height(), 30);
        QCOMPARE(main_->Settings.ToolBarButton, QStringLiteral("pic"));
        for (TRxSpeedButton* b : main_->ToolbarButtons)
            QVERIFY(b->Caption().isEmpty());
        main_->MNU_Both->trigger();
        QCOMPARE(main_->SpB_ToolBar->height(), 50);
        QCOMPARE(main_->BV1->height(), 46);
        QCOMPARE(main_->Settings.ToolBarButton, QStringLiteral("both"));
        QVERIFY(main_->MNU_Both->isChecked());
        for (int i = 0; i < main_->ToolbarButtons.size(); ++i) {
            QCOMPARE(main_->ToolbarButtons.at(i)->Caption(), main_->ToolbarCaptions.at(i));
            QVERIFY(!main_->ToolbarButtons.at(i)->Glyph().isNull());
            QCOMPARE(main_->ToolbarButtons.at(i)->height(), 46);
        }
    }

    void toolbarIsASpeedBar()
    {
        TSpeedBar* bar = main_->SpB_ToolBar;
        QCOMPARE(bar->BtnOffsetHorz(), 3);
        QCOMPARE(bar->BtnOffsetVert(), 3);
        QCOMPARE(bar->BtnWidth(), 22);
        QCOMPARE(bar->BtnHeight(), 21);
        QCOMPARE(bar->BoundLines(), TBoundLines(blTop | blBottom));
        QCOMPARE(bar->BevelOuter(), bvNone);
        QCOMPARE(bar->SectionCount(), 1);
        QCOMPARE(bar->Sections(0)->Caption(), QStringLiteral("Untitled (0)"));
        QCOMPARE(bar->ItemsCount(), 0);
        QCOMPARE(bar->Align(), TAlign::alTop);
        // The buttons and bevels side by side, in their order.
        const QList<QWidget*> order = {
            main_->RSB_NewWindow,    main_->BV1,         main_->RSB_Back,       main_->RSB_Forward,
            main_->RSB_Stop,         main_->RSB_Refresh, main_->RSB_Home,       main_->RSB_Search,
            main_->RSB_Favorite,     main_->BV2,         main_->RSB_TileWindow, main_->BV3,
            main_->RSB_CascadeWindow};
        for (int i = 0; i < order.size(); ++i) {
            QCOMPARE(order.at(i)->parentWidget(), bar);
            if (i > 0)
                QVERIFY(order.at(i)->x() >= order.at(i - 1)->geometry().right());
        }
        // They fit the narrowest main window.
        QVERIFY(main_->RSB_CascadeWindow->geometry().right() < 640);
        // Flat, transparent speed buttons with glyphs on the key colour that
        // fit a button of the picture-only mode.
        for (TRxSpeedButton* b : main_->ToolbarButtons) {
            QVERIFY(b->Flat());
            QVERIFY(b->Transparent());
            QCOMPARE(b->NumGlyphs(), 1);
            QCOMPARE(b->ButtonGlyph().TransparentColor(), qRgb(255, 0, 255));
            QVERIFY(b->Glyph().width() <= b->width() - 4);
            QVERIFY(b->Glyph().height() <= 26 - 4);
        }
        QCOMPARE(main_->RSB_Favorite->GroupIndex(), 1);
        QVERIFY(main_->RSB_Favorite->AllowAllUp());
        // Painted, their images of one size share one list of the cache.
        for (TRxSpeedButton* b : main_->ToolbarButtons)
            b->grab();
        const TGlyphList* shared = main_->RSB_Home->ButtonGlyph().SharedList();
        QVERIFY(shared);
        for (TRxSpeedButton* b : main_->ToolbarButtons)
            QCOMPARE(b->ButtonGlyph().SharedList(), shared);
    }

    void toolbarButtonsShowTheWallpaper()
    {
        // A flat button at rest lets the bar's wallpaper through.
        QImage green(8, 8, QImage::Format_RGB32);
        green.fill(qRgb(0, 160, 0));
        main_->SpB_ToolBar->SetWallpaper(green);
        const QImage button = main_->RSB_Home->grab().toImage();
        main_->SpB_ToolBar->SetWallpaper(QImage());
        QCOMPARE(button.pixel(1, 1), qRgb(0, 160, 0));
        QCOMPARE(button.pixel(button.width() - 2, button.height() - 2), qRgb(0, 160, 0));
    }

    // Drags the toolbar by a point of its own (beside the buttons) to a
    // point of the main window.
    void dragToolbar(QPoint target)
    {
        TSpeedBar* bar = main_->SpB_ToolBar;
        const QPoint press(bar->width() - 20, bar->height() / 2);
        QVERIFY(!bar->childAt(press));
        QTest::mousePress(bar, Qt::LeftButton, {}, press);
        QTest::mouseMove(bar, press + QPoint(0, 10));
        QTest::mouseMove(bar, bar->mapFromParent(target));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(target));
        QVERIFY(!bar->Docking());
    }

    void toolbarDocksTopOrBottomByDrag()
    {
        TSpeedBar* bar = main_->SpB_ToolBar;
        int moves = 0;
        bar->OnPosChanged = [&moves] { ++moves; };
        const int w = main_->width(), h = main_->height();
        dragToolbar(QPoint(w / 2, h - 5));
        QCOMPARE(bar->Align(), TAlign::alBottom);
        QVERIFY(bar->y() > h / 2);
        QCOMPARE(moves, 1);
        // The left triangle is refused: the bar stays at the bottom, and the
        // end of the drag is reported all the same.
        dragToolbar(QPoint(5, h / 2));
        QCOMPARE(bar->Align(), TAlign::alBottom);
        QCOMPARE(moves, 2);
        dragToolbar(QPoint(w / 2, 5));
        QCOMPARE(bar->Align(), TAlign::alTop);
        QCOMPARE(bar->y(), main_->MainMenu1->geometry().bottom() + 1);
        QCOMPARE(moves, 3);
        // Through the right triangle and back: the frame stays at the last
        // edge accepted.
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() - 20, 5));
        QTest::mouseMove(bar, QPoint(bar->width() - 20, 15));
        QTest::mouseMove(bar, bar->mapFromParent(QPoint(w / 2, h - 5)));
        const QRect bottomFrame = bar->DragFrame();
        QTest::mouseMove(bar, bar->mapFromParent(QPoint(w - 5, h / 2)));
        QCOMPARE(bar->DragFrame(), bottomFrame);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(QPoint(w - 5, h / 2)));
        QCOMPARE(bar->Align(), TAlign::alBottom);
        QCOMPARE(moves, 4);
        dragToolbar(QPoint(w / 2, 5));
        QCOMPARE(bar->Align(), TAlign::alTop);
        bar->OnPosChanged = nullptr;
    }

    void tiling()
    {
        for (int i = 0; i < 3; ++i)
            main_->RSB_NewWindowClick();
        main_->MDIClient->subWindowList().first()->showMaximized();
        ChildMaximized = true;
        const QRect area = main_->MDIClient->viewport()->rect();
        QVERIFY(area.height() > 30);

        main_->N3Click();
        main_->TileChildren();
        QVERIFY(!ChildMaximized);
        QList<QMdiSubWindow*> subs = main_->MDIClient->subWindowList(QMdiArea::CreationOrder);
        int left = area.left();
        for (QMdiSubWindow* sub : subs) {
            QVERIFY(!sub->isMaximized());
            QCOMPARE(sub->geometry().left(), left);
            QCOMPARE(sub->geometry().height(), area.height());
            left = sub->geometry().right() + 1;
        }
        QCOMPARE(left, area.right() + 1);

        main_->N2Click();
        main_->TileChildren();
        int top = area.top();
        for (QMdiSubWindow* sub : subs) {
            QCOMPARE(sub->geometry().top(), top);
            QCOMPARE(sub->geometry().width(), area.width());
            top = sub->geometry().bottom() + 1;
        }
        QCOMPARE(top, area.bottom() + 1);

        ChildMaximized = true;
        main_->RSB_CascadeWindowClick();
        QVERIFY(!ChildMaximized);
    }

    void openFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "page.html";
        QTest::newRow("hash") << "a#b.html";
        QTest::newRow("percent") << "100%.html";
        QTest::newRow("question") << "why?.html";
        QTest::newRow("blanks and thai") << "หน้า แรก.html";
    }

    void openFile()
    {
        QFETCH(QString, name);
        const QString path = dir_->path() + u'/' + name;
        main_->OpenLocalFile(path);
        QCOMPARE(made_.size(), 1);
        const QStringList navigated = active()->control->navigated;
        QCOMPARE(navigated.size(), 1);
        const QUrl url(navigated.first());
        QVERIFY(url.isLocalFile());
        QCOMPARE(url.toLocalFile(), path);
    }

    void offline()
    {
        const bool before = TWebBrowser::GetOffline();
        main_->MNU_WebOffLine->setEnabled(true);
        main_->MNU_WebOffLine->trigger();
        QCOMPARE(TWebBrowser::GetOffline(), !before);
        QCOMPARE(main_->MNU_WebOffLine->isChecked(), !before);
        main_->MNU_WebOffLine->trigger();
        QCOMPARE(TWebBrowser::GetOffline(), before);
    }

    void toolbarAlign_data()
    {
        QTest::addColumn<int>("align");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("none") << int(TAlign::alNone) << false;
        QTest::newRow("top") << int(TAlign::alTop) << true;
        QTest::newRow("bottom") << int(TAlign::alBottom) << true;
        QTest::newRow("left") << int(TAlign::alLeft) << false;
        QTest::newRow("right") << int(TAlign::alRight) << false;
        QTest::newRow("client") << int(TAlign::alClient) << false;
    }

    void toolbarAlign()
    {
        QFETCH(int, align);
        QFETCH(bool, allowed);
        bool apply = true;
        TF_Main::SpB_ToolBarApplyAlign(main_->SpB_ToolBar, TAlign(align), apply);
        QCOMPARE(apply, allowed);
    }

    void favoritesMenu()
    {
        TMainFavorites* fav = main_->Fav_Favorite;
        QVERIFY(fav->Root());
        // The fourth entry of the main menu, its add command disabled at start.
        QCOMPARE(main_->MainMenu1->actions().at(3), fav->Root()->menuAction());
        QCOMPARE(fav->Root()->title(), QStringLiteral("คลังเว็บของ IE"));
        QAction* add = fav->AddFavoriteAction();
        QVERIFY(add);
        QCOMPARE(add->text(), fav->AddToFavoritesCaption);
        QVERIFY(!add->isEnabled());
        // Browser windows switch it through the root item's first entry.
        fav->RootItem()->Items().constFirst()->setEnabled(true);
        QVERIFY(add->isEnabled());
        fav->RootItem()->Items().constFirst()->setEnabled(false);
        QVERIFY(!add->isEnabled());

        // A favorite chosen with no window open opens one and shows it there.
        QAction item;
        item.setStatusTip(QStringLiteral("http://fav.test/"));
        fav->FavoriteItemClick(&item);
        QCOMPARE(made_.size(), 1);
        QCOMPARE(active()->control->navigated, QStringList{"http://fav.test/"});
        // With a window open, the favorite opens in the active one.
        item.setStatusTip(QStringLiteral("http://fav.test/2"));
        fav->FavoriteItemClick(&item);
        QCOMPARE(made_.size(), 1);
        QCOMPARE(active()->control->navigated.last(), QStringLiteral("http://fav.test/2"));
        // "Add" reads the active page.
        active()->control->url = QStringLiteral("http://shown.test/");
        active()->control->title = QStringLiteral("Shown");
        QCOMPARE(fav->Webbrowser->LocationURL(), QStringLiteral("http://shown.test/"));
        QCOMPARE(fav->Webbrowser->LocationName(), QStringLiteral("Shown"));
    }

    void settingsCommand()
    {
        bool seen = false;
        whenModal<TF_Setup>(
            [](TF_Setup& d) {
                d.E_TCols->setText(QStringLiteral("120"));
                d.Button1Click();
            },
            seen);
        main_->N4->trigger();
        QVERIFY(seen);
        QCOMPARE(main_->Settings.TCols, 120);
        QPointer<TF_Setup> first = F_Setup;
        seen = false;
        whenModal<TF_Setup>([](TF_Setup& d) { d.Button2Click(); }, seen);
        main_->N4Click();
        QVERIFY(seen);
        QCOMPARE(F_Setup, first);
    }

    void downloadOptionsDialogIsShared()
    {
        main_->RSB_NewWindowClick();
        bool seen = false;
        whenModal<TF_AdvanceWeb>([](TF_AdvanceWeb& d) { d.B_CancelClick(); }, seen);
        main_->N23->trigger();
        QVERIFY(seen);
        QPointer<TF_AdvanceWeb> first = F_AdvanceWeb;
        QVERIFY(first);
        seen = false;
        whenModal<TF_AdvanceWeb>([](TF_AdvanceWeb& d) { d.B_CancelClick(); }, seen);
        main_->N23Click();
        QVERIFY(seen);
        QCOMPARE(F_AdvanceWeb, first);
    }

    void makerPage()
    {
        main_->Brevant1Click();
        QCOMPARE(active()->control->navigated, QStringList{MakerHomePage()});
    }
};

QTEST_MAIN(TestFrmMainCommands)
#include "test_FrmMainCommands.moc"
