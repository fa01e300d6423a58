#include "net/SocksWSocket.h"

#include "platform/Cp874.h"

#include <QTimer>

#include <cstring>

using namespace WinSock;

TCustomSocksWSocket::TCustomSocksWSocket(QObject* AOwner) : TCustomWSocket(AOwner)
{
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { TimedOut(); });
}

void TCustomSocksWSocket::ResetDefaults()
{
    TCustomWSocket::ResetDefaults();
    negotiation_.Reset();
    socksServer_.clear();
    socksPort_.clear();
    socksLevel_ = QStringLiteral("5");
    leftover_.clear();
    if (socksLookupHandle_) {
        WSACancelAsyncRequest(socksLookupHandle_);
        socksLookupHandle_ = 0;
    }
    // The constructor of the base class resets before the timer exists.
    if (timer_)
        timer_->stop();
}

void TCustomSocksWSocket::SetSocksServer(const QString& Value)
{
    if (State() != wsClosed) {
        RaiseError(QStringLiteral("Can't change socks server if not closed"));
        return;
    }
    socksServer_ = Value.trimmed();
}

void TCustomSocksWSocket::SetSocksPort(const QString& Value)
{
    if (State() != wsClosed) {
        RaiseError(QStringLiteral("Can't change socks port if not closed"));
        return;
    }
    socksPort_ = Value.trimmed();
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
    socksLevel_ = Value.toUpper();
}

void TCustomSocksWSocket::Listen()
{
    if (!socksServer_.isEmpty()) {
        RaiseError(QStringLiteral("Listening is not supported thru socks server"));
        return;
    }
    TCustomWSocket::Listen();
}

void TCustomSocksWSocket::Connect()
{
    if (socksServer_.isEmpty()) {
        TCustomWSocket::Connect();
        return;
    }
    if (Proto().toLower() != QLatin1String("tcp")) {
        RaiseError(QStringLiteral("tcp is the only protocol supported thru socks server"));
        return;
    }
    Socks::Request request;
    request.level = Socks::LevelOf(socksLevel_);
    request.authenticate = SocksAuthentication == socksAuthenticateUsercode;
    request.usercode = SocksUsercode;
    request.password = SocksPassword;
    request.host = Cp874::fromUnicode(Addr());
    // What the messages cannot carry is refused before anything is opened.
    const QString refused = Socks::RequestError(request);
    if (!refused.isEmpty()) {
        RaiseError(refused);
        return;
    }
    if (!PrepareConnect())
        return;
    int socksPort = 0;
    try {
        request.port = WSocketResolvePort(Port(), Proto());
        socksPort = WSocketResolvePort(socksPort_, Proto());
    } catch (const std::exception& e) {
        RaiseError(QStringLiteral("connect: ") + QString::fromLocal8Bit(e.what()));
        return;
    }
    negotiation_.Begin(request);
    leftover_.clear();
    StartConnect(socksServer_, socksPort);
    if (HSocket() == INVALID_SOCKET)
        negotiation_.Reset();
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
    if (negotiation_.State() != 1) {
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
    // From here on the proxy has a bounded time to grant the session.
    if (SocksTimeout > 0)
        timer_->start(SocksTimeout);
    Run(negotiation_.Connected());
}

void TCustomSocksWSocket::Run(const Socks::Actions& Steps)
{
    QPointer<TCustomSocksWSocket> self(this);
    const quint64 session = Session();
    for (const Socks::Action& step : Steps) {
        if (!self || Session() != session || HSocket() == INVALID_SOCKET)
            return;
        switch (step.kind) {
        case Socks::Action::Send:
            try {
                SendInternal(step.bytes.constData(), int(step.bytes.size()));
            } catch (const std::exception&) {
            }
            break;
        case Socks::Action::AuthState:
            if (OnSocksAuthState)
                OnSocksAuthState(this, TSocksAuthState(step.code));
            break;
        case Socks::Action::LookUpTarget:
            LookUpTarget();
            break;
        case Socks::Action::Failed:
            SocksFailed(step.code, step.text);
            return;
        case Socks::Action::Granted:
            Granted();
            return;
        }
    }
}

void TCustomSocksWSocket::LookUpTarget()
{
    // A plain SOCKS 4 request carries an address: a name is looked up here,
    // in the background.
    const QString target = Addr().trimmed();
    if (IsDottedQuad(target)) {
        quint32 address = 0;
        try {
            address = WSocketResolveHost(target);
        } catch (const ESocketException& e) {
            TargetNotFound(e.Message());
            return;
        }
        Run(negotiation_.TargetResolved(address));
        return;
    }
    socksLookupHandle_ =
        WSAAsyncGetHostByName(Window(), WM_SOCKET_SOCKS_LOOKUP_DONE, target.toUtf8());
    if (socksLookupHandle_ == 0)
        TargetNotFound(
            QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                .arg(Addr())
                .arg(WSAGetLastError()));
}

void TCustomSocksWSocket::TargetNotFound(const QString& Text)
{
    QPointer<TCustomSocksWSocket> self(this);
    FireSocksError(SOCKS_ERR_HOST_RESOLVE,
                   QString::fromLatin1(ESocketException::ClassName) + QLatin1Char(' ') + Text);
    if (self)
        CloseInternal(true, SOCKS_ERR_HOST_RESOLVE);
}

void TCustomSocksWSocket::TargetLookupDone(TMessage& Msg)
{
    if (int(Msg.WParam) != socksLookupHandle_ || socksLookupHandle_ == 0)
        return;
    socksLookupHandle_ = 0;
    quint32 address = 0;
    if (const int error = LookupResult(Msg, &address); error != 0) {
        TargetNotFound(
            QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                .arg(Addr())
                .arg(error));
        return;
    }
    Run(negotiation_.TargetResolved(address));
}

void TCustomSocksWSocket::WindowProcedure(TMessage& Msg)
{
    if (Msg.Msg != WM_SOCKET_SOCKS_LOOKUP_DONE) {
        TCustomWSocket::WindowProcedure(Msg);
        return;
    }
    QPointer<TCustomSocksWSocket> self(this);
    try {
        TargetLookupDone(Msg);
    } catch (const std::exception& e) {
        if (self)
            HandleEventException(e);
    }
}

void TCustomSocksWSocket::SocksFailed(int Error, const QString& Msg)
{
    timer_->stop();
    QPointer<TCustomSocksWSocket> self(this);
    FireSocksError(Error, Msg);
    if (!self)
        return;
    TCustomWSocket::FireSessionConnected(quint16(Error));
    if (!self || HSocket() == INVALID_SOCKET)
        return;
    CloseInternal(true, quint16(Error));
}

void TCustomSocksWSocket::TimedOut()
{
    if (negotiation_.State() == 0 || negotiation_.Failed() || HSocket() == INVALID_SOCKET)
        return;
    QPointer<TCustomSocksWSocket> self(this);
    try {
        SocksFailed(SOCKS_ERR_TIMEOUT, Socks::SocksErrorText(SOCKS_ERR_TIMEOUT));
    } catch (const std::exception& e) {
        if (self)
            HandleEventException(e);
    }
}

void TCustomSocksWSocket::CloseWhileConnecting(quint16 Error)
{
    if (negotiation_.State() == 0)
        return;
    QPointer<TCustomSocksWSocket> self(this);
    // A complete answer may still wait in the socket.
    ReceiveLoop(0);
    if (!self || negotiation_.State() == 0 || negotiation_.Failed() || HSocket() == INVALID_SOCKET)
        return;
    // The proxy hung up before granting: never a success.
    const int error = Error != 0 ? int(Error) : int(SOCKS_ERR_GENERAL_FAILURE);
    SocksFailed(error, Error != 0 ? SocketErrorText(Error)
                                  : Socks::SocksErrorText(SOCKS_ERR_GENERAL_FAILURE));
}

void TCustomSocksWSocket::Granted()
{
    timer_->stop();
    leftover_ = negotiation_.TakeLeftover();
    QPointer<TCustomSocksWSocket> self(this);
    ChangeState(wsConnected);
    if (!self)
        return;
    TCustomWSocket::FireSessionConnected(0);
    if (!self || HSocket() == INVALID_SOCKET)
        return;
    if (!leftover_.isEmpty() || RcvdCount() > 0)
        FireDataAvailable(0);
}

bool TCustomSocksWSocket::FireDataAvailable(quint16 Error)
{
    if (negotiation_.State() == 0)
        return TCustomWSocket::FireDataAvailable(Error);
    if (Error != 0) {
        SocksFailed(Error, QStringLiteral("data receive error"));
        return false;
    }
    // Only as many bytes as the awaited reply needs: what follows it stays in
    // the socket for the session.
    const int wanted = negotiation_.Wanted();
    if (wanted <= 0)
        return true;
    char buffer[Socks::ReplyBufferSize];
    const int n = TCustomWSocket::ReceiveRaw(buffer, qMin(wanted, int(sizeof buffer)), 0);
    if (n <= 0)
        return true;
    Run(negotiation_.Received(QByteArrayView(buffer, n)));
    return true;
}

void TCustomSocksWSocket::FireSessionClosed(quint16 Error)
{
    if (negotiation_.State() == 2 && OnSocksAuthState) {
        QPointer<TCustomSocksWSocket> self(this);
        OnSocksAuthState(this, socksAuthFailure);
        if (!self)
            return;
    }
    TCustomWSocket::FireSessionClosed(Error);
}

int TCustomSocksWSocket::GetRcvdCount()
{
    if (!leftover_.isEmpty())
        return int(leftover_.size());
    return TCustomWSocket::GetRcvdCount();
}

int TCustomSocksWSocket::ReceiveRaw(char* Buffer, int Len, int Flags)
{
    if (leftover_.isEmpty() || Len <= 0)
        return TCustomWSocket::ReceiveRaw(Buffer, Len, Flags);
    NoteReceiveCall();
    const int n = qMin(Len, int(leftover_.size()));
    std::memcpy(Buffer, leftover_.constData(), size_t(n));
    if (!(Flags & MSG_PEEK))
        leftover_.remove(0, n);
    return n;
}
