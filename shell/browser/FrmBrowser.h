#pragma once

#include "components/speedbar/Buttons.h"
#include "shell/browser/BrowserWindow.h"
#include "toolkit/Forms.h"

#include <QPointer>
#include <QStringList>

class QListWidget;
class QProgressBar;
class QTimer;
class TAlLanguager;
class TBrowserHost;
class TComboBox;
class TImage;
class TLabel;
class TPanel;
class TPopupMenu;
class TWebBrowser;

// Address and title of the active browser window.
extern QString CurrentURL;
extern QString CurrentTitle;

// One web page in an MDI child of the main window: the browser control, the
// address box with its suggestions, the status panel, the zone icon, back
// and forward with the list of pages visited in this window. It knows the
// main window only as its host.
class TF_Browser : public TForm, public IBrowserWindow
{
    Q_OBJECT
public:
    // Creates the window in the main form's client area, registered in the
    // host's tab bar and window list, and active. Without a control of the
    // caller's, the host makes one.
    explicit TF_Browser(TBrowserHost& host, TWebBrowser* control = nullptr);
    ~TF_Browser() override;

    // --- IBrowserWindow ---
    TForm* Form() override { return this; }
    QWidget* Browser() override;
    void Navigate(const QString& url) override;
    void GoHome() override;
    void StopCommand() override { SB_StopClick(); }
    QString AddressText() const override;
    void Relayout() override;

    // --- components ---
    TComboBox* CB_URL;
    TPanel* P_WB;
    TPanel* P_Stat;
    TSpeedButton* SB_Stop;
    TLabel* L_Stat;
    QProgressBar* G_Progress;
    QListWidget* LB_URL;
    TWebBrowser* WB_Document;
    TSpeedButton* SB_Go;
    TSpeedButton* SB_ShowMenu;
    TImage* IM_NetInfo;
    TAlLanguager* AL_Language;
    QTimer* Timer1;
    TRxSpeedButton* SB_Back;
    TRxSpeedButton* SB_Next;
    TRxSpeedButton* SB_SelBack;
    TPopupMenu* PM_SelURL;

    // --- fields ---
    QString PageURL;
    QString PageTitle;
    bool CloseAfterLoad = false;
    QPointer<TF_Browser> SelfRef; // cleared as the first step of closing
    bool IsActive = true;
    QStringList BackURLs;
    QStringList BackTitles;
    bool CanGoForward = false;
    bool CanGoBack = false;
    bool DocumentLoaded = false;
    bool DocumentDone = false;
    int DownloadCount = 0;
    QString DocumentURL;

    // --- operations ---
    void LayoutStatusBar();
    void UpdateDocumentMenus();
    void UpdateNavButtons();
    void AddToBackList(const QString& url, const QString& title);
    void FillURLSuggestions();
    // The busy look (status panel instead of the address box) or the idle one.
    void SetBusy(bool busy);
    // The zone icon and its hint for an address.
    void ShowZone(const QString& url);
    // Closes the window; it is freed once control returns to the event loop.
    // While a modal command of the control runs, the window closes when
    // the command returns.
    void CloseWindow();

    // --- handlers ---
    void SB_StopClick();
    void SB_GoClick();
    // Each returns whether the key was consumed.
    bool CB_URLKeyPress(QChar key);
    bool LB_URLKeyPress(QChar key);
    void CB_URLChange();
    void LB_URLClick();
    void SB_BackClick();
    void SB_NextClick();
    void SB_SelBackClick();
    void BackListClick(int tag);
    void SB_ShowMenuClick();
    void Timer1Timer();
    void FormDeactivate() override;
    void WB_DocumentTranslateAccelerator(int key, Qt::KeyboardModifiers modifiers, bool* handled);
    void HandleMdiActivate(bool thisWindow);
    void HandleSysCommand(bool maximized);

    // The control's events.
    void WB_DocumentBeforeNavigate2(const QString& url, bool topLevel, bool* cancel);
    void WB_DocumentNavigateComplete2(const QString& url, bool topLevel);
    void WB_DocumentDocumentComplete(const QString& url, bool topLevel);
    void WB_DocumentTitleChange(const QString& text);
    void WB_DocumentStatusTextChange(const QString& text);
    void WB_DocumentProgressChange(int progress, int progressMax);
    void WB_DocumentCommandStateChange(int command, bool enable);
    void WB_DocumentDownloadBegin();
    void WB_DocumentDownloadComplete();
    void WB_DocumentNewWindow2(TWebBrowser** newBrowser, bool* cancel);
    void WB_DocumentCloseQuery(bool* canClose);

    TBrowserHost& Host() const { return host_; }

protected:
    // The navigation pipeline: where an address goes before the engine loads
    // it (a banner, the terminal, a plug-in, refused, or loaded), decided
    // from the host's settings, banner list and plug-ins.
    virtual void NavigationPipeline(const QString& url, bool topLevel, bool* cancel);
    void FormClose(TCloseAction& action) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormResize();
    void focusAddressBox();
    void navigateAddressBox();

    TBrowserHost& host_;
    // A close came while a modal command of the control ran.
    bool closeAfterCommand_ = false;
};

// The localisation string of the browser window.
QString F_BrowserLocalization();
