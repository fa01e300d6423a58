#pragma once

#include "net/CustomWSocket.h"
#include "net/Socks.h"

class QTimer;

// A TCP connection through a SOCKS 4, 4A or 5 proxy: when SocksServer is
// set, Connect reaches the proxy and the negotiation (net/Socks.h) asks it
// for Addr:Port before the session is reported as connected.

enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
using TSocksErrorEvent = std::function<void(QObject* Sender, int Error, const QString& Msg)>;
using TSocksAuthStateEvent = std::function<void(QObject* Sender, TSocksAuthState AuthState)>;

class TCustomSocksWSocket : public TCustomWSocket
{
    Q_OBJECT
public:
    explicit TCustomSocksWSocket(QObject* AOwner = nullptr);

    QString SocksServer() const { return socksServer_; }
    virtual void SetSocksServer(const QString& Value);
    QString SocksPort() const { return socksPort_; }
    virtual void SetSocksPort(const QString& Value);
    QString SocksLevel() const { return socksLevel_; }
    void SetSocksLevel(const QString& Value);
    QByteArray SocksUsercode;
    QByteArray SocksPassword;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;
    // Milliseconds the proxy has, once connected, to grant the session
    // (0: no limit). A proxy that stays silent then fails with
    // SOCKS_ERR_TIMEOUT.
    int SocksTimeout = 30000;
    QString BoundAddr() const { return negotiation_.BoundAddr(); }
    QString BoundPort() const { return negotiation_.BoundPort(); }

    TSessionConnected OnSocksConnected;
    TSocksErrorEvent OnSocksError;
    TSocksAuthStateEvent OnSocksAuthState;

    void Connect() override;
    void Listen() override;

protected:
    void ResetDefaults() override;
    int GetRcvdCount() override;
    bool FireDataAvailable(quint16 Error) override;
    void FireSessionConnected(quint16 Error) override;
    void FireSessionClosed(quint16 Error) override;
    int ReceiveRaw(char* Buffer, int Len, int Flags) override;
    void WindowProcedure(TMessage& Msg) override;
    bool Negotiating() const override { return negotiation_.State() != 0; }
    void CloseWhileConnecting(quint16 Error) override;
    virtual void FireSocksConnected(quint16 Error);
    virtual void FireSocksError(int Error, const QString& Msg);

private:
    // Carries out the negotiation's steps until one ends it or the socket
    // goes away.
    void Run(const Socks::Actions& Steps);
    void LookUpTarget();
    void TargetLookupDone(TMessage& Msg);
    void TargetNotFound(const QString& Text);
    void SocksFailed(int Error, const QString& Msg);
    void Granted();
    void TimedOut();

    Socks::TSocksNegotiation negotiation_;
    QString socksServer_;
    QString socksLevel_ = QStringLiteral("5");
    QString socksPort_;
    QByteArray leftover_;
    int socksLookupHandle_ = 0;
    QTimer* timer_ = nullptr;
};
