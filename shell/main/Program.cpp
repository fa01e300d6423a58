#include "shell/main/Program.h"

#include "platform/ProgramFolder.h"
#include "shell/data/ShippedPages.h"
#include "shell/dialogs/FrmCredit.h"
#include "shell/main/ExitSignals.h"
#include "shell/main/FrmMain.h"

#include <QApplication>
#include <QSessionManager>

int RunProgram(QApplication& app, TMainServices& services)
{
    app.setApplicationName(QStringLiteral("Brevant++ 1.00 Release"));
    app.setApplicationDisplayName(QStringLiteral("Brevant++ 1.00 Release"));
    InstallShippedPages(ProgramFolder());

    // The forms that live for the whole run; the main window first.
    auto* main = new TF_Main(services);
    auto* credit = new TF_Credit;
    F_Credit = credit;
    main->show();

    // Ended from outside: a signal, or the desktop session. The exit's
    // saves run without asking (the exit dialog's boxes unticked).
    TExitSignals exitSignals([main](int) { main->EndWithoutDialog(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, main,
                     [main](QSessionManager&) { main->SaveForSessionEnd(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, main,
                     [main] { main->EndWithoutDialog(); });

    const int result = app.exec();
    delete credit;
    delete main;
    return result;
}
