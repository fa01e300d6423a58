#include "net/Socks.h"

#include <utility>

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
    case SOCKS_ERR_TIMEOUT:
        return QStringLiteral("socks negotiation timed out");
    case SOCKS_ERR_AUTH_FAILED:
        return QStringLiteral("socks authentication failed");
    case SOCKS_ERR_REJECTED:
        return QStringLiteral("request rejected or failed");
    default:
        return QString();
    }
}

int Socks5ReplyLength(QByteArrayView Reply)
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

Level LevelOf(const QString& Text)
{
    if (Text == QLatin1String("4"))
        return Level::V4;
    if (Text.compare(QLatin1String("4A"), Qt::CaseInsensitive) == 0)
        return Level::V4A;
    return Level::V5;
}

QString RequestError(const Request& R)
{
    if (R.level != Level::V4 && (R.host.size() > MaxField || R.host.contains('\0')))
        return QStringLiteral("socks: host name too long");
    if (R.usercode.size() > MaxField || R.usercode.contains('\0') || R.password.size() > MaxField)
        return QStringLiteral("socks: user code or password too long");
    return {};
}

// ---------------------------------------------------------------------------
// TSocksNegotiation

void TSocksNegotiation::Begin(const Request& R)
{
    Reset();
    request_ = R;
    state_ = 1;
}

void TSocksNegotiation::Reset()
{
    *this = TSocksNegotiation();
}

void TSocksNegotiation::Fail(Actions& Out, int Error, const QString& Text)
{
    // The state stays as it was (the socket reports what phase failed) until
    // the socket resets; nothing more is read.
    failed_ = true;
    awaitingAddress_ = false;
    reply_.clear();
    early_.clear();
    Out.append({Action::Failed, {}, Error, Text});
}

Actions TSocksNegotiation::Connected()
{
    if (state_ != 1 || failed_)
        return {};
    if (request_.level != Level::V5)
        return ConnectRequest();
    method_ = request_.authenticate ? 2 : 0;
    return {{Action::Send, Socks5Greeting(method_), 0, {}}};
}

Actions TSocksNegotiation::ConnectRequest()
{
    state_ = 3;
    reply_.clear();
    switch (request_.level) {
    case Level::V4:
        // A plain SOCKS 4 request carries an address: the caller finds it.
        awaitingAddress_ = true;
        return {{Action::LookUpTarget, {}, 0, {}}};
    case Level::V4A:
        return {
            {Action::Send, Socks4ARequest(request_.port, request_.usercode, request_.host), 0, {}}};
    case Level::V5:
        break;
    }
    return {{Action::Send, Socks5Request(request_.host, request_.port), 0, {}}};
}

Actions TSocksNegotiation::TargetResolved(quint32 Address)
{
    if (state_ != 3 || !awaitingAddress_ || failed_)
        return {};
    awaitingAddress_ = false;
    Actions out{{Action::Send, Socks4Request(request_.port, Address, request_.usercode), 0, {}}};
    if (!early_.isEmpty()) {
        const QByteArray early = std::exchange(early_, {});
        out += Received(early);
    }
    return out;
}

int TSocksNegotiation::Wanted() const
{
    if (failed_)
        return 0;
    const int have = int(reply_.size());
    switch (state_) {
    case 1:
        // A SOCKS 4 proxy has no method reply: any byte here is an error.
        return request_.level == Level::V5 ? 2 - have : 1;
    case 2:
        return 2 - have;
    case 3: {
        if (request_.level != Level::V5)
            return awaitingAddress_ ? 0 : 8 - have;
        // Only as far as the reply goes once its length is known:
        // everything after it is the session's data.
        const int needed = Socks5ReplyLength(reply_);
        return needed < 0 ? 5 - have : needed - have;
    }
    default:
        return 0;
    }
}

Actions TSocksNegotiation::Received(QByteArrayView Bytes)
{
    Actions out;
    qsizetype pos = 0;
    while (pos < Bytes.size() && !failed_) {
        if (state_ == 0) {
            leftover_.append(Bytes.sliced(pos));
            break;
        }
        const int want = Wanted();
        if (want <= 0) {
            // Nothing is awaited yet (the request has not gone out): kept
            // for the reply to come, within what one reply can be.
            if (early_.size() + (Bytes.size() - pos) > ReplyBufferSize) {
                Fail(out, SOCKS_ERR_PROTOCOL);
                break;
            }
            early_.append(Bytes.sliced(pos));
            break;
        }
        const qsizetype take = qMin<qsizetype>(want, Bytes.size() - pos);
        reply_.append(Bytes.sliced(pos, take));
        pos += take;
        switch (state_) {
        case 1:
            MethodReply(out);
            break;
        case 2:
            AuthReply(out);
            break;
        case 3:
            if (request_.level == Level::V5)
                Socks5Reply(out);
            else
                Socks4Reply(out);
            break;
        default:
            Fail(out, SOCKS_ERR_INTERNAL);
        }
        if (!out.isEmpty() && out.last().kind == Action::Granted && pos < Bytes.size()) {
            leftover_.append(Bytes.sliced(pos));
            break;
        }
    }
    return out;
}

bool TSocksNegotiation::MethodReply(Actions& Out)
{
    if (request_.level != Level::V5) {
        Fail(Out, SOCKS_ERR_PROTOCOL);
        return true;
    }
    if (reply_.size() < 2)
        return false;
    const QByteArray r = std::exchange(reply_, {});
    if (quint8(r[0]) != 5) {
        Fail(Out, SOCKS_ERR_VERSION);
    } else if (quint8(r[1]) == 0) {
        if (method_ == 2)
            Out.append({Action::AuthState, {}, socksAuthNotRequired, {}});
        Out += ConnectRequest();
    } else if (quint8(r[1]) == 2 && method_ == 2) {
        state_ = 2;
        Out.append({Action::AuthState, {}, socksAuthStart, {}});
        Out.append({Action::Send, Socks5Auth(request_.usercode, request_.password), 0, {}});
    } else {
        Fail(Out, SOCKS_ERR_AUTH_METHOD);
    }
    return true;
}

bool TSocksNegotiation::AuthReply(Actions& Out)
{
    // Both bytes of the answer are awaited, also when they come apart.
    if (quint8(reply_[0]) != 1) {
        Fail(Out, SOCKS_ERR_VERSION);
        return true;
    }
    if (reply_.size() < 2)
        return false;
    const quint8 status = quint8(reply_[1]);
    reply_.clear();
    if (status != 0) {
        Fail(Out, SOCKS_ERR_AUTH_FAILED);
        return true;
    }
    Out.append({Action::AuthState, {}, socksAuthSuccess, {}});
    Out += ConnectRequest();
    return true;
}

bool TSocksNegotiation::Socks4Reply(Actions& Out)
{
    if (reply_.size() < 8)
        return false;
    const QByteArray r = std::exchange(reply_, {});
    if (quint8(r[0]) != 0) {
        Fail(Out, SOCKS_ERR_VERSION);
        return true;
    }
    switch (quint8(r[1])) {
    case 90:
        state_ = 0;
        Out.append({Action::Granted, {}, 0, {}});
        break;
    case 91:
        Fail(Out, SOCKS_ERR_REJECTED);
        break;
    case 92:
        Fail(Out, SOCKS_ERR_CONN_REFUSED);
        break;
    case 93:
        Fail(Out, SOCKS_ERR_AUTH_FAILED, QStringLiteral("authentification failed"));
        break;
    default:
        Fail(Out, SOCKS_ERR_UNASSIGNED, SocksErrorText(SOCKS_ERR_UNASSIGNED, quint8(r[1])));
    }
    return true;
}

bool TSocksNegotiation::Socks5Reply(Actions& Out)
{
    if (quint8(reply_[0]) != 5) {
        Fail(Out, SOCKS_ERR_VERSION);
        return true;
    }
    if (reply_.size() > 1 && quint8(reply_[1]) != 0) {
        const int code = quint8(reply_[1]);
        const int error = Socks5ErrorCode(code);
        Fail(Out, error, SocksErrorText(error, code));
        return true;
    }
    const int length = Socks5ReplyLength(reply_);
    if (length < 0)
        return false;
    const int type = quint8(reply_[3]);
    if (type != 1 && type != 3) {
        Fail(Out, SOCKS_ERR_BAD_ADDR_TYPE);
        return true;
    }
    if (reply_.size() < length)
        return false;
    int portAt;
    if (type == 1) {
        boundAddr_ = QStringLiteral("%1.%2.%3.%4")
                         .arg(quint8(reply_[4]))
                         .arg(quint8(reply_[5]))
                         .arg(quint8(reply_[6]))
                         .arg(quint8(reply_[7]));
        portAt = 8;
    } else {
        const int len = quint8(reply_[4]);
        boundAddr_ = QString::fromLatin1(reply_.mid(5, len));
        portAt = 5 + len;
    }
    boundPort_ = QString::number((quint8(reply_[portAt]) << 8) | quint8(reply_[portAt + 1]));
    if (reply_.size() > portAt + 2)
        leftover_ = reply_.mid(portAt + 2);
    reply_.clear();
    state_ = 0;
    Out.append({Action::Granted, {}, 0, {}});
    return true;
}

QByteArray TSocksNegotiation::TakeLeftover()
{
    return std::exchange(leftover_, {});
}

} // namespace Socks
