#include "shell/browser/BrowserFactory.h"

#include "shell/browser/FrmBrowser.h"

bool ChildMaximized = true;

namespace {

TBrowserFactory& factory()
{
    static TBrowserFactory installed;
    return installed;
}

} // namespace

void SetBrowserFactory(TBrowserFactory f)
{
    factory() = std::move(f);
}

IBrowserWindow* CreateBrowserWindow(TF_Main& main)
{
    if (factory())
        return factory()(main);
    return new TF_Browser(main);
}
