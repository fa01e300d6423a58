// The browser window's handling of its control's events, and the navigation
// pipeline every address passes before the engine loads it.
#include "shell/browser/FrmBrowser.h"

#include "shell/browser/BrowserHost.h"
#include "shell/browser/FrmAdvanceWeb.h"
#include "shell/browser/WebBrowser.h"
#include "shell/data/BrowserSettings.h"
#include "shell/data/MainWindowRules.h"
#include "shell/data/ShellData.h"
#include "shell/navigation/NavigationPipeline.h"
#include "shell/navigation/U_Plugins.h"
#include "toolkit/Controls.h"

#include <QListWidget>
#include <QMutexLocker>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

void TF_Browser::WB_DocumentBeforeNavigate2(const QString& url, bool topLevel, bool* cancel)
{
    if (!SelfRef)
        return;
    WB_Document->fpExceptions = false;
    Relayout();
    LB_URL->hide();
    NavigationPipeline(url, topLevel, cancel);
}

void TF_Browser::NavigationPipeline(const QString& url, bool topLevel, bool* cancel)
{
    const TBrowserSettings& settings = host_.BrowserSettings();
    TPluginHost* plugins = host_.PluginHost();
    TNavigationContext context;
    context.useBanner = settings.UseBanner;
    context.useTelnet = settings.UseTelnet;
    context.banners = host_.ShellData().Banners;
    if (plugins)
        context.claimingPlugin = [plugins](const QString& address) {
            return plugins->ClaimingPlugin(address);
        };
    const TNavigationRoute route =
        RouteNavigation(context, url, topLevel, WB_Document->NavigationByPage());
    switch (route.step) {
    case TNavigationStep::Banner: {
        *cancel = true;
        CloseAfterLoad = true;
        // The engine reports no completed load for a refused address, so
        // the window goes once this event has returned.
        QPointer<TF_Browser> target(this);
        QTimer::singleShot(0, this, [target] {
            if (target && target->SelfRef)
                target->CloseWindow();
        });
        return;
    }
    case TNavigationStep::Refuse:
        *cancel = true;
        return;
    case TNavigationStep::Telnet:
        *cancel = true;
        host_.OpenTelnetURL(route.address);
        return;
    case TNavigationStep::Plugin:
        *cancel = true;
        WB_Document->Stop();
        if (plugins)
            plugins->NavigatePlugin(route.plugin, url);
        return;
    case TNavigationStep::Load:
        // The engine loads the page: the busy look and the zone's icon.
        SetBusy(true);
        ShowZone(url);
        return;
    }
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
    if (!topLevel)
        return;
    QMutexLocker lock(&host_.HistoryMutex());
    QStringList& history = host_.ShellData().URLHistory;
    QString u = url;
    if (u.endsWith(QLatin1Char('/')))
        u.chop(1);
    if (host_.ActiveWebBrowser() == WB_Document)
        CurrentURL = u;
    PageURL = u;
    bool found = false;
    for (const QString& entry : std::as_const(history))
        if (entry.compare(u, Qt::CaseInsensitive) == 0) {
            found = true;
            break;
        }
    if (!found) {
        CB_URL->Items()->Add(CB_URL->Text());
        CB_URL->SetText(url);
        history.append(u);
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
    if (WB_Document->ReadyState() == READYSTATE_COMPLETE) {
        TBrowserSettings& settings = host_.BrowserSettings();
        const int zoom = WB_Document->GetZoom();
        if (zoom != settings.FontSize)
            settings.FontSize = zoom;
        host_.ShowTextSize(zoom);
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
    host_.SetTabCaption(this, text);
    if (host_.ActiveWebBrowser() == WB_Document)
        CurrentTitle = text;
    PageTitle = text;
    // A page whose title begins with a listed banner name goes away.
    if (host_.BrowserSettings().UseBanner && IsBannerTitle(host_.ShellData().Banners, text))
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
    if (host_.ActiveChild() == this && !P_Stat->isVisible())
        host_.SetStatusText(shown);
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
    if (host_.ActiveChild() == this)
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
    if (!SelfRef) {
        *cancel = true;
        return;
    }
    auto* window = new TF_Browser(host_);
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
    // A modal command of the control (print, preview, page setup, save as)
    // has its dialog and the control's printer on the stack below this
    // event: the window closes once the command has returned.
    if (WB_Document->InModalCommand()) {
        closeAfterCommand_ = true;
        return;
    }
    // Closing the child window closes the form; both are freed later, never
    // inside the control's event that asked for it.
    Close();
}

void TF_Browser::FormClose(TCloseAction& action)
{
    if (!SelfRef) { // already closing
        action = caFree;
        return;
    }
    SelfRef = nullptr;
    action = caFree;
    host_.UnregisterChildTab(this);

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
    if (host_.ActiveChild() == this)
        host_.SetActiveChild(nullptr);
    if (host_.ActiveWebBrowser() == WB_Document) {
        host_.SetActiveWebBrowser(nullptr);
        host_.SetStatusText(QString());
        DocumentLoaded = false;
        UpdateDocumentMenus();
        UpdateNavButtons();
        TDocumentCommands navigation;
        navigation.BackButton = navigation.ForwardButton = false;
        host_.EnableDocumentCommands(navigation);
        host_.SetAddFavoriteEnabled(false);
        host_.UpdateGoFavorite();
    }
}
