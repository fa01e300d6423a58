#pragma once

#include "chat/plugin/PluginHost.h"

#include <QByteArray>
#include <QList>
#include <QPointer>

// The library-wide state of the plug-in between Init and Done, and what the
// exports do. The exports (Zentrel.cpp) only call these and keep every
// exception inside the library.
namespace Zentrel {

class TMDIServer;

// The host's main form when Init ran: the windows' MDI area.
TForm* HostMainForm();
// The server windows in creation order; a window that closes removes
// itself, Done frees what is left.
QList<QPointer<TMDIServer>>& ServerWindows();

// `menuHandler` handles the two menu commands: the CallBack export.
void PluginInit(const THostCallbacks& callbacks, TPluginMenuHandler menuHandler);
TMDIServer* PluginNavigate(const QByteArray& address);
void PluginCallBack(const QByteArray& command);
void PluginSetup();
void PluginDone();

} // namespace Zentrel
