#include "shell/main/Program.h"

#include "platform/MessageBox.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"
#include "shell/data/ShippedPages.h"
#include "shell/dialogs/FrmCredit.h"
#include "shell/main/FrmMain.h"

#include <QApplication>
#include <QTimer>

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
    // A settings file that could not be read is kept as it is (and moved
    // aside, whole, before anything is written): the user is told once the
    // main window is up.
    const QStringList notices = TRegistry::TakeNotices();
    if (!notices.isEmpty())
        QTimer::singleShot(0, main, [main, text = notices.join(QStringLiteral("\n\n"))] {
            MessageBoxService::MessageBox(main, text, QStringLiteral("Warning"),
                                          MessageBoxService::MB_OK |
                                              MessageBoxService::MB_ICONWARNING);
        });
    const int result = app.exec();
    delete credit;
    delete main;
    return result;
}
