// A plug-in with windows, as the chat plug-in has: each "window:" address
// opens an MDI-child form of the shared toolkit, which joins the host's
// main form as soon as it is shown; the host procedures give it its tab,
// caption, tab images and activation. Done frees every window still open.
// The TestWindow* exports let the host's test drive it.
#include "shell/PluginInterface.h"
#include "toolkit/Forms.h"

#include <QApplication>
#include <QList>
#include <QPointer>

#include <cstring>

namespace {

struct THost
{
    TPluginAddWindow addWindow = nullptr;
    TPluginRemoveWindow removeWindow = nullptr;
    TPluginActivateWindow activateWindow = nullptr;
    TPluginSetCaption setCaption = nullptr;
    TPluginSetBusyIcon setBusy = nullptr;
    TPluginSetIdleIcon setIdle = nullptr;
} host;

bool initedWithTheHostsApplication = false;

// One window of the plug-in: it leaves the host's tab bar when the user
// closes it, and is freed then.
class TPluginWindow : public TForm
{
public:
    explicit TPluginWindow(const char* name) : TForm(nullptr, Qt::Widget)
    {
        setObjectName(QString::fromLatin1(name));
        SetCaption(QStringLiteral("untitled"));
        SetFormStyle(fsMDIChild);
        resize(300, 200);
    }

protected:
    void FormClose(TCloseAction& action) override
    {
        host.removeWindow(this);
        action = caFree;
    }
};

QList<QPointer<TPluginWindow>>& windows()
{
    static QList<QPointer<TPluginWindow>> list;
    return list;
}

TPluginWindow* window(int index)
{
    return index >= 0 && index < windows().size() ? windows().at(index).data() : nullptr;
}

} // namespace

BREVANT_PLUGIN_EXPORT void Init(TPluginApplication application, TPluginAddWindow addWindow,
                                TPluginRemoveWindow removeWindow,
                                TPluginActivateWindow activateWindow, TPluginSetCaption setCaption,
                                TPluginSetBusyIcon setBusyIcon, TPluginSetIdleIcon setIdleIcon,
                                TPluginOpenURL, TPluginAddMenu)
{
    initedWithTheHostsApplication = application == qApp;
    host = {addWindow, removeWindow, activateWindow, setCaption, setBusyIcon, setIdleIcon};
}

BREVANT_PLUGIN_EXPORT int ISNavigate(const char* address)
{
    return address && std::strncmp(address, "window:", 7) == 0;
}

// Opens the window named after the colon: shown, it enters the host's
// area; then its tab, its caption (Thai, in code page 874, and an "&")
// and its activation come through the host procedures.
BREVANT_PLUGIN_EXPORT TPluginForm Navigate(const char* address)
{
    auto* form = new TPluginWindow(address + 7);
    windows().append(form);
    form->show();
    host.addWindow(form);
    host.setCaption(form, "\xCA\xB9\xD8\xA1 & more");
    host.activateWindow(form);
    return form;
}

BREVANT_PLUGIN_EXPORT void Done()
{
    // Nothing of the library may outlive it: each window leaves the host
    // and is freed now, not later.
    for (const QPointer<TPluginWindow>& form : windows()) {
        if (!form)
            continue;
        host.removeWindow(form.data());
        delete form.data();
    }
    windows().clear();
}

BREVANT_PLUGIN_EXPORT unsigned char* Name(unsigned char* buffer)
{
    const char* name = "Window plug-in";
    buffer[0] = static_cast<unsigned char>(std::strlen(name));
    std::memcpy(buffer + 1, name, buffer[0]);
    return buffer;
}

BREVANT_PLUGIN_EXPORT void Setup() {}

// --- for the test ---

BREVANT_PLUGIN_EXPORT int TestInitedWithTheHostsApplication()
{
    return initedWithTheHostsApplication;
}

BREVANT_PLUGIN_EXPORT TPluginForm TestWindow(int index)
{
    return window(index);
}

BREVANT_PLUGIN_EXPORT void TestActivate(int index)
{
    if (TPluginWindow* form = window(index))
        host.activateWindow(form);
}

BREVANT_PLUGIN_EXPORT void TestBusy(int index, int busy)
{
    if (TPluginWindow* form = window(index))
        (busy ? host.setBusy : host.setIdle)(form);
}
