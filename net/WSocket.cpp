#include "net/WSocket.h"

#include "platform/Cp874.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <climits>
#include <cstring>
#include <netdb.h>
#include <sys/uio.h>

using namespace WinSock;

namespace {

int liveSockets = 0;
bool winsockLoaded = false;

} // namespace

// ---------------------------------------------------------------------------
// Library routines.

ESocketException::ESocketException(const QString& message)
    : std::runtime_error(message.toLocal8Bit().toStdString())
{}

QString ESocketException::Message() const
{
    return QString::fromLocal8Bit(what());
}

void UnloadWinsock()
{
    if (!winsockLoaded)
        return;
    winsockLoaded = false;
    liveSockets = 0;
}

int LiveSocketCount()
{
    return liveSockets;
}

bool IsDottedQuad(const QString& Text)
{
    int i = 0;
    const int n = int(Text.size());
    while (i < n && Text[i] == u' ')
        ++i;
    if (i < n && Text[i] == u'.')
        return false;
    int dots = 0;
    int value = 0;
    for (; i < n; ++i) {
        const QChar c = Text[i];
        if (c.isDigit() && c.unicode() < 128) {
            value = value * 10 + (c.unicode() - '0');
            // Stop before the value can overflow: anything above 255 fails.
            if (value > 255)
                return false;
        } else if (c == u'.') {
            ++dots;
            if (dots > 3 || value > 255 || i + 1 >= n ||
                !(Text[i + 1].unicode() < 128 && Text[i + 1].isDigit()))
                return false;
            value = 0;
        } else {
            for (int j = i; j < n; ++j)
                if (Text[j] != u' ')
                    return false;
            break;
        }
    }
    return dots == 3 && value <= 255;
}

qint64 ParseDecimal(const QString& Text)
{
    int i = 0;
    while (i < Text.size() && Text[i] == u' ')
        ++i;
    qint64 value = 0;
    for (; i < Text.size() && Text[i].unicode() >= '0' && Text[i].unicode() <= '9'; ++i) {
        value = value * 10 + (Text[i].unicode() - '0');
        if (value > INT_MAX)
            return qint64(INT_MAX) + 1;
    }
    return value;
}

quint32 WSocketResolveHost(const QString& Host)
{
    if (Host.isEmpty() || Host.size() > 256)
        throw ESocketException(
            QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(Host));
    const QString host = Host.trimmed();
    winsockLoaded = true;
    if (IsDottedQuad(host)) {
        const quint32 a = inet_addr(host.toLatin1());
        if (a == INADDR_NONE_ && host != QLatin1String("255.255.255.255"))
            throw ESocketException(
                QStringLiteral("WSocketResolveHost: '%1' Invalid IP address.").arg(host));
        return a;
    }
    QList<quint32> addresses;
    if (!WinSock::gethostbyname(host.toUtf8(), &addresses))
        throw ESocketException(
            QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                .arg(host)
                .arg(WSAGetLastError()));
    return addresses.first();
}

int WSocketResolvePort(const QString& Port, const QString& Proto)
{
    if (Port.isEmpty() || Port.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
    if (Port[0].unicode() >= '0' && Port[0].unicode() <= '9') {
        const qint64 value = ParseDecimal(Port);
        // A port number is 16 bits: a larger one is refused, not cut.
        if (value > 65535)
            throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
        return int(value);
    }
    const QByteArray name = Port.trimmed().toLatin1();
    const QByteArray proto = Proto.trimmed().toLatin1();
    servent* s = ::getservbyname(name.constData(), proto.isEmpty() ? nullptr : proto.constData());
    if (!s)
        throw ESocketException(
            QStringLiteral("WSocketResolvePort: Cannot convert port '%1', Error #%2")
                .arg(Port)
                .arg(WSANO_DATA));
    return ntohs(quint16(s->s_port));
}

int WSocketResolveProto(const QString& Proto)
{
    if (Proto.isEmpty() || Proto.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
    const QString proto = Proto.trimmed();
    if (!proto.isEmpty() && proto[0].unicode() >= '0' && proto[0].unicode() <= '9') {
        const qint64 value = ParseDecimal(proto);
        if (value > 255)
            throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
        return int(value);
    }
    protoent* p = ::getprotobyname(proto.toLatin1().constData());
    if (!p)
        throw ESocketException(
            QStringLiteral("WSocketResolveProto: Cannot convert protocol '%1', Error #%2")
                .arg(proto)
                .arg(WSANO_DATA));
    return p->p_proto;
}

QString SocketErrorText(int Code)
{
    switch (Code) {
    case 0:
        return QStringLiteral("No Error");
    case 10004:
        return QStringLiteral("Interrupted system call");
    case 10009:
        return QStringLiteral("Bad file number");
    case 10013:
        return QStringLiteral("Permission denied");
    case 10014:
        return QStringLiteral("Bad address");
    case 10022:
        return QStringLiteral("Invalid argument");
    case 10024:
        return QStringLiteral("Too many open files");
    case 10035:
        return QStringLiteral("Operation would block");
    case 10036:
        return QStringLiteral("Operation now in progress");
    case 10037:
        return QStringLiteral("Operation already in progress");
    case 10038:
        return QStringLiteral("Socket operation on non-socket");
    case 10039:
        return QStringLiteral("Destination address required");
    case 10040:
        return QStringLiteral("Message too long");
    case 10041:
        return QStringLiteral("Protocol wrong type for socket");
    case 10042:
        return QStringLiteral("Protocol not available");
    case 10043:
        return QStringLiteral("Protocol not supported");
    case 10044:
        return QStringLiteral("Socket type not supported");
    case 10045:
        return QStringLiteral("Operation not supported on socket");
    case 10046:
        return QStringLiteral("Protocol family not supported");
    case 10047:
        return QStringLiteral("Address family not supported by protocol family");
    case 10048:
        return QStringLiteral("Address already in use");
    case 10049:
        return QStringLiteral("Address not available");
    case 10050:
        return QStringLiteral("Network is down");
    case 10051:
        return QStringLiteral("Network is unreachable");
    case 10052:
        return QStringLiteral("Network dropped connection on reset");
    case 10053:
        return QStringLiteral("Connection aborted");
    case 10054:
        return QStringLiteral("Connection reset by peer");
    case 10055:
        return QStringLiteral("No buffer space available");
    case 10056:
        return QStringLiteral("Socket is already connected");
    case 10057:
        return QStringLiteral("Socket is not connected");
    case 10058:
        return QStringLiteral("Can't send after socket shutdown");
    case 10059:
        return QStringLiteral("Too many references: can't splice");
    case 10060:
        return QStringLiteral("Connection timed out");
    case 10061:
        return QStringLiteral("Connection refused");
    case 10062:
        return QStringLiteral("Too many levels of symbolic links");
    case 10063:
        return QStringLiteral("File name too long");
    case 10064:
        return QStringLiteral("Host is down");
    case 10065:
        return QStringLiteral("No route to host");
    case 10066:
        return QStringLiteral("Directory not empty");
    case 10067:
        return QStringLiteral("Too many processes");
    case 10068:
        return QStringLiteral("Too many users");
    case 10069:
        return QStringLiteral("Disc quota exceeded");
    case 10070:
        return QStringLiteral("Stale NFS file handle");
    case 10071:
        return QStringLiteral("Too many levels of remote in path");
    case 10091:
        return QStringLiteral("Network sub-system is unusable");
    case 10092:
        return QStringLiteral("WinSock DLL cannot support this application");
    case 10093:
        return QStringLiteral("WinSock not initialized");
    case 11001:
        return QStringLiteral("Host not found");
    case 11002:
        return QStringLiteral("Non-authoritative host not found");
    case 11003:
        return QStringLiteral("Non-recoverable error");
    case 11004:
        return QStringLiteral("No Data");
    default:
        return QStringLiteral("Not a WinSock error");
    }
}

QString SocketErrorMessage(int Code, const QString& FunctionName)
{
    return QStringLiteral("Error %1 in function %2\r\n%3")
        .arg(Code)
        .arg(FunctionName, SocketErrorText(Code));
}

// ---------------------------------------------------------------------------
// TCustomWSocket

TCustomWSocket::TCustomWSocket(QObject* AOwner) : QObject(AOwner)
{
    m_window = new HiddenWindow([this](TMessage& m) { WindowProcedure(m); });
    ResetDefaults();
    ++liveSockets;
    winsockLoaded = true;
}

TCustomWSocket::~TCustomWSocket()
{
    m_destroying = true;
    try {
        CancelLookup();
    } catch (...) {
    }
    if (m_connectLookupHandle) {
        WSACancelAsyncRequest(m_connectLookupHandle);
        m_connectLookupHandle = 0;
    }
    try {
        if (m_state != wsClosed || m_hSocket != INVALID_SOCKET)
            Close();
    } catch (...) {
    }
    if (m_hSocket != INVALID_SOCKET) {
        closesocket(m_hSocket);
        m_hSocket = INVALID_SOCKET;
    }
    if (--liveSockets < 1) {
        UnloadWinsock();
        liveSockets = 0;
    }
    FreeSendQueue();
    m_window->destroy();
    m_window = nullptr;
}

void TCustomWSocket::ResetDefaults()
{
    m_addrAssigned = false;
    m_portAssigned = false;
    m_addrResolved = m_portResolved = m_protoResolved = m_localPortResolved = false;
    m_proto = QStringLiteral("tcp");
    m_protoAssigned = true;
    m_protocol = 6;
    m_socketType = SOCK_STREAM;
    m_localPort = QStringLiteral("0");
    m_localPortNumber = 0;
    m_localAddr = QStringLiteral("0.0.0.0");
    LingerOnOff = wsLingerOn;
    LingerTimeout = 0;
    m_hSocket = INVALID_SOCKET;
    m_state = wsClosed;
    m_allSent = true;
    m_paused = false;
    m_readCount = 0;
    m_sessionClosedFired = false;
    FlushTimeout = 60;
}

void TCustomWSocket::SetAddr(const QString& Value)
{
    if (m_addrAssigned && Value == m_addr)
        return;
    if (m_state != wsClosed) {
        RaiseError(QStringLiteral("Cannot change Addr if not closed"));
        return;
    }
    m_addr = Value.trimmed();
    m_addrResolved = false;
    m_addrAssigned = !m_addr.isEmpty();
}

void TCustomWSocket::SetPort(const QString& Value)
{
    if (m_portAssigned && Value == m_port)
        return;
    if (m_state != wsClosed) {
        RaiseError(QStringLiteral("Cannot change Port if not closed"));
        return;
    }
    m_port = Value.trimmed();
    m_portResolved = false;
    m_portAssigned = !m_port.isEmpty();
}

void TCustomWSocket::SetProto(const QString& Value)
{
    if (m_protoAssigned && Value == m_proto)
        return;
    if (m_state != wsClosed) {
        RaiseError(QStringLiteral("Cannot change Proto if not closed"));
        return;
    }
    m_proto = Value.trimmed();
    m_protoResolved = false;
    m_protoAssigned = !m_proto.isEmpty();
}

void TCustomWSocket::SetLocalPort(const QString& Value)
{
    if (m_state != wsClosed) {
        RaiseError(QStringLiteral("Cannot change LocalPort if not closed"));
        return;
    }
    m_localPort = Value;
    m_localPortResolved = false;
}

void TCustomWSocket::SetLocalAddr(const QString& Value)
{
    if (m_state != wsClosed) {
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
    m_localAddr = QString::fromLatin1(inet_ntoa(a));
}

TSocketSendFlags TCustomWSocket::SendFlags() const
{
    if (m_sendFlags == 0)
        return wsSendNormal;
    if (m_sendFlags == MSG_OOB)
        return wsSendUrgent;
    throw ESocketException(QStringLiteral("Invalid internal SendFlags"));
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags Value)
{
    switch (Value) {
    case wsSendNormal:
        m_sendFlags = 0;
        break;
    case wsSendUrgent:
        m_sendFlags = MSG_OOB;
        break;
    default:
        RaiseError(QStringLiteral("Invalid SendFlags"));
    }
}

void TCustomWSocket::ChangeState(TSocketState NewState)
{
    const TSocketState old = m_state;
    m_state = NewState;
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
    m_lastError = n;
    RaiseError(SocketErrorMessage(n, FunctionName));
}

void TCustomWSocket::DropHandle()
{
    if (m_hSocket != INVALID_SOCKET) {
        const int saved = WSAGetLastError();
        closesocket(m_hSocket);
        m_hSocket = INVALID_SOCKET;
        WSASetLastError(saved);
    }
    FreeSendQueue();
    if (m_state != wsClosed)
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
    return PostMessage(m_window, Msg, WParam, LParam);
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
            if (int(Msg.WParam) != m_dnsLookupHandle || m_dnsLookupHandle == 0)
                break;
            m_dnsLookupHandle = 0;
            m_dnsResultList.clear();
            m_dnsResult.clear();
            if (WSAGETSELECTERROR(Msg.LParam) == 0) {
                m_dnsResultList = Msg.Data.toStringList();
                if (!m_dnsResultList.isEmpty())
                    m_dnsResult = m_dnsResultList.first();
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
    if (m_hSocket == INVALID_SOCKET || TSocket(Msg.WParam) != m_hSocket || m_paused)
        return;
    // Our own completion notices carry the session they belong to.
    if (Msg.Data.isValid() && Msg.Data.toULongLong() != m_session)
        return;
    QPointer<TCustomWSocket> self(this);
    const int events = WSAGETSELECTEVENT(Msg.LParam);
    const quint16 error = quint16(WSAGETSELECTERROR(Msg.LParam));
    const quint64 session = m_session;
    auto sameSession = [&] { return self && m_session == session && m_hSocket != INVALID_SOCKET; };

    if (events & FD_CONNECT) {
        if (error == 0) {
            if (!Negotiating())
                ChangeState(wsConnected);
        } else {
            m_lastError = error;
        }
        FireSessionConnected(error);
        if (!self)
            return;
        if (error != 0 && m_state != wsClosed && m_session == session)
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
        if (sameSession() && m_allSent && !Negotiating())
            FireDataSent(error);
        return;
    }
    if (events & FD_ACCEPT) {
        FireSessionAvailable(error);
        return;
    }
    if (events & FD_CLOSE) {
        if (m_state == wsConnecting) {
            CloseWhileConnecting(error);
            return;
        }
        ReceiveLoop(0);
        if (!sameSession())
            return;
        if (!m_sessionClosedFired) {
            m_sessionClosedFired = true;
            FireSessionClosed(error);
        }
        if (self && m_session == session && m_state != wsClosed)
            Close();
    }
}

void TCustomWSocket::CloseWhileConnecting(quint16) {}

void TCustomWSocket::ReceiveLoop(quint16 Error)
{
    QPointer<TCustomWSocket> self(this);
    const quint64 session = m_session;
    for (;;) {
        m_lastError = 0;
        const quint64 before = m_receiveCalls;
        bool assigned = false;
        try {
            assigned = FireDataAvailable(Error);
        } catch (const std::exception&) {
            return;
        }
        if (!self || m_session != session || m_hSocket == INVALID_SOCKET)
            return;
        if (!assigned) {
            char junk[1024];
            if (ReceiveRaw(junk, sizeof junk, 0) < 0) {
                const int err = WSAGetLastError();
                if (err != WSAEWOULDBLOCK)
                    m_lastError = err;
                return;
            }
        }
        if (ComponentOptions & wsoNoReceiveLoop)
            return;
        if (m_lastError != 0)
            return;
        // A handler that took nothing gets the data again after a pause, not
        // in a busy loop.
        if (assigned && m_receiveCalls == before)
            return;
        unsigned long waiting = 0;
        if (ioctlFionread(m_hSocket, &waiting) != 0) {
            m_lastError = WSAGetLastError();
            return;
        }
        if (waiting == 0)
            return;
    }
}

int TCustomWSocket::GetRcvdCount()
{
    if (m_hSocket == INVALID_SOCKET)
        return 0;
    unsigned long n = 0;
    if (ioctlFionread(m_hSocket, &n) != 0) {
        ReportSocketError(QStringLiteral("ioctlSocket"));
        return -1;
    }
    return int(qMin<unsigned long>(n, INT_MAX));
}

bool TCustomWSocket::PrepareConnect()
{
    if (m_hSocket != INVALID_SOCKET && m_state != wsClosed) {
        RaiseError(QStringLiteral("Connect: Socket already in use"));
        return false;
    }
    if (!m_portAssigned) {
        RaiseError(QStringLiteral("Connect: No Port Specified"));
        return false;
    }
    if (!m_addrAssigned) {
        RaiseError(QStringLiteral("Connect: No IP Address Specified"));
        return false;
    }
    if (!m_protoAssigned) {
        RaiseError(QStringLiteral("Connect: No Protocol Specified"));
        return false;
    }
    try {
        if (!m_protoResolved) {
            m_protocol = WSocketResolveProto(m_proto);
            m_socketType = m_protocol == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
            m_protoResolved = true;
        }
        if (!m_portResolved) {
            m_portNumber = WSocketResolvePort(m_port, m_proto);
            m_portResolved = true;
        }
        if (!m_localPortResolved) {
            m_localPortNumber = WSocketResolvePort(m_localPort, m_proto);
            m_localPortResolved = true;
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
    StartConnect(m_addr, m_portNumber);
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
    m_remoteAddress = address;
    m_portNumber = PortNumber;
    m_hSocket = WinSock::socket(AF_INET, m_socketType, m_protocol);
    if (m_hSocket == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("Connect (socket)"));
        return;
    }
    ++m_session;
    ChangeState(wsOpened);

    auto fail = [this](const QString& label) {
        // Nothing of the failed attempt stays open.
        DropHandle();
        ReportSocketError(label);
    };
    if (m_socketType == SOCK_DGRAM) {
        try {
            BindSocket();
        } catch (...) {
            DropHandle();
            throw;
        }
        if (m_hSocket == INVALID_SOCKET)
            return;
    } else {
        if (m_localPortNumber != 0 || m_localAddr != QLatin1String("0.0.0.0")) {
            try {
                BindSocket();
            } catch (...) {
                DropHandle();
                throw;
            }
            if (m_hSocket == INVALID_SOCKET)
                return;
        }
        if (LingerOnOff != wsLingerNoSet) {
            linger l{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
            if (WinSock::setsockopt(m_hSocket, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0)
                return fail(QStringLiteral("WinSock::setsockopt(SO_LINGER)"));
        }
        int on = 1;
        if (WinSock::setsockopt(m_hSocket, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0)
            return fail(QStringLiteral("WinSock::setsockopt(SO_KEEPALIVE)"));
        if (WinSock::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
            return fail(QStringLiteral("WinSock::setsockopt(SO_REUSEADDR)"));
    }
    m_selectEvent = FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect(m_hSocket, m_window, WM_SOCKET_EVENT, m_selectEvent) != 0)
        return fail(QStringLiteral("WSAAsyncSelect"));

    if (needLookup) {
        ChangeState(wsConnecting);
        m_connectLookupHandle =
            WSAAsyncGetHostByName(m_window, WM_SOCKET_CONNECT_LOOKUP_DONE, host.toUtf8());
        if (m_connectLookupHandle == 0)
            return fail(QStringLiteral("Connect"));
        return;
    }
    FinishConnect();
}

void TCustomWSocket::ConnectLookupDone(TMessage& Msg)
{
    if (int(Msg.WParam) != m_connectLookupHandle || m_connectLookupHandle == 0)
        return;
    m_connectLookupHandle = 0;
    const int error = WSAGETSELECTERROR(Msg.LParam);
    const QStringList addresses = Msg.Data.toStringList();
    if (error != 0 || addresses.isEmpty()) {
        // As a refused connection: the attempt is reported, then closed.
        m_lastError = error ? error : WSAHOST_NOT_FOUND;
        QPointer<TCustomWSocket> self(this);
        const quint64 session = m_session;
        FireSessionConnected(quint16(m_lastError));
        if (self && m_session == session && m_state != wsClosed)
            Close();
        return;
    }
    m_remoteAddress = inet_addr(addresses.first().toLatin1());
    FinishConnect();
}

void TCustomWSocket::FinishConnect()
{
    if (m_socketType == SOCK_DGRAM) {
        if (m_remoteAddress == INADDR_NONE_) {
            int on = 1;
            if (WinSock::setsockopt(m_hSocket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
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
    to.sin_port = htons(quint16(m_portNumber));
    to.sin_addr.s_addr = m_remoteAddress;
    if (WinSock::connect(m_hSocket, to) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
        const int err = WSAGetLastError();
        m_lastError = err;
        if (m_state == wsConnecting) {
            // After a background lookup the caller has gone: report it as an
            // event, like a refusal.
            QPointer<TCustomWSocket> self(this);
            FireSessionConnected(quint16(err));
            if (self && m_state != wsClosed)
                Close();
            return;
        }
        DropHandle();
        WSASetLastError(err);
        ReportSocketError(QStringLiteral("Connect"));
        return;
    }
    if (m_state != wsConnecting)
        ChangeState(wsConnecting);
}

void TCustomWSocket::BindSocket()
{
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(quint16(m_localPortNumber));
    at.sin_addr.s_addr = WSocketResolveHost(m_localAddr);
    if (WinSock::bind(m_hSocket, at) != 0) {
        const int err = WSAGetLastError();
        m_lastError = err;
        DropHandle();
        RaiseErrorFmt("winsock.bind failed, error #%d", {}, err);
        return;
    }
    sockaddr_in name{};
    if (getsockname(m_hSocket, &name) != 0) {
        const int err = WSAGetLastError();
        m_lastError = err;
        DropHandle();
        RaiseErrorFmt("winsock.getsockname failed, error #%d", {}, err);
        return;
    }
    m_localPortNumber = ntohs(name.sin_port);
    m_localPort = QString::number(m_localPortNumber);
}

void TCustomWSocket::ApplyLinger()
{
    if (LingerOnOff == wsLingerNoSet)
        return;
    if (m_hSocket == INVALID_SOCKET) {
        RaiseError(QStringLiteral("Cannot set linger option at this time"));
        return;
    }
    linger l{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
    if (WinSock::setsockopt(m_hSocket, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0)
        ReportSocketError(QStringLiteral("WinSock::setsockopt(SO_LINGER)"));
}

void TCustomWSocket::Listen()
{
    if (!m_portAssigned) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: port not assigned"));
        return;
    }
    if (!m_protoAssigned) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: protocol not assigned"));
        return;
    }
    if (!m_addrAssigned) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: address not assigned"));
        return;
    }
    try {
        if (!m_protoResolved) {
            m_protocol = WSocketResolveProto(m_proto);
            m_socketType = m_protocol == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
            m_protoResolved = true;
        }
        if (!m_portResolved) {
            m_portNumber = WSocketResolvePort(m_port, m_proto);
            m_portResolved = true;
        }
        if (!m_addrResolved) {
            m_remoteAddress = WSocketResolveHost(m_addr);
            m_addrResolved = true;
        }
    } catch (const std::exception& e) {
        RaiseError(QStringLiteral("listen: ") + QString::fromLocal8Bit(e.what()));
        return;
    }
    FreeSendQueue();
    m_hSocket = WinSock::socket(AF_INET, m_socketType, m_protocol);
    if (m_hSocket == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("socket"));
        return;
    }
    ++m_session;
    ChangeState(wsOpened);
    int on = 1;
    WinSock::setsockopt(m_hSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(quint16(m_portNumber));
    at.sin_addr.s_addr = m_remoteAddress;
    if (WinSock::bind(m_hSocket, at) != 0) {
        DropHandle();
        ReportSocketError(QStringLiteral("Bind"));
        return;
    }
    ChangeState(wsBound);
    if (m_socketType == SOCK_DGRAM) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        FireSessionConnected(0);
    } else {
        if (WinSock::listen(m_hSocket, 5) != 0) {
            DropHandle();
            ReportSocketError(QStringLiteral("Listen"));
            return;
        }
        ChangeState(wsListening);
    }
    m_selectEvent = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    if (m_hSocket != INVALID_SOCKET &&
        WSAAsyncSelect(m_hSocket, m_window, WM_SOCKET_EVENT, m_selectEvent) != 0) {
        DropHandle();
        ReportSocketError(QStringLiteral("WSAASyncSelect"));
    }
}

TSocket TCustomWSocket::Accept()
{
    if (m_state != wsListening) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("not a listening socket"));
        return INVALID_SOCKET;
    }
    sockaddr_in from{};
    m_acceptedHandle = WinSock::accept(m_hSocket, &from);
    if (m_acceptedHandle == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("Accept"));
        return INVALID_SOCKET;
    }
    m_remoteAddress = from.sin_addr.s_addr;
    return m_acceptedHandle;
}

void TCustomWSocket::Dup(TSocket NewHSocket)
{
    if (NewHSocket == 0 || NewHSocket == INVALID_SOCKET) {
        WSASetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("Dup"));
        return;
    }
    if (m_state != wsClosed) {
        if (m_hSocket != INVALID_SOCKET && closesocket(m_hSocket) != 0) {
            m_hSocket = INVALID_SOCKET;
            ChangeState(wsClosed);
            ReportSocketError(QStringLiteral("Dup (closesocket)"));
            return;
        }
        m_hSocket = INVALID_SOCKET;
        ChangeState(wsClosed);
    }
    FreeSendQueue();
    m_hSocket = NewHSocket;
    ++m_session;
    m_sessionClosedFired = false;
    try {
        ApplyLinger();
    } catch (...) {
        DropHandle();
        throw;
    }
    if (m_hSocket == INVALID_SOCKET)
        return;
    m_selectEvent = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;
    if (WSAAsyncSelect(m_hSocket, m_window, WM_SOCKET_EVENT, m_selectEvent) != 0) {
        DropHandle();
        ReportSocketError(QStringLiteral("WSAAsyncSelect"));
        return;
    }
    ChangeState(wsConnected);
}

void TCustomWSocket::Shutdown(int How)
{
    if (m_hSocket != INVALID_SOCKET)
        WinSock::shutdown(m_hSocket, How);
}

void TCustomWSocket::Pause()
{
    m_paused = true;
    if (m_hSocket != INVALID_SOCKET)
        WSAAsyncSelect(m_hSocket, m_window, WM_SOCKET_EVENT, 0);
}

void TCustomWSocket::Resume()
{
    m_paused = false;
    if (m_hSocket != INVALID_SOCKET)
        WSAAsyncSelect(m_hSocket, m_window, WM_SOCKET_EVENT, m_selectEvent);
}

int TCustomWSocket::ReceiveRaw(char* Buffer, int Len, int Flags)
{
    ++m_receiveCalls;
    if (m_hSocket == INVALID_SOCKET) {
        WSASetLastError(WSAENOTCONN);
        return -1;
    }
    if (m_socketType == SOCK_DGRAM)
        return recvfrom(m_hSocket, Buffer, Len, Flags, nullptr);
    return recv(m_hSocket, Buffer, Len, Flags);
}

int TCustomWSocket::Receive(char* Buffer, int Len)
{
    ++m_receiveCalls;
    const int n = ReceiveRaw(Buffer, Len, 0);
    if (n < 0)
        m_lastError = WSAGetLastError();
    else
        m_readCount += n;
    return n;
}

int TCustomWSocket::PeekReceive(char* Buffer, int Len)
{
    const int n = ReceiveRaw(Buffer, Len, MSG_PEEK);
    if (n < 0)
        m_lastError = WSAGetLastError();
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
    ++m_receiveCalls;
    const int n = recvfrom(m_hSocket, Buffer, Len, 0, &From);
    if (n < 0)
        m_lastError = WSAGetLastError();
    else
        m_readCount += n;
    return n;
}

int TCustomWSocket::Send(const char* Data, int Len)
{
    if (m_state != wsConnected) {
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
    m_allSent = false;
    if (Len <= 0) {
        TryToSend();
        return 0;
    }
    int offset = 0;
    while (offset < Len) {
        if (m_bufList.isEmpty() || m_bufList.last()->WriteIndex() >= m_bufList.last()->Capacity())
            m_bufList.append(new TBuffer(m_bufSize));
        offset += m_bufList.last()->Write(Data + offset, Len - offset);
    }
    QPointer<TCustomWSocket> self(this);
    TryToSend();
    if (self && m_allSent && m_hSocket != INVALID_SOCKET) {
        // OnDataSent always comes from the message loop, never from Send.
        PostMessage(m_window, WM_SOCKET_EVENT, quintptr(m_hSocket), WSAMAKESELECTREPLY(FD_WRITE, 0),
                    QVariant(qulonglong(m_session)));
    }
    return Len;
}

int TCustomWSocket::SendRaw(const char* Data, int Len)
{
    int n;
    if (m_socketType == SOCK_DGRAM) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(m_portNumber));
        to.sin_addr.s_addr = m_remoteAddress;
        n = WinSock::sendto(m_hSocket, Data, Len, m_sendFlags, to);
    } else {
        n = WinSock::send(m_hSocket, Data, Len, m_sendFlags);
    }
    if (n > 0)
        FireSendData(n);
    return n;
}

void TCustomWSocket::TryToSend()
{
    if (m_hSocket == INVALID_SOCKET || m_bufList.isEmpty()) {
        if (m_bufList.isEmpty())
            m_allSent = true;
        return;
    }
    QPointer<TCustomWSocket> self(this);
    const quint64 session = m_session;
    while (!m_bufList.isEmpty()) {
        // Sent blocks go, except the last, which stays for reuse.
        int len = 0;
        while (m_bufList.size() > 1 && (m_bufList.first()->Peek(len), len == 0))
            delete m_bufList.takeFirst();
        const char* data = m_bufList.first()->Peek(len);
        if (len == 0) {
            m_allSent = true;
            return;
        }
        int asked = len;
        int count;
        if (m_socketType == SOCK_STREAM) {
            // Several blocks in one call: the block size stays small, the
            // number of system calls does not have to.
            constexpr int MaxPieces = 64;
            iovec pieces[MaxPieces];
            int n = 0;
            asked = 0;
            for (TBuffer* block : std::as_const(m_bufList)) {
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
            count = WinSock::sendv(m_hSocket, pieces, n, m_sendFlags);
            if (count > 0) {
                int left = count;
                for (TBuffer* block : std::as_const(m_bufList)) {
                    left -= block->Remove(left);
                    if (left == 0)
                        break;
                }
                FireSendData(count);
                if (!self || m_session != session || m_hSocket == INVALID_SOCKET)
                    return;
            }
        } else {
            TBuffer* block = m_bufList.first();
            count = SendRaw(data, len);
            if (!self || m_bufList.isEmpty() || m_bufList.first() != block)
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
                m_lastError = err;
                const bool fired = m_sessionClosedFired;
                FreeSendQueue();
                m_sessionClosedFired = true;
                CloseInternal(false, quint16(err));
                if (self && !fired)
                    FireSessionClosed(quint16(err));
                return;
            }
            m_lastError = err;
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
    for (TBuffer* block : m_bufList) {
        int len = 0;
        const char* data = block->Peek(len);
        bytes.append(data, len);
    }
    return bytes;
}

void TCustomWSocket::FreeSendQueue()
{
    qDeleteAll(m_bufList);
    m_bufList.clear();
}

void TCustomWSocket::Close()
{
    CloseInternal(true, 0);
}

void TCustomWSocket::CloseInternal(bool Shut, quint16 Error)
{
    if (m_connectLookupHandle) {
        WSACancelAsyncRequest(m_connectLookupHandle);
        m_connectLookupHandle = 0;
    }
    if (m_hSocket == INVALID_SOCKET) {
        if (m_state != wsClosed) {
            ChangeState(wsClosed);
            try {
                ResetDefaults();
            } catch (...) {
            }
        }
        return;
    }
    const TSocket h = m_hSocket;
    m_hSocket = INVALID_SOCKET;
    if (Shut && m_socketType == SOCK_STREAM && m_state == wsConnected) {
        // The bytes still queued go out first; the descriptor finishes in
        // the background, so the object is closed when this returns.
        closeAfterSending(h, UnsentBytes());
    } else {
        if (!Shut && m_socketType == SOCK_STREAM) {
            linger l{1, 0};
            WinSock::setsockopt(h, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        }
        closesocket(h);
    }
    FreeSendQueue();
    const quint64 session = m_session;
    QPointer<TCustomWSocket> self(this);
    ChangeState(wsClosed);
    if (!self)
        return;
    if (!m_destroying && !m_sessionClosedFired) {
        m_sessionClosedFired = true;
        FireSessionClosed(Error);
        if (!self)
            return;
    }
    // A handler that started a new session keeps it.
    if (m_session != session || m_hSocket != INVALID_SOCKET)
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
    PostMessage(m_window, WM_SOCKET_CLOSE_LATER);
}

void TCustomWSocket::FreeLater()
{
    PostMessage(m_window, WM_SOCKET_FREE_LATER);
}

void TCustomWSocket::Flush()
{
    QPointer<TCustomWSocket> self(this);
    while (self && m_hSocket != INVALID_SOCKET && !m_allSent) {
        TryToSend();
        if (!self || m_allSent)
            break;
        ProcessPendingMessages();
    }
}

void TCustomWSocket::WaitForPeerClose()
{
    QPointer<TCustomWSocket> self(this);
    while (self && m_hSocket != INVALID_SOCKET && m_state != wsClosed) {
        ProcessPendingMessages();
        if (!self || m_hSocket == INVALID_SOCKET)
            return;
        unsigned long n = 0;
        if (ioctlFionread(m_hSocket, &n) != 0)
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
    if (m_dnsLookupHandle) {
        WSACancelAsyncRequest(m_dnsLookupHandle);
        m_dnsLookupHandle = 0;
    }
    m_dnsResult.clear();
    m_dnsResultList.clear();
    if (IsDottedQuad(HostName)) {
        const quint32 a = inet_addr(HostName.toLatin1());
        m_dnsResult = QString::fromLatin1(inet_ntoa(a));
        FireDnsLookupDone(0);
        return;
    }
    m_dnsLookupHandle =
        WSAAsyncGetHostByName(m_window, WM_SOCKET_HOST_LOOKUP_DONE, HostName.toUtf8());
    if (m_dnsLookupHandle == 0)
        RaiseErrorFmt("%s: can't start DNS lookup, error #%d", HostName, WSAGetLastError());
}

void TCustomWSocket::LookupAddress(const QString& Address)
{
    if (m_dnsLookupHandle) {
        WSACancelAsyncRequest(m_dnsLookupHandle);
        m_dnsLookupHandle = 0;
    }
    m_dnsResult.clear();
    m_dnsResultList.clear();
    m_dnsLookupHandle =
        WSAAsyncGetHostByAddr(m_window, WM_SOCKET_ADDR_LOOKUP_DONE, inet_addr(Address.toLatin1()));
    if (m_dnsLookupHandle == 0)
        RaiseErrorFmt("%s: can't start DNS lookup, error #%d", Address, WSAGetLastError());
}

void TCustomWSocket::CancelLookup()
{
    if (m_dnsLookupHandle == 0)
        return;
    const int handle = m_dnsLookupHandle;
    m_dnsLookupHandle = 0;
    if (WSACancelAsyncRequest(handle) != 0) {
        ReportSocketError(QStringLiteral("WSACancelAsyncRequest"));
        return;
    }
    if (!m_destroying)
        FireDnsLookupDone(WSAEINTR);
}

QString TCustomWSocket::GetPeerAddr()
{
    if (m_state != wsConnected)
        return QStringLiteral("error");
    sockaddr_in name{};
    if (getpeername(m_hSocket, &name) != 0) {
        ReportSocketError(QStringLiteral("GetPeerName"));
        return QStringLiteral("error");
    }
    return QString::fromLatin1(inet_ntoa(name.sin_addr.s_addr));
}

QString TCustomWSocket::GetPeerPort()
{
    if (m_state != wsConnected)
        return QStringLiteral("error");
    sockaddr_in name{};
    if (getpeername(m_hSocket, &name) != 0) {
        ReportSocketError(QStringLiteral("GetPeerPort"));
        return QStringLiteral("error");
    }
    return QString::number(ntohs(name.sin_port));
}

int TCustomWSocket::GetPeerSockAddr(sockaddr_in& Name)
{
    if (m_state != wsConnected)
        return -1;
    return getpeername(m_hSocket, &Name);
}

int TCustomWSocket::GetSockName(sockaddr_in& Name)
{
    return getsockname(m_hSocket, &Name);
}

QString TCustomWSocket::GetLocalPortText()
{
    if (m_state != wsBound && m_state != wsConnected && m_state != wsListening)
        return QStringLiteral("error");
    sockaddr_in name{};
    if (getsockname(m_hSocket, &name) != 0)
        return QStringLiteral("error");
    return QString::number(ntohs(name.sin_port));
}

int TCustomWSocket::SendTo(const sockaddr_in& Dest, const char* Data, int Len)
{
    const int n = WinSock::sendto(m_hSocket, Data, Len, m_sendFlags, Dest);
    if (n > 0)
        FireSendData(n);
    return n;
}

// ---------------------------------------------------------------------------
// SOCKS messages.

namespace Socks {

namespace {
void appendPort(QByteArray& b, int port)
{
    b.append(char((port >> 8) & 0xFF));
    b.append(char(port & 0xFF));
}
} // namespace

QByteArray Socks4Request(int Port, quint32 Address, const QByteArray& Usercode)
{
    QByteArray b;
    b.append(char(4)).append(char(1));
    appendPort(b, Port);
    b.append(reinterpret_cast<const char*>(&Address), 4);
    b.append(Usercode).append('\0');
    return b;
}

QByteArray Socks4ARequest(int Port, const QByteArray& Usercode, const QByteArray& Host)
{
    QByteArray b;
    b.append(char(4)).append(char(1));
    appendPort(b, Port);
    b.append('\0').append('\0').append('\0').append(char(1));
    b.append(Usercode).append('\0');
    b.append(Host).append('\0');
    return b;
}

QByteArray Socks5Greeting(int Method)
{
    QByteArray b;
    b.append(char(5)).append(char(1)).append(char(Method));
    return b;
}

QByteArray Socks5Auth(const QByteArray& Usercode, const QByteArray& Password)
{
    QByteArray b;
    b.append(char(1));
    b.append(char(Usercode.size())).append(Usercode);
    b.append(char(Password.size())).append(Password);
    return b;
}

QByteArray Socks5Request(const QByteArray& Host, int Port)
{
    QByteArray b;
    b.append(char(5)).append(char(1)).append('\0').append(char(3));
    b.append(char(Host.size())).append(Host);
    appendPort(b, Port);
    return b;
}

int Socks5ErrorCode(int Code)
{
    if (Code >= 1 && Code <= 8)
        return SOCKS_ERR_GENERAL_FAILURE + Code - 1;
    return SOCKS_ERR_UNASSIGNED;
}

QString SocksErrorText(int Error, int Code)
{
    switch (Error) {
    case SOCKS_ERR_PROTOCOL:
        return QStringLiteral("TWSocket logic error");
    case SOCKS_ERR_VERSION:
        return QStringLiteral("socks version error");
    case SOCKS_ERR_AUTH_METHOD:
        return QStringLiteral("authentification method not acceptable");
    case SOCKS_ERR_GENERAL_FAILURE:
        return QStringLiteral("general SOCKS server failure");
    case SOCKS_ERR_NOT_ALLOWED:
        return QStringLiteral("connection not allowed by ruleset");
    case SOCKS_ERR_NET_UNREACHABLE:
        return QStringLiteral("network unreachable");
    case SOCKS_ERR_HOST_UNREACHABLE:
        return QStringLiteral("host unreachable");
    case SOCKS_ERR_CONN_REFUSED:
        return QStringLiteral("connection refused");
    case SOCKS_ERR_TTL_EXPIRED:
        return QStringLiteral("time to live expired");
    case SOCKS_ERR_BAD_COMMAND:
        return QStringLiteral("command not supported");
    case SOCKS_ERR_BAD_ADDR_TYPE:
        return QStringLiteral("address type not supported");
    case SOCKS_ERR_UNASSIGNED:
        return QStringLiteral("unassigned error #") + QString::number(Code);
    case SOCKS_ERR_INTERNAL:
        return QStringLiteral("internal error");
    case SOCKS_ERR_AUTH_FAILED:
        return QStringLiteral("socks authentication failed");
    case SOCKS_ERR_REJECTED:
        return QStringLiteral("request rejected or failed");
    default:
        return QString();
    }
}

int Socks5ReplyLength(const QByteArray& Reply)
{
    if (Reply.size() < 5)
        return -1;
    switch (quint8(Reply[3])) {
    case 1:
        return 10;
    case 3:
        return 7 + quint8(Reply[4]);
    default:
        return 5;
    }
}

} // namespace Socks

// ---------------------------------------------------------------------------
// TCustomSocksWSocket

TCustomSocksWSocket::TCustomSocksWSocket(QObject* AOwner) : TCustomWSocket(AOwner) {}

void TCustomSocksWSocket::ResetDefaults()
{
    TCustomWSocket::ResetDefaults();
    m_socksState = 0;
    m_socksServer.clear();
    m_socksPort.clear();
    m_socksLevel = QStringLiteral("5");
    m_reply.clear();
    m_leftover.clear();
    if (m_socksLookupHandle) {
        WSACancelAsyncRequest(m_socksLookupHandle);
        m_socksLookupHandle = 0;
    }
}

void TCustomSocksWSocket::SetSocksServer(const QString& Value)
{
    if (State() != wsClosed) {
        RaiseError(QStringLiteral("Can't change socks server if not closed"));
        return;
    }
    m_socksServer = Value.trimmed();
}

void TCustomSocksWSocket::SetSocksPort(const QString& Value)
{
    if (State() != wsClosed) {
        RaiseError(QStringLiteral("Can't change socks port if not closed"));
        return;
    }
    m_socksPort = Value.trimmed();
}

void TCustomSocksWSocket::SetSocksLevel(const QString& Value)
{
    if (State() != wsClosed) {
        RaiseError(QStringLiteral("Can't change socks level if not closed"));
        return;
    }
    if (Value != QLatin1String("4") && Value != QLatin1String("5") &&
        Value != QLatin1String("4A") && Value != QLatin1String("4a")) {
        RaiseError(QStringLiteral("Invalid socks level. Must be 4, 4A or 5."));
        return;
    }
    m_socksLevel = Value.toUpper();
}

void TCustomSocksWSocket::Listen()
{
    if (!m_socksServer.isEmpty()) {
        RaiseError(QStringLiteral("Listening is not supported thru socks server"));
        return;
    }
    TCustomWSocket::Listen();
}

void TCustomSocksWSocket::Connect()
{
    if (m_socksServer.isEmpty()) {
        TCustomWSocket::Connect();
        return;
    }
    if (Proto().toLower() != QLatin1String("tcp")) {
        RaiseError(QStringLiteral("tcp is the only protocol supported thru socks server"));
        return;
    }
    // What the messages cannot carry is refused before anything is opened.
    const QByteArray host = Cp874::fromUnicode(Addr());
    if (m_socksLevel == QLatin1String("5") || m_socksLevel == QLatin1String("4A")) {
        if (host.size() > Socks::MaxField || host.contains('\0')) {
            RaiseError(QStringLiteral("socks: host name too long"));
            return;
        }
    }
    if (SocksUsercode.size() > Socks::MaxField || SocksUsercode.contains('\0') ||
        SocksPassword.size() > Socks::MaxField) {
        RaiseError(QStringLiteral("socks: user code or password too long"));
        return;
    }
    if (!PrepareConnect())
        return;
    int socksPort = 0;
    try {
        m_targetPort = WSocketResolvePort(Port(), Proto());
        socksPort = WSocketResolvePort(m_socksPort, Proto());
    } catch (const std::exception& e) {
        RaiseError(QStringLiteral("connect: ") + QString::fromLocal8Bit(e.what()));
        return;
    }
    m_socksState = 1;
    m_reply.clear();
    m_leftover.clear();
    StartConnect(m_socksServer, socksPort);
    if (HSocket() == INVALID_SOCKET)
        m_socksState = 0;
}

void TCustomSocksWSocket::FireSocksConnected(quint16 Error)
{
    if (OnSocksConnected)
        OnSocksConnected(this, Error);
}

void TCustomSocksWSocket::FireSocksError(int Error, const QString& Msg)
{
    if (OnSocksError)
        OnSocksError(this, Error, Msg);
}

void TCustomSocksWSocket::FireSessionConnected(quint16 Error)
{
    if (m_socksState != 1) {
        TCustomWSocket::FireSessionConnected(Error);
        return;
    }
    QPointer<TCustomSocksWSocket> self(this);
    FireSocksConnected(Error);
    if (!self)
        return;
    if (Error != 0) {
        TCustomWSocket::FireSessionConnected(Error);
        return;
    }
    if (HSocket() == INVALID_SOCKET)
        return;
    if (m_socksLevel.startsWith(QLatin1Char('4'))) {
        SocksDoConnect();
        return;
    }
    m_socksMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
    const QByteArray greeting = Socks::Socks5Greeting(m_socksMethod);
    try {
        SendInternal(greeting.constData(), int(greeting.size()));
    } catch (const std::exception&) {
    }
}

void TCustomSocksWSocket::SocksDoAuthenticate()
{
    m_socksState = 2;
    QPointer<TCustomSocksWSocket> self(this);
    if (OnSocksAuthState)
        OnSocksAuthState(this, socksAuthStart);
    if (!self || HSocket() == INVALID_SOCKET)
        return;
    const QByteArray auth = Socks::Socks5Auth(SocksUsercode, SocksPassword);
    try {
        SendInternal(auth.constData(), int(auth.size()));
    } catch (const std::exception&) {
    }
}

void TCustomSocksWSocket::SocksDoConnect()
{
    m_socksState = 3;
    m_reply.clear();
    if (m_socksLevel == QLatin1String("4")) {
        // A plain SOCKS 4 request carries an address: a name is looked up
        // here, in the background.
        const QString target = Addr().trimmed();
        if (IsDottedQuad(target)) {
            quint32 address = 0;
            try {
                address = WSocketResolveHost(target);
            } catch (const ESocketException& e) {
                const QString text = QString::fromLatin1(ESocketException::ClassName) +
                                     QLatin1Char(' ') + e.Message();
                FireSocksError(SOCKS_ERR_HOST_RESOLVE, text);
                CloseInternal(true, SOCKS_ERR_HOST_RESOLVE);
                return;
            }
            SendSocks4Request(address);
            return;
        }
        m_socksLookupHandle =
            WSAAsyncGetHostByName(Window(), WM_SOCKET_SOCKS_LOOKUP_DONE, target.toUtf8());
        return;
    }
    QByteArray request;
    if (m_socksLevel == QLatin1String("4A"))
        request = Socks::Socks4ARequest(m_targetPort, SocksUsercode, Cp874::fromUnicode(Addr()));
    else
        request = Socks::Socks5Request(Cp874::fromUnicode(Addr()), m_targetPort);
    try {
        SendInternal(request.constData(), int(request.size()));
    } catch (const std::exception&) {
    }
}

void TCustomSocksWSocket::SendSocks4Request(quint32 Address)
{
    const QByteArray request = Socks::Socks4Request(m_targetPort, Address, SocksUsercode);
    try {
        SendInternal(request.constData(), int(request.size()));
    } catch (const std::exception&) {
    }
}

void TCustomSocksWSocket::WindowProcedure(TMessage& Msg)
{
    if (Msg.Msg != WM_SOCKET_SOCKS_LOOKUP_DONE) {
        TCustomWSocket::WindowProcedure(Msg);
        return;
    }
    if (int(Msg.WParam) != m_socksLookupHandle || m_socksLookupHandle == 0)
        return;
    m_socksLookupHandle = 0;
    const int error = WSAGETSELECTERROR(Msg.LParam);
    const QStringList addresses = Msg.Data.toStringList();
    try {
        if (error != 0 || addresses.isEmpty()) {
            const QString text =
                QString::fromLatin1(ESocketException::ClassName) + QLatin1Char(' ') +
                QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                    .arg(Addr())
                    .arg(error ? error : int(WSAHOST_NOT_FOUND));
            QPointer<TCustomSocksWSocket> self(this);
            FireSocksError(SOCKS_ERR_HOST_RESOLVE, text);
            if (self)
                CloseInternal(true, SOCKS_ERR_HOST_RESOLVE);
            return;
        }
        SendSocks4Request(inet_addr(addresses.first().toLatin1()));
    } catch (const std::exception& e) {
        HandleEventException(e);
    }
}

void TCustomSocksWSocket::SocksFailed(int Error, const QString& Msg)
{
    QPointer<TCustomSocksWSocket> self(this);
    FireSocksError(Error, Msg);
    if (!self)
        return;
    TCustomWSocket::FireSessionConnected(quint16(Error));
    if (!self || HSocket() == INVALID_SOCKET)
        return;
    CloseInternal(true, quint16(Error));
}

void TCustomSocksWSocket::CloseWhileConnecting(quint16 Error)
{
    if (m_socksState == 0)
        return;
    QPointer<TCustomSocksWSocket> self(this);
    // A complete answer may still wait in the socket.
    ReceiveLoop(0);
    if (!self || m_socksState == 0 || HSocket() == INVALID_SOCKET)
        return;
    // The proxy hung up before granting: never a success.
    const int error = Error != 0 ? int(Error) : int(SOCKS_ERR_GENERAL_FAILURE);
    SocksFailed(error, Error != 0 ? SocketErrorText(Error)
                                  : Socks::SocksErrorText(SOCKS_ERR_GENERAL_FAILURE));
}

int TCustomSocksWSocket::ReceiveReply(int Wanted)
{
    const int room = qMin(Wanted, Socks::ReplyBufferSize - int(m_reply.size()));
    if (room <= 0)
        return 0;
    char buffer[Socks::ReplyBufferSize];
    const int n = TCustomWSocket::ReceiveRaw(buffer, room, 0);
    if (n > 0)
        m_reply.append(buffer, n);
    return n;
}

void TCustomSocksWSocket::Granted()
{
    m_socksState = 0;
    QPointer<TCustomSocksWSocket> self(this);
    ChangeState(wsConnected);
    if (!self)
        return;
    TCustomWSocket::FireSessionConnected(0);
    if (!self || HSocket() == INVALID_SOCKET)
        return;
    if (!m_leftover.isEmpty() || RcvdCount() > 0)
        FireDataAvailable(0);
}

bool TCustomSocksWSocket::FireDataAvailable(quint16 Error)
{
    if (m_socksState == 0)
        return TCustomWSocket::FireDataAvailable(Error);
    if (Error != 0) {
        SocksFailed(Error, QStringLiteral("data receive error"));
        return false;
    }
    const bool level4 = m_socksLevel.startsWith(QLatin1Char('4'));
    switch (m_socksState) {
    case 1: {
        if (level4) {
            SocksFailed(SOCKS_ERR_PROTOCOL, Socks::SocksErrorText(SOCKS_ERR_PROTOCOL));
            return true;
        }
        ReceiveReply(2 - int(m_reply.size()));
        if (m_reply.size() < 2)
            return true;
        const QByteArray reply = m_reply;
        m_reply.clear();
        if (quint8(reply[0]) != 5) {
            SocksFailed(SOCKS_ERR_VERSION, Socks::SocksErrorText(SOCKS_ERR_VERSION));
        } else if (quint8(reply[1]) == 0) {
            QPointer<TCustomSocksWSocket> self(this);
            if (m_socksMethod == 2 && OnSocksAuthState)
                OnSocksAuthState(this, socksAuthNotRequired);
            if (self && HSocket() != INVALID_SOCKET)
                SocksDoConnect();
        } else if (quint8(reply[1]) == 2 && m_socksMethod == 2) {
            SocksDoAuthenticate();
        } else {
            SocksFailed(SOCKS_ERR_AUTH_METHOD, Socks::SocksErrorText(SOCKS_ERR_AUTH_METHOD));
        }
        return true;
    }
    case 2: {
        // Both bytes of the answer are awaited, also when they come apart.
        ReceiveReply(2 - int(m_reply.size()));
        if (m_reply.size() >= 1 && quint8(m_reply[0]) != 1) {
            m_reply.clear();
            SocksFailed(SOCKS_ERR_VERSION, Socks::SocksErrorText(SOCKS_ERR_VERSION));
            return true;
        }
        if (m_reply.size() < 2)
            return true;
        const quint8 status = quint8(m_reply[1]);
        m_reply.clear();
        if (status != 0) {
            SocksFailed(SOCKS_ERR_AUTH_FAILED, Socks::SocksErrorText(SOCKS_ERR_AUTH_FAILED));
            return true;
        }
        QPointer<TCustomSocksWSocket> self(this);
        if (OnSocksAuthState)
            OnSocksAuthState(this, socksAuthSuccess);
        if (self && HSocket() != INVALID_SOCKET)
            SocksDoConnect();
        return true;
    }
    case 3:
        if (level4) {
            if (m_socksLookupHandle)
                return true;
            ReceiveReply(8 - int(m_reply.size()));
            if (m_reply.size() < 8)
                return true;
            const QByteArray reply = m_reply;
            m_reply.clear();
            if (quint8(reply[0]) != 0) {
                SocksFailed(SOCKS_ERR_VERSION, Socks::SocksErrorText(SOCKS_ERR_VERSION));
                return true;
            }
            switch (quint8(reply[1])) {
            case 90:
                Granted();
                break;
            case 91:
                SocksFailed(SOCKS_ERR_REJECTED, Socks::SocksErrorText(SOCKS_ERR_REJECTED));
                break;
            case 92:
                SocksFailed(SOCKS_ERR_CONN_REFUSED, Socks::SocksErrorText(SOCKS_ERR_CONN_REFUSED));
                break;
            case 93:
                SocksFailed(SOCKS_ERR_AUTH_FAILED, QStringLiteral("authentification failed"));
                break;
            default:
                SocksFailed(SOCKS_ERR_UNASSIGNED,
                            Socks::SocksErrorText(SOCKS_ERR_UNASSIGNED, quint8(reply[1])));
            }
            return true;
        } else {
            // Read only as far as the reply goes while its length is known;
            // everything after it is the session's data.
            const int needed = Socks::Socks5ReplyLength(m_reply);
            ReceiveReply(needed < 0 ? 5 - int(m_reply.size()) : needed - int(m_reply.size()));
            if (m_reply.size() >= 1 && quint8(m_reply[0]) != 5) {
                m_reply.clear();
                SocksFailed(SOCKS_ERR_VERSION, Socks::SocksErrorText(SOCKS_ERR_VERSION));
                return true;
            }
            if (m_reply.size() > 1 && quint8(m_reply[1]) != 0) {
                const int code = quint8(m_reply[1]);
                m_reply.clear();
                const int error = Socks::Socks5ErrorCode(code);
                SocksFailed(error, Socks::SocksErrorText(error, code));
                return true;
            }
            const int length = Socks::Socks5ReplyLength(m_reply);
            if (length < 0)
                return true;
            const int type = quint8(m_reply[3]);
            if (type != 1 && type != 3) {
                m_reply.clear();
                SocksFailed(SOCKS_ERR_BAD_ADDR_TYPE,
                            Socks::SocksErrorText(SOCKS_ERR_BAD_ADDR_TYPE));
                return true;
            }
            if (m_reply.size() < length)
                return true;
            int portAt;
            if (type == 1) {
                quint32 a;
                std::memcpy(&a, m_reply.constData() + 4, 4);
                m_boundAddr = QString::fromLatin1(inet_ntoa(a));
                portAt = 8;
            } else {
                const int len = quint8(m_reply[4]);
                m_boundAddr = QString::fromLatin1(m_reply.mid(5, len));
                portAt = 5 + len;
            }
            m_boundPort =
                QString::number((quint8(m_reply[portAt]) << 8) | quint8(m_reply[portAt + 1]));
            if (m_reply.size() > portAt + 2)
                m_leftover = m_reply.mid(portAt + 2);
            m_reply.clear();
            Granted();
            return true;
        }
    default:
        SocksFailed(SOCKS_ERR_INTERNAL, Socks::SocksErrorText(SOCKS_ERR_INTERNAL));
        return false;
    }
}

void TCustomSocksWSocket::FireSessionClosed(quint16 Error)
{
    if (m_socksState == 2 && OnSocksAuthState) {
        QPointer<TCustomSocksWSocket> self(this);
        OnSocksAuthState(this, socksAuthFailure);
        if (!self)
            return;
    }
    TCustomWSocket::FireSessionClosed(Error);
}

int TCustomSocksWSocket::GetRcvdCount()
{
    if (!m_leftover.isEmpty())
        return int(m_leftover.size());
    return TCustomWSocket::GetRcvdCount();
}

int TCustomSocksWSocket::ReceiveRaw(char* Buffer, int Len, int Flags)
{
    if (m_leftover.isEmpty() || Len <= 0)
        return TCustomWSocket::ReceiveRaw(Buffer, Len, Flags);
    ++m_receiveCalls;
    const int n = qMin(Len, int(m_leftover.size()));
    std::memcpy(Buffer, m_leftover.constData(), size_t(n));
    if (!(Flags & MSG_PEEK))
        m_leftover.remove(0, n);
    return n;
}

// ---------------------------------------------------------------------------
// TCustomLineWSocket

namespace {
// A handler that leaves its line unread gets it again after this pause.
constexpr int LineRedeliverMs = 25;
} // namespace

TCustomLineWSocket::TCustomLineWSocket(QObject* AOwner) : TCustomSocksWSocket(AOwner)
{
    m_redeliverTimer = new QTimer(this);
    m_redeliverTimer->setSingleShot(true);
    connect(m_redeliverTimer, &QTimer::timeout, this,
            [this] { PostToWindow(WM_SOCKET_LINE_REDELIVER); });
}

TCustomLineWSocket::~TCustomLineWSocket() = default;

void TCustomLineWSocket::SetLineMode(bool Value)
{
    if (Value == m_lineMode)
        return;
    m_lineMode = Value;
    if (!m_rcvdBuffer.isEmpty() || m_lineLength > 0)
        PostToWindow(WM_SOCKET_LINE_REDELIVER);
}

void TCustomLineWSocket::ScheduleRedeliver()
{
    if (!m_redeliverTimer->isActive())
        m_redeliverTimer->start(LineRedeliverMs);
}

void TCustomLineWSocket::WindowProcedure(TMessage& Msg)
{
    if (Msg.Msg == WM_SOCKET_EVENT && (WSAGETSELECTEVENT(Msg.LParam) & FD_CLOSE) && m_lineMode &&
        OnDataAvailable && !LineEnd.isEmpty() && m_rcvdBuffer.contains(LineEnd) &&
        HSocket() != INVALID_SOCKET && TSocket(Msg.WParam) == HSocket()) {
        // The handler still keeps lines waiting (a prompt is open): the end
        // of the session waits for them.
        TMessage later = Msg;
        later.Data = QVariant(qulonglong(Session()));
        QTimer::singleShot(LineRedeliverMs, this, [this, later] {
            PostMessage(Window(), later.Msg, later.WParam, later.LParam, later.Data);
        });
        return;
    }
    if (Msg.Msg != WM_SOCKET_LINE_REDELIVER) {
        TCustomSocksWSocket::WindowProcedure(Msg);
        return;
    }
    QPointer<TCustomLineWSocket> self(this);
    try {
        if (m_lineMode && !LineEnd.isEmpty()) {
            // Search what is held; stop when no complete line is left.
            DeliverLines(0);
        } else {
            while (self && !m_rcvdBuffer.isEmpty()) {
                const quint64 before = m_receiveCalls;
                const qsizetype held = m_rcvdBuffer.size();
                if (!TCustomSocksWSocket::FireDataAvailable(0))
                    break;
                if (!self)
                    return;
                if (m_receiveCalls == before || m_rcvdBuffer.size() == held) {
                    ScheduleRedeliver();
                    break;
                }
                if (m_lineMode)
                    break;
            }
        }
    } catch (const std::exception& e) {
        if (self)
            HandleEventException(e);
    }
}

int TCustomLineWSocket::GetRcvdCount()
{
    if (m_lineMode)
        return m_lineLength;
    if (!m_rcvdBuffer.isEmpty())
        return int(m_rcvdBuffer.size());
    return TCustomSocksWSocket::GetRcvdCount();
}

int TCustomLineWSocket::ReceiveRaw(char* Buffer, int Len, int Flags)
{
    if (Len <= 0)
        return TCustomSocksWSocket::ReceiveRaw(Buffer, Len, Flags);
    if (m_lineMode && m_lineLength > 0) {
        ++m_receiveCalls;
        const int n = qMin(Len, m_lineLength);
        std::memcpy(Buffer, m_rcvdBuffer.constData(), size_t(n));
        if (!(Flags & MSG_PEEK)) {
            m_rcvdBuffer.remove(0, n);
            m_lineLength -= n;
        }
        return n;
    }
    if (!m_lineMode && !m_rcvdBuffer.isEmpty()) {
        ++m_receiveCalls;
        const int n = qMin(Len, int(m_rcvdBuffer.size()));
        std::memcpy(Buffer, m_rcvdBuffer.constData(), size_t(n));
        if (!(Flags & MSG_PEEK))
            m_rcvdBuffer.remove(0, n);
        return n;
    }
    return TCustomSocksWSocket::ReceiveRaw(Buffer, Len, Flags);
}

bool TCustomLineWSocket::FireDataAvailable(quint16 Error)
{
    if (!m_lineMode || LineEnd.isEmpty() || Negotiating())
        return TCustomSocksWSocket::FireDataAvailable(Error);
    // While a handler leaves its line waiting, more data stays in the
    // socket: the sender is held back instead of the buffer growing.
    if (m_redeliverTimer->isActive())
        return true;
    // Take what waits in the socket (never more than the line bound at once,
    // so memory stays bounded).
    int n = TCustomSocksWSocket::GetRcvdCount();
    if (n <= 0)
        return true;
    n = qMin(n, qMax(LineLimit, 1));
    const int heldBefore = int(m_rcvdBuffer.size());
    QByteArray fresh(n, '\0');
    const int got = TCustomSocksWSocket::ReceiveRaw(fresh.data(), n, 0);
    if (got <= 0) {
        if (got < 0)
            m_lastError = WSAGetLastError();
        return true;
    }
    fresh.truncate(got);
    m_rcvdBuffer.append(fresh);
    int len = got;
    int held = heldBefore;
    if (LineEdit) {
        ApplyLineEditing(held, len);
        held = int(m_rcvdBuffer.size()) - len;
    } else if (LineEcho) {
        SendInternal(fresh.constData(), got);
    }
    const int start = qMax(0, held - int(LineEnd.size()));
    DeliverLines(start);
    return true;
}

void TCustomLineWSocket::DeliverLines(int Start)
{
    QPointer<TCustomLineWSocket> self(this);
    int from = Start;
    while (self && m_lineMode && !LineEnd.isEmpty()) {
        const qsizetype at = m_rcvdBuffer.indexOf(LineEnd, from);
        if (at < 0) {
            if (m_rcvdBuffer.size() < LineLimit)
                return;
            // No line end within the bound: say so, then hand over what is
            // held as a line of its own.
            if (OnLineTooLong)
                OnLineTooLong(this);
            if (!self || !m_lineMode || m_rcvdBuffer.size() < LineLimit)
                return;
            m_lineLength = int(m_rcvdBuffer.size());
        } else {
            m_lineLength = int(at + LineEnd.size());
        }
        m_lineReceived = true;
        while (self && m_lineMode && m_lineLength > 0) {
            const int before = m_lineLength;
            if (!TCustomSocksWSocket::FireDataAvailable(0)) {
                // Nobody takes lines: drop this one.
                m_rcvdBuffer.remove(0, m_lineLength);
                m_lineLength = 0;
                break;
            }
            if (!self)
                return;
            if (m_lineLength == before) {
                // The handler took nothing (it may be busy with a prompt):
                // the line stays and is offered again after a pause.
                m_lineLength = 0;
                ScheduleRedeliver();
                return;
            }
        }
        if (!self)
            return;
        if (!m_lineMode) {
            // The handler left line mode: the rest of its line stays at the
            // front for reads out of line mode.
            m_lineLength = 0;
            if (!m_rcvdBuffer.isEmpty())
                PostToWindow(WM_SOCKET_LINE_REDELIVER);
            return;
        }
        from = 0;
    }
}

void TCustomLineWSocket::ApplyLineEditing(int HeldBefore, int& Len)
{
    // The new bytes are the last Len of the buffer, after HeldBefore held
    // ones; edits may reach back into the held ones.
    QByteArray edited = m_rcvdBuffer.left(HeldBefore);
    const QByteArray fresh = m_rcvdBuffer.mid(HeldBefore, Len);
    int cursor = int(edited.size());
    int held = HeldBefore;
    QByteArray echo;
    for (char c : fresh) {
        if (c == '\b') {
            if (LineEcho && cursor > 0)
                echo.append("\b \b");
            if (cursor > 0)
                --cursor;
            edited.truncate(cursor);
            if (cursor < held)
                held = cursor;
        } else if (c == '\t') {
            do {
                edited.append(' ');
                ++cursor;
                if (LineEcho)
                    echo.append(' ');
            } while (cursor % 8 != 0);
        } else {
            if (LineEcho)
                echo.append(c);
            edited.append(c);
            ++cursor;
        }
    }
    m_rcvdBuffer = edited;
    Len = int(edited.size()) - held;
    if (!echo.isEmpty())
        SendInternal(echo.constData(), int(echo.size()));
}

void TCustomLineWSocket::FireSessionClosed(quint16 Error)
{
    QPointer<TCustomLineWSocket> self(this);
    m_lineReceived = true;
    m_redeliverTimer->stop();
    if (m_lineMode && !m_rcvdBuffer.isEmpty()) {
        m_lineLength = int(m_rcvdBuffer.size());
        while (self && m_lineMode && m_lineLength > 0 && OnDataAvailable) {
            const int before = m_lineLength;
            TCustomSocksWSocket::FireDataAvailable(0);
            if (!self)
                return;
            if (m_lineLength == before)
                break;
        }
    }
    m_rcvdBuffer.clear();
    m_rcvdBuffer.squeeze();
    m_lineLength = 0;
    TCustomSocksWSocket::FireSessionClosed(Error);
}

// ---------------------------------------------------------------------------
// TCustomSyncWSocket

qint64 TCustomSyncWSocket::TimeoutMs(int Timeout)
{
    if (Timeout == 0)
        return 60000;
    if (Timeout < 0)
        return -qint64(Timeout);
    return qint64(Timeout) * 1000;
}

int TCustomSyncWSocket::WaitUntilDone(bool& Flag)
{
    QPointer<TCustomSyncWSocket> self(this);
    const qint64 timeout = m_timeout;
    QDeadlineTimer deadline(timeout > 0 ? QDeadlineTimer(timeout) : QDeadlineTimer::Forever);
    // Wakes the loop at the deadline.
    QTimer wake;
    if (timeout > 0) {
        wake.setSingleShot(true);
        wake.start(int(qMin<qint64>(timeout, INT_MAX)));
    }
    for (;;) {
        // The flag lives in the socket: a socket freed meanwhile ends the
        // wait without touching it.
        if (!self)
            return 12001;
        if (Flag)
            return 0;
        if (timeout > 0 && deadline.hasExpired())
            return 12001;
        if (QCoreApplication::closingDown() || !QCoreApplication::instance())
            return 12001;
        if (State() == wsClosed && HSocket() == INVALID_SOCKET)
            return 12001;
        QCoreApplication::processEvents(
            QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
            int(qMin<qint64>(qMax<qint64>(deadline.remainingTime(), 1), 100)));
    }
}

int TCustomSyncWSocket::CallAndWait(bool& Flag, const std::function<void()>& Proc)
{
    Flag = false;
    if (Proc)
        Proc();
    return WaitUntilDone(Flag);
}

void TCustomSyncWSocket::ReadLine(int Timeout, QByteArray& Line)
{
    Line.clear();
    if (State() != wsConnected) {
        RaiseError(QStringLiteral("ReadLine failed: not connected"));
        return;
    }
    m_timeout = TimeoutMs(Timeout);
    QPointer<TCustomSyncWSocket> self(this);
    m_lineReceived = false;
    TDataAvailable saved = OnDataAvailable;
    const bool savedMode = m_lineMode;
    // Line is a caller's variable: the handler writes through a guard that
    // is dropped when ReadLine returns.
    auto target = std::make_shared<QByteArray*>(&Line);
    OnDataAvailable = [this, target](QObject*, quint16) {
        if (!*target)
            return;
        QByteArray line(m_lineLength, '\0');
        const int n = m_lineLength > 0 ? Receive(line.data(), m_lineLength) : 0;
        if (n <= 0)
            line.clear();
        else
            line.truncate(n);
        **target = line;
    };
    m_lineMode = true;
    int result = 12001;
    try {
        result = CallAndWait(m_lineReceived, {});
    } catch (...) {
        *target = nullptr;
        if (self) {
            OnDataAvailable = saved;
            m_lineMode = savedMode;
            m_timeout = 0;
        }
        throw;
    }
    *target = nullptr;
    if (!self)
        return;
    OnDataAvailable = saved;
    m_lineMode = savedMode;
    m_timeout = 0;
    if (result == 12001 && !m_rcvdBuffer.isEmpty()) {
        Line = m_rcvdBuffer;
        m_rcvdBuffer.clear();
    }
}
