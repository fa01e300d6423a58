#include "shell/main/FrmMain.h"

#include "platform/JpegImage.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/browser/FrmAdvanceWeb.h"
#include "shell/data/AlLanguager.h"
#include "shell/data/FormLocalizations.h"
#include "shell/data/IEUtils.h"
#include "shell/data/MainWindowRules.h"
#include "shell/data/ShellGlyphs.h"
#include "shell/dialogs/FrmAbout.h"
#include "shell/dialogs/FrmExit.h"
#include "shell/dialogs/FrmSetup.h"
#include "shell/favorites/FrmEnterURLData.h"
#include "shell/favorites/FrmFavorite.h"
#include "shell/main/FrmFloatToolbar.h"
#include "shell/main/MainFavorites.h"
#include "shell/main/MainServices.h"
#include "toolkit/AlignLayout.h"
#include "toolkit/Controls.h"
#include "toolkit/GraphicControl.h"
#include "toolkit/StandardIcons.h"

#include <QActionGroup>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <exception>

namespace {

const QString kSavedWindowsQuestion = QStringLiteral("พบว่ามีการจัดเก็บหน้าต่างที่เปิดเว็บในครั้งก่อน") + u'\n' +
                                      QStringLiteral("ต้องการเปิดหน้าต่างที่จัดเก็บไว้หรือไม่?");

void forEachItem(QStandardItem* parent, const std::function<void(QStandardItem*)>& visit)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        QStandardItem* child = parent->child(row);
        visit(child);
        forEachItem(child, visit);
    }
}

} // namespace

TF_Main::TF_Main(TMainServices& services, QWidget* parent) : TForm(parent), services_(services)
{
    // The Thai dictionary loads while the components are built.
    lineBreaks_.Start();
    setObjectName(QStringLiteral("F_Main"));
    SetCaption(QStringLiteral("Brevant++ "));
    resize(800, 600);
    BuildComponents();
    // The main form of the application: MDI children of the program and of
    // its plug-ins enter its client area from now on.
    SetFormStyle(fsMDIForm);
    SetClientArea(MDIClient);
    childTabs_.SetTabs(TC_Pages);
    Application::SetMainForm(this);
    try {
        FormCreate();
    } catch (const std::exception& e) {
        CreationFailed = true;
        MessageBoxService::MessageBox(this, QString::fromUtf8(e.what()), QStringLiteral("Error"),
                                      MessageBoxService::MB_OK | MessageBoxService::MB_ICONERROR);
    } catch (...) {
        CreationFailed = true;
    }
    // A start that failed half way reads nothing more, so it cannot write
    // a half-read list back at exit.
    if (!CreationFailed) {
        // The forms that live for the whole run, in their order.
        CreateFavoriteForms();
        if (!F_Setup)
            F_Setup = new TF_Setup(*this, this);
        F_FloatToolbar = new TF_FloatToolbar(*this);
        if (!F_AdvanceWeb)
            F_AdvanceWeb = new TF_AdvanceWeb;
    }
}

TF_Main::~TF_Main()
{
    // A main window that goes without its exit (a test) stops the plug-ins
    // first, while their windows still have a main window to leave.
    services_.UnloadPlugins();
    // A page made for a first window that never came goes with the window.
    services_.DiscardPreparedBrowserControl();
    if (Application::MainForm() == this)
        Application::SetMainForm(nullptr);
    if (SplashWindow)
        delete SplashWindow.data();
    delete F_EnterURLData.data();
    delete F_Favorite.data();
    delete F_AdvanceWeb.data();
}

void TF_Main::BuildComponents()
{
    layout_ = new TAlignLayout(this);

    // Images of the tabs and the favorites list.
    for (int i = 0; i < 12; ++i)
        IM_List.append(StandardIcon(QStyle::SP_FileIcon));
    IM_List[1] = StandardIcon(QStyle::SP_FileLinkIcon); // a link, a banner
    IM_List[7] = StandardIcon(QStyle::SP_BrowserReload);
    IM_List[8] = StandardIcon(QStyle::SP_DirHomeIcon);
    IM_List[11] = StandardIcon(QStyle::SP_BrowserReload);

    MainMenu1 = new TMainMenu(QStringLiteral("MainMenu1"), this);
    N1 = MainMenu1->AddItem(QStringLiteral("N1"));
    N_OpenFile = N1->AddItem(QStringLiteral("N_OpenFile"));
    N_OpenFile->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    N_SaveHTML = N1->AddItem(QStringLiteral("N_SaveHTML"));
    N_PSetup = N1->AddItem(QStringLiteral("N_PSetup"));
    N_PrintPreview = N1->AddItem(QStringLiteral("N_PrintPreview"));
    N_Print = N1->AddItem(QStringLiteral("N_Print"));
    for (TMenuItem* item : {N_SaveHTML, N_PSetup, N_PrintPreview, N_Print})
        item->setEnabled(false);
    N1->AddSeparator();
    N4 = N1->AddItem(QStringLiteral("N4"));
    N1->AddSeparator();
    N6 = N1->AddItem(QStringLiteral("N6"));

    M_N_Window = MainMenu1->AddItem(QStringLiteral("M_N_Window"));
    WindowArrangeItem = M_N_Window->AddItem(QStringLiteral("WindowArrangeItem"));
    Tile1 = M_N_Window->AddItem(QStringLiteral("Tile1"));

    MNU_SystemCommand = MainMenu1->AddItem(QStringLiteral("MNU_SystemCommand"));
    N8 = MNU_SystemCommand->AddItem(QStringLiteral("N8"));
    N8->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    MNU_HideToolbar = MNU_SystemCommand->AddItem(QStringLiteral("MNU_HideToolbar"));
    MNU_HideToolbar->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
    MNU_HideMDITab = MNU_SystemCommand->AddItem(QStringLiteral("MNU_HideMDITab"));
    MNU_HideMDITab->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    MNU_WebOffLine = MNU_SystemCommand->AddItem(QStringLiteral("MNU_WebOffLine"));
    MNU_WebOffLine->setEnabled(false);
    HTML1 = MNU_SystemCommand->AddItem(QStringLiteral("HTML1"));
    MNU_SystemCommand->AddSeparator();
    N18 = MNU_SystemCommand->AddItem(QStringLiteral("N18"));
    MNU_Both = N18->AddItem(QStringLiteral("MNU_Both"));
    MNU_PicOnly = N18->AddItem(QStringLiteral("MNU_PicOnly"));
    MNU_TextOnly = N18->AddItem(QStringLiteral("MNU_TextOnly"));
    auto* modes = new QActionGroup(this);
    for (TMenuItem* item : {MNU_Both, MNU_PicOnly, MNU_TextOnly}) {
        item->setCheckable(true);
        modes->addAction(item);
    }
    MNU_SystemCommand->AddSeparator();
    N20 = MNU_SystemCommand->AddItem(QStringLiteral("N20"));
    MNU_TextBiggest = N20->AddItem(QStringLiteral("MNU_TextBiggest"));
    MNU_TextBig = N20->AddItem(QStringLiteral("MNU_TextBig"));
    MNU_TextMedium = N20->AddItem(QStringLiteral("MNU_TextMedium"));
    MNU_TextSmall = N20->AddItem(QStringLiteral("MNU_TextSmall"));
    MNU_TextSmallest = N20->AddItem(QStringLiteral("MNU_TextSmallest"));
    auto* sizes = new QActionGroup(this);
    for (TMenuItem* item :
         {MNU_TextBiggest, MNU_TextBig, MNU_TextMedium, MNU_TextSmall, MNU_TextSmallest}) {
        item->setCheckable(true);
        sizes->addAction(item);
    }
    N25 = MNU_SystemCommand->AddItem(QStringLiteral("N25"));
    N25->setVisible(false);
    N_SetThatEncode = N25->AddItem(QStringLiteral("N_SetThatEncode"));
    N_SetEngEncode = N25->AddItem(QStringLiteral("N_SetEngEncode"));
    MNU_SystemCommand->AddSeparator();
    N15 = MNU_SystemCommand->AddItem(QStringLiteral("N15"));
    N15->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));
    MNU_SystemCommand->AddSeparator();
    N9 = MNU_SystemCommand->AddItem(QStringLiteral("N9"));
    N9->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));

    N5 = MainMenu1->AddItem(QStringLiteral("N5"));
    N11 = N5->AddItem(QStringLiteral("N11"));
    Brevant1 = N5->AddItem(QStringLiteral("Brevant1"));
    N5->AddSeparator();
    About1 = N5->AddItem(QStringLiteral("About1"));
    MNU_Plugins = MainMenu1->AddItem(QStringLiteral("MNU_Plugins"));

    PopupMenu1 = new TPopupMenu(QStringLiteral("PopupMenu1"), this);
    N2 = PopupMenu1->AddItem(QStringLiteral("N2"));
    N3 = PopupMenu1->AddItem(QStringLiteral("N3"));

    PM_menu = new TPopupMenu(QStringLiteral("PM_menu"), this);
    Test1 = PM_menu->AddItem(QStringLiteral("Test1"));
    PM_menu->addSeparator();
    MNU_NewWindow = PM_menu->AddItem(QStringLiteral("MNU_NewWindow"));
    MNU_PrevPage = PM_menu->AddItem(QStringLiteral("MNU_PrevPage"));
    MNU_PrevPage->setEnabled(false);
    Link1 = PM_menu->AddItem(QStringLiteral("Link1"));
    PM_menu->addSeparator();
    MNU_NextPage = PM_menu->AddItem(QStringLiteral("MNU_NextPage"));
    MNU_NextPage->setEnabled(false);
    MNU_Stop = PM_menu->AddItem(QStringLiteral("MNU_Stop"));
    MNU_Refresh = PM_menu->AddItem(QStringLiteral("MNU_Refresh"));
    PM_menu->addSeparator();
    N23 = PM_menu->AddItem(QStringLiteral("N23"));

    PM_CloseWindow = new TPopupMenu(QStringLiteral("PM_CloseWindow"), this);
    N_CloseWindow = PM_CloseWindow->AddItem(QStringLiteral("N_CloseWindow"));
    N_CloseAllWindow = PM_CloseWindow->AddItem(QStringLiteral("N_CloseAllWindow"));

    PM_Favorite = new TPopupMenu(QStringLiteral("PM_Favorite"), this);
    N_AddFavorite = PM_Favorite->AddItem(QStringLiteral("N_AddFavorite"));
    N_DelFavorite = PM_Favorite->AddItem(QStringLiteral("N_DelFavorite"));
    N_EditFavorite = PM_Favorite->AddItem(QStringLiteral("N_EditFavorite"));
    N_MoveFavorite = PM_Favorite->AddItem(QStringLiteral("N_MoveFavorite"));
    PM_Favorite->addSeparator();
    N_GoFavorite = PM_Favorite->AddItem(QStringLiteral("N_GoFavorite"));
    N_GofavoriteNew = PM_Favorite->AddItem(QStringLiteral("N_GofavoriteNew"));

    Fav_Favorite = new TMainFavorites(*this, QStringLiteral("Fav_Favorite"));

    // The toolbar, under the menu.
    layout_->addWidget(MainMenu1, TAlign::alTop);
    BuildToolbar();

    // The favorites panel.
    TB_WebURL = new TPanel(QStringLiteral("TB_WebURL"), this);
    TB_WebURL->setFrameShape(QFrame::StyledPanel);
    TB_WebURL->setFixedWidth(200);
    SB_ChooseFavorite = new TToolButton(QStringLiteral("SB_ChooseFavorite"), TB_WebURL);
    SB_ChooseFavorite->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SB_ChooseFavorite->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The group tree and the list are two bands the user sizes against
    // each other; the tree's height is kept as "TVURLSize".
    URLBands = new QSplitter(Qt::Vertical, TB_WebURL);
    URLBands->setObjectName(QStringLiteral("URLBands"));
    URLBands->setChildrenCollapsible(false);
    TV_URLGroup = new TTreeView(QStringLiteral("TV_URLGroup"), URLBands);
    TV_URLGroup->setModel(&FavoriteTree);
    TV_URLGroup->setMinimumHeight(20);
    P_WebURL = new TPanel(QStringLiteral("P_WebURL"), URLBands);
    URLBands->addWidget(TV_URLGroup);
    URLBands->addWidget(P_WebURL);
    URLBands->setStretchFactor(1, 1);
    LV_WebURL = new TListView(QStringLiteral("LV_WebURL"), P_WebURL);
    auto* panel = new QVBoxLayout(TB_WebURL);
    panel->setContentsMargins(1, 1, 1, 1);
    panel->addWidget(SB_ChooseFavorite);
    panel->addWidget(URLBands, 1);
    BuildFavoritesPanel();
    Splitter1 = new TSplitter(QStringLiteral("Splitter1"), this);
    Splitter1->SetControl(TB_WebURL);
    Splitter1->MinSize = 185;
    Splitter1->OnMoved = [this] { Splitter1Moved(); };

    MDIClient = new QMdiArea(this);
    MDIClient->setObjectName(QStringLiteral("MDIClient"));
    MDIClient->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(MDIClient, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PM_menu->popup(MDIClient->mapToGlobal(pos)); });

    // The window tab bar.
    TB_Pages = new TPanel(QStringLiteral("TB_Pages"), this);
    TB_Pages->setFixedHeight(28);
    TC_Pages = new TTabControl(QStringLiteral("TC_Pages"), TB_Pages);
    TC_Pages->setShape(QTabBar::RoundedSouth);
    TC_Pages->setContextMenuPolicy(Qt::CustomContextMenu);
    SB_HideMDITab = new TToolButton(QStringLiteral("SB_HideMDITab"), TB_Pages);
    SB_HideMDITab->setToolButtonStyle(Qt::ToolButtonIconOnly);
    SB_HideMDITab->setIcon(StandardIcon(QStyle::SP_TitleBarCloseButton));
    S_Status = new TStatusBar(QStringLiteral("S_Status"), this);

    layout_->addWidget(S_Status, TAlign::alBottom);
    layout_->addWidget(TB_Pages, TAlign::alBottom);
    layout_->addWidget(TB_WebURL, TAlign::alLeft);
    layout_->addWidget(Splitter1, TAlign::alLeft);
    layout_->addWidget(MDIClient, TAlign::alClient);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);
    // 100 ms, not the 95 to 105 of a coarse timer.
    Timer1->setTimerType(Qt::PreciseTimer);

    AS_Language = new TAlLanguagesStore(this, QStringLiteral("AS_Language"));
    AS_Language->SetDefaultLang(QStringLiteral("tha"));
    AS_Language->SetLanguagesDefines({QStringLiteral("tha"), QStringLiteral("eng")});
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));
    AL_Language->SetLanguagesStore(AS_Language);

    ConnectCommands();
}

void TF_Main::BuildToolbar()
{
    // The speed bar as the form builds it: offsets 3 / 3, item buttons of
    // 22 x 21, bound lines at the top and the bottom, no bevel, one empty
    // section. Its buttons are plain child controls, placed side by side
    // with the bevels between them; the display modes set their height.
    SpB_ToolBar = new TSpeedBar(QStringLiteral("SpB_ToolBar"), this);
    SpB_ToolBar->BeginLoading();
    SpB_ToolBar->SetBevelOuter(bvNone);
    SpB_ToolBar->SetBtnOffsetHorz(3);
    SpB_ToolBar->SetBtnOffsetVert(3);
    SpB_ToolBar->SetBtnWidth(22);
    SpB_ToolBar->SetBtnHeight(21);
    SpB_ToolBar->SetBoundLines(blTop | blBottom);
    SpB_ToolBar->NewSection(QStringLiteral("Untitled (0)"));
    SpB_ToolBar->OnApplyAlign = &TF_Main::SpB_ToolBarApplyAlign;

    int left = 3;
    auto button = [&](const char* name, const char* glyph, int width) {
        auto* b = new TRxSpeedButton(QLatin1String(name), SpB_ToolBar);
        b->SetFlat(true);
        b->SetTransparent(true);
        b->SetGlyph(ShellGlyph(QLatin1String(glyph)));
        b->SetBounds(left, 2, width, 46);
        left += width;
        return b;
    };
    auto bevel = [&](const char* name) {
        auto* b = new TBevel(QLatin1String(name), SpB_ToolBar);
        b->SetShape(bsLeftLine);
        b->setGeometry(left + 2, 2, 2, 46);
        left += 6;
        return b;
    };
    RSB_NewWindow = button("RSB_NewWindow", "newwindow", 74);
    BV1 = bevel("BV1");
    RSB_Back = button("RSB_Back", "back", 56);
    RSB_Forward = button("RSB_Forward", "forward", 50);
    RSB_Stop = button("RSB_Stop", "stop", 46);
    RSB_Refresh = button("RSB_Refresh", "refresh", 56);
    RSB_Home = button("RSB_Home", "home", 56);
    RSB_Search = button("RSB_Search", "search", 50);
    RSB_Favorite = button("RSB_Favorite", "favorite", 62);
    // A latching button: it shows whether the favorites panel is open.
    RSB_Favorite->SetGroupIndex(1);
    RSB_Favorite->SetAllowAllUp(true);
    BV2 = bevel("BV2");
    RSB_TileWindow = button("RSB_TileWindow", "tile", 62);
    BV3 = bevel("BV3");
    RSB_CascadeWindow = button("RSB_CascadeWindow", "cascade", 56);
    RSB_Back->setEnabled(false);
    RSB_Forward->setEnabled(false);
    SpB_ToolBar->SetHeight(50);
    SpB_ToolBar->Loaded();
    for (TRxSpeedButton* b : {RSB_NewWindow, RSB_Back, RSB_Forward, RSB_Stop, RSB_Refresh, RSB_Home,
                              RSB_Search, RSB_Favorite, RSB_TileWindow, RSB_CascadeWindow})
        b->Loaded();
}

void TF_Main::FormCreate()
{
    // 1. Texts.
    AL_Language->SetLocalizationString(F_MainLocalization());

    // 2. The engine's version.
    IEVersion = IEVersionFromText(GetIEVersion());
    if (IEVersion < 5.5)
        N_PrintPreview->setVisible(false);

    // 5, 6. Settings.
    TRegistry reg;
    LoadSettings(reg, Settings);
    SettingsLoaded = true;
    Data.CurrentGroup = Settings.Favorite;
    // The engine's default code page: Thai when the setting says so, the
    // engine's own otherwise.
    SetEngineDefaultCodePage(Settings.DefaultThaiCodePage ? 874 : 0);
    if (Settings.DefaultThaiCodePage)
        SetIECodepage(reg, 874);

    // 7, 8. Window state and caption.
    if (Settings.FormMaximize)
        setWindowState(Qt::WindowMaximized);
    SetCaption(QStringLiteral("1.00 Standard Edition.") + u' ' + Caption());

    // 9. Splash. The first text laid out comes now, in the splash or later
    // in the window itself.
    lineBreaks_.Finish();
    SplashWindow = nullptr;
    if (Settings.UseSpash) {
        SplashWindow = new TF_About;
        SplashWindow->ShowSplash();
    }

    // 10, 11. Plug-ins and the Favorites menu.
    services_.LoadPlugins(*this);
    Fav_Favorite->CreateMenu();
    Fav_Favorite->SetAddEnabled(false);

    // 12. Start-only values.
    const TStartOnlySettings startOnly = LoadStartOnlySettings(reg);
    if (startOnly.ToolBarStretch)
        SpB_ToolBar->SetOptions(SpB_ToolBar->Options() | sbStretchBitmap);
    if (!startOnly.ToolBarBackground.isEmpty())
        ApplyWallpaper(startOnly.ToolBarBackground);
    FirstStart = startOnly.FirstStart;

    // 13, 14. Data files. One that holds more than its reader took is kept
    // in a copy before it can be written again; the status bar says so.
    Data.OnDamagedFile = [this](const QString& file, const QString& backup) {
        // A file read again (its group chosen again) is said once.
        const QString notice = DamagedFileNotice(file, backup);
        if (DataNotices.contains(notice))
            return;
        DataNotices << notice;
        qWarning("Brevant: %s", qPrintable(notice));
        S_Status->SetSimpleText(DataNotices.join(QStringLiteral("  ")));
    };
    // A registry file that could not be read is kept as it is (and moved
    // aside, whole, before anything is written over it): said with them.
    if (const QStringList registry = TRegistry::TakeNotices(); !registry.isEmpty()) {
        DataNotices << registry;
        S_Status->SetSimpleText(DataNotices.join(QStringLiteral("  ")));
    }
    Data.LoadURLHistory();
    SB_ChooseFavorite->SetCaption(Data.CurrentGroup);
    Data.Group.clear();
    Data.LoadGroupURLs();
    Data.LoadBanners();
    FillFavoriteList();

    // 15, 16. Favorites panel and group tree.
    if (Settings.OpenFav)
        ToggleFavoritesPanel();
    try {
        Data.LoadFavoriteTree(FavoriteTree);
    } catch (...) {
    }

    // 17, 18. Layout.
    ApplyToolbarAlign();
    SpB_ToolBar->setVisible(Settings.ToolBarVisible);
    if (!Settings.ToolBarVisible)
        MNU_HideToolbar->SetCaption(QStringLiteral("แสดงแถบเครื่องมือ"));
    TB_WebURL->setVisible(Settings.FavoriteBarVisible);
    Splitter1->setVisible(Settings.FavoriteBarVisible);
    FavoritesPanelOpen = Settings.FavoriteBarVisible;
    RSB_Favorite->SetDown(Settings.FavoriteBarVisible);
    if (!Settings.WindowBarVisible)
        MNU_HideMDITab->SetCaption(QStringLiteral("แสดงแถบเลือกหน้าต่าง"));
    TB_Pages->setVisible(Settings.WindowBarVisible);

    // 19. The toolbar buttons, their captions and glyphs.
    ToolbarButtons = {RSB_NewWindow, RSB_Back,       RSB_Forward,      RSB_Stop,
                      RSB_Refresh,   RSB_Home,       RSB_Refresh,      RSB_Search,
                      RSB_Favorite,  RSB_TileWindow, RSB_CascadeWindow};
    ToolbarCaptions.clear();
    ToolbarGlyphs.clear();
    for (TRxSpeedButton* b : ToolbarButtons) {
        ToolbarCaptions.append(b->Caption());
        ToolbarGlyphs.append(b->Glyph().copy());
    }

    // 20. Button mode.
    if (Settings.ToolBarButton == QLatin1String("text")) {
        SetButtonsTextOnly();
        MNU_TextOnly->setChecked(true);
    } else if (Settings.ToolBarButton == QLatin1String("pic")) {
        SetButtonsPicOnly();
        MNU_PicOnly->setChecked(true);
    } else {
        SetButtonsBoth();
        if (Settings.ToolBarButton == QLatin1String("both"))
            MNU_Both->setChecked(true);
    }

    // 21. Text size.
    const QList<TMenuItem*> sizes = {MNU_TextSmallest, MNU_TextSmall, MNU_TextMedium, MNU_TextBig,
                                     MNU_TextBiggest};
    if (Settings.FontSize >= 0 && Settings.FontSize <= 4)
        sizes.at(Settings.FontSize)->setChecked(true);
}

void TF_Main::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TF_Main::FormShow()
{
    services_.SelectPlugins();
    if (SplashWindow)
        SplashWindow->EndSplash();
    Timer1->start();
    // The engine starts now, while the timer runs, when the timer will open
    // a browser window: the timer's 100 ms pass in the engine's start.
    PrepareFirstPage();
    URLBands->setSizes({qMax(20, Settings.TVURLSize), qMax(1, URLBands->height())});
    // Select every group node named like the current group; the last stays.
    forEachItem(FavoriteTree.invisibleRootItem(), [this](QStandardItem* item) {
        if (item->text() == Data.CurrentGroup)
            TV_URLGroup->setCurrentIndex(item->index());
    });
    setAcceptDrops(true);
    if (!Settings.FormMaximize) {
        QRect bounds = geometry();
        QPoint position = pos();
        if (Settings.FormX != -1)
            position.setX(Settings.FormX);
        if (Settings.FormY != -1)
            position.setY(Settings.FormY);
        if (Settings.FormWidth != -1)
            bounds.setWidth(Settings.FormWidth);
        if (Settings.FormHeight != -1)
            bounds.setHeight(Settings.FormHeight);
        move(position);
        resize(bounds.size());
    }
}

void TF_Main::PrepareFirstPage()
{
    // Only for the window the start timer opens.
    if (!PlanStartWindow(Settings.StartMode, FirstStart, Settings.StartURL, MakerHomePage(),
                         MakerStartPage())
             .openWindow)
        return;
    try {
        // The web profile with its settings (the engine starts), and the
        // page of the window the timer opens, with its render process: the
        // window's page then loads at once.
        services_.PrepareBrowserControl();
    } catch (const std::exception& e) {
        // The window makes its own control then.
        qWarning("Brevant: the first page could not be made ahead: %s", e.what());
    }
}

void TF_Main::Timer1Timer()
{
    Timer1->stop();
    // The windows opened here clear the status bar as they become active;
    // what was found wrong with the data files is shown again after them.
    struct Notices
    {
        TF_Main* main;
        ~Notices() { main->showDataNotices(); }
    } notices{this};
    try {
        const TStartPlan plan = PlanStartWindow(Settings.StartMode, FirstStart, Settings.StartURL,
                                                MakerHomePage(), MakerStartPage());
        Settings.StartMode = plan.startMode;
        if (plan.openWindow) {
            IBrowserWindow* browser = NewBrowserWindow();
            if (plan.engineHome)
                browser->GoHome();
            else
                browser->Navigate(plan.url);
        }

        QStringList saved;
        if (!Data.ReadSavedWindows(saved))
            return;
        if (saved.isEmpty())
            return;
        const int answer = MessageBoxService::MessageBox(
            this, kSavedWindowsQuestion, QStringLiteral("Message"),
            MessageBoxService::MB_YESNO | MessageBoxService::MB_ICONQUESTION);
        if (answer == MessageBoxService::IDYES)
            for (const QString& address : saved)
                NewBrowserWindow()->Navigate(address);
    } catch (const std::exception& e) {
        S_Status->SetSimpleText(QString::fromUtf8(e.what()));
    }
}

void TF_Main::showDataNotices()
{
    if (DataNotices.isEmpty())
        return;
    QTimer::singleShot(0, this,
                       [this] { S_Status->SetSimpleText(DataNotices.join(QStringLiteral("  "))); });
}

void TF_Main::UpdateGoFavorite()
{
    N_GoFavorite->setEnabled(ActiveWebBrowser() != nullptr);
}

void TF_Main::RelayoutActiveBrowser()
{
    if (!ActiveWebBrowser() || !ChildMaximized || ShuttingDown)
        return;
    if (auto* browser = dynamic_cast<IBrowserWindow*>(ActiveChild()))
        browser->Relayout();
}

void TF_Main::ToggleFavoritesPanel()
{
    FavoritesPanelOpen = !FavoritesPanelOpen;
    TB_WebURL->setVisible(FavoritesPanelOpen);
    Splitter1->setVisible(FavoritesPanelOpen);
    QApplication::processEvents();
    RSB_Favorite->SetDown(FavoritesPanelOpen);
    if (F_FloatToolbar)
        F_FloatToolbar->RSB_Favorite->SetDown(FavoritesPanelOpen);
    RelayoutActiveBrowser();
}

void TF_Main::OpenTelnetURL(const QString& address)
{
    const TTelnetAddress telnet = ParseTelnetAddress(address);
    if (!telnet.ok) {
        S_Status->SetSimpleText(telnet.error);
        return;
    }
    services_.OpenTelnetWindow(*this, telnet.host, telnet.port);
}

// --- the tab bar ---

void TF_Main::TC_PagesChange(int index)
{
    S_Status->SetSimpleText(QString());
    if (index < 0 || index >= WindowList.size() || !WindowList.at(index))
        return;
    TForm* form = WindowList.at(index);
    // Showing an MDI child makes it the active one.
    form->show();
    form->setFocus();
}

void TF_Main::CloseChildForm(TForm* form)
{
    if (form)
        form->Close();
}

void TF_Main::N_CloseWindowClick()
{
    const int index = TC_Pages->currentIndex();
    if (index >= 0 && index < WindowList.size())
        CloseChildForm(WindowList.at(index));
}

void TF_Main::N_CloseAllWindowClick()
{
    const int answer = MessageBoxService::MessageBox(
        this, QStringLiteral("ต้องการปิดหน้าต่างทั้งหมด?"), QStringLiteral("Warning"),
        MessageBoxService::MB_YESNO | MessageBoxService::MB_ICONWARNING);
    if (answer == MessageBoxService::IDYES) {
        // Each window takes itself out of the list as it closes; a window
        // that refuses to close keeps its entry and its tab.
        const QList<QPointer<TForm>> windows = WindowList;
        for (auto it = windows.crbegin(); it != windows.crend(); ++it)
            CloseChildForm(*it);
        QApplication::processEvents();
        childTabs_.Prune();
        SetActiveWebBrowser(nullptr);
        SetActiveChild(nullptr);
        UpdateGoFavorite();
    }
    S_Status->SetSimpleText(QString());
    RSB_Back->setEnabled(false);
    RSB_Forward->setEnabled(false);
}

void TF_Main::SB_HideMDITabClick()
{
    TB_Pages->hide();
    MNU_HideMDITab->SetCaption(QStringLiteral("แสดงแถบหน้าต่าง"));
    RelayoutActiveBrowser();
}

void TF_Main::MNU_HideMDITabClick()
{
    TB_Pages->setVisible(TB_Pages->isHidden());
    MNU_HideMDITab->SetCaption(TB_Pages->isHidden() ? QStringLiteral("แสดงแถบเลือกหน้าต่าง")
                                                    : QStringLiteral("ซ่อนแถบเลือกหน้าต่าง"));
    RelayoutActiveBrowser();
}

void TF_Main::MNU_HideToolbarClick()
{
    // The floating toolbar takes over while the toolbar is hidden.
    if (!SpB_ToolBar->isHidden()) {
        MNU_HideToolbar->SetCaption(QStringLiteral("แสดงแถบเครื่องมือ"));
        SpB_ToolBar->hide();
        if (F_FloatToolbar)
            F_FloatToolbar->show();
    } else {
        MNU_HideToolbar->SetCaption(QStringLiteral("ซ่อนแถบเครื่องมือ"));
        SpB_ToolBar->show();
        if (F_FloatToolbar)
            F_FloatToolbar->hide();
    }
    RelayoutActiveBrowser();
}

void TF_Main::RSB_NewWindowClick()
{
    NewBrowserWindow();
}

void TF_Main::About1Click()
{
    auto* about = new TF_About;
    about->ShowAbout();
}

void TF_Main::N6Click()
{
    close();
}

void TF_Main::ApplyToolbarAlign()
{
    if (Settings.ToolBarAlign == QLatin1String("bottom"))
        SpB_ToolBar->SetAlign(TAlign::alBottom);
    else if (Settings.ToolBarAlign == QLatin1String("top"))
        SpB_ToolBar->SetAlign(TAlign::alTop);
}

void TF_Main::ApplyWallpaper(const QString& file)
{
    // A picture that cannot be read leaves the bar plain.
    const QString lower = file.toLower();
    const QImage image =
        lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg"))
            ? JpegImage::load(file)
            : QImage(file);
    if (!image.isNull())
        SpB_ToolBar->SetWallpaper(image);
}

// --- size, state, drops ---

void TF_Main::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    FormResize();
}

void TF_Main::FormResize()
{
    RelayoutActiveBrowser();
    LayoutTabBar();
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))) {
        const QSize constrained = ConstrainMainWindowSize(size());
        if (constrained != size()) {
            resize(constrained);
            return;
        }
    }
    UpdateTabWidthOnResize();
}

void TF_Main::LayoutTabBar()
{
    const int width = qMax(0, this->width() - 60);
    TC_Pages->setGeometry(0, 0, width, TB_Pages->height());
    SB_HideMDITab->setGeometry(width + 2, 2, 24, TB_Pages->height() - 4);
}

void TF_Main::UpdateTabWidthOnResize()
{
    TC_Pages->SetTabWidth(
        TabWidthOnResize(TC_Pages->TabWidth(), TC_Pages->count(), TC_Pages->width()));
}

void TF_Main::changeEvent(QEvent* event)
{
    TForm::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isVisible())
        return;
    if (windowState() & Qt::WindowMaximized)
        Settings.FormMaximize = true;
    else if (!(windowState() & (Qt::WindowMinimized | Qt::WindowFullScreen)))
        Settings.FormMaximize = false;
}

void TF_Main::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TF_Main::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        paths.append(url.isLocalFile() ? url.toLocalFile() : url.toString());
    event->acceptProposedAction();
    DropFiles(paths);
}

void TF_Main::DropFiles(const QStringList& paths)
{
    // Whole paths: a long path is never cut.
    for (const QString& path : paths)
        NewBrowserWindow()->Navigate(path);
}

void TF_Main::OnApplicationFocusWindow()
{
    // A window of the engine taking the focus from the main window gets the
    // program's icon and title.
    QWindow* window = QGuiApplication::focusWindow();
    if (!window || window == windowHandle() || isActiveWindow())
        return;
    if (!window->title().contains(QLatin1String("Internet Explorer")))
        return;
    window->setIcon(QApplication::windowIcon());
    window->setTitle(RetitleEngineCaption(window->title(), QApplication::applicationDisplayName()));
}
