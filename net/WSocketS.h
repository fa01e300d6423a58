#pragma once

#include "net/WSocket.h"

#include <functional>

class TCustomWSocketServer;

// One accepted connection of a listening server.
class TWSocketClient : public TWSocket
{
    Q_OBJECT
public:
    explicit TWSocketClient(QObject* AOwner = nullptr);

    TCustomWSocketServer* Server = nullptr;
    QByteArray Banner;
    virtual void SendBanner();
    void Dup(WinSock::TSocket NewHSocket) override;
    quint64 Serial() const { return serial_; }

protected:
    void FireSessionClosed(quint16 Error) override;
    QString GetPeerAddr() override { return peerAddr_; }
    QString GetPeerPort() override { return peerPort_; }

private:
    QString peerAddr_;
    QString peerPort_;
    bool closed_ = false;
    quint64 serial_ = 0;
};

using TWSocketClientConnectEvent =
    std::function<void(QObject* Sender, TWSocketClient* Client, quint16 Error)>;
using TWSocketClientCreateEvent = std::function<void(QObject* Sender, TWSocketClient* Client)>;

// A listening socket that accepts each connection into a client socket it
// owns, greets it with a banner (or turns it away when too many are
// connected) and frees it once its session has closed.
class TCustomWSocketServer : public TWSocket
{
    Q_OBJECT
public:
    using ClientFactory = std::function<TWSocketClient*(TCustomWSocketServer* Owner)>;

    explicit TCustomWSocketServer(QObject* AOwner = nullptr);
    ~TCustomWSocketServer() override;

    // Makes the client sockets (default: TWSocketClient).
    ClientFactory ClientClass;
    QByteArray Banner = QByteArrayLiteral("Welcome to Quennet");
    QByteArray BannerToBusy = QByteArrayLiteral("Sorry, too many clients");
    int MaxClients = 0;
    TWSocketClientConnectEvent OnClientDisconnect;
    TWSocketClientConnectEvent OnClientConnect;
    TWSocketClientCreateEvent OnClientCreate;

    int ClientCount() const { return GetClientCount(); }
    TWSocketClient* Clients(int Index) const { return GetClient(Index); }
    int ClientCounter() const { return clientNumber_; }

    // Called by a client whose session has closed.
    void ClientClosed(TWSocketClient* Client);

protected:
    void WindowProcedure(TMessage& Msg) override;
    void FireSessionAvailable(quint16 Error) override;
    virtual void FireClientCreate(TWSocketClient* Client);
    virtual void FireClientConnect(TWSocketClient* Client, quint16 Error);
    virtual void FireClientDisconnect(TWSocketClient* Client, quint16 Error);
    virtual int GetClientCount() const;
    virtual TWSocketClient* GetClient(int Index) const;

private:
    TWSocketClient* FindClient(quint64 Serial) const;
    void AcceptFailed();
    QList<TWSocketClient*> clients_;
    int clientNumber_ = 0;
    // Accepting fails for want of descriptors (reported once until an
    // accept succeeds again).
    bool acceptFailing_ = false;
};

class TWSocketServer : public TCustomWSocketServer
{
    Q_OBJECT
public:
    using TCustomWSocketServer::TCustomWSocketServer;
};
