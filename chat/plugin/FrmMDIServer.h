#pragma once

#include "chat/ServerSession.h"
#include "chat/plugin/PluginHost.h"

#include <QByteArray>
#include <QMap>
#include <QPointer>
#include <QString>

class TButton;
class TComboBox;
class TEdit;
class TLabel;
class TListView;
class TMemo;
class TPageControl;
class TPanel;
class TProgressBar;
class TRxRichEdit;
class TTabSheet;
class TToolButton;
class TWSocket;
class TWSocketClient;
class TWSocketServer;
class QTimer;
class QTreeWidgetItem;

namespace Zentrel {

class TF_DccChat;
class TMDIChild;

// One connection to one IRC server, an MDI child of the host with a tab of
// its own. The protocol, routing, nick lists and the channel list are the
// session's (chat/ServerSession.h); the window feeds it what the socket
// and the user do and carries out the effects it returns, in order.
class TMDIServer : public TZentrelForm
{
    Q_OBJECT
public:
    TMDIServer();
    ~TMDIServer() override;

    QString ServerText() const;
    void SetServerText(const QString& text);
    void SetNick(const QString& nick);
    // Connected or connecting: the connect button is disabled.
    bool IsConnected() const;

    // Sends the line (CR, LF and NUL removed, cut to 510 bytes) when
    // connected; the raw log shows it in every state.
    void SendLine(const QByteArray& line);
    void PostToWindow(const QByteArray& name, const QByteArray& text, bool create);
    void OpenQueryWindow(const QByteArray& nick);
    void SetChildCaption(const QByteArray& name, const QByteArray& text, bool whole);
    void CloseChildWindows();

    void B_ConnectClick();
    void B_DisconnectClick();
    void B_retrieveClick();
    void B_JoinClick();
    void SpeedButton1Click();
    void btnSendClick();
    void LV_ChannelColumnClick(int column);

    // From the child windows.
    void ChildAttached(TMDIChild* child);
    void ChildClosed(int id);
    void ChildActivated(int id);
    TMDIChild* ChildWindow(int id) const;
    // What the user typed in a child window's command line.
    void ChildCommandLine(int id, const QByteArray& text);
    // Data from the partner of a DCC chat window.
    void DccChatData(int id, QByteArrayView data);
    // The nick menu's DCC offers to a nick: a chat (a window that listens
    // for the partner, and the offer), and a file.
    void OfferDccChat(const QByteArray& nick);
    void OfferDccSend(const QByteArray& nick);
    // The DCC chat request being asked about, if any.
    TF_DccChat* DccChatPrompt() const;

    // The DCC list: one row per transfer, known by a number; a row the user
    // cleared away is gone for good (its number finds nothing).
    int AddDccRow(const QByteArray& caption, const QByteArray& bytes, const QByteArray& percent);
    void SetDccRowText(int row, int column, const QByteArray& text);
    void B_ClearClick();
    // A line for the status log (a DCC transfer's failure).
    void StatusLine(const QByteArray& line);

    // The channel to join when the welcome ends (without "#").
    void SetAutoJoinChannel(const QByteArray& channel) { session_.AutoJoinChannel = channel; }
    // A channel (without "#") to join now when the server's welcome has
    // ended, else once it ends; forgotten when the connection closes.
    void JoinChannel(const QByteArray& channel);
    TServerSession& Session() { return session_; }

    TPanel* Panel1;
    TToolButton* B_Connect;
    TToolButton* B_Disconnect;
    TToolButton* B_retrieve;
    TToolButton* B_Join;
    TProgressBar* G_ListProcess;
    TPageControl* PC_Page;
    TTabSheet* TabSheet1;
    TTabSheet* TabSheet2;
    TTabSheet* TabSheet3;
    TTabSheet* TabSheet5;
    TTabSheet* TabSheet4;
    TComboBox* ServerList;
    TToolButton* SpeedButton1;
    TEdit* edtNick;
    TEdit* edtUserName;
    TEdit* edtDescription;
    TLabel* L_Version;
    TMemo* redShowText;
    TEdit* edtInputText;
    TButton* btnSend;
    TListView* LV_Channel;
    TMemo* redShowRaw;
    TListView* LV_DCC;
    TButton* B_Clear;
    TRxRichEdit* RxRichEdit1;
    TWSocket* WSocket;

protected:
    void FormClose(TCloseAction& action) override;
    void FormActivate() override;
    void FormDeactivate() override;

private:
    void apply(const TEffects& effects);
    void applyOne(const TEffect& e);
    void statusLine(const QByteArray& line);
    void rawLine(const QByteArray& line);
    void createChild(const TEffect& e);
    void freeChild(int id);
    void fillChannelList();
    void addChannelRow(int index);
    void setIdleControls();
    void setBoxesEnabled(bool enabled);
    void reloadServerList();

    void lookupDone(quint16 error);
    void sessionConnected(quint16 error);
    void dataAvailable(quint16 error);
    void sessionClosed(quint16 error);
    // Our connection registers: the plug-in's ident responder answers for
    // it (by its local port and the server's), until stopIdent.
    void startIdent();
    void stopIdent();

    // FrmMDIServerChat.cpp
    void askDccChat(const TEffect& offer);
    void dccChatAnswered(const QByteArray& nick, const TDccOffer& offer, bool accepted);

    TServerSession session_;
    QMap<int, QPointer<TMDIChild>> children_;
    QMap<int, QTreeWidgetItem*> dccRows_;
    int nextDccRow_ = 1;
    // The DCC chat request being asked about: meanwhile the session holds
    // the lines that follow it, and a close of the connection waits until
    // they have been handled.
    QPointer<TF_DccChat> prompt_;
    bool closedDuringPrompt_ = false;
    // The port our connection goes to (the server's, or the SOCKS proxy's).
    quint16 serverPort_ = 0;
    bool busy_ = false;
    bool closing_ = false;
    bool active_ = false;
    bool connectStarted_ = false;
};

} // namespace Zentrel
