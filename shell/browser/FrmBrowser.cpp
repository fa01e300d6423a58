#include "shell/browser/FrmBrowser.h"

#include "shell/data/AlLanguager.h"
#include "shell/data/BrowserLists.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/dialogs/FrmAdvanceWeb.h"
#include "shell/main/FrmMain.h"
#include "shell/data/MainWindowRules.h"
#include "shell/navigation/NavigationPipeline.h"
#include "shell/main/StandIns.h"
#include "shell/data/UrlZone.h"
#include "shell/browser/WebBrowser.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMutexLocker>
#include <QProgressBar>
#include <QStyle>
#include <QTimer>

QString CurrentURL;
QString CurrentTitle;

namespace {

TNavigationPipeline& pipeline()
{
    static TNavigationPipeline installed;
    return installed;
}

const QString untitledCaption = QStringLiteral("Brevant++ (Untitled Document)");

// The add-to-favorites entry of the favorites menu: its first item.
QAction* addFavoriteItem(TF_Main* main)
{
    if (!main || !main->Fav_Favorite || !main->Fav_Favorite->RootItem())
        return nullptr;
    const QList<TMenuItem*> items = main->Fav_Favorite->RootItem()->Items();
    return items.isEmpty() ? nullptr : items.first();
}

} // namespace

TBrowserControlFactory& controlFactory()
{
    static TBrowserControlFactory installed;
    return installed;
}

void SetBrowserControlFactory(TBrowserControlFactory factory)
{
    controlFactory() = std::move(factory);
}

void SetNavigationPipeline(TNavigationPipeline p)
{
    pipeline() = std::move(p);
}

void DefaultNavigationStep(TF_Browser& window, const QString& url)
{
    window.SetBusy(true);
    window.ShowZone(url);
}

QString F_BrowserLocalization()
{
    return BuildLocalizationString({
        {"*_*f_browser_caption", QStringLiteral("Brevant++ (Untitled Document)")},
        {"*_*sb_go_caption", QStringLiteral("ไป")},
    });
}

TF_Browser::TF_Browser(TF_Main& main, TWebBrowser* control)
    : TForm(nullptr, Qt::Widget), main_(&main)
{
    setObjectName(QStringLiteral("F_Browser"));
    SetCaption(untitledCaption);
    resize(364, 270);
    QStyle* style = QApplication::style();

    CB_URL = new TComboBox(QStringLiteral("CB_URL"), this);
    CB_URL->setEditable(true);
    CB_URL->setInsertPolicy(QComboBox::NoInsert);
    P_WB = new TPanel(QStringLiteral("P_WB"), this);
    P_WB->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    P_WB->setAutoFillBackground(true);
    P_WB->setPalette(QPalette(Qt::white));
    P_Stat = new TPanel(QStringLiteral("P_Stat"), this);
    P_Stat->hide();
    SB_Stop = new TToolButton(QStringLiteral("SB_Stop"), P_Stat);
    SB_Stop->setIcon(style->standardIcon(QStyle::SP_BrowserStop));
    SB_Stop->setAutoRaise(true);
    L_Stat = new TLabel(QStringLiteral("L_Stat"), P_Stat);
    L_Stat->setTextFormat(Qt::PlainText);
    G_Progress = new QProgressBar(P_Stat);
    G_Progress->setObjectName(QStringLiteral("G_Progress"));
    G_Progress->setRange(0, 100);
    G_Progress->setValue(0);
    G_Progress->setFixedWidth(100);
    auto* stat = new QHBoxLayout(P_Stat);
    stat->setContentsMargins(0, 0, 0, 0);
    stat->addWidget(SB_Stop);
    stat->addWidget(L_Stat, 1);
    stat->addWidget(G_Progress);

    LB_URL = new QListWidget(P_WB);
    LB_URL->setObjectName(QStringLiteral("LB_URL"));
    LB_URL->hide();
    LB_URL->setStyleSheet(QStringLiteral("QListWidget { background: #e2e2e2; }"));
    if (!control && controlFactory())
        control = controlFactory()();
    if (!control)
        control = new TEmbeddedWB;
    WB_Document = control;
    WB_Document->setParent(P_WB);
    WB_Document->setObjectName(QStringLiteral("WB_Document"));
    WB_Document->SetDownloadOptions({DLCTL_DLIMAGES, DLCTL_VIDEOS, DLCTL_BGSOUNDS});
    WB_Document->SetUserInterfaceOptions({NO3DBORDER, FLAT_SCROLLBAR});
    WB_Document->SetUserAgent(QStringLiteral("Brevant++ 1.00 SE"));
    WB_Document->ReplaceCaption = true;
    WB_Document->EnableDDE = false;
    WB_Document->fpExceptions = true;
    TPrintOptions* print = WB_Document->PrintOptions();
    print->Margins()->Left = print->Margins()->Right = 19.05;
    print->Margins()->Top = print->Margins()->Bottom = 19.05;
    print->Header = QStringLiteral("&w&bPage &p of &P");
    print->Footer = QStringLiteral("&u&b&d");
    print->SetHTMLHeader({QStringLiteral("<HTML></HTML>")});
    print->Orientation = TPrintOptions::poPortrait;
    LB_URL->raise();

    SB_Go = new TToolButton(QStringLiteral("SB_Go"), this);
    SB_Go->SetCaption(QStringLiteral("ไป"));
    SB_Go->setAutoRaise(true);
    SB_ShowMenu = new TToolButton(QStringLiteral("SB_ShowMenu"), this);
    SB_ShowMenu->setArrowType(Qt::UpArrow);
    SB_ShowMenu->setAutoRaise(true);
    IM_NetInfo = new TImage(QStringLiteral("IM_NetInfo"), this);
    IM_NetInfo->setFixedSize(16, 16);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    SB_Back = new TToolButton(QStringLiteral("SB_Back"), this);
    SB_Back->setIcon(style->standardIcon(QStyle::SP_ArrowBack));
    SB_Back->setAutoRaise(true);
    SB_Next = new TToolButton(QStringLiteral("SB_Next"), this);
    SB_Next->setIcon(style->standardIcon(QStyle::SP_ArrowForward));
    SB_Next->setAutoRaise(true);
    SB_SelBack = new TToolButton(QStringLiteral("SB_SelBack"), this);
    SB_SelBack->setArrowType(Qt::DownArrow);
    SB_SelBack->setAutoRaise(true);
    SB_SelBack->setEnabled(false);
    PM_SelURL = new TPopupMenu(QStringLiteral("PM_SelURL"), this);

    connect(SB_Stop, &QToolButton::clicked, this, &TF_Browser::SB_StopClick);
    connect(SB_Go, &QToolButton::clicked, this, &TF_Browser::SB_GoClick);
    connect(SB_ShowMenu, &QToolButton::clicked, this, &TF_Browser::SB_ShowMenuClick);
    connect(SB_Back, &QToolButton::clicked, this, &TF_Browser::SB_BackClick);
    connect(SB_Next, &QToolButton::clicked, this, &TF_Browser::SB_NextClick);
    connect(SB_SelBack, &QToolButton::clicked, this, &TF_Browser::SB_SelBackClick);
    connect(Timer1, &QTimer::timeout, this, &TF_Browser::Timer1Timer);
    connect(CB_URL->lineEdit(), &QLineEdit::textEdited, this, &TF_Browser::CB_URLChange);
    connect(LB_URL, &QListWidget::itemClicked, this, &TF_Browser::LB_URLClick);
    CB_URL->installEventFilter(this);
    CB_URL->lineEdit()->installEventFilter(this);
    LB_URL->installEventFilter(this);

    connect(WB_Document, &TWebBrowser::BeforeNavigate2, this,
            &TF_Browser::WB_DocumentBeforeNavigate2);
    connect(WB_Document, &TWebBrowser::NavigateComplete2, this,
            &TF_Browser::WB_DocumentNavigateComplete2);
    connect(WB_Document, &TWebBrowser::DocumentComplete, this,
            &TF_Browser::WB_DocumentDocumentComplete);
    connect(WB_Document, &TWebBrowser::TitleChange, this, &TF_Browser::WB_DocumentTitleChange);
    connect(WB_Document, &TWebBrowser::StatusTextChange, this,
            &TF_Browser::WB_DocumentStatusTextChange);
    connect(WB_Document, &TWebBrowser::ProgressChange, this,
            &TF_Browser::WB_DocumentProgressChange);
    connect(WB_Document, &TWebBrowser::CommandStateChange, this,
            &TF_Browser::WB_DocumentCommandStateChange);
    connect(WB_Document, &TWebBrowser::DownloadBegin, this, &TF_Browser::WB_DocumentDownloadBegin);
    connect(WB_Document, &TWebBrowser::DownloadComplete, this,
            &TF_Browser::WB_DocumentDownloadComplete);
    connect(WB_Document, &TWebBrowser::NewWindow2, this, &TF_Browser::WB_DocumentNewWindow2);
    connect(WB_Document, &TWebBrowser::CloseQuery, this, &TF_Browser::WB_DocumentCloseQuery);
    connect(WB_Document, &TWebBrowser::TranslateAccelerator, this,
            &TF_Browser::WB_DocumentTranslateAccelerator);

    FormCreate();
}

TF_Browser::~TF_Browser() = default;

void TF_Browser::FormCreate()
{
    TF_Main& main = *main_;
    BackURLs.clear();
    BackTitles.clear();
    IsActive = true;
    SelfRef = this;
    if (main.Settings.NewWindowMaximize)
        ChildMaximized = true;

    AL_Language->SetLanguagesStore(main.AS_Language);
    AL_Language->SetLocalizationString(F_BrowserLocalization());

    DownloadCount = 0;
    CloseAfterLoad = DocumentLoaded = DocumentDone = false;

    // The tab and the window list, so that the window's index is its tab's.
    main.RegisterChildTab(this);
    const int index = main.IndexOfChild(this);
    if (index >= 0) {
        main.TC_Pages->setTabText(index, QStringLiteral("(ยังไม่ได้เปิด)"));
        if (main.IM_List.size() > 8)
            main.TC_Pages->setTabIcon(index, main.IM_List.at(8));
    }
    // The window is the active one from now on: the home and search
    // commands navigate the window they have just made.
    main.ActiveChild = this;
    main.ActiveWebBrowser = WB_Document;
    UpdateDocumentMenus();

    CanGoForward = CanGoBack = false;
    UpdateNavButtons();

    sub_ = main.MDIClient->addSubWindow(this);
    sub_->setAttribute(Qt::WA_DeleteOnClose);
    sub_->setWindowTitle(Caption());
    connect(this, &QWidget::windowTitleChanged, sub_, &QWidget::setWindowTitle);
    connect(main.MDIClient, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        if (window)
            HandleMdiActivate(window == sub_);
    });
    connect(sub_, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates before, Qt::WindowStates now) {
                if ((now & Qt::WindowMaximized) && !(before & Qt::WindowMaximized))
                    HandleSysCommand(true);
                else if (!(now & (Qt::WindowMaximized | Qt::WindowMinimized)) &&
                         (before & Qt::WindowMaximized))
                    HandleSysCommand(false);
            });
    if (ChildMaximized)
        sub_->showMaximized();
    else
        sub_->show();
    main.MDIClient->setActiveSubWindow(sub_);
}

QWidget* TF_Browser::Browser()
{
    return WB_Document;
}

void TF_Browser::Navigate(const QString& url)
{
    // The address box shows what the shell asked for while it loads.
    CB_URL->SetText(url);
    WB_Document->Navigate(url);
}

void TF_Browser::GoHome()
{
    // The engine has no home page of its own.
    WB_Document->Navigate(QStringLiteral("about:blank"));
}

QString TF_Browser::AddressText() const
{
    return CB_URL->Text();
}

// --- layout ---

void TF_Browser::Relayout()
{
    const QSize panel(width(), height() - 24);
    if (P_WB->size() != panel)
        P_WB->resize(panel);
    const QSize control(P_WB->width() - 2, P_WB->height() - 2);
    if (WB_Document->size() != control)
        WB_Document->resize(control);
    const int listHeight = qMin(120, P_WB->height());
    LB_URL->setGeometry(0, P_WB->height() - listHeight, P_WB->width(), listHeight);
}

void TF_Browser::LayoutStatusBar()
{
    const int w = width();
    const int h = height();
    CB_URL->setGeometry(85, h - 22, qMax(0, w - 134), 20);
    P_Stat->setGeometry(17, h - 23, qMax(0, w - 18), 22);
    SB_SelBack->setGeometry(35, h - 22, 11, 20);
    SB_Back->setGeometry(46, h - 22, 18, 20);
    SB_Next->setGeometry(64, h - 22, 18, 20);
    IM_NetInfo->move(17, h - 20);
    SB_ShowMenu->setGeometry(0, h - 23, 15, 20);
    SB_Go->setGeometry(w - 49, h - 23, 49, 20);
}

void TF_Browser::FormShow()
{
    P_WB->setGeometry(0, 0, width(), height() - 24);
    WB_Document->move(1, 1);
    Relayout();
    LayoutStatusBar();
    if (IM_NetInfo->pixmap().isNull())
        IM_NetInfo->setPixmap(ZoneIcon(TUrlZone::Internet).pixmap(16, 16));
    if (CB_URL->isVisible()) {
        CB_URL->setFocus();
        CB_URL->lineEdit()->deselect();
    }
}

void TF_Browser::FormResize()
{
    LayoutStatusBar();
    if (!ChildMaximized)
        Relayout();
}

void TF_Browser::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    FormShow();
}

void TF_Browser::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    FormResize();
}

void TF_Browser::Timer1Timer()
{
    Relayout();
    Timer1->stop();
}

// --- state published to the main window ---

void TF_Browser::UpdateDocumentMenus()
{
    TF_Main* main = main_;
    if (!main)
        return;
    for (TMenuItem* item : {main->N_Print, main->N_PSetup, main->N_SaveHTML, main->MNU_WebOffLine})
        item->setEnabled(DocumentLoaded);
    if (main->IEVersion >= 5.5)
        main->N_PrintPreview->setEnabled(DocumentLoaded);
    main->MNU_WebOffLine->setCheckable(true);
    main->MNU_WebOffLine->setChecked(TWebBrowser::GetOffline());
}

void TF_Browser::UpdateNavButtons()
{
    if (TF_Main* main = main_) {
        main->RSB_Forward->setEnabled(CanGoForward);
        main->MNU_NextPage->setEnabled(CanGoForward);
        main->RSB_Back->setEnabled(CanGoBack);
        main->MNU_PrevPage->setEnabled(CanGoBack);
        main->UpdateGoFavorite();
    }
    SB_Next->setEnabled(CanGoForward);
    SB_Back->setEnabled(CanGoBack);
    SB_SelBack->setEnabled(!BackURLs.isEmpty());
}

void TF_Browser::HandleMdiActivate(bool thisWindow)
{
    if (!thisWindow) {
        if (IsActive)
            FormDeactivate();
        IsActive = false;
        return;
    }
    if (!SelfRef || !main_)
        return;
    TF_Main& main = *main_;
    IsActive = true;
    main.S_Status->SetSimpleText(QString());
    if (QAction* add = addFavoriteItem(&main))
        add->setEnabled(true);
    CurrentURL = PageURL;
    CurrentTitle = PageTitle;
    UpdateDocumentMenus();
    main.ActiveWebBrowser = WB_Document;
    main.ActiveChild = this;
    UpdateNavButtons();
    Timer1->start();
    main.ActivateChildTab(this);
    WB_Document->FocusDocument();
}

void TF_Browser::FormDeactivate()
{
    if (QAction* add = addFavoriteItem(main_))
        add->setEnabled(false);
}

void TF_Browser::HandleSysCommand(bool maximized)
{
    ChildMaximized = maximized;
    Relayout();
}

// --- address box and suggestions ---

void TF_Browser::focusAddressBox()
{
    CB_URL->setFocus();
    CB_URL->lineEdit()->deselect();
}

void TF_Browser::navigateAddressBox()
{
    const QString text = CB_URL->Text();
    CB_URL->Items()->Add(text);
    CB_URL->SetText(text);
    WB_Document->Navigate(text);
}

void TF_Browser::SB_GoClick()
{
    LB_URL->hide();
    navigateAddressBox();
}

bool TF_Browser::CB_URLKeyPress(QChar key)
{
    if (LB_URL->isVisible()) {
        LB_URL->setFocus();
        LB_URLKeyPress(key);
        return true;
    }
    if (key.unicode() == 13) {
        LB_URL->hide();
        navigateAddressBox();
    }
    return false;
}

void TF_Browser::CB_URLChange()
{
    if (main_ && main_->Settings.UseCC)
        FillURLSuggestions();
}

void TF_Browser::FillURLSuggestions()
{
    LB_URL->clear();
    if (!main_)
        return;
    const QStringList matches = URLSuggestions(main_->Data.URLHistory, CB_URL->Text());
    LB_URL->addItems(matches);
    if (ShowsSuggestions(matches.size())) {
        LB_URL->show();
        LB_URL->raise();
        LB_URL->setFocus();
    }
}

bool TF_Browser::LB_URLKeyPress(QChar key)
{
    const QStringList history = main_ ? main_->Data.URLHistory : QStringList();
    const TSuggestionKey r = SuggestionKeyPress(history, CB_URL->Text(), key);
    LB_URL->clear();
    LB_URL->addItems(r.items);
    if (r.navigate) {
        LB_URL->hide();
        navigateAddressBox();
    }
    if (key.unicode() != 27)
        CB_URL->SetText(r.addressText);
    LB_URL->setVisible(r.listVisible);
    if (r.listVisible)
        LB_URL->setFocus();
    if (r.focusAddress)
        focusAddressBox();
    return r.consumed;
}

void TF_Browser::LB_URLClick()
{
    QListWidgetItem* item = LB_URL->currentItem();
    if (!item)
        return;
    if (CB_URL->Text() != item->text())
        CB_URL->SetText(item->text());
    else
        LB_URL->hide();
}

bool TF_Browser::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.size() != 1)
        return false;
    if (watched == LB_URL)
        return LB_URLKeyPress(text[0]);
    if (watched == CB_URL || watched == CB_URL->lineEdit())
        return CB_URLKeyPress(text[0]);
    return false;
}

// --- buttons ---

void TF_Browser::SB_StopClick()
{
    DownloadCount = 0;
    WB_Document->Stop();
    P_Stat->hide();
    CB_URL->show();
}

void TF_Browser::SB_BackClick()
{
    if (main_)
        main_->RSB_BackClick();
}

void TF_Browser::SB_NextClick()
{
    if (main_)
        main_->RSB_ForwardClick();
}

void TF_Browser::SB_SelBackClick()
{
    PM_SelURL->clear();
    for (int i = 0; i < BackURLs.size() && i < BackTitles.size(); ++i) {
        TMenuItem* item = PM_SelURL->AddItem(QString());
        item->SetCaption(BackTitles[i]);
        item->SetHint(BackURLs[i]);
        item->setToolTip(BackURLs[i]);
        const int tag = i + 1;
        connect(item, &QAction::triggered, this, [this, tag] { BackListClick(tag); });
    }
    const QPoint corner = SB_SelBack->mapToGlobal(QPoint(0, 0));
    PM_SelURL->popup(corner - QPoint(0, 17 * int(BackURLs.size()) + 8));
}

void TF_Browser::BackListClick(int tag)
{
    if (tag >= 1 && tag <= BackURLs.size())
        WB_Document->Navigate(BackURLs[tag - 1]);
}

void TF_Browser::SB_ShowMenuClick()
{
    if (main_)
        main_->PM_menu->popup(SB_ShowMenu->mapToGlobal(QPoint(0, 0)) - QPoint(0, 185));
}

void TF_Browser::WB_DocumentTranslateAccelerator(int key, Qt::KeyboardModifiers modifiers,
                                                 bool* /*handled*/)
{
    // The page goes on with its own handling of the key in every case.
    if (!main_ || !(modifiers & Qt::ControlModifier))
        return;
    TF_Main* main = main_;
    if (key == Qt::Key_N)
        main->RSB_NewWindowClick();
    else if (key == Qt::Key_O)
        main->N_OpenFileClick();
    else if (key == Qt::Key_S)
        main->N_SaveHTMLClick(); // also with no page loaded
}

// --- back list ---

void TF_Browser::AddToBackList(const QString& url, const QString& title)
{
    ::AddToBackList(BackURLs, BackTitles, url, title);
}

// --- busy look and zone ---

void TF_Browser::SetBusy(bool busy)
{
    P_Stat->setVisible(busy);
    CB_URL->setVisible(!busy);
    if (main_)
        main_->SetChildBusy(this, busy);
}

void TF_Browser::ShowZone(const QString& url)
{
    const TUrlZone zone = MapUrlToZone(url);
    IM_NetInfo->setPixmap(ZoneIcon(zone).pixmap(16, 16));
    IM_NetInfo->SetHint(ZoneDisplayName(zone));
}

// --- the control's events ---

void TF_Browser::WB_DocumentBeforeNavigate2(const QString& url, bool topLevel, bool* cancel)
{
    if (!SelfRef)
        return;
    WB_Document->fpExceptions = false;
    Relayout();
    LB_URL->hide();
    if (pipeline()) {
        pipeline()(*this, url, topLevel, cancel);
        return;
    }
    DefaultNavigationStep(*this, url);
}

void TF_Browser::WB_DocumentNavigateComplete2(const QString& url, bool topLevel)
{
    if (!SelfRef)
        return;
    WB_Document->move(1, 1);
    if (topLevel) {
        CB_URL->SetText(url);
        Relayout();
        if (IsActive)
            WB_Document->FocusDocument();
    }
    DocumentLoaded = true;
    UpdateDocumentMenus();
    if (!topLevel || !main_)
        return;
    TF_Main& main = *main_;
    QMutexLocker lock(&main.HistoryLock);
    QString u = url;
    if (u.endsWith(QLatin1Char('/')))
        u.chop(1);
    if (main.ActiveWebBrowser == WB_Document)
        CurrentURL = u;
    PageURL = u;
    bool found = false;
    for (const QString& entry : std::as_const(main.Data.URLHistory))
        if (entry.compare(u, Qt::CaseInsensitive) == 0) {
            found = true;
            break;
        }
    if (!found) {
        CB_URL->Items()->Add(CB_URL->Text());
        CB_URL->SetText(url);
        main.Data.URLHistory.append(u);
    }
}

void TF_Browser::WB_DocumentDocumentComplete(const QString& url, bool topLevel)
{
    if (!SelfRef || !topLevel)
        return;
    if (CloseAfterLoad) {
        WB_Document->Stop();
        CloseWindow();
        return;
    }
    if (WB_Document->ReadyState() == READYSTATE_COMPLETE && main_) {
        TF_Main& main = *main_;
        const int zoom = WB_Document->GetZoom();
        if (zoom != main.Settings.FontSize)
            main.Settings.FontSize = zoom;
        const QList<TMenuItem*> sizes = {main.MNU_TextSmallest, main.MNU_TextSmall,
                                         main.MNU_TextMedium, main.MNU_TextBig,
                                         main.MNU_TextBiggest};
        if (zoom >= 0 && zoom < sizes.size())
            sizes.at(zoom)->setChecked(true);
    }
    if (IsActive)
        WB_Document->FocusDocument();
    DocumentDone = true;
    DocumentURL = url;
    AddToBackList(url, PageTitle);
    SB_SelBack->setEnabled(!BackURLs.isEmpty());
}

void TF_Browser::WB_DocumentTitleChange(const QString& text)
{
    if (!SelfRef)
        return;
    SetCaption(QStringLiteral("Brevant++ (") + text + QLatin1Char(')'));
    if (main_) {
        const int index = main_->IndexOfChild(this);
        if (index >= 0)
            main_->TC_Pages->setTabText(index, DoubleAmpersands(text));
        if (main_->ActiveWebBrowser == WB_Document)
            CurrentTitle = text;
    }
    PageTitle = text;
    // A page whose title begins with a listed banner name goes away.
    if (main_ && main_->Settings.UseBanner && IsBannerTitle(main_->Data.Banners, text))
        CloseWindow();
}

void TF_Browser::WB_DocumentStatusTextChange(const QString& text)
{
    if (!SelfRef)
        return;
    const QString s = text.toUpper();
    if (s.contains(QLatin1String("DOWNLOADING PICTURE")) || s.left(7) == QLatin1String("OPENING") ||
        s.contains(QLatin1String(") OPENING")))
        SetBusy(true);
    if (s == QLatin1String("DONE"))
        SetBusy(false);
    const QString shown = DoubleAmpersands(text);
    L_Stat->SetCaption(shown);
    if (main_ && main_->ActiveChild == this && !P_Stat->isVisible())
        main_->S_Status->SetSimpleText(shown);
}

void TF_Browser::WB_DocumentProgressChange(int progress, int progressMax)
{
    if (!SelfRef || progress == -1 || progressMax == 0)
        return;
    G_Progress->setValue(int(qint64(progress) * 100 / progressMax));
}

void TF_Browser::WB_DocumentCommandStateChange(int command, bool enable)
{
    if (!SelfRef)
        return;
    if (command == CSC_NAVIGATEFORWARD)
        CanGoForward = enable;
    else if (command == CSC_NAVIGATEBACK)
        CanGoBack = enable;
    else
        return;
    if (main_ && main_->ActiveChild == this)
        UpdateNavButtons();
}

void TF_Browser::WB_DocumentDownloadBegin()
{
    if (!SelfRef)
        return;
    ++DownloadCount;
    SetBusy(true);
}

void TF_Browser::WB_DocumentDownloadComplete()
{
    if (!SelfRef)
        return;
    DownloadCount = qMax(0, DownloadCount - 1);
    if (DownloadCount == 0)
        SetBusy(false);
}

void TF_Browser::WB_DocumentNewWindow2(TWebBrowser** newBrowser, bool* cancel)
{
    if (!SelfRef || !main_) {
        *cancel = true;
        return;
    }
    auto* window = new TF_Browser(*main_);
    window->WB_Document->SetDownloadOptions(WB_Document->DownloadOptions());
    *newBrowser = window->WB_Document;
}

void TF_Browser::WB_DocumentCloseQuery(bool* /*canClose*/)
{
    if (SelfRef)
        CloseWindow();
}

// --- closing ---

void TF_Browser::CloseWindow()
{
    // Closing the child window closes the form; both are freed later, never
    // inside the control's event that asked for it.
    if (sub_)
        sub_->close();
    else
        close();
}

void TF_Browser::FormClose(TCloseAction& action)
{
    if (!SelfRef) { // already closing
        action = caFree;
        return;
    }
    SelfRef = nullptr;
    action = caFree;
    TF_Main* main = main_;
    if (main)
        main->UnregisterChildTab(this);

    TDownloadControlOptions options = WB_Document->DownloadOptions();
    options.remove(DLCTL_NO_SCRIPTS)
        .remove(DLCTL_NO_JAVA)
        .remove(DLCTL_NO_RUNACTIVEXCTLS)
        .remove(DLCTL_NO_DLACTIVEXCTLS);
    WB_Document->SetDownloadOptions(options);
    WB_Document->Navigate(QStringLiteral("about:blank"));
    Timer1->stop();

    if (AdvanceWebTarget == WB_Document)
        AdvanceWebTarget = nullptr;
    if (!main)
        return;
    if (main->ActiveChild == this)
        main->ActiveChild = nullptr;
    if (main->ActiveWebBrowser == WB_Document) {
        main->ActiveWebBrowser = nullptr;
        main->S_Status->SetSimpleText(QString());
        DocumentLoaded = false;
        UpdateDocumentMenus();
        UpdateNavButtons();
        main->RSB_Back->setEnabled(false);
        main->RSB_Forward->setEnabled(false);
        if (QAction* add = addFavoriteItem(main))
            add->setEnabled(false);
        main->UpdateGoFavorite();
    }
}
