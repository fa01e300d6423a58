// The shell's window for "telnet:" addresses: an MDI child of the main form
// holding one telnet terminal that fills it. It has a tab in the main
// window's tab bar, takes over the main window's commands when it is
// activated, and closes itself when the session ends. It knows the main
// window only as the host of its child windows.
#pragma once

#include "telnet/TnEmulvt.h"
#include "toolkit/Forms.h"

#include <QPointer>

class TChildWindowHost;

class TF_Telnet : public TForm
{
    Q_OBJECT
public:
    // The window belongs to the application; showing it puts it in the main
    // form's client area, registered in the host's window list.
    explicit TF_Telnet(TChildWindowHost& host);
    ~TF_Telnet() override;

    TTnEmulVT* Telnet;

    void TelnetSessionConnected(QObject* Sender);
    void TelnetSessionClosed(QObject* Sender);

protected:
    void FormCreate();
    void FormClose(TCloseAction& Action) override;
    void FormActivate() override;
    // The window became the active child: it takes over the main window's
    // commands.
    void HandleMdiActivate();

private:
    TChildWindowHost& host_;
    bool closing_ = false;
};

// The window created last.
extern QPointer<TF_Telnet> F_Telnet;

// Opens a telnet window on host (and port, unless empty), starts its
// connection and applies the host's terminal settings (font name, columns,
// rows). The main window's handling of "telnet:" addresses calls this.
TF_Telnet* OpenTelnetForm(TChildWindowHost& host, const QString& hostName, const QString& port);
