#include "shell/browser/FrmBrowser.h"

#include "platform/Registry.h"
#include "shell/browser/BrowserHost.h"
#include "shell/browser/UrlZone.h"
#include "shell/browser/WebBrowser.h"
#include "shell/data/AlLanguager.h"
#include "shell/data/BrowserLists.h"
#include "shell/data/BrowserSettings.h"
#include "shell/data/ShellData.h"
#include "shell/data/ShellGlyphs.h"
#include "toolkit/Controls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTimer>

#include <utility>

QString CurrentURL;
QString CurrentTitle;

namespace {

const QString untitledCaption = QStringLiteral("Brevant++ (Untitled Document)");

} // namespace

QString F_BrowserLocalization()
{
    return BuildLocalizationString({
        {"*_*f_browser_caption", QStringLiteral("Brevant++ (Untitled Document)")},
        {"*_*sb_go_caption", QStringLiteral("ไป")},
    });
}

TF_Browser::TF_Browser(TBrowserHost& host, TWebBrowser* control)
    : TForm(nullptr, Qt::Widget), host_(host)
{
    setObjectName(QStringLiteral("F_Browser"));
    SetCaption(untitledCaption);
    resize(364, 270);

    CB_URL = new TComboBox(QStringLiteral("CB_URL"), this);
    CB_URL->setEditable(true);
    CB_URL->setInsertPolicy(QComboBox::NoInsert);
    P_WB = new TPanel(QStringLiteral("P_WB"), this);
    P_WB->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    P_WB->setAutoFillBackground(true);
    P_WB->setPalette(QPalette(Qt::white));
    P_Stat = new TPanel(QStringLiteral("P_Stat"), this);
    P_Stat->hide();
    SB_Stop = new TSpeedButton(QStringLiteral("SB_Stop"), P_Stat);
    SB_Stop->SetGlyph(ShellGlyph(QStringLiteral("stop16")));
    SB_Stop->setFixedSize(20, 20);
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
    QPalette listColours = LB_URL->palette();
    listColours.setColor(QPalette::Base, QColor(0xe2, 0xe2, 0xe2));
    LB_URL->setPalette(listColours);
    if (!control)
        control = host_.NewBrowserControl();
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

    SB_Go = new TSpeedButton(QStringLiteral("SB_Go"), this);
    SB_Go->SetCaption(QStringLiteral("ไป"));
    SB_Go->SetFlat(true);
    SB_ShowMenu = new TSpeedButton(QStringLiteral("SB_ShowMenu"), this);
    SB_ShowMenu->SetGlyph(ShellGlyph(QStringLiteral("up7")));
    IM_NetInfo = new TImage(QStringLiteral("IM_NetInfo"), this);
    IM_NetInfo->setFixedSize(16, 16);
    AL_Language = new TAlLanguager(this, QStringLiteral("AL_Language"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    // Flat speed buttons for back, forward and the back list.
    auto navButton = [this](const char* name, const char* glyph) {
        auto* b = new TRxSpeedButton(QLatin1String(name), this);
        b->SetFlat(true);
        b->SetGlyph(ShellGlyph(QLatin1String(glyph)));
        return b;
    };
    SB_Back = navButton("SB_Back", "back12");
    SB_Next = navButton("SB_Next", "next12");
    SB_SelBack = navButton("SB_SelBack", "down7");
    SB_SelBack->setEnabled(false);
    PM_SelURL = new TPopupMenu(QStringLiteral("PM_SelURL"), this);

    SB_Stop->OnClick = [this] { SB_StopClick(); };
    SB_Go->OnClick = [this] { SB_GoClick(); };
    SB_ShowMenu->OnClick = [this] { SB_ShowMenuClick(); };
    SB_Back->OnClick = [this] { SB_BackClick(); };
    SB_Next->OnClick = [this] { SB_NextClick(); };
    SB_SelBack->OnClick = [this] { SB_SelBackClick(); };
    for (TRxSpeedButton* b :
         {static_cast<TRxSpeedButton*>(SB_Stop), static_cast<TRxSpeedButton*>(SB_Go),
          static_cast<TRxSpeedButton*>(SB_ShowMenu), SB_Back, SB_Next, SB_SelBack})
        b->Loaded();
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
    connect(WB_Document, &TWebBrowser::ModalCommandEnded, this, [this] {
        if (std::exchange(closeAfterCommand_, false))
            CloseWindow();
    });
    connect(WB_Document, &TWebBrowser::TranslateAccelerator, this,
            &TF_Browser::WB_DocumentTranslateAccelerator);

    FormCreate();
}

TF_Browser::~TF_Browser() = default;

void TF_Browser::FormCreate()
{
    BackURLs.clear();
    BackTitles.clear();
    IsActive = true;
    SelfRef = this;
    if (host_.BrowserSettings().NewWindowMaximize)
        ChildMaximized = true;

    AL_Language->SetLanguagesStore(host_.LanguagesStore());
    AL_Language->SetLocalizationString(F_BrowserLocalization());

    DownloadCount = 0;
    CloseAfterLoad = DocumentLoaded = DocumentDone = false;

    // The tab and the window list, so that the window's index is its tab's.
    host_.RegisterChildTab(this);
    host_.SetTabCaption(this, QStringLiteral("(ยังไม่ได้เปิด)"));
    host_.SetChildBusy(this, false);
    // The window is the active one from now on: the home and search
    // commands navigate the window they have just made.
    host_.SetActiveChild(this);
    host_.SetActiveWebBrowser(WB_Document);
    UpdateDocumentMenus();

    CanGoForward = CanGoBack = false;
    UpdateNavButtons();

    // Shown, the window enters the main form's area as its active child.
    SetFormStyle(fsMDIChild);
    connect(this, &TForm::Activated, this, [this] { HandleMdiActivate(true); });
    connect(this, &TForm::Deactivated, this, [this] { HandleMdiActivate(false); });
    connect(this, &TForm::WindowStateChanged, this, [this](TWindowState before, TWindowState now) {
        if (now == wsMaximized && before != wsMaximized)
            HandleSysCommand(true);
        else if (now == wsNormal && before == wsMaximized)
            HandleSysCommand(false);
    });
    // The page appears once the window has its place and size: a web view
    // shown on the way draws a frame at every size it passes through.
    WB_Document->hide();
    SetWindowState(ChildMaximized ? wsMaximized : wsNormal);
    show();
    WB_Document->show();
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
    TRegistry reg;
    Navigate(EngineHomePage(reg));
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
    TDocumentCommands commands;
    commands.Print = commands.PrintPreview = commands.PageSetup = commands.Save =
        commands.WorkOffline = DocumentLoaded;
    commands.Offline = TWebBrowser::GetOffline();
    host_.EnableDocumentCommands(commands);
}

void TF_Browser::UpdateNavButtons()
{
    TDocumentCommands navigation;
    navigation.ForwardButton = navigation.ForwardItem = CanGoForward;
    navigation.BackButton = navigation.BackItem = CanGoBack;
    host_.EnableDocumentCommands(navigation);
    host_.UpdateGoFavorite();
    SB_Next->setEnabled(CanGoForward);
    SB_Back->setEnabled(CanGoBack);
    SB_SelBack->setEnabled(!BackURLs.isEmpty());
}

void TF_Browser::HandleMdiActivate(bool thisWindow)
{
    if (!thisWindow) {
        IsActive = false;
        return;
    }
    if (!SelfRef)
        return;
    IsActive = true;
    host_.SetStatusText(QString());
    host_.SetAddFavoriteEnabled(true);
    CurrentURL = PageURL;
    CurrentTitle = PageTitle;
    UpdateDocumentMenus();
    host_.SetActiveWebBrowser(WB_Document);
    host_.SetActiveChild(this);
    UpdateNavButtons();
    Timer1->start();
    host_.ActivateChildTab(this);
    WB_Document->FocusDocument();
}

void TF_Browser::FormDeactivate()
{
    host_.SetAddFavoriteEnabled(false);
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
    if (host_.BrowserSettings().UseCC)
        FillURLSuggestions();
}

void TF_Browser::FillURLSuggestions()
{
    LB_URL->clear();
    const QStringList matches = URLSuggestions(host_.ShellData().URLHistory, CB_URL->Text());
    LB_URL->addItems(matches);
    if (ShowsSuggestions(matches.size())) {
        LB_URL->show();
        LB_URL->raise();
        LB_URL->setFocus();
    }
}

bool TF_Browser::LB_URLKeyPress(QChar key)
{
    const QStringList history = host_.ShellData().URLHistory;
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
    auto* key = static_cast<QKeyEvent*>(event);
    // Enter and the keypad's Enter are the same key here, whatever text
    // the platform gives them.
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const QString text = enter ? QString(QChar(13)) : key->text();
    if (text.size() != 1)
        return false;
    if (watched == LB_URL)
        return LB_URLKeyPress(text[0]);
    if (watched != CB_URL && watched != CB_URL->lineEdit())
        return false;
    // The box has the keyboard focus and hands keys to its line edit
    // itself; a key sent to the line edit directly and left by it goes on
    // to the box. Either way the key is handled where it arrives first, and
    // Enter, handled there, goes no further: it navigates once, every time.
    return CB_URLKeyPress(text[0]) || enter;
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
    host_.RunCommand(TMainCommand::Back);
}

void TF_Browser::SB_NextClick()
{
    host_.RunCommand(TMainCommand::Forward);
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
    host_.PopupMainMenu(SB_ShowMenu->mapToGlobal(QPoint(0, 0)) - QPoint(0, 185));
}

void TF_Browser::WB_DocumentTranslateAccelerator(int key, Qt::KeyboardModifiers modifiers,
                                                 bool* /*handled*/)
{
    // The page goes on with its own handling of the key in every case.
    if (!(modifiers & Qt::ControlModifier))
        return;
    if (key == Qt::Key_N)
        host_.RunCommand(TMainCommand::NewWindow);
    else if (key == Qt::Key_O)
        host_.RunCommand(TMainCommand::OpenFile);
    else if (key == Qt::Key_S)
        host_.RunCommand(TMainCommand::SaveAs); // also with no page loaded
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
    host_.SetChildBusy(this, busy);
}

void TF_Browser::ShowZone(const QString& url)
{
    const TUrlZone zone = MapUrlToZone(url);
    IM_NetInfo->setPixmap(ZoneIcon(zone).pixmap(16, 16));
    IM_NetInfo->SetHint(ZoneDisplayName(zone));
}
