// The shell's window for "telnet:" addresses: a window of the main window's
// work area holding one telnet terminal that fills it. It has a tab in the
// main window's tab bar, takes over the main window's commands when it is
// activated, and closes itself when the session ends.
#pragma once

#include "telnet/TnEmulvt.h"
#include "toolkit/Forms.h"

#include <QPointer>

class QMdiSubWindow;
class TF_Main;

class TF_Telnet : public TForm
{
    Q_OBJECT
public:
    // The window belongs to the application; it is placed in main's work
    // area and registered in its window list.
    explicit TF_Telnet(TF_Main* main);
    ~TF_Telnet() override;

    TTnEmulVT* Telnet;

    void TelnetSessionConnected(QObject* Sender);
    void TelnetSessionClosed(QObject* Sender);

protected:
    void FormCreate();
    void FormClose(TCloseAction& Action) override;
    void HandleMdiActivate(QMdiSubWindow* Activated);

private:
    QPointer<TF_Main> m_main;
    bool m_closing = false;
};

// The window created last.
extern QPointer<TF_Telnet> F_Telnet;

// Opens a telnet window on host (and port, unless empty), starts its
// connection and applies the terminal settings of main (font name, columns,
// rows). The main window's handling of "telnet:" addresses calls this.
TF_Telnet* OpenTelnetForm(TF_Main& main, const QString& host, const QString& port);
