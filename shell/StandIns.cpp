#include "shell/StandIns.h"

#include "shell/FrmMain.h"
#include "telnet/FrmTelnet.h"
#include "toolkit/Controls.h"

TPluginHostCalls& PluginHost()
{
    static TPluginHostCalls calls{[](TF_Main&) {}, [](TF_Main&) {}, [](TF_Main&) {}};
    return calls;
}

namespace {

TTelnetOpener& telnetOpener()
{
    static TTelnetOpener opener;
    return opener;
}

} // namespace

void SetTelnetOpener(TTelnetOpener opener)
{
    telnetOpener() = std::move(opener);
}

void OpenTelnetWindow(TF_Main& main, const QString& host, const QString& port)
{
    if (telnetOpener()) {
        telnetOpener()(main, host, port);
        return;
    }
    OpenTelnetForm(main, host, port);
}

TFavoritesMenuStandIn::TFavoritesMenuStandIn(QObject* owner, const QString& name)
    : TComponent(owner, name)
{}

void TFavoritesMenuStandIn::BuildMenu(TMainMenu* menu, int position)
{
    if (root_)
        return;
    root_ = new TMenuItem(QString(), menu);
    root_->SetCaption(QStringLiteral("Favorites"));
    TMenuItem* add = root_->AddItem(QString());
    add->SetCaption(QStringLiteral("&Add to Favorites ..."));
    const QList<QAction*> actions = menu->actions();
    const int index = position - 1;
    if (index >= 0 && index < actions.size())
        menu->insertAction(actions.at(index), root_);
    else
        menu->addAction(root_);
}
