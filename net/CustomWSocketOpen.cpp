#include "net/CustomWSocket.h"

#include <arpa/inet.h>

using namespace WinSock;

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
                return fail(QStringLiteral("setsockopt(SO_LINGER)"));
        }
        int on = 1;
        if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
            return fail(QStringLiteral("setsockopt(SO_KEEPALIVE)"));
        if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
            return fail(QStringLiteral("setsockopt(SO_REUSEADDR)"));
    }
    selectEvent_ = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect(hSocket_, window_, WM_SOCKET_EVENT, selectEvent_) != 0)
        return fail(QStringLiteral("WSAAsyncSelect"));

    if (needLookup) {
        ChangeState(wsConnecting);
        openLookupHandle_ =
            WSAAsyncGetHostByName(window_, WM_SOCKET_CONNECT_LOOKUP_DONE, host.toUtf8());
        if (openLookupHandle_ == 0)
            return fail(QStringLiteral("Connect"));
        return;
    }
    FinishConnect();
}

int TCustomWSocket::LookupResult(const TMessage& Msg, quint32* Address)
{
    const int error = WSAGETSELECTERROR(Msg.LParam);
    const QStringList addresses = Msg.Data.toStringList();
    if (error != 0)
        return error;
    if (addresses.isEmpty())
        return WSAHOST_NOT_FOUND;
    *Address = inet_addr(addresses.first().toLatin1());
    return 0;
}

void TCustomWSocket::ConnectLookupDone(TMessage& Msg)
{
    if (int(Msg.WParam) != openLookupHandle_ || openLookupHandle_ == 0)
        return;
    openLookupHandle_ = 0;
    quint32 address = 0;
    if (const int error = LookupResult(Msg, &address); error != 0) {
        // As a refused connection: the attempt is reported, then closed.
        lastError_ = error;
        QPointer<TCustomWSocket> self(this);
        const quint64 session = session_;
        FireSessionConnected(quint16(lastError_));
        if (self && session_ == session && state_ != wsClosed)
            Close();
        return;
    }
    remoteAddress_ = address;
    FinishConnect();
}

void TCustomWSocket::FinishConnect()
{
    if (socketType_ == SOCK_DGRAM) {
        if (remoteAddress_ == INADDR_NONE_) {
            int on = 1;
            if (WinSock::setsockopt(hSocket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
                DropHandle();
                ReportSocketError(QStringLiteral("setsockopt(SO_BROADCAST)"));
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
        ReportSocketError(QStringLiteral("setsockopt(SO_LINGER)"));
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
    // A dotted quad (or a text no lookup can take) is settled at once; a
    // host name is looked up in the background once the socket exists.
    const QString host = addr_.trimmed();
    const bool lookUp =
        !addrResolved_ && !host.isEmpty() && addr_.size() <= 256 && !IsDottedQuad(host);
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
        if (!addrResolved_ && !lookUp) {
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
    if (lookUp) {
        openLookupHandle_ =
            WSAAsyncGetHostByName(window_, WM_SOCKET_LISTEN_LOOKUP_DONE, host.toUtf8());
        if (openLookupHandle_ == 0) {
            DropHandle();
            ReportSocketError(QStringLiteral("Listen"));
        }
        return;
    }
    FinishListen();
}

void TCustomWSocket::ListenLookupDone(TMessage& Msg)
{
    if (int(Msg.WParam) != openLookupHandle_ || openLookupHandle_ == 0)
        return;
    openLookupHandle_ = 0;
    quint32 address = 0;
    if (const int error = LookupResult(Msg, &address); error != 0) {
        // Reported like the failure of a Listen on the caller's road, from
        // the message loop (OnError, else OnBgException).
        lastError_ = error;
        DropHandle();
        RaiseError(QStringLiteral("listen: WSocketResolveHost: Cannot convert host address "
                                  "'%1', Error #%2")
                       .arg(addr_.trimmed())
                       .arg(lastError_));
        return;
    }
    remoteAddress_ = address;
    addrResolved_ = true;
    FinishListen();
}

void TCustomWSocket::FinishListen()
{
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
    const TSocket handle = AcceptConnection();
    if (handle == INVALID_SOCKET)
        ReportSocketError(QStringLiteral("Accept"));
    return handle;
}

TSocket TCustomWSocket::AcceptConnection()
{
    if (state_ != wsListening) {
        WSASetLastError(WSAEINVAL);
        lastError_ = WSAEINVAL;
        return INVALID_SOCKET;
    }
    sockaddr_in from{};
    acceptedHandle_ = WinSock::accept(hSocket_, &from);
    if (acceptedHandle_ == INVALID_SOCKET) {
        lastError_ = WSAGetLastError();
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
