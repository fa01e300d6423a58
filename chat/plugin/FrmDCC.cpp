#include "chat/plugin/FrmDCC.h"

#include "chat/DccListen.h"
#include "chat/DccOffer.h"
#include "chat/IrcText.h"
#include "chat/U_GlobalConfig.h"
#include "chat/plugin/FrmDCCSave.h"
#include "chat/plugin/FrmMDIServer.h"

#include "net/WSocket.h"
#include "net/WSocketS.h"
#include "platform/Cp874.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Controls.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHash>
#include <QVBoxLayout>

#include <arpa/inet.h>

namespace Zentrel {

namespace {

// What one read of acknowledgements takes at most in one event.
constexpr int kAckReadLimit = 64 * 1024;
// The labels, the progress bar and the list row are redrawn at most this
// often while data flows (and always at the start and the end).
constexpr qint64 kRefreshMs = 100;

QList<TF_DCC*>& windows()
{
    static QList<TF_DCC*> list;
    return list;
}

QHash<int, QPointer<TF_DCC>>& transferWindows()
{
    static QHash<int, QPointer<TF_DCC>> map;
    return map;
}

QString text874(const QByteArray& bytes)
{
    return Cp874::toUnicode(bytes);
}

TLabel* label(const QString& caption, QWidget* parent, const char* name = "")
{
    auto* l = new TLabel(QString::fromLatin1(name), parent);
    l->SetCaption(caption);
    return l;
}

QByteArray socketError(int code)
{
    return QByteArray::number(code) + " (" + SocketErrorText(code).toLatin1() + ')';
}

QByteArray exceptionText(const std::exception& e)
{
    return Cp874::fromUnicode(QString::fromLocal8Bit(e.what()).simplified());
}

} // namespace

TF_DCC::TF_DCC() : TZentrelForm(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("F_DCC"));
    SetCaption(QStringLiteral("DCC Transfer Module"));
    SetFormStyle(fsStayOnTop);

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    L_BlockSize = new TLabel(QStringLiteral("L_BlockSize"), this);
    L_FileName = new TLabel(QStringLiteral("L_FileName"), this);
    L_ByteRecv = new TLabel(QStringLiteral("L_ByteRecv"), this);
    L_Nick = new TLabel(QStringLiteral("L_Nick"), this);
    L_Address = new TLabel(QStringLiteral("L_Address"), this);
    // The file name and the nick come from the peer: shown as they are,
    // never read as markup.
    for (TLabel* value : {L_BlockSize, L_FileName, L_ByteRecv, L_Nick, L_Address})
        value->setTextFormat(Qt::PlainText);
    int row = 0;
    auto add = [&](const QString& caption, TLabel* value) {
        grid->addWidget(label(caption, this), row, 0);
        grid->addWidget(value, row, 1);
        ++row;
    };
    add(QStringLiteral("ขนาดของ Block:"), L_BlockSize);
    add(QStringLiteral(" แฟ้มข้อมูล:"), L_FileName);
    add(QStringLiteral("จำนวน:"), L_ByteRecv);
    add(QStringLiteral("IRC Nick:"), L_Nick);
    add(QStringLiteral("IP:"), L_Address);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addWidget(label(QStringLiteral("สถานะ"), this));
    PB_Progress = new TProgressBar(QStringLiteral("PB_Progress"), this);
    PB_Progress->setRange(0, 100);
    PB_Progress->SetPosition(0);
    layout->addWidget(PB_Progress);
    Button1 = new TButton(QStringLiteral("Button1"), this);
    Button1->SetCaption(QStringLiteral("ยกเลิก"));
    layout->addWidget(Button1, 0, Qt::AlignHCenter);
    connect(Button1, &QPushButton::clicked, this, [this] { Close(); });
    resize(340, 190);

    // The listener of a send: no banner, and one peer only.
    ServerSocket = new TWSocketServer(this);
    ServerSocket->SetName(QStringLiteral("ServerSocket"));
    ServerSocket->Banner.clear();
    ServerSocket->BannerToBusy.clear();
    ServerSocket->MaxClients = 1;
    ServerSocket->OnClientConnect = [this](QObject*, TWSocketClient* client, quint16 error) {
        Guard(this, [&] { clientConnect(client, error); });
    };
    ClientSocket = new TWSocket(this);
    ClientSocket->SetName(QStringLiteral("ClientSocket"));
    ClientSocket->OnSessionConnected = [this](QObject*, quint16 error) {
        Guard(this, [&] { receiverConnected(error); });
    };
    ClientSocket->OnDataAvailable = [this](QObject*, quint16) {
        Guard(this, [&] { receiverData(); });
    };
    ClientSocket->OnSessionClosed = [this](QObject*, quint16) {
        Guard(this, [&] { peerClosed(); });
    };

    windows().append(this);
}

TF_DCC::~TF_DCC()
{
    release();
    windows().removeAll(this);
}

void TF_DCC::release()
{
    done_ = true;
    stopSockets();
    file_.Close();
    // A reception that ended early may be resumed later; a complete one is
    // done with.
    if (receiving_ && !file_.Path().isEmpty() && !std::exchange(accounted_, true)) {
        if (completed_)
            DccUnfinished().Completed(file_.Path());
        else
            DccUnfinished().Stopped(file_.Path());
    }
    if (transferId_) {
        DCCTransfers().Finish(transferId_);
        transferWindows().remove(transferId_);
        transferId_ = 0;
    }
}

TF_DCC* TF_DCC::FindTransfer(int id)
{
    return id ? transferWindows().value(id).data() : nullptr;
}

QList<TF_DCC*> TF_DCC::Windows()
{
    return windows();
}

quint64 TF_DCC::Transferred() const
{
    if (receive_)
        return receive_->Transferred();
    return send_ ? send_->Acknowledged() : 0;
}

quint16 TF_DCC::ListenPort() const
{
    return listenPort_;
}

// ---------------------------------------------------------------------------
// Sending

bool TF_DCC::StartSend(TMDIServer* server, const QByteArray& nickIn, QByteArray& line,
                       const QString& fileName)
{
    server_ = server;
    receiving_ = false;
    nick_ = TrimControls(nickIn);
    fileName_ = OfferFileName(fileName);
    line.clear();
    auto refuse = [&](const QByteArray& reason) {
        done_ = true;
        statusLine("*** DCC SEND of " + fileName_ + " to " + nick_ + " not offered: " + reason);
        return false;
    };
    // The offer goes through the server: without a connection no one
    // would hear of it.
    if (server && server->WSocket->State() != wsConnected)
        return refuse("not connected to the server");
    if (!file_.OpenRead(fileName))
        return refuse(file_.ErrorText());
    size_ = file_.Size();

    // The address the server reaches us on is the one we offer.
    quint32 local = 0;
    sockaddr_in name = {};
    if (server && server->WSocket->GetSockName(name) == 0)
        local = ntohl(name.sin_addr.s_addr);
    if (local == 0)
        local = ParseDottedAddress(LocalAddress()).value_or(0);
    if (local == 0)
        return refuse("no local address");
    const QByteArray dotted = DottedAddress(local);

    // The first free port from 4000 up; one taken meanwhile is skipped.
    quint16 port = 0;
    for (quint16 first = 4000; first != 0 && port == 0;) {
        const quint16 probed = ProbeListenPort(dotted, first);
        if (probed == 0)
            break;
        try {
            ServerSocket->SetAddr(QString::fromLatin1(dotted));
            ServerSocket->SetPort(QString::number(probed));
            ServerSocket->SetProto(QStringLiteral("tcp"));
            ServerSocket->Listen();
            if (ServerSocket->State() == wsListening)
                port = probed;
        } catch (const std::exception&) {
        }
        first = probed == 65535 ? 0 : quint16(probed + 1);
    }
    if (port == 0)
        return refuse("no port to listen on");
    listenPort_ = port;

    blockSize_ = quint32(Settings().DCCBlock);
    send_.emplace(size_, blockSize_);
    L_Nick->SetCaption(text874(nick_));
    L_FileName->SetCaption(text874(fileName_));
    L_ByteRecv->SetCaption(text874(DccByteText(0, size_)));
    L_Address->SetCaption(QString::fromLatin1(dotted) + u':' + QString::number(port));
    L_BlockSize->SetCaption(QString::number(blockSize_));
    if (server)
        server->SendLine(DccSendNoticeLine(nick_, fileName_, local));
    line = DccSendOfferLine(nick_, fileName_, local, port, size_);
    SetCaption(text874(DccSendCaption()));
    transferId_ = DCCTransfers().Add(TDccTransfers::Role::Sending, port, nick_, size_);
    transferWindows().insert(transferId_, this);
    addRow();
    show();
    return true;
}

void TF_DCC::clientConnect(TWSocketClient* client, quint16 error)
{
    if (error || !client)
        return;
    // One peer per offer: any other is let go at once.
    if (done_ || receiving_ || hadPeer_ || !send_) {
        client->Close();
        return;
    }
    hadPeer_ = true;
    peer_ = client;
    peerAddress_ = client->PeerAddr().toLatin1();
    // A RESUME no longer matches once data flows, and no one else connects.
    DCCTransfers().StopMatching(transferId_);
    ServerSocket->Close();
    client->OnDataAvailable = [this](QObject*, quint16) { Guard(this, [&] { senderData(); }); };
    client->OnSessionClosed = [this](QObject*, quint16) { Guard(this, [&] { peerClosed(); }); };
    if (size_ == 0 || send_->Sent() >= size_) {
        // Nothing to send: the connection itself hands over the empty rest.
        finish();
        return;
    }
    sendBlocks();
}

void TF_DCC::sendBlocks()
{
    TWSocket* socket = peer_;
    while (!done_ && socket && send_->MaySend()) {
        const qint64 length = qint64(send_->NextBlock());
        if (buffer_.size() < length)
            buffer_.resize(length);
        qint64 got = 0;
        while (got < length) {
            const qint64 n = file_.Read(buffer_.data() + got, length - got);
            if (n < 0)
                return fail(file_.ErrorText());
            if (n == 0)
                return fail("the file got shorter while it was sent");
            got += n;
        }
        try {
            if (socket->Send(buffer_.constData(), int(length)) < 0)
                return fail("cannot send: " + socketError(socket->LastError()));
        } catch (const std::exception& e) {
            return fail("cannot send: " + exceptionText(e));
        }
        send_->BlockSent(quint64(length));
    }
}

void TF_DCC::senderData()
{
    TWSocket* socket = peer_;
    if (done_ || !socket || !send_)
        return;
    // Everything waiting is taken (a piece of an acknowledgement stays in
    // the collector, not in the socket), up to a bound per event.
    char chunk[4096];
    qint64 total = 0;
    while (total < kAckReadLimit) {
        const int n = socket->Receive(chunk, sizeof chunk);
        if (n <= 0)
            break;
        total += n;
        for (const quint32 ack : acks_.Feed(QByteArrayView(chunk, n)))
            send_->OnAck(ack);
        // A short read took all there was; more brings another event.
        if (n < int(sizeof chunk))
            break;
    }
    if (total == 0)
        return;
    refresh(false);
    if (send_->Acknowledged() >= size_ && send_->Sent() >= size_) {
        finish();
        return;
    }
    sendBlocks();
}

// ---------------------------------------------------------------------------
// Receiving

bool TF_DCC::StartReceive(TMDIServer* server, const TDccIncoming& offer, bool connect,
                          const QString& path, quint64 resumeAt)
{
    server_ = server;
    receiving_ = true;
    nick_ = TrimControls(offer.Nick);
    size_ = offer.Size;
    peerAddress_ = DottedAddress(offer.Address);
    peerPort_ = offer.Port;
    const QFileInfo info(path);
    fileName_ = Cp874::fromUnicode(info.fileName());
    receivePath_ = path;
    offeredName_ = offer.FileName;
    resuming_ = !connect;
    receive_.emplace(size_, resuming_ ? resumeAt : 0, offer.HasSize);
    // One read can take a whole burst: what waits comes in one call.
    buffer_.resize(kDccMaxBurst);
    ClientSocket->SetAddr(QString::fromLatin1(peerAddress_));
    ClientSocket->SetPort(QString::number(peerPort_));
    ClientSocket->SetProto(QStringLiteral("tcp"));
    addRow();
    if (resuming_) {
        if (!file_.OpenResume(path, resumeAt)) {
            fail(file_.ErrorText());
            return false;
        }
        DccUnfinished().Started(offeredName_, size_, file_.Path());
    }
    refresh(true);
    show();
    if (connect) {
        try {
            ClientSocket->Connect();
        } catch (const std::exception& e) {
            fail("cannot connect to " + peerAddress_ + ':' + QByteArray::number(peerPort_) + ": " +
                 exceptionText(e));
            return false;
        }
    }
    return true;
}

int TF_DCC::RegisterResume(quint16 port, const QByteArray& nick, quint64 size, quint64 position)
{
    if (transferId_)
        return transferId_;
    transferId_ = DCCTransfers().Add(TDccTransfers::Role::Receiving, port, TrimControls(nick), size,
                                     position);
    transferWindows().insert(transferId_, this);
    return transferId_;
}

bool TF_DCC::AcceptResume(quint64 position)
{
    if (done_)
        return false;
    if (receiving_) {
        // The ACCEPT carries exactly the position asked for (matched so):
        // the file is already there.
        if (!file_.Seek(position)) {
            fail(file_.ErrorText());
            return false;
        }
        try {
            ClientSocket->Connect();
        } catch (const std::exception& e) {
            fail("cannot connect to " + peerAddress_ + ':' + QByteArray::number(peerPort_) + ": " +
                 exceptionText(e));
            return false;
        }
        return true;
    }
    if (!send_ || hadPeer_)
        return false;
    if (!file_.Seek(position)) {
        fail(file_.ErrorText());
        return false;
    }
    send_->Seek(position);
    refresh(true);
    return true;
}

void TF_DCC::receiverConnected(quint16 error)
{
    if (done_)
        return;
    if (error) {
        fail("cannot connect to " + peerAddress_ + ':' + QByteArray::number(peerPort_) + ": " +
             socketError(error));
        return;
    }
    hadPeer_ = true;
    if (!resuming_ && !openReceivedFile())
        return;
    if (receive_->Complete()) {
        // An empty file: it is all there.
        ClientSocket->Send(receive_->Acknowledgement());
        finish();
    }
}

bool TF_DCC::openReceivedFile()
{
    const QFileInfo info(receivePath_);
    if (!QDir().mkpath(info.path())) {
        fail("cannot make the folder " + Cp874::fromUnicode(info.path()));
        return false;
    }
    if (!file_.CreateUnique(info.path(), info.fileName())) {
        fail(file_.ErrorText());
        return false;
    }
    fileName_ = Cp874::fromUnicode(QFileInfo(file_.Path()).fileName());
    if (receive_->Sized() && size_ > 0)
        DccUnfinished().Started(offeredName_, size_, file_.Path());
    refresh(true);
    return true;
}

void TF_DCC::receiverData()
{
    // The display refresh may run the event loop: no nested burst.
    if (inData_ || done_ || !receive_ || !file_.IsOpen())
        return;
    inData_ = true;
    const auto clear = qScopeGuard([this] { inData_ = false; });
    qint64 burst = 0;
    while (burst < kDccMaxBurst && !receive_->Complete()) {
        const int room = int(qMin<qint64>(buffer_.size(), kDccMaxBurst - burst));
        const int n = ClientSocket->Receive(buffer_.data(), room);
        if (n <= 0)
            break;
        burst += n;
        // Never beyond an offered size: the rest is dropped.
        const quint64 take = receive_->Accept(quint64(n));
        if (take > 0 && !file_.Write(QByteArrayView(buffer_.constData(), qsizetype(take)))) {
            fail(file_.ErrorText());
            return;
        }
        if (n < room)
            break;
    }
    if (burst == 0)
        return;
    blockSize_ = quint32(burst);
    refresh(false);
    try {
        ClientSocket->Send(receive_->Acknowledgement());
    } catch (const std::exception& e) {
        fail("cannot send: " + exceptionText(e));
        return;
    }
    if (receive_->Complete())
        finish();
}

// ---------------------------------------------------------------------------
// Both sides

void TF_DCC::peerClosed()
{
    if (done_)
        return;
    if (receiving_ && receive_ && (!receive_->Sized() || receive_->Complete())) {
        // Without a size the sender's close ends the file.
        finish();
        return;
    }
    fail("the connection closed at " + DccByteText(Transferred(), size_));
}

void TF_DCC::refresh(bool force)
{
    if (!force && refreshed_.isValid() && refreshed_.elapsed() < kRefreshMs)
        return;
    refreshed_.start();
    const quint64 done = Transferred();
    const int percent = DccPercent(done, size_);
    L_ByteRecv->SetCaption(text874(DccByteText(done, size_)));
    if (receiving_) {
        L_BlockSize->SetCaption(QString::number(blockSize_));
        L_FileName->SetCaption(text874(fileName_));
        L_Nick->SetCaption(text874(nick_));
        L_Address->SetCaption(QString::fromLatin1(peerAddress_) + u':' +
                              QString::number(peerPort_));
    }
    if (size_ > 0) {
        PB_Progress->SetPosition(percent);
        if (receiving_)
            SetCaption(text874(DccWindowCaption(percent)));
        setRowText(2, DccPercentText(percent));
    }
}

void TF_DCC::finish()
{
    if (done_)
        return;
    refresh(true);
    done_ = true;
    completed_ = receiving_;
    file_.Close();
    if (size_ == 0)
        setRowText(2, DccPercentText(100));
    Close();
}

void TF_DCC::fail(const QByteArray& reason)
{
    if (done_)
        return;
    refresh(true);
    done_ = true;
    file_.Close();
    const QByteArray what = receiving_ ? "receive of " + fileName_ + " from " + nick_
                                       : "send of " + fileName_ + " to " + nick_;
    statusLine("*** DCC " + what + " failed: " + reason);
    setRowText(2, DccPercentText(DccPercent(Transferred(), size_)) + " failed: " + reason);
    Close();
}

void TF_DCC::stopSockets()
{
    ServerSocket->OnClientConnect = {};
    ClientSocket->OnSessionConnected = {};
    ClientSocket->OnDataAvailable = {};
    ClientSocket->OnSessionClosed = {};
    try {
        if (peer_) {
            peer_->OnDataAvailable = {};
            peer_->OnSessionClosed = {};
            if (peer_->State() != wsClosed)
                peer_->Close();
        }
        if (ServerSocket->State() != wsClosed)
            ServerSocket->Close();
        // What is queued (the last acknowledgement) still goes out.
        if (ClientSocket->State() != wsClosed)
            ClientSocket->Close();
    } catch (...) {
    }
}

void TF_DCC::addRow()
{
    if (server_ && row_ == 0)
        row_ = server_->AddDccRow(DccRowCaption(receiving_, fileName_), QByteArray::number(size_),
                                  DccPercentText(0));
}

void TF_DCC::setRowText(int column, const QByteArray& text)
{
    if (server_ && row_)
        server_->SetDccRowText(row_, column, text);
}

void TF_DCC::statusLine(const QByteArray& line)
{
    if (server_)
        server_->StatusLine(line);
}

void TF_DCC::showEvent(QShowEvent* event)
{
    TZentrelForm::showEvent(event);
    if (receiving_)
        refresh(true);
}

void TF_DCC::FormClose(TCloseAction& action)
{
    release();
    action = caFree;
}

// ---------------------------------------------------------------------------

TF_DCC* StartDccSend(TMDIServer* server, const QByteArray& nick, const QString& path)
{
    auto* window = new TF_DCC;
    QByteArray line;
    if (!window->StartSend(server, nick, line, path)) {
        delete window;
        return nullptr;
    }
    if (server)
        server->SendLine(line);
    return window;
}

void StartDccSendOffer(TMDIServer* server, const QByteArray& nick)
{
    QPointer<TMDIServer> guard(server);
    // Every file: on Windows "*.*" matched names without a dot as well.
    const QString path =
        QFileDialog::getOpenFileName(nullptr, QString(), QString(), QStringLiteral("All (*)"));
    if (path.isEmpty() || !guard)
        return;
    StartDccSend(guard, nick, path);
}

void EndDccTransfers()
{
    // The prompts first: each takes its hidden transfer window along.
    EndDccOfferPrompts();
    for (const QPointer<TF_DCC>& w : [] {
             QList<QPointer<TF_DCC>> list;
             for (TF_DCC* w : windows())
                 list << w;
             return list;
         }()) {
        if (!w)
            continue;
        try {
            delete w.data();
        } catch (...) {
        }
    }
    DCCTransfers().Clear();
    transferWindows().clear();
    // The plug-in goes: what it left unfinished is no longer its own.
    DccUnfinished().Clear();
}

} // namespace Zentrel
