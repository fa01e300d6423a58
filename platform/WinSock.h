#pragma once

#include "platform/HiddenWindow.h"

#include <QByteArray>
#include <QStringList>

#include <netinet/in.h>
#include <sys/socket.h>

// WinSock-style sockets over non-blocking POSIX sockets. Errors are WinSock
// numbers, read with WSAGetLastError(). Network events arrive as messages
// posted to a hidden window (WSAAsyncSelect): wParam is the socket, the low
// word of lParam the FD_ bit and the high word the error.
//
// - FD_CONNECT once, with the outcome of the connection attempt;
// - FD_WRITE once after the connection is made, then again only after a
//   send would have blocked;
// - FD_READ / FD_ACCEPT once; re-enabled by the next receive (accept), and
//   offered again after a short pause when the program reads nothing.
//   FD_READ goes to the window at once when nothing else is queued for it
//   (the same order as through the queue, without a wake-up of the loop);
// - FD_CLOSE once, after the data before it has been read: when a receive
//   met the end of the stream, or when a handler that received nothing
//   leaves nothing to read.
// Every event carries the session of its descriptor: an event still queued
// when the socket is closed never reaches a later socket that gets the same
// descriptor number.
namespace WinSock {

using TSocket = int;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

enum : int {
    FD_READ = 1,
    FD_WRITE = 2,
    FD_OOB = 4,
    FD_ACCEPT = 8,
    FD_CONNECT = 16,
    FD_CLOSE = 32,
};

enum : int {
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAEALREADY = 10037,
    WSAENOTSOCK = 10038,
    WSAEDESTADDRREQ = 10039,
    WSAEMSGSIZE = 10040,
    WSAEPROTOTYPE = 10041,
    WSAENOPROTOOPT = 10042,
    WSAEPROTONOSUPPORT = 10043,
    WSAESOCKTNOSUPPORT = 10044,
    WSAEOPNOTSUPP = 10045,
    WSAEPFNOSUPPORT = 10046,
    WSAEAFNOSUPPORT = 10047,
    WSAEADDRINUSE = 10048,
    WSAEADDRNOTAVAIL = 10049,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAENETRESET = 10052,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOBUFS = 10055,
    WSAEISCONN = 10056,
    WSAENOTCONN = 10057,
    WSAESHUTDOWN = 10058,
    WSAETOOMANYREFS = 10059,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAELOOP = 10062,
    WSAENAMETOOLONG = 10063,
    WSAEHOSTDOWN = 10064,
    WSAEHOSTUNREACH = 10065,
    WSAENOTEMPTY = 10066,
    WSAEPROCLIM = 10067,
    WSAEUSERS = 10068,
    WSAEDQUOT = 10069,
    WSAESTALE = 10070,
    WSAEREMOTE = 10071,
    WSASYSNOTREADY = 10091,
    WSAVERNOTSUPPORTED = 10092,
    WSANOTINITIALISED = 10093,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_RECOVERY = 11003,
    WSANO_DATA = 11004,
};

constexpr int WSAGETSELECTEVENT(qintptr lParam)
{
    return int(lParam & 0xFFFF);
}
constexpr int WSAGETSELECTERROR(qintptr lParam)
{
    return int((lParam >> 16) & 0xFFFF);
}
constexpr qintptr WSAMAKESELECTREPLY(int event, int error)
{
    return qintptr((quint32(error & 0xFFFF) << 16) | quint32(event & 0xFFFF));
}

int WSAGetLastError();
// True once the application has been asked to quit (QCoreApplication::quit):
// the sockets' own message loops stop pumping.
bool QuitRequested();
// Ties the layer to the application object's lifetime: sockets, closers and
// lookups still there when it goes away end with it. Every socket calls it.
void WatchApplication();
void WSASetLastError(int error);
// The WinSock number of a POSIX errno value.
int errnoToWsa(int err);

// A non-blocking, close-on-exec socket.
TSocket socket(int af, int type, int protocol);
int closesocket(TSocket s);
int connect(TSocket s, const sockaddr_in& to);
int bind(TSocket s, const sockaddr_in& at);
int listen(TSocket s, int backlog);
TSocket accept(TSocket s, sockaddr_in* from);
// Sends never raise SIGPIPE.
int send(TSocket s, const char* data, int len, int flags);
int sendto(TSocket s, const char* data, int len, int flags, const sockaddr_in& to);
// Gathers several pieces into one send (stream sockets).
int sendv(TSocket s, const struct iovec* pieces, int count, int flags);
int recv(TSocket s, char* buffer, int len, int flags);
int recvfrom(TSocket s, char* buffer, int len, int flags, sockaddr_in* from);
int shutdown(TSocket s, int how);
int setsockopt(TSocket s, int level, int name, const void* value, socklen_t len);
int getsockname(TSocket s, sockaddr_in* name);
int getpeername(TSocket s, sockaddr_in* name);
// ioctlsocket(FIONREAD): the bytes waiting to be received.
int ioctlFionread(TSocket s, unsigned long* count);
// While FD_READ is handled: the bytes known to wait (what the last receive
// said still waits, where the kernel tells it with the bytes (TCP_INQ), or
// what FIONREAD said less what was received since; 0 after a short read,
// which leaves nothing). -1 when not known: once full reads have used up what
// FIONREAD said (more may have come: reading on as long as reads come back
// full keeps TCP's receive window growing), outside FD_READ, or for
// datagrams.
int knownReadable(TSocket s);
// A receive has met the end of the stream (or an error that ends it): the
// FD_CLOSE that follows needs no last receive.
bool endOfStreamSeen(TSocket s);

// mask 0 stops the events (queued ones are still delivered).
int WSAAsyncSelect(TSocket s, HiddenWindow* window, quint32 msg, int mask);

// Closes gracefully after the bytes that the program queued have been sent:
// the descriptor leaves the caller at once and is finished in the background.
void closeAfterSending(TSocket s, QByteArray pending);

// inet_addr / inet_ntoa on IPv4 addresses in network byte order.
constexpr quint32 INADDR_NONE_ = 0xFFFFFFFFu;
quint32 inet_addr(const QByteArray& text);
QByteArray inet_ntoa(quint32 address);

// Name lookup off the GUI thread. The result message carries the lookup
// handle in wParam, WSAMAKESELECTREPLY(0, error) in lParam and, in Data, the
// addresses as dotted texts (by name) or the host name (by address).
// Returns 0 and sets the error when the lookup cannot start.
int WSAAsyncGetHostByName(HiddenWindow* window, quint32 msg, const QByteArray& name);
int WSAAsyncGetHostByAddr(HiddenWindow* window, quint32 msg, quint32 address);
// The result of a cancelled lookup is never posted. SOCKET_ERROR when the
// handle is not a running lookup.
int WSACancelAsyncRequest(int handle);
// Blocking lookup (first address of a name), for callers that may block.
bool gethostbyname(const QByteArray& name, QList<quint32>* addresses);

} // namespace WinSock
