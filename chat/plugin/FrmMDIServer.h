#pragma once

#include "chat/plugin/PluginHost.h"

#include <QByteArray>
#include <QString>

class TComboBox;
class TEdit;
class TMemo;
class TToolButton;

namespace Zentrel {

// One connection to one IRC server, an MDI child of the host with a tab of
// its own.
//
// Until the server window is built, this is its stand-in: the user-data
// boxes and the raw log, so that addresses open a window and the plug-in's
// lifetime can be held up; connecting is not there yet.
class TMDIServer : public TZentrelForm
{
    Q_OBJECT
public:
    TMDIServer();
    ~TMDIServer() override;

    QString ServerText() const;
    void SetServerText(const QString& text);
    void SetNick(const QString& nick);
    // Connected: the connect button is disabled.
    bool IsConnected() const;

    // Sends the line when connected; the raw log shows it in every state.
    void SendLine(const QByteArray& line);
    void B_ConnectClick();
    void CloseChildWindows();

    QByteArray AutoJoinChannel; // without "#"

    TToolButton* B_Connect;
    TToolButton* B_Disconnect;
    TComboBox* ServerList;
    TEdit* edtNick;
    TMemo* redShowRaw;

protected:
    void FormClose(TCloseAction& action) override;
};

} // namespace Zentrel
