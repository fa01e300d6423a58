// The main window's exit: the exit dialog, and the saves that every end of
// the program runs, whether the user confirmed the dialog, a signal asked
// the program to stop, or the desktop session is ending.
#include "shell/main/FrmMain.h"

#include "platform/Registry.h"
#include "shell/data/MainWindowRules.h"
#include "shell/dialogs/FrmExit.h"
#include "shell/favorites/FrmFavorite.h"
#include "shell/main/FrmFloatToolbar.h"
#include "shell/main/MainServices.h"
#include "toolkit/Controls.h"

#include <QApplication>

#include <utility>

void TF_Main::CollectLayout()
{
    Settings.ToolBarAlign =
        SpB_ToolBar->Align() == TAlign::alBottom ? QStringLiteral("bottom") : QStringLiteral("top");
    Settings.ToolBarVisible = !SpB_ToolBar->isHidden();
    Settings.FavoriteBarVisible = !TB_WebURL->isHidden();
    Settings.WindowBarVisible = !TB_Pages->isHidden();
    Settings.FormX = x();
    Settings.FormY = y();
    Settings.FormWidth = width();
    Settings.FormHeight = height();
    if (F_FloatToolbar) {
        Settings.ToolBarX = F_FloatToolbar->x();
        Settings.ToolBarY = F_FloatToolbar->y();
    }
}

void TF_Main::FormClose(TCloseAction& action)
{
    if (ShuttingDown)
        return;
    // A second close while the exit dialog is up waits for its answer.
    if (exitDialogOpen_) {
        action = caNone;
        return;
    }
    auto dialog = std::make_unique<TF_Exit>();
    exitDialogOpen_ = true;
    const bool confirmed = dialog->Execute();
    exitDialogOpen_ = false;
    // The program may have been ended while the dialog was up.
    if (!confirmed || ShuttingDown) {
        action = caNone;
        return;
    }
    ShuttingDown = true;
    const bool saveWindows = dialog->ChB_SaveWindow->isChecked();
    const bool saveEnvironment = dialog->ChB_SaveEnv->isChecked();
    RunExitSaves(saveWindows, saveEnvironment, true, [&dialog] { dialog.reset(); });
}

void TF_Main::EndWithoutDialog()
{
    if (ShuttingDown)
        return;
    ShuttingDown = true;
    RunExitSaves(false, false, true);
    // Modal dialogs, the exit dialog among them, end with the loop.
    QCoreApplication::quit();
}

void TF_Main::EndEventLoops()
{
    if (ShuttingDown)
        return;
    ShuttingDown = true;
    EndPending = true;
    // exit() ends every running loop, a dialog's among them, and keeps new
    // ones from starting; quit() would close the windows and so raise the
    // exit dialog.
    QCoreApplication::exit(0);
}

void TF_Main::RunPendingEnd()
{
    if (!std::exchange(EndPending, false))
        return;
    RunExitSaves(false, false, true);
}

void TF_Main::SaveForSessionEnd()
{
    // The session may still be cancelled: the data is saved, the program
    // keeps running, and its plug-ins stay loaded.
    if (!ShuttingDown)
        RunExitSaves(false, false, false);
}

void TF_Main::RunExitSaves(bool saveWindows, bool saveEnvironment, bool unloadPlugins,
                           const std::function<void()>& freeDialog)
{
    TExitSequence exit;
    if (saveWindows)
        exit.add(QStringLiteral("saved windows"), [this] {
            QStringList addresses;
            for (const QPointer<TForm>& form : WindowList)
                if (auto* browser = dynamic_cast<IBrowserWindow*>(form.data()))
                    if (!browser->AddressText().isEmpty())
                        addresses.append(browser->AddressText());
            Data.SaveWindowList(addresses);
        });
    if (saveEnvironment)
        exit.add(QStringLiteral("layout"), [this] {
            CollectLayout();
            TRegistry reg;
            SaveLayout(reg, Settings);
        });
    if (freeDialog)
        exit.add(QStringLiteral("exit dialog"), freeDialog);
    exit.add(QStringLiteral("history"), [this] { Data.SaveURLHistory(Settings.MaxURLSave); });
    if (unloadPlugins)
        exit.add(QStringLiteral("toolbar glyphs"), [this] { ToolbarGlyphs.clear(); });
    exit.add(QStringLiteral("group links"), [this] { Data.SaveGroupURLs(); });
    exit.add(QStringLiteral("banners"), [this] { Data.SaveBanners(); });
    exit.add(QStringLiteral("settings"), [this] {
        if (!SettingsLoaded)
            return;
        Settings.Favorite = Data.CurrentGroup;
        // The tree's height as the user left it; a panel that was never
        // shown keeps the value it was given.
        if (TV_URLGroup->isVisible())
            Settings.TVURLSize = TV_URLGroup->height();
        TRegistry reg;
        SaveSettings(reg, Settings);
    });
    // The organiser's tree is the one the user edits; the panel's is a copy.
    exit.add(QStringLiteral("favorites tree"),
             [this] { Data.SaveFavoriteTree(F_Favorite ? F_Favorite->URLTree : FavoriteTree); });
    if (unloadPlugins)
        exit.add(QStringLiteral("plug-ins"), [this] { services_.UnloadPlugins(); });
    exit.run();
    ExitStepsRan = exit.ran();
    ExitStepsFailed = exit.failed();
    for (const QString& failure : ExitStepsFailed)
        qWarning("Brevant: exit step failed: %s", qPrintable(failure));
}
