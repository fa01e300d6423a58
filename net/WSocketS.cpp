#include "net/WSocketS.h"

#include <arpa/inet.h>

namespace {
quint64 nextClientSerial = 0;
}

// ---------------------------------------------------------------------------
// TWSocketClient

TWSocketClient::TWSocketClient(QObject* AOwner) : TWSocket(AOwner), m_serial(++nextClientSerial) {}

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
    m_peerAddr = TWSocket::GetPeerAddr();
    m_peerPort = TWSocket::GetPeerPort();
}

void TWSocketClient::FireSessionClosed(quint16 Error)
{
    if (!m_closed) {
        m_closed = true;
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
    while (!m_clients.isEmpty()) {
        TWSocketClient* client = m_clients.takeLast();
        client->Server = nullptr;
        try {
            delete client;
        } catch (...) {
        }
    }
}

int TCustomWSocketServer::GetClientCount() const
{
    return int(m_clients.size());
}

TWSocketClient* TCustomWSocketServer::GetClient(int Index) const
{
    if (Index < 0 || Index >= m_clients.size())
        return nullptr;
    return m_clients.at(Index);
}

TWSocketClient* TCustomWSocketServer::FindClient(quint64 Serial) const
{
    for (TWSocketClient* c : m_clients)
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
    ++m_clientNumber;
    TWSocketClient* client = ClientClass(this);
    m_clients.append(client);
    connect(client, &QObject::destroyed, this, [this, client] { m_clients.removeAll(client); });
    QPointer<TWSocketClient> guard(client);
    FireClientCreate(client);
    if (!self)
        return;
    if (!guard)
        return;
    client->SetName(Name() + QStringLiteral("Client") + QString::number(m_clientNumber));
    client->Banner = Banner;
    client->Server = this;

    // A connection that cannot be adopted is dropped at once: it never
    // counts against MaxClients.
    auto dropClient = [&] {
        if (guard) {
            m_clients.removeAll(client);
            client->Server = nullptr;
            delete client;
        }
    };
    WinSock::TSocket handle = WinSock::INVALID_SOCKET;
    try {
        handle = Accept();
    } catch (...) {
        dropClient();
        throw;
    }
    if (!self)
        return;
    if (handle == WinSock::INVALID_SOCKET) {
        dropClient();
        return;
    }
    try {
        client->Dup(handle);
    } catch (...) {
        if (guard && guard->HSocket() != handle)
            WinSock::closesocket(handle);
        dropClient();
        throw;
    }
    if (!self)
        return;
    if (!guard || client->State() != wsConnected) {
        if (guard && client->HSocket() != handle)
            WinSock::closesocket(handle);
        dropClient();
        return;
    }
    FireClientConnect(client, Error);
    if (!self || !guard || !m_clients.contains(client) || client->State() != wsConnected)
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
                m_clients.removeAll(client);
                delete client;
            }
            throw;
        }
        if (guard) {
            m_clients.removeAll(client);
            delete client;
        }
    } catch (const std::exception& e) {
        if (self)
            HandleEventException(e);
    }
}
