#include "shell/main/StandIns.h"

#include "shell/main/FrmMain.h"
#include "telnet/FrmTelnet.h"
#include "toolkit/Controls.h"

TPluginHostCalls& PluginHost()
{
    static TPluginHostCalls calls{[](TF_Main&) {}, [](TF_Main&) {}, [](TF_Main&) {}};
    return calls;
}

namespace {

TTelnetOpener& telnetOpener()
{
    static TTelnetOpener opener;
    return opener;
}

} // namespace

void SetTelnetOpener(TTelnetOpener opener)
{
    telnetOpener() = std::move(opener);
}

void OpenTelnetWindow(TF_Main& main, const QString& host, const QString& port)
{
    if (telnetOpener()) {
        telnetOpener()(main, host, port);
        return;
    }
    OpenTelnetForm(main, host, port);
}
