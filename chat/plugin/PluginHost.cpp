#include "chat/plugin/PluginHost.h"

#include "toolkit/AppWindow.h"

namespace Zentrel {

THostCallbacks& HostCallbacks()
{
    static THostCallbacks callbacks;
    return callbacks;
}

void HandleException(const std::exception& error, QObject* sender)
{
    Application::HandleException(error, sender);
}

namespace Host {

void AddWindow(TForm* form)
{
    if (form && HostCallbacks().PluginAddWindow)
        HostCallbacks().PluginAddWindow(form);
}

void RemoveWindow(TForm* form)
{
    if (form && HostCallbacks().PluginRemoveWindow)
        HostCallbacks().PluginRemoveWindow(form);
}

void ActivateWindow(TForm* form)
{
    if (form && HostCallbacks().PluginActivateWindow)
        HostCallbacks().PluginActivateWindow(form);
}

void SetCaption(TForm* form, const QByteArray& caption)
{
    if (form && HostCallbacks().PluginSetCaption)
        HostCallbacks().PluginSetCaption(form, caption.constData());
}

void SetBusyIcon(TForm* form)
{
    if (form && HostCallbacks().PluginSetBusyIcon)
        HostCallbacks().PluginSetBusyIcon(form);
}

void SetIdleIcon(TForm* form)
{
    if (form && HostCallbacks().PluginSetIdleIcon)
        HostCallbacks().PluginSetIdleIcon(form);
}

void OpenURL(const QByteArray& address)
{
    if (HostCallbacks().PluginOpenURL)
        HostCallbacks().PluginOpenURL(address.constData());
}

} // namespace Host

namespace {
QList<TZentrelForm*>& liveForms()
{
    static QList<TZentrelForm*> forms;
    return forms;
}
} // namespace

TZentrelForm::TZentrelForm(QWidget* parent, Qt::WindowFlags flags) : TForm(parent, flags)
{
    liveForms().append(this);
}

TZentrelForm::~TZentrelForm()
{
    liveForms().removeOne(this);
}

QList<TZentrelForm*> TZentrelForm::LiveForms()
{
    return liveForms();
}

} // namespace Zentrel
