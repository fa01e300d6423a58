// The navigation pipeline as the browser windows run it.
#include "shell/browser/FrmBrowser.h"
#include "shell/main/FrmMain.h"
#include "shell/main/MainPluginHost.h"
#include "shell/navigation/NavigationPipeline.h"
#include "shell/navigation/U_Plugins.h"
#include "shell/browser/WebBrowser.h"

#include <QPointer>
#include <QTimer>

void InstallNavigationPipeline()
{
    SetNavigationPipeline([](TF_Browser& window, const QString& url, bool topLevel, bool* cancel) {
        TF_Main* main = F_Main;
        if (!main) {
            DefaultNavigationStep(window, url);
            return;
        }
        TNavigationContext context;
        context.useBanner = main->Settings.UseBanner;
        context.useTelnet = main->Settings.UseTelnet;
        context.banners = main->Data.Banners;
        TPluginHost* host = MainPluginHost();
        if (host)
            context.claimingPlugin = [host](const QString& address) {
                return host->ClaimingPlugin(address);
            };
        const TNavigationRoute route =
            RouteNavigation(context, url, topLevel, window.WB_Document->NavigationByPage());
        switch (route.step) {
        case TNavigationStep::Banner: {
            *cancel = true;
            window.CloseAfterLoad = true;
            // The engine reports no completed load for a refused address,
            // so the window goes once this event has returned.
            QPointer<TF_Browser> target(&window);
            QTimer::singleShot(0, &window, [target] {
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
            main->OpenTelnetURL(route.address);
            return;
        case TNavigationStep::Plugin:
            *cancel = true;
            window.WB_Document->Stop();
            if (host)
                host->NavigatePlugin(route.plugin, url);
            return;
        case TNavigationStep::Load:
            DefaultNavigationStep(window, url);
            return;
        }
    });
}
