#pragma once

#include "shell/main/MainServices.h"

#include <QString>

#include <functional>

class IBrowserWindow;
class TF_Main;
class TWebBrowser;

// The main window's services in a test: each part the test sets takes the
// place of the real one; the parts left empty are the program's own.
class TTestServices : public TMainServices
{
public:
    std::function<IBrowserWindow*(TF_Main& main)> BrowserWindow;
    std::function<TWebBrowser*()> BrowserControl;
    std::function<void(TF_Main& main, const QString& host, const QString& port)> TelnetWindow;
    std::function<void(TF_Main& main)> Load;
    std::function<void()> Unload;

    IBrowserWindow* CreateBrowserWindow(TF_Main& main) override
    {
        return BrowserWindow ? BrowserWindow(main) : TMainServices::CreateBrowserWindow(main);
    }
    TWebBrowser* NewBrowserControl() override
    {
        return BrowserControl ? BrowserControl() : TMainServices::NewBrowserControl();
    }
    // A control is made ahead only for the program's own windows and
    // controls: a test with fakes never starts the engine this way.
    void PrepareBrowserControl() override
    {
        if (!BrowserWindow && !BrowserControl)
            TMainServices::PrepareBrowserControl();
    }
    void OpenTelnetWindow(TF_Main& main, const QString& host, const QString& port) override
    {
        if (TelnetWindow)
            TelnetWindow(main, host, port);
        else
            TMainServices::OpenTelnetWindow(main, host, port);
    }
    void LoadPlugins(TF_Main& main) override
    {
        if (Load)
            Load(main);
        else
            TMainServices::LoadPlugins(main);
    }
    void UnloadPlugins() override
    {
        if (Unload)
            Unload();
        else
            TMainServices::UnloadPlugins();
    }
};
