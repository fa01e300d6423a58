#pragma once

#include "net/WSockbuf.h"
#include "net/WSocketErrors.h"
#include "net/WSocketResolve.h"
#include "platform/HiddenWindow.h"
#include "platform/WinSock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <sys/time.h>

#include <functional>

// The asynchronous socket: one non-blocking TCP or UDP socket that reports
// every network event through a hidden window of its own, resolves names in
// the background, queues what it sends and closes in an orderly or abortive
// way.

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
    // The background lookup of Listen on a host name.
    WM_SOCKET_LISTEN_LOOKUP_DONE = WM_USER + 9,
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
    QString Addr() const { return addr_; }
    void SetAddr(const QString& Value);
    QString Port() const { return port_; }
    virtual void SetPort(const QString& Value);
    QString Proto() const { return proto_; }
    virtual void SetProto(const QString& Value);
    QString LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const QString& Value);
    QString LocalPort() const { return localPort_; }
    void SetLocalPort(const QString& Value);
    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    qint64 ReadCount() const { return readCount_; }
    int RcvdCount() { return GetRcvdCount(); }
    TSocketSendFlags SendFlags() const;
    void SetSendFlags(TSocketSendFlags Value);
    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    int LingerTimeout = 0;
    // Seconds Flush and WaitForPeerClose wait at most.
    int FlushTimeout = 60;
    // The most bytes the send queue holds: a Send that would queue more
    // fails with WSAENOBUFS (10055) and leaves the queue as it was.
    qint64 SendBufferLimit = qint64(16) << 20;
    // Bytes queued and not yet taken by the kernel.
    qint64 BufferedByteCount() const { return queued_; }
    bool MultiThreaded = false;
    TWSocketOptions ComponentOptions = 0;
    QString DnsResult() const { return dnsResult_; }
    QStringList DnsResultList() const { return dnsResultList_; }
    WinSock::TSocket HSocket() const { return hSocket_; }
    bool AllSent() const { return allSent_; }
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
    // Handles the events waiting; nothing once the application has been
    // asked to quit (Terminated).
    virtual void ProcessPendingMessages();
    bool Terminated() const { return terminated_; }
    // Operations on a timeval: not zero; set to zero; equal (the answer
    // inverted when IsEqual is false).
    static bool TimevalIsSet(const timeval& Tv);
    static void TimevalClear(timeval& Tv);
    static bool TimevalEqual(const timeval& A, const timeval& B, bool IsEqual);
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

    // The outcome of a background lookup's message: 0 and the first address
    // found, or the error (WSAHOST_NOT_FOUND when no address came).
    static int LookupResult(const TMessage& Msg, quint32* Address);
    // accept() without reporting a failure: INVALID_SOCKET with the error in
    // LastError and WSAGetLastError.
    WinSock::TSocket AcceptConnection();
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
    // Appends to the send queue.
    void Queue(const char* Data, int Len);
    // The queue is empty after a Send: OnDataSent is to follow.
    void NoteAllSent();
    // A send failed with Error (not WSAEWOULDBLOCK).
    void SendFailed(int Error);
    void ReceiveLoop(quint16 Error);
    bool Destroying() const { return destroying_; }
    HiddenWindow* Window() const { return window_; }
    // Numbers the sessions of this object (each new descriptor).
    quint64 Session() const { return session_; }
    // Counts every receive: the receive loop stops when a handler read
    // nothing, and the data is offered again later.
    void NoteReceiveCall() { ++receiveCalls_; }
    quint64 receiveCalls_ = 0;
    int protocol_ = 6;
    int portNumber_ = 0;
    quint32 remoteAddress_ = 0;
    bool portResolved_ = false;
    bool addrResolved_ = false;
    bool protoResolved_ = false;
    bool localPortResolved_ = false;
    bool portAssigned_ = false;
    bool addrAssigned_ = false;
    bool protoAssigned_ = true;
    int socketType_ = SOCK_STREAM;
    bool sessionClosedFired_ = false;
    int lastError_ = 0;
    // Set once the application has been asked to quit.
    bool terminated_ = false;
    WinSock::TSocket hSocket_ = WinSock::INVALID_SOCKET;

private:
    void SocketEvent(TMessage& Msg);
    void ConnectLookupDone(TMessage& Msg);
    void ListenLookupDone(TMessage& Msg);
    // Binds and listens once the address is known.
    void FinishListen();
    void FinishConnect();
    void FreeSendQueue();
    QByteArray UnsentBytes() const;

    HiddenWindow* window_ = nullptr;
    QList<TBuffer*> bufList_;
    int bufSize_ = TBuffer::DefaultSize;
    int sendFlags_ = 0;
    quint64 session_ = 0;
    QString dnsResult_;
    QStringList dnsResultList_;
    WinSock::TSocket acceptedHandle_ = WinSock::INVALID_SOCKET;
    int dnsLookupHandle_ = 0;
    // The background lookup of Connect or Listen.
    int openLookupHandle_ = 0;
    // The session whose OnDataSent notice is queued (0: none).
    quint64 sentNoticeSession_ = 0;
    qint64 queued_ = 0;
    int selectEvent_ = 0;
    QString addr_;
    QString port_;
    QString proto_ = QStringLiteral("tcp");
    QString localAddr_ = QStringLiteral("0.0.0.0");
    QString localPort_ = QStringLiteral("0");
    int localPortNumber_ = 0;
    bool allSent_ = true;
    qint64 readCount_ = 0;
    bool paused_ = false;
    bool destroying_ = false;
    TSocketState state_ = wsClosed;
};
