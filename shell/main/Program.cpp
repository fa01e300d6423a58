#include "shell/main/Program.h"

#include "platform/ProgramFolder.h"
#include "shell/data/ShippedPages.h"
#include "shell/dialogs/FrmCredit.h"
#include "shell/main/ExitSignals.h"
#include "shell/main/FrmMain.h"

#include <QApplication>
#include <QSessionManager>

#include <utility>

int RunProgram(QApplication& app, TMainServices& services)
{
    app.setApplicationName(QStringLiteral("Brevant++ 1.00 Release"));
    app.setApplicationDisplayName(QStringLiteral("Brevant++ 1.00 Release"));
    InstallShippedPages(ProgramFolder());

    // Ended from outside: a signal, or the desktop session. The exit's
    // saves run without asking (the exit dialog's boxes unticked). A signal
    // ends the event loops, whatever dialog is up, and the saves run once
    // the main loop has returned; one that comes while the main window is
    // being made ends the run once it is made.
    TF_Main* main = nullptr;
    bool signalled = false;
    TExitSignals exitSignals([&main, &signalled](int) {
        if (main)
            main->EndEventLoops();
        else
            signalled = true;
    });

    // The forms that live for the whole run; the main window first.
    main = new TF_Main(services);
    auto* credit = new TF_Credit;
    F_Credit = credit;
    QObject::connect(&app, &QGuiApplication::commitDataRequest, main,
                     [main](QSessionManager&) { main->SaveForSessionEnd(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, main,
                     [main] { main->EndWithoutDialog(); });
    int result = 0;
    if (signalled) {
        main->EndWithoutDialog();
    } else {
        main->show();
        result = app.exec();
        main->RunPendingEnd();
    }
    // A signal from here on finds no window to end.
    TF_Main* const going = std::exchange(main, nullptr);
    delete credit;
    delete going;
    return result;
}
