#include "net/WSocketS.h"

#include <arpa/inet.h>

namespace {
quint64 nextClientSerial = 0;
}

// ---------------------------------------------------------------------------
// TWSocketClient

TWSocketClient::TWSocketClient(QObject* AOwner) : TWSocket(AOwner), serial_(++nextClientSerial) {}

void TWSocketClient::SendBanner()
{
    if (!Banner.isEmpty())
        SendText(Banner + "\r\n");
}

void TWSocketClient::Dup(WinSock::TSocket NewHSocket)
{
    TWSocket::Dup(NewHSocket);
    if (State() != wsConnected)
        return;
    // Kept, so that they can be read after the connection has closed.
    peerAddr_ = TWSocket::GetPeerAddr();
    peerPort_ = TWSocket::GetPeerPort();
}

void TWSocketClient::FireSessionClosed(quint16 Error)
{
    if (!closed_) {
        closed_ = true;
        if (Server)
            Server->ClientClosed(this);
    }
    TWSocket::FireSessionClosed(Error);
}

// ---------------------------------------------------------------------------
// TCustomWSocketServer

TCustomWSocketServer::TCustomWSocketServer(QObject* AOwner) : TWSocket(AOwner)
{
    ClientClass = [](TCustomWSocketServer* Owner) { return new TWSocketClient(Owner); };
}

TCustomWSocketServer::~TCustomWSocketServer()
{
    while (!clients_.isEmpty()) {
        TWSocketClient* client = clients_.takeLast();
        client->Server = nullptr;
        try {
            delete client;
        } catch (...) {
        }
    }
}

int TCustomWSocketServer::GetClientCount() const
{
    return int(clients_.size());
}

TWSocketClient* TCustomWSocketServer::GetClient(int Index) const
{
    if (Index < 0 || Index >= clients_.size())
        return nullptr;
    return clients_.at(Index);
}

TWSocketClient* TCustomWSocketServer::FindClient(quint64 Serial) const
{
    for (TWSocketClient* c : clients_)
        if (c->Serial() == Serial)
            return c;
    return nullptr;
}

void TCustomWSocketServer::FireClientCreate(TWSocketClient* Client)
{
    if (OnClientCreate)
        OnClientCreate(this, Client);
}

void TCustomWSocketServer::FireClientConnect(TWSocketClient* Client, quint16 Error)
{
    if (OnClientConnect)
        OnClientConnect(this, Client, Error);
}

void TCustomWSocketServer::FireClientDisconnect(TWSocketClient* Client, quint16 Error)
{
    if (OnClientDisconnect)
        OnClientDisconnect(this, Client, Error);
}

void TCustomWSocketServer::ClientClosed(TWSocketClient* Client)
{
    // The client is named by its serial number: a message that arrives after
    // the client was freed finds nothing.
    PostToWindow(WM_SOCKET_CLIENT_CLOSED, 0, qintptr(Client->Serial()));
}

void TCustomWSocketServer::FireSessionAvailable(quint16 Error)
{
    QPointer<TCustomWSocketServer> self(this);
    TWSocket::FireSessionAvailable(Error);
    if (!self || Error != 0)
        return;
    // The connection is taken first: a client object exists only for a
    // connection that could be accepted.
    const WinSock::TSocket handle = AcceptConnection();
    if (handle == WinSock::INVALID_SOCKET) {
        AcceptFailed();
        return;
    }
    acceptFailing_ = false;
    ++clientNumber_;
    TWSocketClient* client = ClientClass(this);
    clients_.append(client);
    connect(client, &QObject::destroyed, this, [this, client] { clients_.removeAll(client); });
    QPointer<TWSocketClient> guard(client);
    // A connection that cannot be adopted is dropped at once: it never
    // counts against MaxClients.
    auto dropClient = [&] {
        if (guard && guard->HSocket() != handle)
            WinSock::closesocket(handle);
        if (guard) {
            if (self)
                clients_.removeAll(client);
            client->Server = nullptr;
            delete client;
        }
    };
    try {
        FireClientCreate(client);
    } catch (...) {
        dropClient();
        throw;
    }
    if (!self || !guard) {
        WinSock::closesocket(handle);
        if (!self && guard)
            guard->Server = nullptr;
        return;
    }
    client->SetName(Name() + QStringLiteral("Client") + QString::number(clientNumber_));
    client->Banner = Banner;
    client->Server = this;
    try {
        client->Dup(handle);
    } catch (...) {
        dropClient();
        throw;
    }
    if (!self)
        return;
    if (!guard || client->State() != wsConnected) {
        dropClient();
        return;
    }
    FireClientConnect(client, Error);
    if (!self || !guard || !clients_.contains(client) || client->State() != wsConnected)
        return;
    if (MaxClients < 1) {
        client->SendBanner();
    } else if (MaxClients < ClientCount()) {
        client->Banner = BannerToBusy;
        client->SendBanner();
        // Close sends what is queued before it lets the connection go.
        if (guard)
            client->Close();
    } else {
        client->SendBanner();
    }
}

void TCustomWSocketServer::AcceptFailed()
{
    const int error = LastError();
    if (error != WinSock::WSAEMFILE && error != WinSock::WSAENOBUFS) {
        WinSock::WSASetLastError(error);
        ReportSocketError(QStringLiteral("Accept"));
        return;
    }
    // Out of descriptors: the server goes on listening and the socket layer
    // offers the connection again after a pause. Said once for each time
    // this happens, and nothing is closed for it.
    if (acceptFailing_)
        return;
    acceptFailing_ = true;
    if (OnError)
        FireError();
    else
        qWarning("%s: %s", qPrintable(Name()),
                 qPrintable(SocketErrorMessage(error, QStringLiteral("Accept"))));
}

void TCustomWSocketServer::WindowProcedure(TMessage& Msg)
{
    if (Msg.Msg != WM_SOCKET_CLIENT_CLOSED) {
        TWSocket::WindowProcedure(Msg);
        return;
    }
    TWSocketClient* client = FindClient(quint64(Msg.LParam));
    if (!client)
        return;
    QPointer<TCustomWSocketServer> self(this);
    QPointer<TWSocketClient> guard(client);
    try {
        try {
            FireClientDisconnect(client, 0);
        } catch (...) {
            if (guard) {
                clients_.removeAll(client);
                delete client;
            }
            throw;
        }
        if (guard) {
            clients_.removeAll(client);
            delete client;
        }
    } catch (const std::exception& e) {
        if (self)
            HandleEventException(e);
    }
}
