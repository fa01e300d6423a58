#pragma once

#include "toolkit/Classes.h"

#include <QString>

#include <functional>

class TF_Main;
class TMainMenu;
class TMenuItem;

// Thin stand-ins for the parts of the shell that later work fills: the
// plug-in host, the telnet window and the favorites menu. Each keeps the
// program running and its data safe, and can be replaced by installing
// another function.

struct TPluginHostCalls
{
    std::function<void(TF_Main&)> LoadPlugins;
    std::function<void(TF_Main&)> SelectPlugins; // select each loaded plug-in in load order
    std::function<void(TF_Main&)> UnloadPlugins;
};
// The calls in use; by default they do nothing (no plug-in is loaded).
TPluginHostCalls& PluginHost();

// Opens the terminal window on a host and port (an empty port keeps the
// terminal's default). Another function can be installed in its place.
using TTelnetOpener = std::function<void(TF_Main&, const QString& host, const QString& port)>;
void SetTelnetOpener(TTelnetOpener opener);
void OpenTelnetWindow(TF_Main& main, const QString& host, const QString& port);

// The Favorites menu: inserted as the fourth entry of the main menu, empty
// but for its add command.
class TFavoritesMenuStandIn : public TComponent
{
    Q_OBJECT
public:
    TFavoritesMenuStandIn(QObject* owner, const QString& name);
    // Builds the menu and inserts it into `menu` before entry `position - 1`.
    void BuildMenu(TMainMenu* menu, int position);
    TMenuItem* RootItem() const { return root_; }

private:
    TMenuItem* root_ = nullptr;
};
