#include "net/CustomWSocket.h"

#include <QCoreApplication>
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
}

TCustomWSocket::~TCustomWSocket()
{
    destroying_ = true;
    try {
        CancelLookup();
    } catch (...) {
    }
    if (connectLookupHandle_) {
        WSACancelAsyncRequest(connectLookupHandle_);
        connectLookupHandle_ = 0;
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
    if (Msg.Data.isValid() && Msg.Data.toULongLong() != session_)
        return;
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
    unsigned long n = 0;
    if (ioctlFionread(hSocket_, &n) != 0) {
        ReportSocketError(QStringLiteral("ioctlSocket"));
        return -1;
    }
    return int(qMin<unsigned long>(n, INT_MAX));
}

bool TCustomWSocket::PrepareConnect()
{
    if (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
        RaiseError(QStringLiteral("Connect: Socket already in use"));
        return false;
    }
    if (!portAssigned_) {
        RaiseError(QStringLiteral("Connect: No Port Specified"));
        return false;
    }
    if (!addrAssigned_) {
        RaiseError(QStringLiteral("Connect: No IP Address Specified"));
        return false;
    }
    if (!protoAssigned_) {
        RaiseError(QStringLiteral("Connect: No Protocol Specified"));
        return false;
    }
    try {
        if (!protoResolved_) {
            protocol_ = WSocketResolveProto(proto_);
            socketType_ = protocol_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
            protoResolved_ = true;
        }
        if (!portResolved_) {
            portNumber_ = WSocketResolvePort(port_, proto_);
            portResolved_ = true;
        }
        if (!localPortResolved_) {
            localPortNumber_ = WSocketResolvePort(localPort_, proto_);
            localPortResolved_ = true;
        }
    } catch (const std::exception& e) {
        RaiseError(QStringLiteral("connect: ") + QString::fromLocal8Bit(e.what()));
        return false;
    }
    return true;
}

void TCustomWSocket::Connect()
{
    if (!PrepareConnect())
        return;
    StartConnect(addr_, portNumber_);
}

void TCustomWSocket::StartConnect(const QString& Host, int PortNumber)
{
    // An address given as a dotted quad is taken at once; a name is looked
    // up in the background once the socket exists.
    bool needLookup = false;
    quint32 address = 0;
    const QString host = Host.trimmed();
    if (host.isEmpty() || host.size() > 256) {
        RaiseError(QStringLiteral("connect: WSocketResolveHost: '%1' Invalid Hostname.").arg(Host));
        return;
    }
    if (IsDottedQuad(host)) {
        try {
            address = WSocketResolveHost(host);
        } catch (const std::exception& e) {
            RaiseError(QStringLiteral("connect: ") + QString::fromLocal8Bit(e.what()));
            return;
        }
    } else {
        needLookup = true;
    }

    FreeSendQueue();
    remoteAddress_ = address;
    portNumber_ = PortNumber;
    hSocket_ = WinSock::socket(AF_INET, socketType_, protocol_);
    if (hSocket_ == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("Connect (socket)"));
        return;
    }
    ++session_;
    ChangeState(wsOpened);

    auto fail = [this](const QString& label) {
        // Nothing of the failed attempt stays open.
        DropHandle();
        ReportSocketError(label);
    };
    if (socketType_ == SOCK_DGRAM) {
        try {
            BindSocket();
        } catch (...) {
            DropHandle();
            throw;
        }
        if (hSocket_ == INVALID_SOCKET)
            return;
    } else {
        if (localPortNumber_ != 0 || localAddr_ != QLatin1String("0.0.0.0")) {
            try {
                BindSocket();
            } catch (...) {
                DropHandle();
                throw;
            }
            if (hSocket_ == INVALID_SOCKET)
                return;
        }
        if (LingerOnOff != wsLingerNoSet) {
            linger l{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
            if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0)
                return fail(QStringLiteral("WinSock::setsockopt(SO_LINGER)"));
        }
        int on = 1;
        if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
            return fail(QStringLiteral("WinSock::setsockopt(SO_KEEPALIVE)"));
        if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
            return fail(QStringLiteral("WinSock::setsockopt(SO_REUSEADDR)"));
    }
    selectEvent_ = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect(hSocket_, window_, WM_SOCKET_EVENT, selectEvent_) != 0)
        return fail(QStringLiteral("WSAAsyncSelect"));

    if (needLookup) {
        ChangeState(wsConnecting);
        connectLookupHandle_ =
            WSAAsyncGetHostByName(window_, WM_SOCKET_CONNECT_LOOKUP_DONE, host.toUtf8());
        if (connectLookupHandle_ == 0)
            return fail(QStringLiteral("Connect"));
        return;
    }
    FinishConnect();
}

void TCustomWSocket::ConnectLookupDone(TMessage& Msg)
{
    if (int(Msg.WParam) != connectLookupHandle_ || connectLookupHandle_ == 0)
        return;
    connectLookupHandle_ = 0;
    const int error = WSAGETSELECTERROR(Msg.LParam);
    const QStringList addresses = Msg.Data.toStringList();
    if (error != 0 || addresses.isEmpty()) {
        // As a refused connection: the attempt is reported, then closed.
        lastError_ = error ? error : WSAHOST_NOT_FOUND;
        QPointer<TCustomWSocket> self(this);
        const quint64 session = session_;
        FireSessionConnected(quint16(lastError_));
        if (self && session_ == session && state_ != wsClosed)
            Close();
        return;
    }
    remoteAddress_ = inet_addr(addresses.first().toLatin1());
    FinishConnect();
}

void TCustomWSocket::FinishConnect()
{
    if (socketType_ == SOCK_DGRAM) {
        if (remoteAddress_ == INADDR_NONE_) {
            int on = 1;
            if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
                DropHandle();
                ReportSocketError(QStringLiteral("WinSock::setsockopt(SO_BROADCAST)"));
                return;
            }
        }
        ChangeState(wsConnected);
        FireSessionConnected(0);
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(portNumber_));
    to.sin_addr.s_addr = remoteAddress_;
    if (WinSock::connect(hSocket_, to) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
        const int err = WSAGetLastError();
        lastError_ = err;
        if (state_ == wsConnecting) {
            // After a background lookup the caller has gone: report it as an
            // event, like a refusal.
            QPointer<TCustomWSocket> self(this);
            FireSessionConnected(quint16(err));
            if (self && state_ != wsClosed)
                Close();
            return;
        }
        DropHandle();
        WSASetLastError(err);
        ReportSocketError(QStringLiteral("Connect"));
        return;
    }
    if (state_ != wsConnecting)
        ChangeState(wsConnecting);
}

void TCustomWSocket::BindSocket()
{
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(quint16(localPortNumber_));
    at.sin_addr.s_addr = WSocketResolveHost(localAddr_);
    if (WinSock::bind(hSocket_, at) != 0) {
        const int err = WSAGetLastError();
        lastError_ = err;
        DropHandle();
        RaiseErrorFmt("winsock.bind failed, error #%d", {}, err);
        return;
    }
    sockaddr_in name{};
    if (getsockname(hSocket_, &name) != 0) {
        const int err = WSAGetLastError();
        lastError_ = err;
        DropHandle();
        RaiseErrorFmt("winsock.getsockname failed, error #%d", {}, err);
        return;
    }
    localPortNumber_ = ntohs(name.sin_port);
    localPort_ = QString::number(localPortNumber_);
}

void TCustomWSocket::ApplyLinger()
{
    if (LingerOnOff == wsLingerNoSet)
        return;
    if (hSocket_ == INVALID_SOCKET) {
        RaiseError(QStringLiteral("Cannot set linger option at this time"));
        return;
    }
    linger l{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
    if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0)
        ReportSocketError(QStringLiteral("WinSock::setsockopt(SO_LINGER)"));
}

void TCustomWSocket::Listen()
{
    if (!portAssigned_) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: port not assigned"));
        return;
    }
    if (!protoAssigned_) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: protocol not assigned"));
        return;
    }
    if (!addrAssigned_) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: address not assigned"));
        return;
    }
    try {
        if (!protoResolved_) {
            protocol_ = WSocketResolveProto(proto_);
            socketType_ = protocol_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
            protoResolved_ = true;
        }
        if (!portResolved_) {
            portNumber_ = WSocketResolvePort(port_, proto_);
            portResolved_ = true;
        }
        if (!addrResolved_) {
            remoteAddress_ = WSocketResolveHost(addr_);
            addrResolved_ = true;
        }
    } catch (const std::exception& e) {
        RaiseError(QStringLiteral("listen: ") + QString::fromLocal8Bit(e.what()));
        return;
    }
    FreeSendQueue();
    hSocket_ = WinSock::socket(AF_INET, socketType_, protocol_);
    if (hSocket_ == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("socket"));
        return;
    }
    ++session_;
    ChangeState(wsOpened);
    int on = 1;
    WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(quint16(portNumber_));
    at.sin_addr.s_addr = remoteAddress_;
    if (WinSock::bind(hSocket_, at) != 0) {
        DropHandle();
        ReportSocketError(QStringLiteral("Bind"));
        return;
    }
    ChangeState(wsBound);
    if (socketType_ == SOCK_DGRAM) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        FireSessionConnected(0);
    } else {
        if (WinSock::listen(hSocket_, 5) != 0) {
            DropHandle();
            ReportSocketError(QStringLiteral("Listen"));
            return;
        }
        ChangeState(wsListening);
    }
    selectEvent_ = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    if (hSocket_ != INVALID_SOCKET &&
        WSAAsyncSelect(hSocket_, window_, WM_SOCKET_EVENT, selectEvent_) != 0) {
        DropHandle();
        ReportSocketError(QStringLiteral("WSAASyncSelect"));
    }
}

TSocket TCustomWSocket::Accept()
{
    if (state_ != wsListening) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("not a listening socket"));
        return INVALID_SOCKET;
    }
    sockaddr_in from{};
    acceptedHandle_ = WinSock::accept(hSocket_, &from);
    if (acceptedHandle_ == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("Accept"));
        return INVALID_SOCKET;
    }
    remoteAddress_ = from.sin_addr.s_addr;
    return acceptedHandle_;
}

void TCustomWSocket::Dup(TSocket NewHSocket)
{
    if (NewHSocket == 0 || NewHSocket == INVALID_SOCKET) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("Dup"));
        return;
    }
    if (state_ != wsClosed) {
        if (hSocket_ != INVALID_SOCKET && closesocket(hSocket_) != 0) {
            hSocket_ = INVALID_SOCKET;
            ChangeState(wsClosed);
            ReportSocketError(QStringLiteral("Dup (closesocket)"));
            return;
        }
        hSocket_ = INVALID_SOCKET;
        ChangeState(wsClosed);
    }
    FreeSendQueue();
    hSocket_ = NewHSocket;
    ++session_;
    sessionClosedFired_ = false;
    try {
        ApplyLinger();
    } catch (...) {
        DropHandle();
        throw;
    }
    if (hSocket_ == INVALID_SOCKET)
        return;
    selectEvent_ = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect(hSocket_, window_, WM_SOCKET_EVENT, selectEvent_) != 0) {
        DropHandle();
        ReportSocketError(QStringLiteral("WSAAsyncSelect"));
        return;
    }
    ChangeState(wsConnected);
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

int TCustomWSocket::Send(const char* Data, int Len)
{
    if (state_ != wsConnected) {
        // Reported, and the connection (if one is being set up) is left
        // alone.
        WSASetLastError(WSAENOTCONN);
        ReportSocketError(QStringLiteral("Send"));
        return -1;
    }
    return SendInternal(Data, Len);
}

int TCustomWSocket::SendText(const QByteArray& Str)
{
    return Send(Str.constData(), int(Str.size()));
}

int TCustomWSocket::SendInternal(const char* Data, int Len)
{
    allSent_ = false;
    if (Len <= 0) {
        TryToSend();
        return 0;
    }
    int offset = 0;
    while (offset < Len) {
        if (bufList_.isEmpty() || bufList_.last()->WriteIndex() >= bufList_.last()->Capacity())
            bufList_.append(new TBuffer(bufSize_));
        offset += bufList_.last()->Write(Data + offset, Len - offset);
    }
    QPointer<TCustomWSocket> self(this);
    TryToSend();
    if (self && allSent_ && hSocket_ != INVALID_SOCKET) {
        // OnDataSent always comes from the message loop, never from Send.
        PostMessage(window_, WM_SOCKET_EVENT, quintptr(hSocket_), WSAMAKESELECTREPLY(FD_WRITE, 0),
                    QVariant(qulonglong(session_)));
    }
    return Len;
}

int TCustomWSocket::SendRaw(const char* Data, int Len)
{
    int n;
    if (socketType_ == SOCK_DGRAM) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(portNumber_));
        to.sin_addr.s_addr = remoteAddress_;
        n = WinSock::sendto(hSocket_, Data, Len, sendFlags_, to);
    } else {
        n = WinSock::send(hSocket_, Data, Len, sendFlags_);
    }
    if (n > 0)
        FireSendData(n);
    return n;
}

void TCustomWSocket::TryToSend()
{
    if (hSocket_ == INVALID_SOCKET || bufList_.isEmpty()) {
        if (bufList_.isEmpty())
            allSent_ = true;
        return;
    }
    QPointer<TCustomWSocket> self(this);
    const quint64 session = session_;
    while (!bufList_.isEmpty()) {
        // Sent blocks go, except the last, which stays for reuse.
        int len = 0;
        while (bufList_.size() > 1 && (bufList_.first()->Peek(len), len == 0))
            delete bufList_.takeFirst();
        const char* data = bufList_.first()->Peek(len);
        if (len == 0) {
            allSent_ = true;
            return;
        }
        int asked = len;
        int count;
        if (socketType_ == SOCK_STREAM) {
            // Several blocks in one call: the block size stays small, the
            // number of system calls does not have to.
            constexpr int MaxPieces = 64;
            iovec pieces[MaxPieces];
            int n = 0;
            asked = 0;
            for (TBuffer* block : std::as_const(bufList_)) {
                int blockLen = 0;
                const char* blockData = block->Peek(blockLen);
                if (blockLen == 0)
                    continue;
                pieces[n].iov_base = const_cast<char*>(blockData);
                pieces[n].iov_len = size_t(blockLen);
                asked += blockLen;
                if (++n == MaxPieces)
                    break;
            }
            count = WinSock::sendv(hSocket_, pieces, n, sendFlags_);
            if (count > 0) {
                int left = count;
                for (TBuffer* block : std::as_const(bufList_)) {
                    left -= block->Remove(left);
                    if (left == 0)
                        break;
                }
                FireSendData(count);
                if (!self || session_ != session || hSocket_ == INVALID_SOCKET)
                    return;
            }
        } else {
            TBuffer* block = bufList_.first();
            count = SendRaw(data, len);
            if (!self || bufList_.isEmpty() || bufList_.first() != block)
                return;
            if (count > 0)
                block->Remove(count);
        }
        if (count < 0) {
            const int err = WSAGetLastError();
            if (err == WSAEWOULDBLOCK)
                return;
            if (err == WSAEINVAL || err == WSAENOTSOCK || err == WSAECONNABORTED ||
                err == WSAECONNRESET || err == WSAENOTCONN) {
                lastError_ = err;
                const bool fired = sessionClosedFired_;
                FreeSendQueue();
                sessionClosedFired_ = true;
                CloseInternal(false, quint16(err));
                if (self && !fired)
                    FireSessionClosed(quint16(err));
                return;
            }
            lastError_ = err;
            ReportSocketError(QStringLiteral("TryToSend failed"));
            return;
        }
        if (count == 0 || count < asked)
            return;
    }
}

QByteArray TCustomWSocket::UnsentBytes() const
{
    QByteArray bytes;
    for (TBuffer* block : bufList_) {
        int len = 0;
        const char* data = block->Peek(len);
        bytes.append(data, len);
    }
    return bytes;
}

void TCustomWSocket::FreeSendQueue()
{
    qDeleteAll(bufList_);
    bufList_.clear();
}

void TCustomWSocket::Close()
{
    CloseInternal(true, 0);
}

void TCustomWSocket::CloseInternal(bool Shut, quint16 Error)
{
    if (connectLookupHandle_) {
        WSACancelAsyncRequest(connectLookupHandle_);
        connectLookupHandle_ = 0;
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
        closesocket(h);
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
    QPointer<TCustomWSocket> self(this);
    while (self && hSocket_ != INVALID_SOCKET && !allSent_) {
        TryToSend();
        if (!self || allSent_)
            break;
        ProcessPendingMessages();
    }
}

void TCustomWSocket::WaitForPeerClose()
{
    QPointer<TCustomWSocket> self(this);
    while (self && hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
        ProcessPendingMessages();
        if (!self || hSocket_ == INVALID_SOCKET)
            return;
        unsigned long n = 0;
        if (ioctlFionread(hSocket_, &n) != 0)
            return;
        if (n > 0) {
            FireDataAvailable(0);
        } else {
            char c;
            const int got = ReceiveRaw(&c, 0, MSG_PEEK);
            if (got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK))
                return;
        }
    }
}

void TCustomWSocket::ProcessPendingMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

void TCustomWSocket::LookupHost(const QString& HostName)
{
    if (HostName.isEmpty()) {
        RaiseError(QStringLiteral("DNS lookup: invalid host name."));
        FireDnsLookupDone(WSAEINVAL);
        return;
    }
    if (dnsLookupHandle_) {
        WSACancelAsyncRequest(dnsLookupHandle_);
        dnsLookupHandle_ = 0;
    }
    dnsResult_.clear();
    dnsResultList_.clear();
    if (IsDottedQuad(HostName)) {
        const quint32 a = inet_addr(HostName.toLatin1());
        dnsResult_ = QString::fromLatin1(inet_ntoa(a));
        FireDnsLookupDone(0);
        return;
    }
    dnsLookupHandle_ =
        WSAAsyncGetHostByName(window_, WM_SOCKET_HOST_LOOKUP_DONE, HostName.toUtf8());
    if (dnsLookupHandle_ == 0)
        RaiseErrorFmt("%s: can't start DNS lookup, error #%d", HostName, WSAGetLastError());
}

void TCustomWSocket::LookupAddress(const QString& Address)
{
    if (dnsLookupHandle_) {
        WSACancelAsyncRequest(dnsLookupHandle_);
        dnsLookupHandle_ = 0;
    }
    dnsResult_.clear();
    dnsResultList_.clear();
    dnsLookupHandle_ =
        WSAAsyncGetHostByAddr(window_, WM_SOCKET_ADDR_LOOKUP_DONE, inet_addr(Address.toLatin1()));
    if (dnsLookupHandle_ == 0)
        RaiseErrorFmt("%s: can't start DNS lookup, error #%d", Address, WSAGetLastError());
}

void TCustomWSocket::CancelLookup()
{
    if (dnsLookupHandle_ == 0)
        return;
    const int handle = dnsLookupHandle_;
    dnsLookupHandle_ = 0;
    if (WSACancelAsyncRequest(handle) != 0) {
        ReportSocketError(QStringLiteral("WSACancelAsyncRequest"));
        return;
    }
    if (!destroying_)
        FireDnsLookupDone(WSAEINTR);
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

int TCustomWSocket::SendTo(const sockaddr_in& Dest, const char* Data, int Len)
{
    const int n = WinSock::sendto(hSocket_, Data, Len, sendFlags_, Dest);
    if (n > 0)
        FireSendData(n);
    return n;
}
