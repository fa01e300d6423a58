#pragma once

#include "shell/PluginInterface.h"
#include "toolkit/Forms.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>

#include <exception>
#include <stdexcept>
#include <utility>

// What the plug-in keeps of its host: the eight host procedures of Init,
// and the forms of the library that are alive. Every host call of the
// plug-in goes through here; text goes out as code page 874.
namespace Zentrel {

struct THostCallbacks
{
    TPluginAddWindow PluginAddWindow = nullptr;
    TPluginRemoveWindow PluginRemoveWindow = nullptr;
    TPluginActivateWindow PluginActivateWindow = nullptr;
    TPluginSetCaption PluginSetCaption = nullptr;
    TPluginSetBusyIcon PluginSetBusyIcon = nullptr;
    TPluginSetIdleIcon PluginSetIdleIcon = nullptr;
    TPluginOpenURL PluginOpenURL = nullptr;
    TPluginAddMenu PluginAddMenu = nullptr;
};

// Kept from Init until Done; empty (every call a no-op) outside that time.
THostCallbacks& HostCallbacks();

namespace Host {
void AddWindow(TForm* form);
void RemoveWindow(TForm* form);
void ActivateWindow(TForm* form);
void SetCaption(TForm* form, const QByteArray& caption);
void SetBusyIcon(TForm* form);
void SetIdleIcon(TForm* form);
void OpenURL(const QByteArray& address);
} // namespace Host

// An exception that reached one of the plug-in's event handlers: the
// application shows it (the toolkit's error box).
void HandleException(const std::exception& error, QObject* sender = nullptr);

// Runs an event handler of the plug-in and stops what it lets out there.
// (The toolkit's GuardEvent does the same; its header cannot stand beside
// the rich text control's, which declares a message record of the same
// name as the platform's.)
template <typename F> void Guard(QObject* sender, F&& handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        HandleException(e, sender);
    } catch (...) {
        HandleException(std::runtime_error("Unknown error"), sender);
    }
}

// The base of every form of the plug-in: it is listed while it lives, so
// that Done can free whatever is left (a form the user closed waits for its
// deferred deletion, which must not run after the library is unloaded).
class TZentrelForm : public TForm
{
    Q_OBJECT
public:
    explicit TZentrelForm(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Window);
    ~TZentrelForm() override;

    // The plug-in's forms alive now, in creation order.
    static QList<TZentrelForm*> LiveForms();
};

} // namespace Zentrel
