#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// The SOCKS 4, 4A and 5 client negotiation over bytes, apart from any
// socket: the messages the client sends and the reading of the proxy's
// replies. The socket feeds it what the proxy sends and carries out what it
// asks for (send these bytes, tell the program, give up, the session is
// granted).

enum TSocksAuthState {
    socksAuthStart = 0,
    socksAuthSuccess = 1,
    socksAuthFailure = 2,
    socksAuthNotRequired = 3
};

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
    // The proxy did not finish the negotiation in time.
    SOCKS_ERR_TIMEOUT = 20014,
    SOCKS_ERR_AUTH_FAILED = 20015,
    SOCKS_ERR_REJECTED = 20016,
    SOCKS_ERR_HOST_RESOLVE = 20017,
};

namespace Socks {

// Longest host name, user code and password the messages can carry.
constexpr int MaxField = 255;
// The longest reply: a SOCKS 5 reply with a 255-byte domain name.
constexpr int ReplyBufferSize = 262;

enum class Level { V4, V4A, V5 };
// "4", "4A" or "5" (as the socket stores its level).
Level LevelOf(const QString& Text);

QByteArray Socks4Request(int Port, quint32 Address, const QByteArray& Usercode);
QByteArray Socks4ARequest(int Port, const QByteArray& Usercode, const QByteArray& Host);
QByteArray Socks5Greeting(int Method);
QByteArray Socks5Auth(const QByteArray& Usercode, const QByteArray& Password);
QByteArray Socks5Request(const QByteArray& Host, int Port);
// The error number and text of a SOCKS 5 reply code (1 and up).
int Socks5ErrorCode(int Code);
QString SocksErrorText(int Error, int Code = 0);
// The length a SOCKS 5 reply needs, from its first 5 bytes (-1 until then).
int Socks5ReplyLength(QByteArrayView Reply);

// What the negotiation needs to know of the connection it sets up.
struct Request
{
    Level level = Level::V5;
    // SOCKS 5: offer user name and password authentication.
    bool authenticate = false;
    QByteArray usercode;
    QByteArray password;
    // The target as the proxy is to see it (code page 874 bytes).
    QByteArray host;
    int port = 0;
};

// Why a request cannot be sent (an empty text when it can): a field longer
// than its message can carry, or a NUL inside a text the message ends with
// NUL.
QString RequestError(const Request& R);

// One step the socket carries out, in order.
struct Action
{
    enum Kind {
        Send,         // send bytes to the proxy
        AuthState,    // tell the program (OnSocksAuthState) of code
        LookUpTarget, // SOCKS 4: the target's address is needed (TargetResolved)
        Failed,       // give up with the error code and text
        Granted,      // the session is set up; Leftover() holds what followed
    };
    Kind kind = Send;
    QByteArray bytes;
    int code = 0;
    QString text;
    bool operator==(const Action& o) const
    {
        return kind == o.kind && bytes == o.bytes && code == o.code && text == o.text;
    }
};
using Actions = QList<Action>;

class TSocksNegotiation
{
public:
    // The socket's SOCKS state: 0 none or finished, 1 connecting to the
    // proxy and method negotiation, 2 user code authentication, 3 connect
    // request sent.
    int State() const { return state_; }
    // True once the negotiation has failed: it reads nothing more.
    bool Failed() const { return failed_; }
    // A connection through the proxy begins (state 1).
    void Begin(const Request& R);
    // Back to state 0, everything forgotten.
    void Reset();

    // The connection to the proxy is made: the first message.
    Actions Connected();
    // SOCKS 4: the target's IPv4 address (network byte order) is known.
    Actions TargetResolved(quint32 Address);
    // How many more bytes the reply being awaited needs; 0 when no reply is
    // awaited (nothing to read from the proxy now).
    int Wanted() const;
    // Bytes from the proxy. Whatever arrives beyond a reply belongs to the
    // next one, and after the last reply to the session (Leftover).
    Actions Received(QByteArrayView Bytes);
    // Bytes that followed the last reply.
    QByteArray TakeLeftover();
    const QByteArray& Leftover() const { return leftover_; }
    // The address and port a SOCKS 5 proxy bound for the session.
    QString BoundAddr() const { return boundAddr_; }
    QString BoundPort() const { return boundPort_; }
    // The method the SOCKS 5 greeting offered (0 or 2).
    int Method() const { return method_; }
    // The reply bytes gathered so far (never more than ReplyBufferSize).
    qsizetype ReplySize() const { return reply_.size(); }

private:
    Actions ConnectRequest();
    void Fail(Actions& Out, int Error, const QString& Text);
    void Fail(Actions& Out, int Error) { Fail(Out, Error, SocksErrorText(Error)); }
    // Reads the reply gathered so far; false while it is incomplete.
    bool MethodReply(Actions& Out);
    bool AuthReply(Actions& Out);
    bool Socks4Reply(Actions& Out);
    bool Socks5Reply(Actions& Out);

    int state_ = 0;
    Request request_;
    int method_ = 0;
    bool awaitingAddress_ = false;
    bool failed_ = false;
    QByteArray reply_;
    // Bytes received while no reply was awaited, kept for the next one.
    QByteArray early_;
    QByteArray leftover_;
    QString boundAddr_;
    QString boundPort_;
};

} // namespace Socks
