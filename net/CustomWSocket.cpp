#include "net/CustomWSocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include <arpa/inet.h>
#include <climits>
#include <sys/uio.h>

using namespace WinSock;

TCustomWSocket::TCustomWSocket(QObject* AOwner) : QObject(AOwner)
{
    window_ = new HiddenWindow([this](TMessage& m) { WindowProcedure(m); });
    ResetDefaults();
    WinsockSocketCreated();
    WinSock::WatchApplication();
}

TCustomWSocket::~TCustomWSocket()
{
    destroying_ = true;
    try {
        CancelLookup();
    } catch (...) {
    }
    if (openLookupHandle_) {
        WSACancelAsyncRequest(openLookupHandle_);
        openLookupHandle_ = 0;
    }
    try {
        if (state_ != wsClosed || hSocket_ != INVALID_SOCKET)
            Close();
    } catch (...) {
    }
    if (hSocket_ != INVALID_SOCKET) {
        closesocket(hSocket_);
        hSocket_ = INVALID_SOCKET;
    }
    WinsockSocketDestroyed();
    FreeSendQueue();
    window_->destroy();
    window_ = nullptr;
}

void TCustomWSocket::ResetDefaults()
{
    addrAssigned_ = false;
    portAssigned_ = false;
    addrResolved_ = portResolved_ = protoResolved_ = localPortResolved_ = false;
    proto_ = QStringLiteral("tcp");
    protoAssigned_ = true;
    protocol_ = 6;
    socketType_ = SOCK_STREAM;
    localPort_ = QStringLiteral("0");
    localPortNumber_ = 0;
    localAddr_ = QStringLiteral("0.0.0.0");
    LingerOnOff = wsLingerOn;
    LingerTimeout = 0;
    hSocket_ = INVALID_SOCKET;
    state_ = wsClosed;
    allSent_ = true;
    paused_ = false;
    readCount_ = 0;
    sessionClosedFired_ = false;
    FlushTimeout = 60;
}

void TCustomWSocket::SetAddr(const QString& Value)
{
    if (addrAssigned_ && Value == addr_)
        return;
    if (state_ != wsClosed) {
        RaiseError(QStringLiteral("Cannot change Addr if not closed"));
        return;
    }
    addr_ = Value.trimmed();
    addrResolved_ = false;
    addrAssigned_ = !addr_.isEmpty();
}

void TCustomWSocket::SetPort(const QString& Value)
{
    if (portAssigned_ && Value == port_)
        return;
    if (state_ != wsClosed) {
        RaiseError(QStringLiteral("Cannot change Port if not closed"));
        return;
    }
    port_ = Value.trimmed();
    portResolved_ = false;
    portAssigned_ = !port_.isEmpty();
}

void TCustomWSocket::SetProto(const QString& Value)
{
    if (protoAssigned_ && Value == proto_)
        return;
    if (state_ != wsClosed) {
        RaiseError(QStringLiteral("Cannot change Proto if not closed"));
        return;
    }
    proto_ = Value.trimmed();
    protoResolved_ = false;
    protoAssigned_ = !proto_.isEmpty();
}

void TCustomWSocket::SetLocalPort(const QString& Value)
{
    if (state_ != wsClosed) {
        RaiseError(QStringLiteral("Cannot change LocalPort if not closed"));
        return;
    }
    localPort_ = Value;
    localPortResolved_ = false;
}

void TCustomWSocket::SetLocalAddr(const QString& Value)
{
    if (state_ != wsClosed) {
        RaiseError(QStringLiteral("Cannot change LocalAddr if not closed"));
        return;
    }
    const QString text = Value.isEmpty() ? QStringLiteral("0.0.0.0") : Value;
    const quint32 a = inet_addr(text.toLatin1());
    if ((a == INADDR_NONE_ && text.trimmed() != QLatin1String("255.255.255.255")) ||
        !IsDottedQuad(text)) {
        RaiseError(QStringLiteral("SetLocalAddr(): Invalid IP address"));
        return;
    }
    localAddr_ = QString::fromLatin1(inet_ntoa(a));
}

TSocketSendFlags TCustomWSocket::SendFlags() const
{
    if (sendFlags_ == 0)
        return wsSendNormal;
    if (sendFlags_ == MSG_OOB)
        return wsSendUrgent;
    throw ESocketException(QStringLiteral("Invalid internal SendFlags"));
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags Value)
{
    switch (Value) {
    case wsSendNormal:
        sendFlags_ = 0;
        break;
    case wsSendUrgent:
        sendFlags_ = MSG_OOB;
        break;
    default:
        RaiseError(QStringLiteral("Invalid SendFlags"));
    }
}

void TCustomWSocket::ChangeState(TSocketState NewState)
{
    const TSocketState old = state_;
    state_ = NewState;
    FireChangeState(old, NewState);
}

void TCustomWSocket::RaiseError(const QString& Msg)
{
    if (OnError) {
        FireError();
        return;
    }
    throw ESocketException(Msg);
}

void TCustomWSocket::RaiseErrorFmt(const char* Format, const QString& Arg, int Number)
{
    QString text = QString::fromLatin1(Format);
    if (text.contains(QLatin1String("%s")))
        text.replace(text.indexOf(QLatin1String("%s")), 2, Arg);
    text.replace(QLatin1String("%d"), QString::number(Number));
    RaiseError(text);
}

void TCustomWSocket::ReportSocketError(const QString& FunctionName)
{
    const int n = WSAGetLastError();
    lastError_ = n;
    RaiseError(SocketErrorMessage(n, FunctionName));
}

void TCustomWSocket::DropHandle()
{
    if (hSocket_ != INVALID_SOCKET) {
        const int saved = WSAGetLastError();
        closesocket(hSocket_);
        hSocket_ = INVALID_SOCKET;
        WSASetLastError(saved);
    }
    FreeSendQueue();
    if (state_ != wsClosed)
        ChangeState(wsClosed);
}

void TCustomWSocket::HandleEventException(const std::exception& E)
{
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, E, canClose);
        } catch (...) {
        }
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

bool TCustomWSocket::FireDataAvailable(quint16 Error)
{
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, Error);
    return true;
}

void TCustomWSocket::FireSessionAvailable(quint16 Error)
{
    if (OnSessionAvailable)
        OnSessionAvailable(this, Error);
}

void TCustomWSocket::FireSessionConnected(quint16 Error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TCustomWSocket::FireSessionClosed(quint16 Error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

void TCustomWSocket::FireDataSent(quint16 Error)
{
    if (OnDataSent)
        OnDataSent(this, Error);
}

void TCustomWSocket::FireChangeState(TSocketState OldState, TSocketState NewState)
{
    if (OnChangeState)
        OnChangeState(this, OldState, NewState);
}

void TCustomWSocket::FireDnsLookupDone(quint16 Error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, Error);
}

void TCustomWSocket::FireError()
{
    if (OnError)
        OnError(this);
}

void TCustomWSocket::FireSendData(int BytesSent)
{
    if (OnSendData)
        OnSendData(this, BytesSent);
}

bool TCustomWSocket::PostToWindow(quint32 Msg, quintptr WParam, qintptr LParam)
{
    return PostMessage(window_, Msg, WParam, LParam);
}

void TCustomWSocket::WindowProcedure(TMessage& Msg)
{
    QPointer<TCustomWSocket> self(this);
    try {
        switch (Msg.Msg) {
        case WM_SOCKET_EVENT:
            SocketEvent(Msg);
            break;
        case WM_SOCKET_HOST_LOOKUP_DONE:
        case WM_SOCKET_ADDR_LOOKUP_DONE:
            if (int(Msg.WParam) != dnsLookupHandle_ || dnsLookupHandle_ == 0)
                break;
            dnsLookupHandle_ = 0;
            dnsResultList_.clear();
            dnsResult_.clear();
            if (WSAGETSELECTERROR(Msg.LParam) == 0) {
                dnsResultList_ = Msg.Data.toStringList();
                if (!dnsResultList_.isEmpty())
                    dnsResult_ = dnsResultList_.first();
            }
            FireDnsLookupDone(quint16(WSAGETSELECTERROR(Msg.LParam)));
            break;
        case WM_SOCKET_CONNECT_LOOKUP_DONE:
            ConnectLookupDone(Msg);
            break;
        case WM_SOCKET_LISTEN_LOOKUP_DONE:
            ListenLookupDone(Msg);
            break;
        case WM_SOCKET_CLOSE_LATER:
            Close();
            break;
        case WM_SOCKET_FREE_LATER:
            delete this;
            break;
        case WM_SOCKET_TEST_EXCEPTION:
            throw ESocketException(QStringLiteral("Test exception in WSocket"));
        default:
            break;
        }
    } catch (const std::exception& e) {
        if (self)
            HandleEventException(e);
    }
}

void TCustomWSocket::SocketEvent(TMessage& Msg)
{
    if (hSocket_ == INVALID_SOCKET || TSocket(Msg.WParam) != hSocket_ || paused_)
        return;
    // Our own completion notices carry the session they belong to.
    if (Msg.Data.isValid()) {
        if (Msg.Data.toULongLong() != session_)
            return;
        if (sentNoticeSession_ == session_ && (WSAGETSELECTEVENT(Msg.LParam) & FD_WRITE))
            sentNoticeSession_ = 0;
    }
    QPointer<TCustomWSocket> self(this);
    const int events = WSAGETSELECTEVENT(Msg.LParam);
    const quint16 error = quint16(WSAGETSELECTERROR(Msg.LParam));
    const quint64 session = session_;
    auto sameSession = [&] { return self && session_ == session && hSocket_ != INVALID_SOCKET; };

    if (events & FD_CONNECT) {
        if (error == 0) {
            if (!Negotiating())
                ChangeState(wsConnected);
        } else {
            lastError_ = error;
        }
        FireSessionConnected(error);
        if (!self)
            return;
        if (error != 0 && state_ != wsClosed && session_ == session)
            Close();
        return;
    }
    if (events & FD_READ) {
        ReceiveLoop(error);
        return;
    }
    if (events & FD_WRITE) {
        TryToSend();
        // The bytes of a SOCKS negotiation are not the program's.
        if (sameSession() && allSent_ && !Negotiating())
            FireDataSent(error);
        return;
    }
    if (events & FD_ACCEPT) {
        FireSessionAvailable(error);
        return;
    }
    if (events & FD_CLOSE) {
        if (state_ == wsConnecting) {
            CloseWhileConnecting(error);
            return;
        }
        // The data before the end is offered first, unless a receive has
        // already met the end (the handler has seen it).
        if (!endOfStreamSeen(hSocket_))
            ReceiveLoop(0);
        if (!sameSession())
            return;
        if (!sessionClosedFired_) {
            sessionClosedFired_ = true;
            FireSessionClosed(error);
        }
        if (self && session_ == session && state_ != wsClosed)
            Close();
    }
}

void TCustomWSocket::CloseWhileConnecting(quint16) {}

void TCustomWSocket::ReceiveLoop(quint16 Error)
{
    QPointer<TCustomWSocket> self(this);
    const quint64 session = session_;
    for (;;) {
        lastError_ = 0;
        const quint64 before = receiveCalls_;
        bool assigned = false;
        try {
            assigned = FireDataAvailable(Error);
        } catch (const std::exception&) {
            return;
        }
        if (!self || session_ != session || hSocket_ == INVALID_SOCKET)
            return;
        if (!assigned) {
            char junk[1024];
            if (ReceiveRaw(junk, sizeof junk, 0) < 0) {
                const int err = WSAGetLastError();
                if (err != WSAEWOULDBLOCK)
                    lastError_ = err;
                return;
            }
        }
        if (ComponentOptions & wsoNoReceiveLoop)
            return;
        if (lastError_ != 0)
            return;
        // A handler that took nothing gets the data again after a pause, not
        // in a busy loop.
        if (assigned && receiveCalls_ == before)
            return;
        // What waited when FD_READ came, less what was read since, tells
        // whether to go on without asking the kernel; bytes that arrive
        // later bring readiness again.
        const int known = knownReadable(hSocket_);
        if (known == 0 || endOfStreamSeen(hSocket_))
            return;
        if (known > 0)
            continue;
        unsigned long waiting = 0;
        if (ioctlFionread(hSocket_, &waiting) != 0) {
            lastError_ = WSAGetLastError();
            return;
        }
        if (waiting == 0)
            return;
    }
}

int TCustomWSocket::GetRcvdCount()
{
    if (hSocket_ == INVALID_SOCKET)
        return 0;
    // Within FD_READ the bytes known to wait are a count the kernel would
    // give too (more may have come since; they are offered next).
    if (const int known = knownReadable(hSocket_); known > 0)
        return known;
    unsigned long n = 0;
    if (ioctlFionread(hSocket_, &n) != 0) {
        ReportSocketError(QStringLiteral("ioctlSocket"));
        return -1;
    }
    return int(qMin<unsigned long>(n, INT_MAX));
}

void TCustomWSocket::Shutdown(int How)
{
    if (hSocket_ != INVALID_SOCKET)
        WinSock::shutdown(hSocket_, How);
}

void TCustomWSocket::Pause()
{
    paused_ = true;
    if (hSocket_ != INVALID_SOCKET)
        WSAAsyncSelect(hSocket_, window_, WM_SOCKET_EVENT, 0);
}

void TCustomWSocket::Resume()
{
    paused_ = false;
    if (hSocket_ != INVALID_SOCKET)
        WSAAsyncSelect(hSocket_, window_, WM_SOCKET_EVENT, selectEvent_);
}

int TCustomWSocket::ReceiveRaw(char* Buffer, int Len, int Flags)
{
    NoteReceiveCall();
    if (hSocket_ == INVALID_SOCKET) {
        WSASetLastError(WSAENOTCONN);
        return -1;
    }
    if (socketType_ == SOCK_DGRAM)
        return recvfrom(hSocket_, Buffer, Len, Flags, nullptr);
    return recv(hSocket_, Buffer, Len, Flags);
}

int TCustomWSocket::Receive(char* Buffer, int Len)
{
    NoteReceiveCall();
    const int n = ReceiveRaw(Buffer, Len, 0);
    if (n < 0)
        lastError_ = WSAGetLastError();
    else
        readCount_ += n;
    return n;
}

int TCustomWSocket::PeekReceive(char* Buffer, int Len)
{
    const int n = ReceiveRaw(Buffer, Len, MSG_PEEK);
    if (n < 0)
        lastError_ = WSAGetLastError();
    return n;
}

QByteArray TCustomWSocket::ReceiveText()
{
    const int n = RcvdCount();
    if (n <= 0)
        return {};
    QByteArray data(n, '\0');
    const int got = Receive(data.data(), n);
    if (got <= 0)
        return {};
    data.truncate(got);
    return data;
}

int TCustomWSocket::ReceiveFrom(char* Buffer, int Len, sockaddr_in& From)
{
    NoteReceiveCall();
    const int n = recvfrom(hSocket_, Buffer, Len, 0, &From);
    if (n < 0)
        lastError_ = WSAGetLastError();
    else
        readCount_ += n;
    return n;
}

void TCustomWSocket::Close()
{
    CloseInternal(true, 0);
}

void TCustomWSocket::CloseInternal(bool Shut, quint16 Error)
{
    if (openLookupHandle_) {
        WSACancelAsyncRequest(openLookupHandle_);
        openLookupHandle_ = 0;
    }
    if (hSocket_ == INVALID_SOCKET) {
        if (state_ != wsClosed) {
            ChangeState(wsClosed);
            try {
                ResetDefaults();
            } catch (...) {
            }
        }
        return;
    }
    const TSocket h = hSocket_;
    hSocket_ = INVALID_SOCKET;
    if (Shut && socketType_ == SOCK_STREAM && state_ == wsConnected) {
        // The bytes still queued go out first; the descriptor finishes in
        // the background, so the object is closed when this returns.
        closeAfterSending(h, UnsentBytes());
    } else {
        if (!Shut && socketType_ == SOCK_STREAM) {
            linger l{1, 0};
            WinSock::setsockopt(h, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        if (closesocket(h) != 0 && WSAGetLastError() != WSANOTINITIALISED) {
            // The descriptor is forgotten all the same; the object is closed
            // (without the session's event) and the failure reported.
            const int err = WSAGetLastError();
            lastError_ = err;
            FreeSendQueue();
            ChangeState(wsClosed);
            WSASetLastError(err);
            ReportSocketError(QStringLiteral("Disconnect (closesocket)"));
            return;
        }
    }
    FreeSendQueue();
    const quint64 session = session_;
    QPointer<TCustomWSocket> self(this);
    ChangeState(wsClosed);
    if (!self)
        return;
    if (!destroying_ && !sessionClosedFired_) {
        sessionClosedFired_ = true;
        FireSessionClosed(Error);
        if (!self)
            return;
    }
    // A handler that started a new session keeps it.
    if (session_ != session || hSocket_ != INVALID_SOCKET)
        return;
    try {
        ResetDefaults();
    } catch (...) {
    }
}

void TCustomWSocket::Abort()
{
    CancelLookup();
    FreeSendQueue();
    CloseInternal(false, 0);
}

void TCustomWSocket::CloseLater()
{
    PostMessage(window_, WM_SOCKET_CLOSE_LATER);
}

void TCustomWSocket::FreeLater()
{
    PostMessage(window_, WM_SOCKET_FREE_LATER);
}

void TCustomWSocket::Flush()
{
    // Bounded by FlushTimeout: a peer that stops reading cannot hold the
    // caller (and the program's events) for ever.
    QPointer<TCustomWSocket> self(this);
    const QDeadlineTimer deadline(qint64(qMax(FlushTimeout, 0)) * 1000);
    while (self && hSocket_ != INVALID_SOCKET && !allSent_) {
        TryToSend();
        if (!self || allSent_ || deadline.hasExpired() || terminated_)
            break;
        ProcessPendingMessages();
    }
}

void TCustomWSocket::WaitForPeerClose()
{
    QPointer<TCustomWSocket> self(this);
    const QDeadlineTimer deadline(qint64(qMax(FlushTimeout, 0)) * 1000);
    while (self && hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
        ProcessPendingMessages();
        if (!self || hSocket_ == INVALID_SOCKET || deadline.hasExpired() || terminated_)
            return;
        unsigned long n = 0;
        if (ioctlFionread(hSocket_, &n) != 0)
            return;
        if (n > 0) {
            FireDataAvailable(0);
            continue;
        }
        // Nothing waiting: the peer has closed when a receive says so.
        char c;
        const int got = ReceiveRaw(&c, 1, MSG_PEEK);
        if (got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK))
            return;
    }
}

void TCustomWSocket::ProcessPendingMessages()
{
    if (!terminated_ && WinSock::QuitRequested())
        terminated_ = true;
    if (terminated_)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    if (WinSock::QuitRequested())
        terminated_ = true;
}

bool TCustomWSocket::TimevalIsSet(const timeval& Tv)
{
    return Tv.tv_sec != 0 || Tv.tv_usec != 0;
}

void TCustomWSocket::TimevalClear(timeval& Tv)
{
    Tv.tv_sec = 0;
    Tv.tv_usec = 0;
}

bool TCustomWSocket::TimevalEqual(const timeval& A, const timeval& B, bool IsEqual)
{
    const bool equal = A.tv_sec == B.tv_sec && A.tv_usec == B.tv_usec;
    return IsEqual ? equal : !equal;
}

QString TCustomWSocket::GetPeerAddr()
{
    if (state_ != wsConnected)
        return QStringLiteral("error");
    sockaddr_in name{};
    if (getpeername(hSocket_, &name) != 0) {
        ReportSocketError(QStringLiteral("GetPeerName"));
        return QStringLiteral("error");
    }
    return QString::fromLatin1(inet_ntoa(name.sin_addr.s_addr));
}

QString TCustomWSocket::GetPeerPort()
{
    if (state_ != wsConnected)
        return QStringLiteral("error");
    sockaddr_in name{};
    if (getpeername(hSocket_, &name) != 0) {
        ReportSocketError(QStringLiteral("GetPeerPort"));
        return QStringLiteral("error");
    }
    return QString::number(ntohs(name.sin_port));
}

int TCustomWSocket::GetPeerSockAddr(sockaddr_in& Name)
{
    if (state_ != wsConnected)
        return -1;
    return getpeername(hSocket_, &Name);
}

int TCustomWSocket::GetSockName(sockaddr_in& Name)
{
    return getsockname(hSocket_, &Name);
}

QString TCustomWSocket::GetLocalPortText()
{
    if (state_ != wsBound && state_ != wsConnected && state_ != wsListening)
        return QStringLiteral("error");
    sockaddr_in name{};
    if (getsockname(hSocket_, &name) != 0)
        return QStringLiteral("error");
    return QString::number(ntohs(name.sin_port));
}
