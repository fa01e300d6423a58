#include "shell/main/Program.h"

#include "platform/ProgramFolder.h"
#include "shell/data/ShippedPages.h"
#include "shell/dialogs/FrmCredit.h"
#include "shell/main/FrmMain.h"

#include <QApplication>

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
    const int result = app.exec();
    delete credit;
    delete main;
    return result;
}
