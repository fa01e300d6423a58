// The exports of the chat plug-in Zentrel, the only symbols the library
// shows (exports.map). Each keeps every exception inside the library.
#include "chat/PluginAddress.h"
#include "chat/plugin/FrmMDIServer.h"
#include "chat/plugin/ZentrelPlugin.h"

#include "platform/Cp874.h"
#include "shell/PluginInterface.h"

#include <QByteArray>

using namespace Zentrel;

namespace {

QByteArray text(const char* bytes)
{
    return bytes ? QByteArray(bytes) : QByteArray();
}

template <typename Result, typename F> Result boundary(Result fallback, F&& call)
{
    try {
        return call();
    } catch (const std::exception& e) {
        qWarning("Zentrel: %s", e.what());
    } catch (...) {
        qWarning("Zentrel: unknown error");
    }
    return fallback;
}

} // namespace

BREVANT_PLUGIN_EXPORT void CallBack(const char* command, const char* arg2, const char* arg3);

BREVANT_PLUGIN_EXPORT void Init(TPluginApplication, TPluginAddWindow addWindow,
                                TPluginRemoveWindow removeWindow,
                                TPluginActivateWindow activateWindow, TPluginSetCaption setCaption,
                                TPluginSetBusyIcon setBusyIcon, TPluginSetIdleIcon setIdleIcon,
                                TPluginOpenURL openURL, TPluginAddMenu addMenu)
{
    boundary(0, [&] {
        PluginInit({addWindow, removeWindow, activateWindow, setCaption, setBusyIcon, setIdleIcon,
                    openURL, addMenu},
                   CallBack);
        return 0;
    });
}

BREVANT_PLUGIN_EXPORT unsigned char* Name(unsigned char* buffer)
{
    return boundary(buffer, [&] {
        if (buffer)
            WritePluginName(buffer);
        return buffer;
    });
}

BREVANT_PLUGIN_EXPORT void Setup()
{
    boundary(0, [] {
        PluginSetup();
        return 0;
    });
}

BREVANT_PLUGIN_EXPORT int ISNavigate(const char* address)
{
    return boundary(0, [&] { return int(Zentrel::ISNavigate(Cp874::toUnicode(text(address)))); });
}

BREVANT_PLUGIN_EXPORT TPluginForm Navigate(const char* address)
{
    return boundary<TPluginForm>(nullptr, [&]() -> TPluginForm {
        TForm* window = PluginNavigate(text(address));
        return window;
    });
}

BREVANT_PLUGIN_EXPORT void CallBack(const char* command, const char*, const char*)
{
    boundary(0, [&] {
        PluginCallBack(text(command));
        return 0;
    });
}

BREVANT_PLUGIN_EXPORT void Done()
{
    boundary(0, [] {
        PluginDone();
        return 0;
    });
}
