#pragma once

#include <QString>

#include <functional>

class QWidget;
class TForm;
class TF_Main;

// Every part of the shell that opens a page creates its browser window
// here: a TF_Browser, unless another factory is installed.
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
    // The text of the address box.
    virtual QString AddressText() const = 0;
    // Lays out the window's panel again (maximised windows).
    virtual void Relayout() {}
};

using TBrowserFactory = std::function<IBrowserWindow*(TF_Main& main)>;

// Installs the factory (an empty one restores the stand-in).
void SetBrowserFactory(TBrowserFactory factory);
// Creates a browser window: registered in the main window's tab bar and
// window list, and active.
IBrowserWindow* CreateBrowserWindow(TF_Main& main);

// Whether browser windows are maximised; shared by all of them.
extern bool ChildMaximized;
