#include "shell/main/MainPluginHost.h"

#include "shell/browser/BrowserFactory.h"
#include "shell/dialogs/FrmAbout.h"
#include "shell/main/FrmMain.h"
#include "shell/main/StandIns.h"
#include "shell/navigation/U_Plugins.h"
#include "toolkit/Controls.h"

#include <memory>

namespace {

// The main window as the plug-ins see it.
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
    void OpenURLInNewWindow(const QString& address) override
    {
        if (IBrowserWindow* window = CreateBrowserWindow(main_))
            window->Navigate(address);
    }
    QMenu* PluginsMenu() override { return main_.MNU_Plugins->SubMenu(); }
    void ShowLoadingStatus(const QString& text) override
    {
        if (main_.SplashWindow)
            main_.SplashWindow->L_Stat->setText(text);
    }

private:
    TF_Main& main_;
};

struct HostOfTheRun
{
    std::unique_ptr<TMainPluginWindow> window;
    std::unique_ptr<TPluginHost> host;
};

HostOfTheRun& run()
{
    static HostOfTheRun r;
    return r;
}

} // namespace

TPluginHost* MainPluginHost()
{
    return run().host.get();
}

void InstallPluginHost()
{
    TPluginHostCalls& calls = PluginHost();
    calls.LoadPlugins = [](TF_Main& main) {
        run().host.reset();
        run().window = std::make_unique<TMainPluginWindow>(main);
        run().host = std::make_unique<TPluginHost>(*run().window);
        run().host->LoadPlugins();
    };
    calls.SelectPlugins = [](TF_Main&) {
        if (TPluginHost* host = MainPluginHost())
            for (int i = 0; i < host->PluginCount(); ++i)
                host->Select(i);
    };
    calls.UnloadPlugins = [](TF_Main&) {
        // Every library is stopped and unloaded, even when one Done fails.
        if (TPluginHost* host = MainPluginHost())
            host->UnloadPlugins();
        run().host.reset();
        run().window.reset();
    };
}
