#include "shell/main/MainServices.h"

#include "shell/browser/EmbeddedWB.h"
#include "shell/browser/FrmBrowser.h"
#include "shell/dialogs/FrmAbout.h"
#include "shell/main/FrmMain.h"
#include "shell/navigation/U_Plugins.h"
#include "telnet/FrmTelnet.h"
#include "toolkit/Controls.h"

namespace {

// The main window as the plug-in host sees it: the window list and its tabs
// through the main window's host procedures, its Plugins menu and the splash.
class TMainPluginWindow : public TPluginHostWindow
{
public:
    explicit TMainPluginWindow(TF_Main& main) : main_(main) {}

    void RegisterChildTab(TForm* form) override { main_.RegisterChildTab(form); }
    void UnregisterChildTab(TForm* form) override { main_.UnregisterChildTab(form); }
    void ActivateChildTab(TForm* form) override { main_.ActivateChildTab(form); }
    void SetChildCaption(TForm* form, const QString& caption) override
    {
        main_.SetChildCaption(form, caption);
    }
    void SetPluginTabIcon(TForm* form, bool busy) override { main_.SetPluginTabIcon(form, busy); }
    void OpenURLInNewWindow(const QString& address) override { main_.OpenURLInNewWindow(address); }
    QMenu* PluginsMenu() override { return main_.MNU_Plugins->SubMenu(); }
    void ShowLoadingStatus(const QString& text) override
    {
        if (main_.SplashWindow)
            main_.SplashWindow->L_Stat->setText(text);
    }

private:
    TF_Main& main_;
};

} // namespace

TMainServices::TMainServices() = default;

TMainServices::~TMainServices()
{
    unloadPlugins();
}

IBrowserWindow* TMainServices::CreateBrowserWindow(TF_Main& main)
{
    return new TF_Browser(main);
}

TWebBrowser* TMainServices::NewBrowserControl()
{
    if (prepared_)
        return prepared_.release();
    return new TEmbeddedWB;
}

void TMainServices::PrepareBrowserControl()
{
    if (prepared_)
        return;
    // The profile with its settings first (the engine starts), then the
    // page; the control takes the profile.
    BrowserProfile();
    auto control = std::make_unique<TEmbeddedWB>();
    control->PrepareDocument();
    prepared_ = std::move(control);
}

TWebBrowser* TMainServices::PreparedBrowserControl() const
{
    return prepared_.get();
}

void TMainServices::DiscardPreparedBrowserControl()
{
    prepared_.reset();
}

void TMainServices::OpenTelnetWindow(TF_Main& main, const QString& host, const QString& port)
{
    OpenTelnetForm(main, host, port);
}

void TMainServices::LoadPlugins(TF_Main& main)
{
    pluginHost_.reset();
    pluginWindow_ = std::make_unique<TMainPluginWindow>(main);
    pluginHost_ = std::make_unique<TPluginHost>(*pluginWindow_);
    pluginHost_->LoadPlugins();
}

void TMainServices::SelectPlugins()
{
    if (pluginHost_)
        for (int i = 0; i < pluginHost_->PluginCount(); ++i)
            pluginHost_->Select(i);
}

void TMainServices::UnloadPlugins()
{
    unloadPlugins();
}

void TMainServices::unloadPlugins()
{
    if (pluginHost_)
        pluginHost_->UnloadPlugins();
    pluginHost_.reset();
    pluginWindow_.reset();
}

TPluginHost* TMainServices::PluginHost()
{
    return pluginHost_.get();
}
