#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

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
// the settings that new children take. The application's main form is one;
// the children see nothing else of it.
//
// A form named here that is not in the window list is left alone. Without
// overrides this is a host with no tab bar and no commands: its children
// are only captioned and brought to the front.
class TChildWindowHost
{
public:
    virtual ~TChildWindowHost();

    // A new tab captioned with the form's caption; the form joins the end of
    // the window list.
    virtual void RegisterChildTab(TForm* form);
    // The form leaves the window list and its tab goes.
    virtual void UnregisterChildTab(TForm* form);
    // Focuses the form, brings it to the front and selects its tab.
    virtual void ActivateChildTab(TForm* form);
    // The form's caption, and its tab's caption with every "&" shown as such.
    virtual void SetChildCaption(TForm* form, const QString& caption);
    // The tab's caption only (the form keeps its own).
    virtual void SetTabCaption(TForm* form, const QString& caption);
    // The busy or idle image of a browser window's tab, and of a plug-in
    // window's tab.
    virtual void SetChildBusy(TForm* form, bool busy);
    virtual void SetPluginTabIcon(TForm* form, bool busy);
    // The position of the form in the window list, or -1.
    virtual int IndexOfChild(const QObject* form) const;

    virtual void EnableDocumentCommands(const TDocumentCommands& commands);

    // The active browser or terminal window, and the browser control every
    // document command acts on (null while a window without one is active,
    // and once either is gone).
    TForm* ActiveChild() const;
    void SetActiveChild(TForm* child);
    QWidget* ActiveWebBrowser() const { return activeWebBrowser_; }
    void SetActiveWebBrowser(QWidget* browser) { activeWebBrowser_ = browser; }
    // The favorites' go command follows whether a browser control is active.
    virtual void UpdateGoFavorite();

    virtual TTerminalSettings TerminalSettings() const;
    // Opens the address in a new browser window.
    virtual void OpenURLInNewWindow(const QString& address);

private:
    QPointer<QWidget> activeChild_; // a TForm
    QPointer<QWidget> activeWebBrowser_;
};

// The application's main form as a host of child windows; null when there
// is no main form, or it is not one.
TChildWindowHost* MainChildWindowHost();
