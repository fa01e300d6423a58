#include "shell/browser/EmbeddedWB.h"
#include "shell/main/MainServices.h"
#include "shell/main/Program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    // What the main window uses for its windows, the terminal and the
    // plug-ins; it outlives the window.
    TMainServices services;
    return RunProgram(app, services);
}
