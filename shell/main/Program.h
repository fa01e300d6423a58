#pragma once

class QApplication;
class TMainServices;

// The program's main block once the engine is prepared and the application
// object exists: the application's title, the shipped pages, the forms that
// live for the whole run (the main window first, made with `services`), and
// the message loop. Returns the loop's exit code. The program passes the
// real services; the start-up benchmark passes its own, which watch the
// first page.
int RunProgram(QApplication& app, TMainServices& services);
