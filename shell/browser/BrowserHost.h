#pragma once

#include "shell/browser/BrowserWindow.h"
#include "toolkit/ChildWindowHost.h"

class QIcon;
class QMutex;
class QPoint;
class TAlLanguagesStore;
class TBrowserSettings;
class TPluginHost;
class TShellData;
class TWebBrowser;

// The main window's commands that a browser window runs for the user (its
// back and forward buttons, the accelerators of its page).
enum class TMainCommand { Back, Forward, NewWindow, OpenFile, SaveAs };

// What a browser window, its navigation pipeline and the dialogs that act
// on browser windows ask of the main window beyond what every child window
// asks: the settings and the data files in memory, the history's lock, the
// language texts, the plug-ins and the terminal for the addresses they take,
// new controls and windows, a few of its commands and menus, and its status
// line.
class TBrowserHost : public TChildWindowHost, public TBrowserWindowMaker
{
public:
    virtual TBrowserSettings& BrowserSettings() = 0;
    virtual TShellData& ShellData() = 0;
    // Guards the history while a completed navigation updates it.
    virtual QMutex& HistoryMutex() = 0;
    virtual TAlLanguagesStore* LanguagesStore() = 0;
    // The plug-ins of the run (null before they are loaded).
    virtual TPluginHost* PluginHost() = 0;
    // Opens the terminal for a "telnet:" address (its slashes removed).
    virtual void OpenTelnetURL(const QString& address) = 0;
    // The control of a browser window made without one.
    virtual TWebBrowser* NewBrowserControl() = 0;

    virtual void RunCommand(TMainCommand command) = 0;
    // The main window's pop-up menu, at a point of the screen.
    virtual void PopupMainMenu(const QPoint& globalPos) = 0;
    // The Favorites menu's add command.
    virtual void SetAddFavoriteEnabled(bool enabled) = 0;
    // Checks the text-size item of `size` (0 smallest .. 4 biggest).
    virtual void ShowTextSize(int size) = 0;
    virtual void SetStatusText(const QString& text) = 0;
    // An image of the main window's image list (tabs and lists).
    virtual QIcon ListImage(int index) const = 0;
};
