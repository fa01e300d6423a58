#pragma once

#include "chat/ColorCodes.h"
#include "chat/NickList.h"
#include "chat/WindowNames.h"
#include "chat/plugin/PluginHost.h"

#include <QByteArray>
#include <QList>
#include <QPointer>

class QSplitter;
class QTimer;
class TButton;
class TEdit;
class TListBox;
class TMenuItem;
class TPanel;
class TPopupMenu;
class TRxRichEdit;
class TToolButton;
class TWSocket;
class TWSocketClient;
class TWSocketServer;

namespace Zentrel {

class TMDIServer;

// The window of one channel, private conversation (query) or DCC chat, an
// MDI child of the host with its own tab. Its kind is fixed when it is made
// (chat/WindowNames.h). It shows the conversation in coloured rich text,
// shows the nick list its server window keeps, and hands what the user
// types or picks to its server window, which knows it by number.
class TMDIChild : public TZentrelForm
{
    Q_OBJECT
public:
    // A channel window shows the nick list; the others hide it.
    TMDIChild(int id, const QByteArray& caption, TWindowKind kind);
    ~TMDIChild() override;

    // Remembers the server window and joins its child windows.
    void AttachToServer(TMDIServer* server);
    int Id() const { return id_; }
    TMDIServer* Server() const { return server_; }
    // Let go by its server window, which frees it without a PART (its
    // connection closed, or the server window goes): nothing of the window
    // reaches the server window any more, and its DCC connection ends.
    void Detach();

    void SetCaptionBytes(const QByteArray& caption);
    QByteArray CaptionBytes() const { return caption_; }
    TWindowKind Kind() const { return kind_; }

    // One line through the colour decoder, then the activity icon; the
    // view scrolls to the end.
    void AddLine(const QByteArray& text);
    void ScrollToEnd();
    void ApplyNickEdits(const TNickEdits& edits);
    // The nick list entries selected now, as the server sees them.
    QList<QByteArray> SelectedNicks() const;

    bool IsActive() const { return active_; }

    // DCC chat (the window's caption is "DCC-CHAT (" nick ")").
    bool IsDcc() const { return isDcc_; }
    bool IsDccClient() const { return isDccClient_; }
    QByteArray DccPeer() const { return dccPeer_; }
    // An offer we accepted: connects to the partner.
    void ConnectDcc(const QByteArray& nick, const QString& address, quint16 port);
    // Our offer: waits for the partner on the address and port; false (and
    // the reason shown) when it cannot listen there.
    bool ListenDcc(const QByteArray& nick, const QString& address, quint16 port);
    // Typed text for the partner; CR LF is added. False (nothing sent) when
    // the chat is not connected.
    bool SendDccText(const QByteArray& text);
    // The socket that carries the chat now (null while there is none).
    TWSocket* DccSocket() const;

    // Handlers.
    void btnSendClick();
    void SpeedButton1Click();
    void T_OfftimerTimer();
    void lstNameListDblClick();
    void R_ChatURLClick(const QString& link);
    void R_ChatMouseUp();
    void N1Click();
    void N2Click();
    void N3Click();
    void N11Click();
    void N12Click();
    void N13Click();
    void SEND1Click();
    void CHATUnavailablenow1Click();
    void N6Click();
    void N7Click();
    void N8Click();

    TRxRichEdit* R_Chat;
    TListBox* lstNameList;
    QSplitter* Splitter1;
    TPanel* Panel1;
    TToolButton* SpeedButton1;
    TEdit* edtInputText;
    TButton* btnSend;
    QTimer* T_Offtimer;
    TPopupMenu* PopupMenu2;
    TMenuItem* N1;
    TMenuItem* N2;
    TMenuItem* N3;
    TMenuItem* N11;
    TMenuItem* N12;
    TMenuItem* N13;
    TMenuItem* SEND1;
    TMenuItem* CHATUnavailablenow1;
    TMenuItem* N6;
    TMenuItem* N7;
    TMenuItem* N8;
    TWSocket* WSDccClient;
    TWSocketServer* WSDccServer;

protected:
    void FormClose(TCloseAction& action) override;
    void FormActivate() override;
    void FormDeactivate() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // FrmChildWinMenu.cpp
    void createPopupMenu();
    void sendEach(QByteArray (*line)(QByteArrayView entry));
    void operatorLines(bool give);
    void askKickReasons(QList<QByteArray> nicks);
    // FrmChildWinDcc.cpp
    void createDccSockets();
    void beginDcc(const QByteArray& nick, bool client, TWSocket* socket, const QString& address,
                  quint16 port);
    void dccConnected(quint16 error);
    void dccClientConnected(TWSocketClient* client, quint16 error);
    void dccData(TWSocket* socket);
    void dccClosed();
    void endDcc();

    void sendLine(const QByteArray& line);
    void focusCommandLine();

    QPointer<TMDIServer> server_;
    int id_;
    QByteArray caption_;
    TWindowKind kind_;
    TChatAppearance appearance_;
    bool active_ = false;
    bool isDcc_ = false;
    bool isDccClient_ = true;
    QByteArray dccPeer_;
    QPointer<TWSocketClient> dccAccepted_;
    bool dccEnded_ = false;
};

} // namespace Zentrel
