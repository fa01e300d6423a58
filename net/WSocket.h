#pragma once

#include "net/WSockbuf.h"
#include "platform/HiddenWindow.h"
#include "platform/WinSock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <stdexcept>

class QTimer;

// ---------------------------------------------------------------------------
// Library routines: names, ports and protocols to numbers, error texts.

class ESocketException : public std::runtime_error
{
public:
    explicit ESocketException(const QString& message);
    QString Message() const;
    // The class name, for texts that name the exception.
    static constexpr const char* ClassName = "ESocketException";
};

// Dotted quad or host name to an IPv4 address in network order. A host name
// is looked up with a blocking call: the socket itself never calls this with
// a name, it looks names up in the background.
quint32 WSocketResolveHost(const QString& Host);
// Decimal text or service name to a port number in host order.
int WSocketResolvePort(const QString& Port, const QString& Proto);
// Decimal text or protocol name to a protocol number.
int WSocketResolveProto(const QString& Proto);
bool IsDottedQuad(const QString& Text);
// Leading blanks, then decimal digits up to the first other character. The
// value saturates instead of wrapping; callers check the range.
qint64 ParseDecimal(const QString& Text);
QString SocketErrorText(int Code);
// "Error <n> in function <label>" CR LF <text>.
QString SocketErrorMessage(int Code, const QString& FunctionName);

// Loading: there is nothing to load on this platform, but the bookkeeping of
// started sockets stays, so that the last socket destroyed unloads.
void UnloadWinsock();
int LiveSocketCount();

// ---------------------------------------------------------------------------
// The asynchronous socket.

enum TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};
enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TWSocketOption { wsoNoReceiveLoop = 1 };
using TWSocketOptions = int;

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TDataAvailable = std::function<void(QObject* Sender, quint16 Error)>;
using TDataSent = TDataAvailable;
using TSessionClosed = TDataAvailable;
using TSessionAvailable = TDataAvailable;
using TSessionConnected = TDataAvailable;
using TDnsLookupDone = TDataAvailable;
using TSendData = std::function<void(QObject* Sender, int BytesSent)>;
using TChangeState =
    std::function<void(QObject* Sender, TSocketState OldState, TSocketState NewState)>;
using TBgExceptionEvent =
    std::function<void(QObject* Sender, const std::exception& E, bool& CanClose)>;

// Window messages of the socket's hidden window.
enum : quint32 {
    WM_SOCKET_EVENT = WM_USER + 1,
    WM_SOCKET_HOST_LOOKUP_DONE = WM_USER + 2,
    WM_SOCKET_ADDR_LOOKUP_DONE = WM_USER + 3,
    WM_SOCKET_CLOSE_LATER = WM_USER + 4,
    WM_SOCKET_FREE_LATER = WM_USER + 5,
    WM_SOCKET_TEST_EXCEPTION = WM_USER + 6,
    // The background lookups of Connect: the remote host, and the target of
    // a SOCKS 4 request.
    WM_SOCKET_CONNECT_LOOKUP_DONE = WM_USER + 7,
    WM_SOCKET_SOCKS_LOOKUP_DONE = WM_USER + 8,
    WM_SOCKET_LINE_REDELIVER = WM_USER + 20,
    WM_SOCKET_CLIENT_CLOSED = WM_USER + 30,
};

class TCustomWSocket : public QObject
{
    Q_OBJECT
public:
    explicit TCustomWSocket(QObject* AOwner = nullptr);
    ~TCustomWSocket() override;

    // Properties.
    QString Addr() const { return m_addr; }
    void SetAddr(const QString& Value);
    QString Port() const { return m_port; }
    virtual void SetPort(const QString& Value);
    QString Proto() const { return m_proto; }
    virtual void SetProto(const QString& Value);
    QString LocalAddr() const { return m_localAddr; }
    void SetLocalAddr(const QString& Value);
    QString LocalPort() const { return m_localPort; }
    void SetLocalPort(const QString& Value);
    TSocketState State() const { return m_state; }
    int LastError() const { return m_lastError; }
    qint64 ReadCount() const { return m_readCount; }
    int RcvdCount() { return GetRcvdCount(); }
    TSocketSendFlags SendFlags() const;
    void SetSendFlags(TSocketSendFlags Value);
    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    int LingerTimeout = 0;
    int FlushTimeout = 60;
    bool MultiThreaded = false;
    TWSocketOptions ComponentOptions = 0;
    QString DnsResult() const { return m_dnsResult; }
    QStringList DnsResultList() const { return m_dnsResultList; }
    WinSock::TSocket HSocket() const { return m_hSocket; }
    bool AllSent() const { return m_allSent; }
    QString PeerAddr() { return GetPeerAddr(); }
    QString PeerPort() { return GetPeerPort(); }
    QString Name() const { return objectName(); }
    void SetName(const QString& Value) { setObjectName(Value); }

    // Events, fired only when assigned.
    TSessionAvailable OnSessionAvailable;
    TSessionConnected OnSessionConnected;
    TSessionClosed OnSessionClosed;
    TChangeState OnChangeState;
    TDataAvailable OnDataAvailable;
    TDataSent OnDataSent;
    TSendData OnSendData;
    TNotifyEvent OnLineTooLong;
    TDnsLookupDone OnDnsLookupDone;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;

    // Operations.
    virtual void Connect();
    virtual void Close();
    virtual void CloseLater();
    virtual void FreeLater();
    virtual void Abort();
    virtual void Flush();
    virtual void WaitForPeerClose();
    virtual void Listen();
    virtual WinSock::TSocket Accept();
    virtual void Dup(WinSock::TSocket NewHSocket);
    virtual void Shutdown(int How);
    virtual void Pause();
    virtual void Resume();
    virtual int Receive(char* Buffer, int Len);
    QByteArray ReceiveText();
    virtual int ReceiveFrom(char* Buffer, int Len, sockaddr_in& From);
    int PeekReceive(char* Buffer, int Len);
    virtual int Send(const char* Data, int Len);
    int Send(const QByteArray& Data) { return Send(Data.constData(), int(Data.size())); }
    virtual int SendText(const QByteArray& Str);
    virtual int SendTo(const sockaddr_in& Dest, const char* Data, int Len);
    virtual void LookupHost(const QString& HostName);
    virtual void LookupAddress(const QString& Address);
    virtual void CancelLookup();
    virtual int GetPeerSockAddr(sockaddr_in& Name);
    virtual int GetSockName(sockaddr_in& Name);
    virtual QString GetLocalPortText();
    virtual void ProcessPendingMessages();
    // Posts a message to the socket's own hidden window.
    bool PostToWindow(quint32 Msg, quintptr WParam = 0, qintptr LParam = 0);

protected:
    virtual void WindowProcedure(TMessage& Msg);
    virtual void ResetDefaults();
    virtual void CloseInternal(bool Shut, quint16 Error);
    virtual int GetRcvdCount();
    virtual void BindSocket();
    virtual int SendRaw(const char* Data, int Len);
    void RaiseErrorFmt(const char* Format, const QString& Arg, int Number);
    virtual void RaiseError(const QString& Msg);
    virtual void HandleEventException(const std::exception& E);
    virtual bool FireDataAvailable(quint16 Error);
    virtual void FireSessionAvailable(quint16 Error);
    virtual void FireSessionConnected(quint16 Error);
    virtual void FireSessionClosed(quint16 Error);
    virtual void FireDataSent(quint16 Error);
    virtual void FireChangeState(TSocketState OldState, TSocketState NewState);
    virtual void FireDnsLookupDone(quint16 Error);
    virtual void FireError();
    virtual void FireSendData(int BytesSent);
    virtual int ReceiveRaw(char* Buffer, int Len, int Flags);
    virtual QString GetPeerAddr();
    virtual QString GetPeerPort();

    // True while the session is being set up above the TCP connection
    // (SOCKS): the state stays wsConnecting until that is done.
    virtual bool Negotiating() const { return false; }
    // FD_CLOSE while wsConnecting.
    virtual void CloseWhileConnecting(quint16 Error);

    void ChangeState(TSocketState NewState);
    void ReportSocketError(const QString& FunctionName);
    // Closes a descriptor that a failed operation leaves behind and returns
    // to wsClosed, without events.
    void DropHandle();
    void ApplyLinger();
    // Validation and resolution shared by the Connect variants; false when a
    // failure has been reported.
    bool PrepareConnect();
    // Opens the socket and connects to Host (dotted quad or name, looked up
    // in the background) at Port (host order).
    void StartConnect(const QString& Host, int PortNumber);
    // Queues bytes whatever the state (the SOCKS negotiation sends before
    // the session is reported).
    int SendInternal(const char* Data, int Len);
    void TryToSend();
    void ReceiveLoop(quint16 Error);
    bool Destroying() const { return m_destroying; }
    HiddenWindow* Window() const { return m_window; }
    // Numbers the sessions of this object (each new descriptor).
    quint64 Session() const { return m_session; }
    // Counts every receive: the receive loop stops when a handler read
    // nothing, and the data is offered again later.
    quint64 m_receiveCalls = 0;
    int m_protocol = 6;
    int m_portNumber = 0;
    quint32 m_remoteAddress = 0;
    bool m_portResolved = false;
    bool m_addrResolved = false;
    bool m_protoResolved = false;
    bool m_localPortResolved = false;
    bool m_portAssigned = false;
    bool m_addrAssigned = false;
    bool m_protoAssigned = true;
    int m_socketType = SOCK_STREAM;
    bool m_sessionClosedFired = false;
    int m_lastError = 0;
    WinSock::TSocket m_hSocket = WinSock::INVALID_SOCKET;

private:
    void SocketEvent(TMessage& Msg);
    void ConnectLookupDone(TMessage& Msg);
    void FinishConnect();
    void FreeSendQueue();
    QByteArray UnsentBytes() const;

    HiddenWindow* m_window = nullptr;
    QList<TBuffer*> m_bufList;
    int m_bufSize = TBuffer::DefaultSize;
    int m_sendFlags = 0;
    quint64 m_session = 0;
    QString m_dnsResult;
    QStringList m_dnsResultList;
    WinSock::TSocket m_acceptedHandle = WinSock::INVALID_SOCKET;
    int m_dnsLookupHandle = 0;
    int m_connectLookupHandle = 0;
    int m_selectEvent = 0;
    QString m_addr;
    QString m_port;
    QString m_proto = QStringLiteral("tcp");
    QString m_localAddr = QStringLiteral("0.0.0.0");
    QString m_localPort = QStringLiteral("0");
    int m_localPortNumber = 0;
    bool m_allSent = true;
    qint64 m_readCount = 0;
    bool m_paused = false;
    bool m_destroying = false;
    TSocketState m_state = wsClosed;
};

// ---------------------------------------------------------------------------
// SOCKS 4, 4A and 5 client.

enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState {
    socksAuthStart = 0,
    socksAuthSuccess = 1,
    socksAuthFailure = 2,
    socksAuthNotRequired = 3
};
using TSocksErrorEvent = std::function<void(QObject* Sender, int Error, const QString& Msg)>;
using TSocksAuthStateEvent = std::function<void(QObject* Sender, TSocksAuthState AuthState)>;

enum : int {
    SOCKS_ERR_PROTOCOL = 20001,
    SOCKS_ERR_VERSION = 20002,
    SOCKS_ERR_AUTH_METHOD = 20003,
    SOCKS_ERR_GENERAL_FAILURE = 20004,
    SOCKS_ERR_NOT_ALLOWED = 20005,
    SOCKS_ERR_NET_UNREACHABLE = 20006,
    SOCKS_ERR_HOST_UNREACHABLE = 20007,
    SOCKS_ERR_CONN_REFUSED = 20008,
    SOCKS_ERR_TTL_EXPIRED = 20009,
    SOCKS_ERR_BAD_COMMAND = 20010,
    SOCKS_ERR_BAD_ADDR_TYPE = 20011,
    SOCKS_ERR_UNASSIGNED = 20012,
    SOCKS_ERR_INTERNAL = 20013,
    SOCKS_ERR_AUTH_FAILED = 20015,
    SOCKS_ERR_REJECTED = 20016,
    SOCKS_ERR_HOST_RESOLVE = 20017,
};

// The SOCKS messages and reply rules, apart from any socket.
namespace Socks {
// Longest host name, user code and password the messages can carry.
constexpr int MaxField = 255;
// The longest reply: a SOCKS 5 reply with a 255-byte domain name.
constexpr int ReplyBufferSize = 262;
QByteArray Socks4Request(int Port, quint32 Address, const QByteArray& Usercode);
QByteArray Socks4ARequest(int Port, const QByteArray& Usercode, const QByteArray& Host);
QByteArray Socks5Greeting(int Method);
QByteArray Socks5Auth(const QByteArray& Usercode, const QByteArray& Password);
QByteArray Socks5Request(const QByteArray& Host, int Port);
// The error number and text of a SOCKS 5 reply code (1 and up).
int Socks5ErrorCode(int Code);
QString SocksErrorText(int Error, int Code = 0);
// The length a SOCKS 5 reply needs, from its first 5 bytes (-1 until then).
int Socks5ReplyLength(const QByteArray& Reply);
} // namespace Socks

class TCustomSocksWSocket : public TCustomWSocket
{
    Q_OBJECT
public:
    explicit TCustomSocksWSocket(QObject* AOwner = nullptr);

    QString SocksServer() const { return m_socksServer; }
    virtual void SetSocksServer(const QString& Value);
    QString SocksPort() const { return m_socksPort; }
    virtual void SetSocksPort(const QString& Value);
    QString SocksLevel() const { return m_socksLevel; }
    void SetSocksLevel(const QString& Value);
    QByteArray SocksUsercode;
    QByteArray SocksPassword;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;
    QString BoundAddr() const { return m_boundAddr; }
    QString BoundPort() const { return m_boundPort; }

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
    bool Negotiating() const override { return m_socksState != 0; }
    void CloseWhileConnecting(quint16 Error) override;
    virtual void FireSocksConnected(quint16 Error);
    virtual void FireSocksError(int Error, const QString& Msg);

private:
    void SocksDoConnect();
    void SocksDoAuthenticate();
    void SendSocks4Request(quint32 Address);
    void SocksFailed(int Error, const QString& Msg);
    void Granted();
    // Reads up to Wanted reply bytes; false when the socket had none.
    int ReceiveReply(int Wanted);

    int m_socksState = 0;
    QString m_socksServer;
    QString m_socksLevel = QStringLiteral("5");
    QString m_socksPort;
    QString m_boundAddr;
    QString m_boundPort;
    int m_socksMethod = 0;
    int m_targetPort = 0;
    QByteArray m_reply;
    QByteArray m_leftover;
    int m_socksLookupHandle = 0;
};

// ---------------------------------------------------------------------------
// Line mode and waiting.

class TCustomLineWSocket : public TCustomSocksWSocket
{
    Q_OBJECT
public:
    explicit TCustomLineWSocket(QObject* AOwner = nullptr);
    ~TCustomLineWSocket() override;

    bool LineMode() const { return m_lineMode; }
    virtual void SetLineMode(bool Value);
    QByteArray LineEnd = QByteArrayLiteral("\r\n");
    bool LineEcho = false;
    bool LineEdit = false;
    // The longest line held while waiting for its end. A longer one fires
    // OnLineTooLong and is then delivered as it stands.
    int LineLimit = 65536;

protected:
    void WindowProcedure(TMessage& Msg) override;
    int GetRcvdCount() override;
    bool FireDataAvailable(quint16 Error) override;
    void FireSessionClosed(quint16 Error) override;
    int ReceiveRaw(char* Buffer, int Len, int Flags) override;
    virtual void ApplyLineEditing(int HeldBefore, int& Len);
    // Delivers the complete lines held from Start on.
    void DeliverLines(int Start);
    bool m_lineReceived = false;
    QByteArray m_rcvdBuffer;
    int m_lineLength = 0;
    bool m_lineMode = false;

private:
    void ScheduleRedeliver();
    QTimer* m_redeliverTimer = nullptr;
};

class TCustomSyncWSocket : public TCustomLineWSocket
{
    Q_OBJECT
public:
    using TCustomLineWSocket::TCustomLineWSocket;
    // Reads one line, handling other events meanwhile. Timeout: 0 is one
    // minute, a positive value seconds, a negative one milliseconds.
    void ReadLine(int Timeout, QByteArray& Line);
    // 0 when Flag became true; 12001 on time-out, when the application is
    // closing down, or when the socket was freed meanwhile.
    int WaitUntilDone(bool& Flag);
    int CallAndWait(bool& Flag, const std::function<void()>& Proc);
    static qint64 TimeoutMs(int Timeout);

protected:
    qint64 m_timeout = 0;
};

class TWSocket : public TCustomSyncWSocket
{
    Q_OBJECT
public:
    using TCustomSyncWSocket::TCustomSyncWSocket;
};
