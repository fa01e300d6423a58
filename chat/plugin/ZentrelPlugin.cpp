#include "chat/plugin/ZentrelPlugin.h"

#include "chat/ChatTexts.h"
#include "chat/PluginAddress.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmDCC.h"
#include "chat/plugin/FrmMDIServer.h"
#include "chat/plugin/FrmMain.h"
#include "chat/plugin/FrmNick.h"

#include "platform/Cp874.h"
#include "toolkit/FontFaces.h"

#include <QCoreApplication>
#include <QEvent>

#include <dlfcn.h>

namespace Zentrel {

namespace {
TForm*& hostMainForm()
{
    static TForm* form = nullptr;
    return form;
}
} // namespace

// Keeps the library's code and constant data mapped after the host unloads
// it. Done leaves no object, socket, timer or queued event of the library,
// so none of its code runs afterwards; but Qt's process-wide caches (the
// font cache above all) keep copies of strings made from the library's
// literals, which share the literal's bytes, and would read freed memory if
// those bytes were unmapped.
void pinLibrary()
{
    Dl_info info = {};
    if (::dladdr(reinterpret_cast<void*>(&pinLibrary), &info) && info.dli_fname)
        ::dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

TForm* HostMainForm()
{
    return hostMainForm();
}

QList<QPointer<TMDIServer>>& ServerWindows()
{
    static QList<QPointer<TMDIServer>> windows;
    return windows;
}

void PluginInit(const THostCallbacks& callbacks, TPluginMenuHandler menuHandler)
{
    pinLibrary();
    // 1. The settings.
    Settings() = TZentrelSettings();
    LoadConfig(Settings());
    // 2. The host's application object would be installed as the library's
    // own here. The plug-in links the host's toolkit and platform as the
    // same shared libraries and runs on the host's QApplication (qApp is
    // one object for both), so its MDI forms enter the host's main form
    // already: there is nothing to install, and nothing to restore in Done.
    // 3. The DCC receive folder.
    ApplyDCCDirectoryDefault(Settings());
    // 4., 5. The host's main form and procedures.
    hostMainForm() = Application::MainForm();
    HostCallbacks() = callbacks;
    // Faces the stored settings and colour codes name, drawn with installed ones.
    FontFaces::InstallSubstitutes();
    // 6. The two commands under the Plugins menu.
    if (TPluginAddMenu add = HostCallbacks().PluginAddMenu) {
        add(menuHandler, Texts::MenuGroup, "Setup", "Setup IRC Plugins", "SETUP", "0", "0");
        add(menuHandler, Texts::MenuGroup, "Connect", "Open connection to IRC Server", "CONNECT",
            "0", "0");
    }
}

TMDIServer* PluginNavigate(const QByteArray& address)
{
    const TNavigateAddress a = SplitNavigateAddress(Cp874::toUnicode(address));
    if (!a.Claimed)
        return nullptr;
    if (!a.Channel.isEmpty()) {
        // Joined through a connected window of exactly this server text:
        // at once when its welcome has ended, else once it ends.
        for (const QPointer<TMDIServer>& w : ServerWindows()) {
            if (w && w->IsConnected() && w->ServerText() == a.Server) {
                w->JoinChannel(Cp874::fromUnicode(a.Channel));
                return nullptr;
            }
        }
    }
    auto* window = new TMDIServer();
    ServerWindows().append(window);
    window->SetAutoJoinChannel(Cp874::fromUnicode(a.Channel));
    window->SetServerText(a.Server);
    window->show();
    if (!a.Channel.isEmpty()) {
        // The nick prompt, a message box and the connection start once the
        // host's navigation event has returned; a window closed meanwhile
        // takes the call with it.
        // The nick prompt runs an event loop of its own: the window may go
        // meanwhile.
        const QString nick = a.Nick;
        const QPointer<TMDIServer> guard(window);
        QMetaObject::invokeMethod(
            window,
            [guard, nick] {
                try {
                    const QString chosen = nick.isEmpty() ? TF_Nick::Execute() : nick;
                    if (!guard)
                        return;
                    guard->SetNick(chosen);
                    guard->B_ConnectClick();
                } catch (const std::exception& e) {
                    HandleException(e, guard);
                }
            },
            Qt::QueuedConnection);
    }
    return window;
}

void PluginCallBack(const QByteArray& command)
{
    if (command == "SETUP")
        PluginSetup();
    else if (command == "CONNECT")
        PluginNavigate("irc:");
}

void PluginSetup()
{
    TF_Main::Execute();
}

void PluginDone()
{
    // 1. Every server window: its child windows leave the host and go, then
    // the window itself (no QUIT is sent). One that fails does not stop the
    // rest.
    const QList<QPointer<TMDIServer>> windows = std::exchange(ServerWindows(), {});
    for (const QPointer<TMDIServer>& w : windows) {
        if (!w)
            continue;
        try {
            w->CloseChildWindows();
        } catch (...) {
        }
        try {
            Host::RemoveWindow(w);
            delete w.data();
        } catch (...) {
        }
    }
    // Every DCC transfer ends (its sockets and file closed) and every offer
    // prompt goes, with the transfer window it holds.
    try {
        EndDccTransfers();
    } catch (...) {
    }
    // Nothing of the library may outlive it: forms that were closed and wait
    // for their deferred deletion, and any other form still open, go now.
    // (A form may take others with it: each is looked at once it is its
    // turn.)
    QList<QPointer<TZentrelForm>> forms;
    for (TZentrelForm* form : TZentrelForm::LiveForms())
        forms << form;
    for (const QPointer<TZentrelForm>& form : forms) {
        if (!form)
            continue;
        try {
            Host::RemoveWindow(form);
            delete form.data();
        } catch (...) {
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    HostCallbacks() = THostCallbacks();
    hostMainForm() = nullptr;
    // 2. The library's own application object stays as it always was (see
    // PluginInit).
}

} // namespace Zentrel
