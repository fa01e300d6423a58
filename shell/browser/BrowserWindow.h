#pragma once

#include <QString>

class QWidget;
class TForm;

// A browser window as the rest of the shell sees it: the main window's
// commands, the favorites and the links dialog open pages in it.
class IBrowserWindow
{
public:
    virtual ~IBrowserWindow() = default;
    virtual TForm* Form() = 0;
    // The control that shows the page (the main window's ActiveWebBrowser).
    virtual QWidget* Browser() = 0;
    virtual void Navigate(const QString& url) = 0;
    // The engine's own home page.
    virtual void GoHome() = 0;
    // The window's stop command: loading stops and the window looks idle.
    virtual void StopCommand() = 0;
    // The text of the address box.
    virtual QString AddressText() const = 0;
    // A top-level document has completed in the window; its links can be
    // listed from then on, also while a later page is still loading.
    virtual bool HasCompletedDocument() const = 0;
    // Lays out the window's panel again (maximised windows).
    virtual void Relayout() {}
};

// Makes browser windows: the main window, which puts each new one in its
// tab bar and window list and makes it the active one.
class TBrowserWindowMaker
{
public:
    virtual ~TBrowserWindowMaker() = default;
    virtual IBrowserWindow* NewBrowserWindow() = 0;
};

// Whether browser windows are maximised; shared by all of them.
extern bool ChildMaximized;
