#include "toolkit/ChildWindowHost.h"

#include "toolkit/Forms.h"

// Defined here, so that the interface's type lives in this shared library
// and is the same for the program and its plug-ins.
TChildWindowHost::~TChildWindowHost() = default;

TChildWindowHost* MainChildWindowHost()
{
    return dynamic_cast<TChildWindowHost*>(Application::MainForm());
}
