#pragma once

#include "chat/DccFiles.h"
#include "chat/DccTransfer.h"
#include "chat/plugin/PluginHost.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class TButton;
class TLabel;
class TProgressBar;
class TWSocket;
class TWSocketClient;
class TWSocketServer;

namespace Zentrel {

class TMDIServer;

// An offered file as the receiving side knows it.
struct TDccIncoming
{
    quint32 Address = 0; // IPv4, host order
    quint16 Port = 0;
    quint64 Size = 0;
    bool HasSize = false; // the offer named a size (possibly 0)
    QByteArray Nick;      // the sender
    QByteArray FileName;  // as offered (the RESUME request repeats it)
};

// The window of one DCC file transfer, either way. As sender it listens on
// a port of its own, offers the file and sends it one block per
// acknowledgement; as receiver it connects to the offer's address, writes
// what arrives into the receive folder and acknowledges each burst. It
// keeps a row of its server window's DCC list up to date, stays on top, is
// not an MDI child, and frees itself when closed.
//
// The server window, its list row and the peer's socket are held by guarded
// references: a server window that goes mid-transfer only stops the row's
// updates and the status lines.
class TF_DCC : public TZentrelForm
{
    Q_OBJECT
public:
    TF_DCC();
    ~TF_DCC() override;

    // Sending `fileName` to `nick`: opens the file, listens, sends the
    // NOTICE, registers the transfer and shows the window; `line` gets the
    // CTCP offer for the caller to send through the server window. False
    // (nothing offered, the reason in the server's status log) when the
    // file cannot be read or no port can be listened on.
    bool StartSend(TMDIServer* server, const QByteArray& nick, QByteArray& line,
                   const QString& fileName);

    // Receiving an offer. With `connect` the file is created as a new file
    // at `path` (or a free name beside it) once the connection stands;
    // without it, `path` is the partial file of `resumeAt` bytes that a
    // RESUME was asked for, and the window waits for the sender's ACCEPT
    // (AcceptResume). False when the partial file cannot be opened.
    bool StartReceive(TMDIServer* server, const TDccIncoming& offer, bool connect,
                      const QString& path, quint64 resumeAt = 0);

    // A matched RESUME (sender: send from `position`) or ACCEPT (receiver:
    // connect and write from `position`). False when the file cannot stand
    // there (the transfer has failed and says why): the sender's ACCEPT is
    // then not sent.
    bool AcceptResume(quint64 position);

    // Registers the resume this receiver asks for in DCCTransfers.
    int RegisterResume(quint16 port, const QByteArray& nick, quint64 size, quint64 position);

    // The window of a DCCTransfers entry, while it lives.
    static TF_DCC* FindTransfer(int id);
    // Every transfer window alive, in creation order.
    static QList<TF_DCC*> Windows();

    bool Receiving() const { return receiving_; }
    quint64 Transferred() const;
    quint64 FileSize() const { return size_; }
    QString LocalPath() const { return file_.Path(); }
    // The transfer's file (tests make it fail).
    TDccFile& File() { return file_; }
    int TransferId() const { return transferId_; }
    int RowId() const { return row_; }
    quint16 ListenPort() const;

    TLabel* L_BlockSize;
    TLabel* L_FileName;
    TLabel* L_ByteRecv;
    TLabel* L_Nick;
    TLabel* L_Address;
    TProgressBar* PB_Progress;
    TButton* Button1;
    TWSocketServer* ServerSocket;
    TWSocket* ClientSocket;

protected:
    void FormClose(TCloseAction& action) override;
    void showEvent(QShowEvent* event) override;

private:
    // Sender.
    void clientConnect(TWSocketClient* client, quint16 error);
    void senderData();
    void sendBlocks();
    // Receiver.
    void receiverConnected(quint16 error);
    void receiverData();
    bool openReceivedFile();
    // Both.
    void peerClosed();
    // The labels, the progress, the caption and the list row; while data
    // flows at most every so often unless `force`d.
    void refresh(bool force);
    void finish();
    void fail(const QByteArray& reason);
    void stopSockets();
    // Closing: the sockets and the file close, the transfer leaves
    // DCCTransfers.
    void release();
    void addRow();
    void setRowText(int column, const QByteArray& text);
    void statusLine(const QByteArray& line);

    bool receiving_ = false;
    quint32 blockSize_ = 1024;
    QByteArray fileName_; // shown: the base name
    quint64 size_ = 0;
    QByteArray nick_;
    QByteArray peerAddress_;
    quint16 peerPort_ = 0;
    quint16 listenPort_ = 0;
    TDccFile file_;
    QByteArray offeredName_; // receiver: the name as offered
    bool completed_ = false; // receiver: the whole file arrived
    bool accounted_ = false; // receiver: DccUnfinished knows how it ended
    QString receivePath_;    // a new file is created here once connected
    bool resuming_ = false;
    bool inData_ = false; // the data handler runs
    bool hadPeer_ = false;
    bool done_ = false; // finished, failed or closed: nothing more happens
    QPointer<TWSocketClient> peer_;
    int transferId_ = 0;
    QPointer<TMDIServer> server_;
    int row_ = 0;
    std::optional<TDccSendProgress> send_;
    std::optional<TDccReceiveProgress> receive_;
    TDccAckReader acks_;
    QByteArray buffer_;
    QElapsedTimer refreshed_;
};

// The DCC send offer to `nick` of the nick menu: the open dialog asks for a
// file, then StartDccSend.
void StartDccSendOffer(TMDIServer* server, const QByteArray& nick);
// Offers `path` to `nick`: a transfer window starts sending and the offer
// goes out through the server window. The window, or null when nothing was
// offered.
TF_DCC* StartDccSend(TMDIServer* server, const QByteArray& nick, const QString& path);

// Ends every transfer and frees every offer prompt (the plug-in is being
// unloaded).
void EndDccTransfers();

} // namespace Zentrel
