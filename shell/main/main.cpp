#include "platform/ProgramFolder.h"
#include "shell/browser/EmbeddedWB.h"
#include "shell/data/ShippedPages.h"
#include "shell/dialogs/FrmCredit.h"
#include "shell/main/FrmMain.h"
#include "shell/main/MainServices.h"

#include <QApplication>

int main(int argc, char** argv)
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Brevant++ 1.00 Release"));
    app.setApplicationDisplayName(QStringLiteral("Brevant++ 1.00 Release"));
    InstallShippedPages(ProgramFolder());

    // What the main window uses for its windows, the terminal and the
    // plug-ins; it outlives the window.
    TMainServices services;
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
