#include "platform/WinSock.h"

#include "platform/WinSockLayer_p.h"

#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace WinSock {

namespace {
thread_local int lastError = 0;
} // namespace

namespace Layer {

int setError(int wsa)
{
    lastError = wsa;
    return SOCKET_ERROR;
}

int setErrno()
{
    return setError(errnoToWsa(errno));
}

} // namespace Layer

using namespace Layer;

int WSAGetLastError()
{
    return lastError;
}

void WSASetLastError(int error)
{
    lastError = error;
}

int errnoToWsa(int err)
{
    switch (err) {
    case 0:
        return 0;
    case EINTR:
        return WSAEINTR;
    case EBADF:
        return WSAEBADF;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EWOULDBLOCK:
        return WSAEWOULDBLOCK;
    case EINPROGRESS:
        return WSAEINPROGRESS;
    case EALREADY:
        return WSAEALREADY;
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EDESTADDRREQ:
        return WSAEDESTADDRREQ;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EPROTOTYPE:
        return WSAEPROTOTYPE;
    case ENOPROTOOPT:
        return WSAENOPROTOOPT;
    case EPROTONOSUPPORT:
        return WSAEPROTONOSUPPORT;
    case ESOCKTNOSUPPORT:
        return WSAESOCKTNOSUPPORT;
    case EOPNOTSUPP:
        return WSAEOPNOTSUPP;
    case EPFNOSUPPORT:
        return WSAEPFNOSUPPORT;
    case EAFNOSUPPORT:
        return WSAEAFNOSUPPORT;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETDOWN:
        return WSAENETDOWN;
    case ENETUNREACH:
        return WSAENETUNREACH;
    case ENETRESET:
        return WSAENETRESET;
    case ECONNABORTED:
        return WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ESHUTDOWN:
        return WSAESHUTDOWN;
    case ETOOMANYREFS:
        return WSAETOOMANYREFS;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case ELOOP:
        return WSAELOOP;
    case ENAMETOOLONG:
        return WSAENAMETOOLONG;
    case EHOSTDOWN:
        return WSAEHOSTDOWN;
    case EHOSTUNREACH:
        return WSAEHOSTUNREACH;
    case ENOTEMPTY:
        return WSAENOTEMPTY;
    case EUSERS:
        return WSAEUSERS;
    case EDQUOT:
        return WSAEDQUOT;
    case ESTALE:
        return WSAESTALE;
    case EREMOTE:
        return WSAEREMOTE;
    default:
        return WSAEINVAL;
    }
}

TSocket socket(int af, int type, int protocol)
{
    const int fd = ::socket(af, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (fd < 0) {
        setErrno();
        return INVALID_SOCKET;
    }
    adopt(fd, Phase::Fresh, type == SOCK_DGRAM);
    return fd;
}

int closesocket(TSocket s)
{
    if (!entryOf(s))
        return setError(WSAENOTSOCK);
    release(s);
    if (::close(s) != 0 && errno != EINTR)
        return setErrno();
    return 0;
}

int connect(TSocket s, const sockaddr_in& to)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        if (e->datagram) {
            e->phase = Phase::Connected;
            armRead(e);
            return 0;
        }
        // Connected at once: report it like a completed attempt.
        e->phase = Phase::Connecting;
        armWrite(e);
        return setError(WSAEWOULDBLOCK);
    }
    if (errno == EINPROGRESS || errno == EAGAIN) {
        e->phase = Phase::Connecting;
        armWrite(e);
        return setError(WSAEWOULDBLOCK);
    }
    return setErrno();
}

int bind(TSocket s, const sockaddr_in& at)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    if (::bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0)
        return setErrno();
    if (e->datagram) {
        e->phase = Phase::Connected;
        armRead(e);
    }
    return 0;
}

int listen(TSocket s, int backlog)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    if (::listen(s, backlog) != 0)
        return setErrno();
    e->phase = Phase::Listening;
    armRead(e);
    return 0;
}

TSocket accept(TSocket s, sockaddr_in* from)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd =
        ::accept4(s, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int err = errno;
    if (fd < 0 && (err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM)) {
        // No descriptor to take the connection with: it stays pending, and
        // FD_ACCEPT comes again after a pause (growing while this lasts)
        // instead of at once.
        e->acceptPauseMs = e->acceptPauseMs > 0 ? qMin(e->acceptPauseMs * 2, LongestAcceptPauseMs)
                                                : FirstAcceptPauseMs;
        e->readSincePost = false;
        if (!e->readPosted && e->reoffer) {
            setReading(e, false);
            e->reoffer->start(e->acceptPauseMs);
        }
        errno = err;
        return setErrno();
    }
    e->acceptPauseMs = 0;
    e->readSincePost = true;
    if (!e->readPosted)
        armRead(e);
    if (fd < 0) {
        errno = err;
        return setErrno();
    }
    if (from)
        *from = peer;
    adopt(fd, Phase::Connected, false);
    return fd;
}

// The result of a send of `asked` bytes: when not all of it went (or the
// send would have blocked), FD_WRITE follows once there is room again.
static int finishSend(Entry* e, ssize_t n, size_t asked)
{
    if (n < 0) {
        const int err = errno;
        if (err == EAGAIN || err == EWOULDBLOCK) {
            e->writeWanted = true;
            armWrite(e);
        }
        return setError(errnoToWsa(err));
    }
    if (size_t(n) < asked) {
        e->writeWanted = true;
        armWrite(e);
    }
    return int(n);
}

int send(TSocket s, const char* data, int len, int flags)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    const ssize_t n = ::send(s, data, size_t(qMax(len, 0)), flags | MSG_NOSIGNAL | MSG_DONTWAIT);
    return finishSend(e, n, size_t(qMax(len, 0)));
}

int sendv(TSocket s, const iovec* pieces, int count, int flags)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    msghdr msg{};
    msg.msg_iov = const_cast<iovec*>(pieces);
    msg.msg_iovlen = size_t(qMax(count, 0));
    size_t asked = 0;
    for (int i = 0; i < count; ++i)
        asked += pieces[i].iov_len;
    const ssize_t n = ::sendmsg(s, &msg, flags | MSG_NOSIGNAL | MSG_DONTWAIT);
    return finishSend(e, n, asked);
}

int sendto(TSocket s, const char* data, int len, int flags, const sockaddr_in& to)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    const ssize_t n = ::sendto(s, data, size_t(qMax(len, 0)), flags | MSG_NOSIGNAL | MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return finishSend(e, n, n < 0 ? 0 : size_t(n)); // a datagram goes whole or not at all
}

int recv(TSocket s, char* buffer, int len, int flags)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    // With TCP_INQ the kernel says, with the bytes, how many still wait.
    int left = -1;
    ssize_t n;
    if (e->inq && !(flags & MSG_PEEK)) {
        iovec piece{buffer, size_t(qMax(len, 0))};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        msghdr msg{};
        msg.msg_iov = &piece;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        n = ::recvmsg(s, &msg, flags | MSG_DONTWAIT);
        if (n >= 0)
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
                if (c->cmsg_level == SOL_TCP && c->cmsg_type == TCP_CM_INQ &&
                    c->cmsg_len >= CMSG_LEN(sizeof(int)))
                    std::memcpy(&left, CMSG_DATA(c), sizeof left);
    } else {
        n = ::recv(s, buffer, size_t(qMax(len, 0)), flags | MSG_DONTWAIT);
    }
    const int err = errno;
    if (!(flags & MSG_PEEK)) {
        // A short read leaves nothing behind; the end of the stream or an
        // error ends the session once the handler returns.
        if (n < len)
            e->knownWaiting = 0;
        else if (left >= 0 && e->readPosted)
            // The count includes an end of stream not yet read: 1 may be
            // that alone, which FIONREAD tells apart.
            e->knownWaiting = left == 1 ? -1 : left;
        else if (e->knownWaiting > n)
            e->knownWaiting -= int(n);
        else
            e->knownWaiting = -1; // used up by full reads: more may have come
        if (!e->datagram && len > 0 &&
            (n == 0 || (n < 0 && err != EAGAIN && err != EWOULDBLOCK && err != EINTR))) {
            e->endSeen = true;
            e->endError = n == 0 ? 0 : errnoToWsa(err);
        }
    }
    noteReceive(e);
    if (n < 0) {
        errno = err;
        return setErrno();
    }
    return int(n);
}

int recvfrom(TSocket s, char* buffer, int len, int flags, sockaddr_in* from)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    sockaddr_in peer{};
    socklen_t plen = sizeof peer;
    const ssize_t n = ::recvfrom(s, buffer, size_t(qMax(len, 0)), flags | MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&peer), &plen);
    const int err = errno;
    noteReceive(e);
    if (n < 0) {
        errno = err;
        return setErrno();
    }
    if (from)
        *from = peer;
    return int(n);
}

int shutdown(TSocket s, int how)
{
    if (::shutdown(s, how) != 0)
        return setErrno();
    return 0;
}

int setsockopt(TSocket s, int level, int name, const void* value, socklen_t len)
{
    if (::setsockopt(s, level, name, value, len) != 0)
        return setErrno();
    return 0;
}

int getsockname(TSocket s, sockaddr_in* name)
{
    socklen_t len = sizeof *name;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(name), &len) != 0)
        return setErrno();
    return 0;
}

int getpeername(TSocket s, sockaddr_in* name)
{
    socklen_t len = sizeof *name;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(name), &len) != 0)
        return setErrno();
    return 0;
}

int knownReadable(TSocket s)
{
    Entry* e = entryOf(s);
    return e ? e->knownWaiting : -1;
}

bool endOfStreamSeen(TSocket s)
{
    Entry* e = entryOf(s);
    return e && e->endSeen;
}

int ioctlFionread(TSocket s, unsigned long* count)
{
    int n = 0;
    if (::ioctl(s, FIONREAD, &n) != 0)
        return setErrno();
    *count = (unsigned long)qMax(n, 0);
    // Within FD_READ the count lets the receive loop go on without asking
    // again while the handler reads.
    if (Entry* e = entryOf(s); e && e->readPosted && !e->datagram)
        e->knownWaiting = int(qMin<unsigned long>(*count, INT_MAX));
    return 0;
}

int WSAAsyncSelect(TSocket s, HiddenWindow* window, quint32 msg, int mask)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    const bool first = e->mask == 0 && !e->window;
    e->window = window;
    e->msg = msg;
    e->mask = window ? mask : 0;
    if (e->mask == 0) {
        if (e->reoffer)
            e->reoffer->stop();
        setReading(e, false);
        setWriting(e, false);
        return 0;
    }
    // A connected socket can be written at once: say so, as WinSock does.
    if (first && e->phase == Phase::Connected && !e->datagram)
        post(e, FD_WRITE, 0);
    armRead(e);
    armWrite(e);
    return 0;
}

quint32 inet_addr(const QByteArray& text)
{
    in_addr a{};
    if (::inet_aton(text.trimmed().constData(), &a) == 0)
        return INADDR_NONE_;
    return a.s_addr;
}

QByteArray inet_ntoa(quint32 address)
{
    in_addr a{};
    a.s_addr = address;
    char buffer[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buffer, sizeof buffer);
    return QByteArray(buffer);
}

} // namespace WinSock
