#pragma once

#include "shell/main/MainFavorites.h" // the Favorites menu that replaced its stand-in
#include "toolkit/Classes.h"

#include <QString>

#include <functional>

class TF_Main;
class TMainMenu;
class TMenuItem;

// Thin stand-ins for the parts of the shell that later work fills: the
// plug-in host and the telnet window. Each keeps the
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
