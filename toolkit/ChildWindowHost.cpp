#include "toolkit/ChildWindowHost.h"

#include "toolkit/Forms.h"

// Defined here, so that the interface's type lives in this shared library
// and is the same for the program and its plug-ins.
TChildWindowHost::~TChildWindowHost() = default;

// The host without a tab bar or commands.
void TChildWindowHost::RegisterChildTab(TForm*) {}

void TChildWindowHost::UnregisterChildTab(TForm*) {}

void TChildWindowHost::ActivateChildTab(TForm* form)
{
    if (form)
        form->BringToFront();
}

void TChildWindowHost::SetChildCaption(TForm* form, const QString& caption)
{
    if (form)
        form->SetCaption(caption);
}

void TChildWindowHost::SetTabCaption(TForm*, const QString&) {}

void TChildWindowHost::SetChildBusy(TForm*, bool) {}

void TChildWindowHost::SetPluginTabIcon(TForm*, bool) {}

int TChildWindowHost::IndexOfChild(const QObject*) const
{
    return -1;
}

void TChildWindowHost::EnableDocumentCommands(const TDocumentCommands&) {}

TForm* TChildWindowHost::ActiveChild() const
{
    return qobject_cast<TForm*>(activeChild_.data());
}

void TChildWindowHost::SetActiveChild(TForm* child)
{
    activeChild_ = child;
}

void TChildWindowHost::UpdateGoFavorite() {}

TTerminalSettings TChildWindowHost::TerminalSettings() const
{
    return {};
}

void TChildWindowHost::OpenURLInNewWindow(const QString&) {}

TChildWindowHost* MainChildWindowHost()
{
    return dynamic_cast<TChildWindowHost*>(Application::MainForm());
}
