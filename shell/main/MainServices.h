#pragma once

#include <QString>

#include <memory>

class IBrowserWindow;
class TF_Main;
class TPluginHost;
class TPluginHostWindow;
class TWebBrowser;

// What the main window of a run is given at construction: it makes the
// browser windows and their controls, opens the terminal for "telnet:"
// addresses, and loads, selects and unloads the plug-ins. The program's
// main builds this one; a test derives its own and replaces what it needs.
class TMainServices
{
public:
    TMainServices();
    virtual ~TMainServices(); // unloads the plug-ins still loaded
    TMainServices(const TMainServices&) = delete;
    TMainServices& operator=(const TMainServices&) = delete;

    // A new browser window of `main`: registered in its tab bar and window
    // list, and active. A TF_Browser.
    virtual IBrowserWindow* CreateBrowserWindow(TF_Main& main);
    // The control of a browser window made without one: a TEmbeddedWB, the
    // prepared one while there is one.
    virtual TWebBrowser* NewBrowserControl();
    // Starts the engine's work for the next browser window ahead of it: the
    // web profile (BrowserProfile, with its settings), and a control whose
    // page and render process are made now, hidden, for NewBrowserControl
    // to hand to the next window that asks. Nothing when one is prepared
    // already. The main window calls it as it is shown, when its start
    // timer will open a window.
    virtual void PrepareBrowserControl();
    // The prepared control while no window has taken it, else null.
    TWebBrowser* PreparedBrowserControl() const;
    // Frees the prepared control that no window took (the main window
    // going).
    void DiscardPreparedBrowserControl();
    // A terminal window in `main` connecting to `host` (and `port`, unless
    // empty), with the terminal settings of `main`.
    virtual void OpenTelnetWindow(TF_Main& main, const QString& host, const QString& port);

    // The plug-ins of the Plugins folder, loaded while the main window is
    // created; each selected in load order when it is shown; stopped and
    // unloaded at its exit (every library, even when one Done fails).
    virtual void LoadPlugins(TF_Main& main);
    virtual void SelectPlugins();
    virtual void UnloadPlugins();
    // The plug-in host of the run; null before LoadPlugins and after
    // UnloadPlugins.
    virtual TPluginHost* PluginHost();

private:
    void unloadPlugins();

    std::unique_ptr<TWebBrowser> prepared_;
    std::unique_ptr<TPluginHostWindow> pluginWindow_;
    std::unique_ptr<TPluginHost> pluginHost_;
};
