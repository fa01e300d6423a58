#pragma once

#include "shell/PluginInterface.h"

#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QString>

#include <memory>

class QLibrary;
class QMenu;
class TForm;

// What the plug-in host needs of the main window: the child-window list and
// its tabs, new browser windows, the Plugins menu and the splash's status.
class TPluginHostWindow
{
public:
    virtual ~TPluginHostWindow() = default;
    virtual void RegisterChildTab(TForm* form) = 0;
    virtual void UnregisterChildTab(TForm* form) = 0;
    virtual void ActivateChildTab(TForm* form) = 0;
    virtual void SetChildCaption(TForm* form, const QString& caption) = 0;
    virtual void SetPluginTabIcon(TForm* form, bool busy) = 0;
    virtual void OpenURLInNewWindow(const QString& address) = 0;
    virtual QMenu* PluginsMenu() = 0;                        // MNU_Plugins
    virtual void ShowLoadingStatus(const QString& text) = 0; // the splash, when shown
};

// One loaded plug-in library.
struct TPluginEntry
{
    TPluginInit Init = nullptr;
    TPluginNavigate Navigate = nullptr;
    TPluginISNavigate ISNavigate = nullptr;
    TPluginDone Done = nullptr;
    TPluginName Name = nullptr;
    TPluginSetup Setup = nullptr;
    TPluginCallBack CallBack = nullptr; // optional; kept, never called by the host
    std::shared_ptr<QLibrary> Module;
    QIcon Icon; // null when the library brings none
    QString FileName;
    bool Initialized = false; // Init has returned: addresses may be offered
};

// One command a plug-in put under the Plugins menu.
struct TPluginMenuItem
{
    QByteArray Caption; // at most 40 bytes
    QByteArray Command; // at most 20 bytes each
    QByteArray Arg2;
    QByteArray Arg3;
    TPluginMenuHandler Handler = nullptr;
};

// The plug-in host: loads every shared library of the Plugins folder, hands
// each the application object and the host procedures, keeps the Plugins
// menu, offers addresses, and stops and unloads them at exit. The host
// procedures are plain C functions, so one host is active at a time.
class TPluginHost
{
public:
    explicit TPluginHost(TPluginHostWindow& window);
    ~TPluginHost(); // unloads whatever is still loaded

    // Loads "*.so" of `folder` (default: ProgramFolder()/Plugins) in name order.
    void LoadPlugins(const QString& folder = QString());
    bool LoadPlugin(const QString& path);
    // Calls every Done and unloads every library, in load order.
    void UnloadPlugins();

    const QList<TPluginEntry>& PluginList() const { return plugins_; }
    int PluginCount() const { return int(plugins_.size()); }

    // The entry of a plug-in, copied, with the library handle left out; all
    // fields cleared for an index out of range.
    TPluginEntry SelectPlugin(int index) const;
    const TPluginEntry& CurrentPlugin() const { return current_; }
    // Selects `index` as the current plug-in and returns its icon.
    QIcon Select(int index);

    // Offers the address to each initialised plug-in in load order; the
    // first that claims it gets Navigate. True when one claimed it.
    bool OfferAddress(const QString& address);
    // The first initialised plug-in whose ISNavigate claims the address, or
    // -1; and the Navigate call on that plug-in.
    int ClaimingPlugin(const QString& address) const;
    void NavigatePlugin(int index, const QString& address) const;

    // The plug-in's name (from its Name export) and its settings.
    QString PluginName(int index) const;
    void PluginSetup(int index) const;

    const QList<TPluginMenuItem>& PluginMenuItems() const { return menuItems_; }
    // Calls the handler of menu record tag - 1 with its three arguments.
    void PluginMenuClick(int tag);

    // The icon shown for a plug-in without one of its own.
    static QIcon DefaultIcon();

    // Host procedures, as the plug-ins reach them.
    void AddMenu(TPluginMenuHandler handler, const QByteArray& group, const QByteArray& caption,
                 const QByteArray& hint, const QByteArray& command, const QByteArray& arg2,
                 const QByteArray& arg3);
    TPluginHostWindow& window() { return window_; }

private:
    TPluginHostWindow& window_;
    QList<TPluginEntry> plugins_;
    QList<TPluginMenuItem> menuItems_;
    TPluginEntry current_;
};
