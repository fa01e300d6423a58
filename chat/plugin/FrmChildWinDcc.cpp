// The DCC chat connection of a chat window: out to the partner whose offer
// was accepted (WSDccClient), or in from the partner we offered a chat to
// (WSDccServer, which takes one partner and then stops listening).
#include "chat/plugin/FrmChildWin.h"

#include "chat/DccOffer.h"
#include "chat/plugin/FrmMDIServer.h"

#include "net/WSocket.h"
#include "net/WSocketS.h"
#include "platform/Cp874.h"
#include "toolkit/ListBox.h"

namespace Zentrel {

namespace {

// The most one data event reads: a fast partner cannot make one event
// take long or hold much.
constexpr int kDccReadChunk = 4096;

void forget(TWSocket* socket)
{
    if (!socket)
        return;
    socket->OnSessionConnected = {};
    socket->OnDataAvailable = {};
    socket->OnSessionClosed = {};
}

} // namespace

void TMDIChild::createDccSockets()
{
    WSDccClient = new TWSocket(this);
    WSDccClient->SetName(QStringLiteral("WSDccClient"));
    WSDccClient->OnSessionConnected = [this](QObject*, quint16 error) {
        Guard(this, [&] { dccConnected(error); });
    };
    WSDccClient->OnDataAvailable = [this](QObject*, quint16) {
        Guard(this, [&] { dccData(WSDccClient); });
    };
    WSDccClient->OnSessionClosed = [this](QObject*, quint16) { Guard(this, [&] { dccClosed(); }); };
    // The listener greets the partner with its banner ("Welcome to
    // Quennet"), which the partner sees as the first line of the chat.
    WSDccServer = new TWSocketServer(this);
    WSDccServer->SetName(QStringLiteral("WSDccServer"));
    WSDccServer->OnClientConnect = [this](QObject*, TWSocketClient* client, quint16 error) {
        Guard(this, [&] { dccClientConnected(client, error); });
    };
}

void TMDIChild::beginDcc(const QByteArray& nick, bool client, TWSocket* socket,
                         const QString& address, quint16 port)
{
    isDcc_ = true;
    isDccClient_ = client;
    dccPeer_ = nick;
    lstNameList->hide();
    // The socket's own checks may refuse the address or port.
    socket->SetAddr(address);
    socket->SetPort(QString::number(port));
    socket->SetProto(QStringLiteral("tcp"));
}

void TMDIChild::ConnectDcc(const QByteArray& nick, const QString& address, quint16 port)
{
    try {
        beginDcc(nick, true, WSDccClient, address, port);
        WSDccClient->Connect();
    } catch (const std::exception&) {
        AddLine(DccChatTexts::Closed());
    }
}

bool TMDIChild::ListenDcc(const QByteArray& nick, const QString& address, quint16 port)
{
    try {
        beginDcc(nick, false, WSDccServer, address, port);
        WSDccServer->Listen();
    } catch (const std::exception& e) {
        AddLine("*** Can't listen on " + address.toLatin1() + ':' + QByteArray::number(port) +
                ": " + Cp874::fromUnicode(QString::fromLocal8Bit(e.what()).simplified()));
        return false;
    }
    return true;
}

TWSocket* TMDIChild::DccSocket() const
{
    if (!isDcc_)
        return nullptr;
    return isDccClient_ ? WSDccClient : dccAccepted_.data();
}

bool TMDIChild::SendDccText(const QByteArray& text)
{
    TWSocket* socket = DccSocket();
    if (dccEnded_ || !socket || socket->State() != wsConnected)
        return false;
    try {
        return socket->SendText(text + "\r\n") >= 0;
    } catch (const std::exception&) {
        return false;
    }
}

void TMDIChild::dccConnected(quint16 error)
{
    if (error) {
        // No connection: the same line as for one that ends.
        AddLine(DccChatTexts::Closed());
        return;
    }
    AddLine(DccChatTexts::EstablishedOut());
    AddLine(DccChatTexts::ConnectionTo(WSDccClient->PeerAddr().toLatin1()));
}

void TMDIChild::dccClientConnected(TWSocketClient* client, quint16 error)
{
    if (error || !client)
        return;
    // One partner only: whoever comes after the first is turned away, and
    // the listener stops, so the system refuses anyone else.
    if (dccAccepted_ || dccEnded_) {
        client->Close();
        return;
    }
    dccAccepted_ = client;
    WSDccServer->Close();
    client->OnDataAvailable = [this, client](QObject*, quint16) {
        Guard(this, [&] { dccData(client); });
    };
    client->OnSessionClosed = [this](QObject*, quint16) { Guard(this, [&] { dccClosed(); }); };
    AddLine(DccChatTexts::Established());
    AddLine(DccChatTexts::ConnectionFrom(client->PeerAddr().toLatin1()));
}

void TMDIChild::dccData(TWSocket* socket)
{
    if (!socket || socket != DccSocket())
        return;
    char buffer[kDccReadChunk];
    const int received = socket->Receive(buffer, sizeof buffer);
    if (received <= 0)
        return;
    // The server window cuts the data into lines ("<" partner "> " line).
    if (TMDIServer* server = server_)
        server->DccChatData(id_, QByteArrayView(buffer, received));
}

void TMDIChild::dccClosed()
{
    if (!dccEnded_)
        AddLine(DccChatTexts::Closed());
}

void TMDIChild::endDcc()
{
    if (dccEnded_)
        return;
    dccEnded_ = true;
    // Nothing of the sockets reaches the window any more; the connection
    // and the listener close.
    WSDccServer->OnClientConnect = {};
    forget(WSDccClient);
    forget(dccAccepted_);
    try {
        if (dccAccepted_)
            dccAccepted_->Close();
        if (WSDccClient->State() != wsClosed)
            WSDccClient->Close();
        if (WSDccServer->State() != wsClosed)
            WSDccServer->Close();
    } catch (...) {
    }
}

} // namespace Zentrel
