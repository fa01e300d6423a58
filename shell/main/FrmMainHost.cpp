// The main window as the host of its child windows: their tabs and window
// list, the document commands, and what browser windows and the dialogs ask
// of it.
#include "shell/main/FrmMain.h"

#include "shell/main/MainFavorites.h"
#include "shell/main/MainServices.h"
#include "toolkit/Controls.h"

int TF_Main::IndexOfChild(const QObject* form) const
{
    return childTabs_.IndexOf(form);
}

void TF_Main::RegisterChildTab(TForm* form)
{
    childTabs_.Register(form);
}

void TF_Main::UnregisterChildTab(TForm* form)
{
    childTabs_.Unregister(form);
}

void TF_Main::ActivateChildTab(TForm* form)
{
    childTabs_.Activate(form);
}

void TF_Main::SetChildCaption(TForm* form, const QString& caption)
{
    childTabs_.SetCaption(form, caption);
}

void TF_Main::SetTabCaption(TForm* form, const QString& caption)
{
    childTabs_.SetTabCaption(form, caption);
}

void TF_Main::SetChildBusy(TForm* form, bool busy)
{
    childTabs_.SetBrowserImage(form, busy);
}

void TF_Main::SetPluginTabIcon(TForm* form, bool busy)
{
    childTabs_.SetPluginImage(form, busy);
}

void TF_Main::EnableDocumentCommands(const TDocumentCommands& commands)
{
    const auto apply = [](QAction* item, const std::optional<bool>& enabled) {
        if (enabled)
            item->setEnabled(*enabled);
    };
    apply(N_Print, commands.Print);
    apply(N_PSetup, commands.PageSetup);
    apply(N_SaveHTML, commands.Save);
    apply(MNU_WebOffLine, commands.WorkOffline);
    // Print preview exists from engine version 5.5 on; below it stays as it is.
    if (IEVersion >= 5.5)
        apply(N_PrintPreview, commands.PrintPreview);
    if (commands.Offline) {
        MNU_WebOffLine->setCheckable(true);
        MNU_WebOffLine->setChecked(*commands.Offline);
    }
    if (commands.BackButton)
        RSB_Back->setEnabled(*commands.BackButton);
    if (commands.ForwardButton)
        RSB_Forward->setEnabled(*commands.ForwardButton);
    apply(MNU_PrevPage, commands.BackItem);
    apply(MNU_NextPage, commands.ForwardItem);
}

TTerminalSettings TF_Main::TerminalSettings() const
{
    return {Settings.TFont, Settings.TCols, Settings.TRows};
}

void TF_Main::OpenURLInNewWindow(const QString& address)
{
    if (IBrowserWindow* window = NewBrowserWindow())
        window->Navigate(address);
}

IBrowserWindow* TF_Main::NewBrowserWindow()
{
    return services_.CreateBrowserWindow(*this);
}

TWebBrowser* TF_Main::NewBrowserControl()
{
    return services_.NewBrowserControl();
}

TPluginHost* TF_Main::PluginHost()
{
    return services_.PluginHost();
}

void TF_Main::RunCommand(TMainCommand command)
{
    switch (command) {
    case TMainCommand::Back:
        RSB_BackClick();
        break;
    case TMainCommand::Forward:
        RSB_ForwardClick();
        break;
    case TMainCommand::NewWindow:
        RSB_NewWindowClick();
        break;
    case TMainCommand::OpenFile:
        N_OpenFileClick();
        break;
    case TMainCommand::SaveAs:
        N_SaveHTMLClick();
        break;
    }
}

void TF_Main::PopupMainMenu(const QPoint& globalPos)
{
    PM_menu->popup(globalPos);
}

void TF_Main::SetAddFavoriteEnabled(bool enabled)
{
    // The favorites menu's first item stands for its add command.
    if (!Fav_Favorite || !Fav_Favorite->RootItem())
        return;
    const QList<TMenuItem*> items = Fav_Favorite->RootItem()->Items();
    if (!items.isEmpty())
        items.first()->setEnabled(enabled);
}

void TF_Main::ShowTextSize(int size)
{
    const QList<TMenuItem*> sizes = {MNU_TextSmallest, MNU_TextSmall, MNU_TextMedium, MNU_TextBig,
                                     MNU_TextBiggest};
    if (size >= 0 && size < sizes.size())
        sizes.at(size)->setChecked(true);
}

void TF_Main::SetStatusText(const QString& text)
{
    S_Status->SetSimpleText(text);
}
