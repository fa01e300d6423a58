#pragma once

#include <QString>

#include <optional>

class QObject;
class QWidget;
class TForm;

// The main window's commands that act on the document of the active child.
// A child names the ones it enables or disables when it becomes active (or
// when its document changes); the commands it leaves unset stay as they are.
struct TDocumentCommands
{
    std::optional<bool> Print;
    std::optional<bool> PrintPreview;
    std::optional<bool> PageSetup;
    std::optional<bool> Save;
    std::optional<bool> WorkOffline;
    std::optional<bool> Offline; // the work-offline command's check mark
    std::optional<bool> BackButton;
    std::optional<bool> ForwardButton;
    std::optional<bool> BackItem; // the back and forward items of the pop-up menu
    std::optional<bool> ForwardItem;
};

// The terminal settings a new terminal window takes from the main window.
struct TTerminalSettings
{
    QString FontName;
    int Cols = 80;
    int Rows = 25;
};

// What the child windows of the main form (browser and terminal windows, a
// plug-in's windows) ask of it: a tab in its tab bar for each child, in the
// order of its window list, the tab's caption and image, activation, the
// document commands, which child and which browser control are active, and
// the settings that new children take. The application's main form
// implements it; the children see nothing else of it.
//
// A form named here that is not in the window list is left alone.
class TChildWindowHost
{
public:
    virtual ~TChildWindowHost();

    // A new tab captioned with the form's caption; the form joins the end of
    // the window list.
    virtual void RegisterChildTab(TForm* form) = 0;
    // The form leaves the window list and its tab goes.
    virtual void UnregisterChildTab(TForm* form) = 0;
    // Focuses the form, brings it to the front and selects its tab.
    virtual void ActivateChildTab(TForm* form) = 0;
    // The form's caption, and its tab's caption with every "&" shown as such.
    virtual void SetChildCaption(TForm* form, const QString& caption) = 0;
    // The tab's caption only (the form keeps its own).
    virtual void SetTabCaption(TForm* form, const QString& caption) = 0;
    // The busy or idle image of a browser window's tab, and of a plug-in
    // window's tab.
    virtual void SetChildBusy(TForm* form, bool busy) = 0;
    virtual void SetPluginTabIcon(TForm* form, bool busy) = 0;
    // The position of the form in the window list, or -1.
    virtual int IndexOfChild(const QObject* form) const = 0;

    virtual void EnableDocumentCommands(const TDocumentCommands& commands) = 0;

    // The active browser or terminal window, and the browser control every
    // document command acts on (null while a window without one is active).
    virtual TForm* ActiveChild() const = 0;
    virtual void SetActiveChild(TForm* child) = 0;
    virtual QWidget* ActiveWebBrowser() const = 0;
    virtual void SetActiveWebBrowser(QWidget* browser) = 0;
    // The favorites' go command follows whether a browser control is active.
    virtual void UpdateGoFavorite() = 0;

    virtual TTerminalSettings TerminalSettings() const = 0;
    // Opens the address in a new browser window.
    virtual void OpenURLInNewWindow(const QString& address) = 0;
};

// The application's main form as a host of child windows; null when there
// is no main form, or it is not one.
TChildWindowHost* MainChildWindowHost();
