// The main window's menu, pop-up and toolbar commands and their wiring to
// the components. Almost all of them act on the active browser window and do
// nothing while there is none.

#include "components/speedbar/SpeedBar.h"
#include "platform/Registry.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/browser/FrmAdvanceWeb.h"
#include "shell/data/MainWindowRules.h"
#include "shell/dialogs/FrmSelURL.h"
#include "shell/dialogs/FrmSetup.h"
#include "shell/dialogs/U_OpenDialog2K.h"
#include "shell/main/FrmMain.h"
#include "shell/main/MainFavorites.h"
#include "toolkit/AlignLayout.h"
#include "toolkit/Controls.h"
#include "toolkit/GraphicControl.h"

#include <QApplication>
#include <QCursor>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWindow>

namespace {

TWebBrowser* activeControl(const TF_Main& main)
{
    return qobject_cast<TWebBrowser*>(main.ActiveWebBrowser());
}

IBrowserWindow* activeWindow(const TF_Main& main)
{
    return dynamic_cast<IBrowserWindow*>(main.ActiveChild());
}

// Runs a command of the control; errors of the control are not the
// user's concern here.
template <typename F> void quietly(F&& f)
{
    try {
        f();
    } catch (...) {
    }
}

// A web search, the nearest thing to a search page of the engine's own.
const QString kSearchPage = QStringLiteral("https://duckduckgo.com/");

} // namespace

void TF_Main::ConnectCommands()
{
    connect(Timer1, &QTimer::timeout, this, &TF_Main::Timer1Timer);
    connect(TC_Pages, &QTabBar::currentChanged, this, &TF_Main::TC_PagesChange);
    connect(TC_Pages, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        N_CloseWindow->setEnabled(TC_Pages->count() > 0);
        N_CloseAllWindow->setEnabled(TC_Pages->count() > 0);
        PM_CloseWindow->popup(TC_Pages->mapToGlobal(pos));
    });
    connect(N_CloseWindow, &QAction::triggered, this, &TF_Main::N_CloseWindowClick);
    connect(N_CloseAllWindow, &QAction::triggered, this, &TF_Main::N_CloseAllWindowClick);
    connect(SB_HideMDITab, &QToolButton::clicked, this, &TF_Main::SB_HideMDITabClick);
    connect(MNU_HideMDITab, &QAction::triggered, this, &TF_Main::MNU_HideMDITabClick);
    connect(MNU_HideToolbar, &QAction::triggered, this, &TF_Main::MNU_HideToolbarClick);
    connect(N9, &QAction::triggered, this, &TF_Main::ToggleFavoritesPanel);
    connect(N8, &QAction::triggered, this, &TF_Main::RSB_NewWindowClick);
    connect(MNU_NewWindow, &QAction::triggered, this, &TF_Main::RSB_NewWindowClick);
    connect(About1, &QAction::triggered, this, &TF_Main::About1Click);
    connect(Test1, &QAction::triggered, this, &TF_Main::About1Click);
    connect(N6, &QAction::triggered, this, &TF_Main::N6Click);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TF_Main::OnApplicationFocusWindow);

    auto click = [this](TRxSpeedButton* b, void (TF_Main::*handler)()) {
        b->OnClick = [this, handler] { (this->*handler)(); };
    };
    auto trigger = [this](QAction* a, void (TF_Main::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    click(RSB_NewWindow, &TF_Main::RSB_NewWindowClick);
    click(RSB_Favorite, &TF_Main::RSB_FavoriteClick);
    click(RSB_TileWindow, &TF_Main::RSB_TileWindowClick);
    trigger(Tile1, &TF_Main::RSB_TileWindowClick);
    trigger(N2, &TF_Main::N2Click);
    trigger(N3, &TF_Main::N3Click);
    click(RSB_CascadeWindow, &TF_Main::RSB_CascadeWindowClick);
    trigger(WindowArrangeItem, &TF_Main::RSB_CascadeWindowClick);
    click(RSB_Back, &TF_Main::RSB_BackClick);
    trigger(MNU_PrevPage, &TF_Main::RSB_BackClick);
    click(RSB_Forward, &TF_Main::RSB_ForwardClick);
    trigger(MNU_NextPage, &TF_Main::RSB_ForwardClick);
    click(RSB_Stop, &TF_Main::RSB_StopClick);
    trigger(MNU_Stop, &TF_Main::RSB_StopClick);
    click(RSB_Refresh, &TF_Main::RSB_RefreshClick);
    trigger(MNU_Refresh, &TF_Main::RSB_RefreshClick);
    click(RSB_Home, &TF_Main::RSB_HomeClick);
    click(RSB_Search, &TF_Main::RSB_SearchClick);
    trigger(N4, &TF_Main::N4Click);
    trigger(N_OpenFile, &TF_Main::N_OpenFileClick);
    N_SaveHTML->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    trigger(N_SaveHTML, &TF_Main::N_SaveHTMLClick);
    trigger(N_PSetup, &TF_Main::N_PSetupClick);
    trigger(N_PrintPreview, &TF_Main::N_PrintPreviewClick);
    N_Print->setShortcut(QKeySequence(QStringLiteral("Ctrl+P")));
    trigger(N_Print, &TF_Main::N_PrintClick);
    trigger(HTML1, &TF_Main::HTML1Click);
    trigger(N15, &TF_Main::N15Click);
    MNU_WebOffLine->setCheckable(true);
    trigger(MNU_WebOffLine, &TF_Main::MNU_WebOffLineClick);
    trigger(MNU_Both, &TF_Main::MNU_BothClick);
    trigger(MNU_PicOnly, &TF_Main::MNU_PicOnlyClick);
    trigger(MNU_TextOnly, &TF_Main::MNU_TextOnlyClick);
    const std::pair<TMenuItem*, int> sizes[] = {{MNU_TextBiggest, 4},
                                                {MNU_TextBig, 3},
                                                {MNU_TextMedium, 2},
                                                {MNU_TextSmall, 1},
                                                {MNU_TextSmallest, 0}};
    for (const auto& [item, tag] : sizes)
        connect(item, &QAction::triggered, this, [this, tag = tag] { MNU_TextBiggestClick(tag); });
    connect(N_SetThatEncode, &QAction::triggered, this, [this] { N_SetThatEncodeClick(0); });
    connect(N_SetEngEncode, &QAction::triggered, this, [this] { N_SetThatEncodeClick(1); });
    trigger(Link1, &TF_Main::Link1Click);
    trigger(N23, &TF_Main::N23Click);
    trigger(Brevant1, &TF_Main::Brevant1Click);
    trigger(N11, &TF_Main::N11Click);
    connect(PM_menu, &QMenu::aboutToShow, this, &TF_Main::PM_menuPopup);
    connect(M_N_Window->SubMenu(), &QMenu::aboutToShow, this, &TF_Main::FillWindowMenu);
}

void TF_Main::FillWindowMenu()
{
    // The window menu lists the child windows after its own commands,
    // numbered, the active one checked.
    QMenu* menu = M_N_Window->SubMenu();
    for (QAction* item : std::as_const(windowMenuItems_))
        delete item;
    windowMenuItems_.clear();
    const QList<QPointer<TForm>> windows = WindowList;
    if (windows.isEmpty())
        return;
    windowMenuItems_ << menu->addSeparator();
    for (qsizetype i = 0; i < windows.size(); ++i) {
        TForm* form = windows.at(i);
        if (!form)
            continue;
        const QString number =
            i < 9 ? QStringLiteral("&%1 ").arg(i + 1) : QStringLiteral("%1 ").arg(i + 1);
        QAction* item = menu->addAction(number + DoubleAmpersands(form->Caption()));
        item->setCheckable(true);
        item->setChecked(form == ActiveChild());
        QPointer<TForm> target(form);
        connect(item, &QAction::triggered, this, [this, target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            ActivateChildTab(target);
        });
        windowMenuItems_ << item;
    }
}

// --- windows ---

void TF_Main::RSB_TileWindowClick()
{
    // A chosen direction sets TileMode; dismissing keeps the last one.
    PopupMenu1->exec(QCursor::pos());
    TileChildren();
}

void TF_Main::N2Click()
{
    TileMode = tbHorizontal;
}

void TF_Main::N3Click()
{
    TileMode = tbVertical;
}

void TF_Main::TileChildren()
{
    ChildMaximized = false;
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : MDIClient->subWindowList(QMdiArea::CreationOrder))
        if (!sub->isHidden() && !sub->isMinimized())
            windows.append(sub);
    if (windows.isEmpty())
        return;
    const QRect area = MDIClient->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QRect r;
        if (TileMode == tbHorizontal) {
            // One above the other, each the full width.
            const int top = area.height() * i / n;
            const int bottom = area.height() * (i + 1) / n;
            r = QRect(area.left(), area.top() + top, area.width(), bottom - top);
        } else {
            const int left = area.width() * i / n;
            const int right = area.width() * (i + 1) / n;
            r = QRect(area.left() + left, area.top(), right - left, area.height());
        }
        windows.at(i)->showNormal();
        windows.at(i)->setGeometry(r);
    }
}

void TF_Main::RSB_CascadeWindowClick()
{
    ChildMaximized = false;
    for (QMdiSubWindow* sub : MDIClient->subWindowList())
        if (sub->isMaximized())
            sub->showNormal();
    MDIClient->cascadeSubWindows();
}

// --- navigation ---

void TF_Main::RSB_BackClick()
{
    if (TWebBrowser* wb = activeControl(*this))
        quietly([wb] { wb->GoBack(); });
}

void TF_Main::RSB_ForwardClick()
{
    if (TWebBrowser* wb = activeControl(*this))
        quietly([wb] { wb->GoForward(); });
}

void TF_Main::RSB_StopClick()
{
    // The window's own stop: its download count and status panel too.
    if (!activeControl(*this))
        return;
    if (IBrowserWindow* window = activeWindow(*this))
        quietly([window] { window->StopCommand(); });
}

void TF_Main::RSB_RefreshClick()
{
    if (TWebBrowser* wb = activeControl(*this))
        quietly([wb] { wb->Refresh(); });
}

void TF_Main::RSB_HomeClick()
{
    IBrowserWindow* window = ActiveWebBrowser() ? activeWindow(*this) : nullptr;
    if (!window)
        window = NewBrowserWindow();
    if (!window)
        return;
    switch (Settings.StartMode) {
    case 1:
        window->GoHome();
        break;
    case 2:
        window->Navigate(MakerHomePage());
        break;
    case 3:
        window->Navigate(Settings.StartURL);
        break;
    default:
        break;
    }
}

void TF_Main::RSB_SearchClick()
{
    IBrowserWindow* window = ActiveWebBrowser() ? activeWindow(*this) : nullptr;
    if (!window)
        window = NewBrowserWindow();
    if (window)
        window->Navigate(kSearchPage);
}

void TF_Main::RSB_FavoriteClick()
{
    ToggleFavoritesPanel();
}

void TF_Main::Brevant1Click()
{
    if (IBrowserWindow* window = NewBrowserWindow())
        window->Navigate(MakerHomePage());
}

void TF_Main::N11Click()
{
    // There is no help viewer on this platform: the help is the page shipped
    // with the program for a first start.
    if (IBrowserWindow* window = NewBrowserWindow())
        window->Navigate(MakerStartPage());
}

// --- toolbar modes ---

void TF_Main::SetToolbarHeights(int height, int barHeight)
{
    for (TRxSpeedButton* b : ToolbarButtons)
        b->SetBounds(b->x(), b->y(), b->width(), height);
    for (TBevel* bevel : {BV1, BV2, BV3})
        bevel->setGeometry(bevel->x(), bevel->y(), bevel->width(), height);
    SpB_ToolBar->SetHeight(barHeight);
}

void TF_Main::SetButtonsBoth()
{
    for (int i = 0; i < ToolbarButtons.size(); ++i) {
        ToolbarButtons.at(i)->SetCaption(ToolbarCaptions.value(i));
        ToolbarButtons.at(i)->SetGlyph(ToolbarGlyphs.value(i));
    }
    SetToolbarHeights(46, 50);
}

void TF_Main::SetButtonsPicOnly()
{
    for (int i = 0; i < ToolbarButtons.size(); ++i) {
        ToolbarButtons.at(i)->SetCaption(QString());
        ToolbarButtons.at(i)->SetGlyph(ToolbarGlyphs.value(i));
    }
    SetToolbarHeights(26, 30);
}

void TF_Main::SetButtonsTextOnly()
{
    for (int i = 0; i < ToolbarButtons.size(); ++i) {
        ToolbarButtons.at(i)->SetGlyph(QImage());
        ToolbarButtons.at(i)->SetCaption(ToolbarCaptions.value(i));
    }
    SetToolbarHeights(26, 30);
}

// --- dialogs ---

void TF_Main::N4Click()
{
    if (!F_Setup)
        F_Setup = new TF_Setup(*this, this);
    F_Setup->CenterOnScreen();
    F_Setup->ShowModal();
}

void TF_Main::N_OpenFileClick()
{
    TAgOpenDialog dialog;
    dialog.SetFilter(QStringLiteral("เอกสารเว็บ (*.htm,*.html)|*.htm;*.html|All (*.*)|*.*"));
    if (dialog.Execute(this))
        OpenLocalFile(dialog.FileName());
}

void TF_Main::OpenLocalFile(const QString& path)
{
    if (path.isEmpty())
        return;
    // fromLocalFile escapes "#", "%", "?" and blanks in the name.
    if (IBrowserWindow* window = NewBrowserWindow())
        window->Navigate(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

void TF_Main::N_SaveHTMLClick()
{
    if (TWebBrowser* wb = activeControl(*this))
        wb->SaveAs();
}

void TF_Main::N_PSetupClick()
{
    if (TWebBrowser* wb = activeControl(*this))
        wb->PageSetup(true);
}

void TF_Main::N_PrintPreviewClick()
{
    if (TWebBrowser* wb = activeControl(*this))
        wb->PrintPreview();
}

void TF_Main::N_PrintClick()
{
    if (TWebBrowser* wb = activeControl(*this))
        wb->Print();
}

void TF_Main::HTML1Click()
{
    if (TWebBrowser* wb = activeControl(*this))
        wb->ViewSource();
}

void TF_Main::N15Click()
{
    if (TWebBrowser* wb = activeControl(*this))
        wb->ShowFindDialog();
}

void TF_Main::Link1Click()
{
    // The links of the page shown in the active browser window, once a
    // document has completed there.
    TWebBrowser* wb = activeControl(*this);
    IBrowserWindow* window = nullptr;
    for (QObject* o = wb; o && !window; o = o->parent())
        window = dynamic_cast<IBrowserWindow*>(o);
    if (wb && window && window->HasCompletedDocument())
        ShowLinksDialog(*this, wb);
}

void TF_Main::N23Click()
{
    TWebBrowser* wb = activeControl(*this);
    if (!wb)
        return;
    if (!F_AdvanceWeb)
        F_AdvanceWeb = new TF_AdvanceWeb;
    F_AdvanceWeb->Execute(wb);
}

// --- options ---

void TF_Main::MNU_WebOffLineClick()
{
    // The item's check mark was already flipped by the click: it now
    // shows the state asked for.
    TWebBrowser::SetOffline(MNU_WebOffLine->isChecked());
}

void TF_Main::MNU_BothClick()
{
    SetButtonsBoth();
    MNU_Both->setChecked(true);
    Settings.ToolBarButton = QStringLiteral("both");
    RelayoutActiveBrowser();
}

void TF_Main::MNU_PicOnlyClick()
{
    SetButtonsPicOnly();
    MNU_PicOnly->setChecked(true);
    Settings.ToolBarButton = QStringLiteral("pic");
    RelayoutActiveBrowser();
}

void TF_Main::MNU_TextOnlyClick()
{
    SetButtonsTextOnly();
    MNU_TextOnly->setChecked(true);
    Settings.ToolBarButton = QStringLiteral("text");
    RelayoutActiveBrowser();
}

void TF_Main::MNU_TextBiggestClick(int tag)
{
    if (TWebBrowser* wb = activeControl(*this))
        wb->SetZoom(tag);
    TMenuItem* const items[] = {MNU_TextSmallest, MNU_TextSmall, MNU_TextMedium, MNU_TextBig,
                                MNU_TextBiggest};
    if (tag >= 0 && tag <= 4)
        items[tag]->setChecked(true);
    Settings.FontSize = tag;
}

void TF_Main::N_SetThatEncodeClick(int tag)
{
    TWebBrowser* wb = activeControl(*this);
    if (!wb || (tag != 0 && tag != 1))
        return;
    quietly([&] {
        // A shown page cannot be decoded again in place: the default text
        // encoding changes and the page is loaded again.
        const int codePage = tag == 0 ? 874 : 1252;
        const QString charset =
            tag == 0 ? QStringLiteral("windows-874") : QStringLiteral("iso-8859-1");
        if (auto* embedded = qobject_cast<TEmbeddedWB*>(wb))
            embedded->Page()->settings()->setDefaultTextEncoding(charset);
        TRegistry reg;
        SetIECodepage(reg, codePage);
        wb->Refresh();
    });
}

void TF_Main::SpB_ToolBarApplyAlign(TSpeedBar*, TAlign align, bool& apply)
{
    apply = align == TAlign::alTop || align == TAlign::alBottom;
}

// --- the Favorites menu ---

TActiveBrowserFavorites::TActiveBrowserFavorites(TF_Main& main) : main_(&main) {}

QString TActiveBrowserFavorites::LocationName() const
{
    TWebBrowser* wb = main_ ? activeControl(*main_) : nullptr;
    return wb ? wb->LocationName() : QString();
}

QString TActiveBrowserFavorites::LocationURL() const
{
    TWebBrowser* wb = main_ ? activeControl(*main_) : nullptr;
    return wb ? wb->LocationURL() : QString();
}

void TActiveBrowserFavorites::Navigate(const QString& url)
{
    if (!main_)
        return;
    IBrowserWindow* window = main_->ActiveWebBrowser() ? activeWindow(*main_) : nullptr;
    if (!window)
        window = main_->NewBrowserWindow();
    if (window)
        window->Navigate(url);
}

TMainFavorites::TMainFavorites(TF_Main& main, const QString& name)
    : TFavorites(&main, name), browser_(main), rootItem_(new TMenuItem(QString(), this))
{
    SetCaption(QStringLiteral("คลังเว็บของ IE"));
    AddToFavoritesCaption = QStringLiteral("เพิ่มลงในคลังเว็บ ...");
    OrganizeFavoritesCaption = QStringLiteral("จัดการคลังเว็บ ...");
    ImportFavoritesCaption = QStringLiteral("นำเข้าคลังเว็บ ...");
    ExportFavoritesCaption = QStringLiteral("ส่งออกคลังเว็บ ...");
    Options = int(TFavOption::AddFavorites) | int(TFavOption::OrganizeFavorites) |
              int(TFavOption::ImportFavorites) | int(TFavOption::ExportFavorites);
    Menupos = 4;
    MainMenu = main.MainMenu1;
    Webbrowser = &browser_;
    OnNavigate = [&main](const QString& url, bool& allow) {
        main.Fav_FavoriteNavigate(url, allow);
    };
    TMenuItem* add = rootItem_->AddItem(QString());
    connect(add, &QAction::changed, this, [this, add] {
        if (QAction* command = AddFavoriteAction())
            command->setEnabled(add->isEnabled());
    });
}

TMainFavorites::~TMainFavorites()
{
    Webbrowser = nullptr;
    delete rootItem_->menu();
}

QAction* TMainFavorites::AddFavoriteAction() const
{
    if (!Root() || !(Options & int(TFavOption::AddFavorites)))
        return nullptr;
    const QList<QAction*> entries = Root()->actions();
    return entries.isEmpty() ? nullptr : entries.first();
}

void TMainFavorites::SetAddEnabled(bool enabled)
{
    rootItem_->Items().constFirst()->setEnabled(enabled);
    if (QAction* command = AddFavoriteAction())
        command->setEnabled(enabled);
}

void TF_Main::Fav_FavoriteNavigate(const QString& url, bool& allow)
{
    Q_UNUSED(url);
    Q_UNUSED(allow);
    // With no browser window to open the favorite in, one is made first;
    // the menu then navigates it as the active window.
    if (!ActiveWebBrowser() || !activeWindow(*this))
        NewBrowserWindow();
}
