// A plug-in for the host's tests: it records every call it gets in a log
// that the test reads through the TestLog export.
#include "shell/PluginInterface.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {

std::string log;
TPluginOpenURL openURL = nullptr;
TPluginAddWindow addWindow = nullptr;
TPluginRemoveWindow removeWindow = nullptr;
TPluginActivateWindow activateWindow = nullptr;
TPluginSetCaption setCaption = nullptr;
TPluginSetBusyIcon setBusy = nullptr;
TPluginSetIdleIcon setIdle = nullptr;
TPluginAddMenu addMenu = nullptr;

std::string show(const char* s)
{
    return s ? std::string(s) : std::string("(null)");
}

void record(const std::string& line)
{
    log += std::string(PLUGIN_LABEL) + ":" + line + ";";
}

void handler(const char* command, const char* arg2, const char* arg3)
{
    record("menu " + show(command) + "," + show(arg2) + "," + show(arg3));
}

} // namespace

BREVANT_PLUGIN_EXPORT const char* TestLog()
{
    return log.c_str();
}

// Calls each window procedure of the host once, as a plug-in's window would.
BREVANT_PLUGIN_EXPORT void TestCallHost(TPluginForm form)
{
    addWindow(form);
    setCaption(form, "\xCA\xB9\xD8\xA1 & more"); // Thai in code page 874
    setBusy(form);
    setIdle(form);
    activateWindow(form);
    removeWindow(form);
}

BREVANT_PLUGIN_EXPORT void Init(TPluginApplication app, TPluginAddWindow add1,
                                TPluginRemoveWindow remove1, TPluginActivateWindow activate1,
                                TPluginSetCaption caption1, TPluginSetBusyIcon busy1,
                                TPluginSetIdleIcon idle1, TPluginOpenURL open, TPluginAddMenu add)
{
    addWindow = add1;
    removeWindow = remove1;
    activateWindow = activate1;
    setCaption = caption1;
    setBusy = busy1;
    setIdle = idle1;
    openURL = open;
    addMenu = add;
    record(app ? "init" : "init without application");
    const std::string group = std::string("Group ") + PLUGIN_LABEL;
    add(handler, group.c_str(), "A caption that runs to fifty characters, exactly!!", "the hint",
        "COMMAND-OF-25-BYTES-LONG!", "", "third");
    add(handler, group.c_str(), "Second", "", "TWO", "2", "3");
    add(handler, "group", "Other group", "", "X", nullptr, nullptr);
    // An address opened while starting must not come back to this plug-in.
    open("irc://from-init/");
}

BREVANT_PLUGIN_EXPORT int ISNavigate(const char* address)
{
    record("is " + show(address));
    std::string upper = show(address);
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("IRC:") != std::string::npos;
}

BREVANT_PLUGIN_EXPORT TPluginForm Navigate(const char* address)
{
    record("navigate " + show(address));
    if (std::strcmp(address, "irc://nest/") == 0)
        openURL("irc://inner/");
    return nullptr;
}

BREVANT_PLUGIN_EXPORT void Done()
{
    record("done");
}

BREVANT_PLUGIN_EXPORT unsigned char* Name(unsigned char* buffer)
{
    const char* name = "Test plug-in " PLUGIN_LABEL;
    buffer[0] = static_cast<unsigned char>(std::strlen(name));
    std::memcpy(buffer + 1, name, buffer[0]);
    return buffer;
}

#ifdef WITH_SETUP
BREVANT_PLUGIN_EXPORT void Setup()
{
    record("setup");
}
#endif

#ifdef WITH_CALLBACK
BREVANT_PLUGIN_EXPORT void CallBack(const char* command, const char* arg2, const char* arg3)
{
    handler(command, arg2, arg3);
}
#endif
