#include "platform/WinSock.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QRunnable>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace WinSock {

namespace {

// Data left unread by the program is offered again after this pause.
constexpr int ReofferMs = 25;
// How long a background close waits for the peer to finish.
constexpr int GracefulCloseMs = 10000;

thread_local int lastError = 0;

int setError(int wsa)
{
    lastError = wsa;
    return SOCKET_ERROR;
}

int setErrno()
{
    return setError(errnoToWsa(errno));
}

enum class Phase { Fresh, Connecting, Connected, Listening };

struct Entry
{
    TSocket fd = INVALID_SOCKET;
    quint64 session = 0;
    Phase phase = Phase::Fresh;
    bool datagram = false;
    QPointer<HiddenWindow> window;
    quint32 msg = 0;
    int mask = 0;
    QSocketNotifier* readNotifier = nullptr;
    QSocketNotifier* writeNotifier = nullptr;
    QTimer* reoffer = nullptr;
    bool writeWanted = false;
    bool closeReported = false;
    bool readPosted = false;
    bool readSincePost = false;
    bool firstWritePending = false;
};

QHash<int, Entry*>& registry()
{
    static QHash<int, Entry*> entries;
    return entries;
}

quint64 nextSession = 0;

Entry* entryOf(TSocket s)
{
    return registry().value(s, nullptr);
}

class SelectEvent : public MessageEvent
{
public:
    SelectEvent(TMessage m, int fd, quint64 session, int bit)
        : MessageEvent(std::move(m)), m_fd(fd), m_session(session), m_bit(bit)
    {}
    bool stillValid() const override
    {
        Entry* e = entryOf(m_fd);
        return e && e->session == m_session;
    }
    void afterDelivery() override;

private:
    int m_fd;
    quint64 m_session;
    int m_bit;
};

void armRead(Entry* e);

void post(Entry* e, int bit, int error)
{
    if (!e->window || !(e->mask & bit))
        return;
    auto* ev = new SelectEvent({e->msg, quintptr(e->fd), WSAMAKESELECTREPLY(bit, error), {}}, e->fd,
                               e->session, bit);
    PostMessageEvent(e->window, ev);
}

void SelectEvent::afterDelivery()
{
    if (m_bit != FD_READ && m_bit != FD_ACCEPT)
        return;
    Entry* e = entryOf(m_fd);
    if (!e || e->session != m_session)
        return;
    e->readPosted = false;
    if (e->readSincePost)
        armRead(e);
    else
        e->reoffer->start(ReofferMs);
}

void onReadable(Entry* e)
{
    e->readNotifier->setEnabled(false);
    if (e->phase == Phase::Listening) {
        if (e->mask & FD_ACCEPT) {
            e->readPosted = true;
            e->readSincePost = false;
            post(e, FD_ACCEPT, 0);
        }
        return;
    }
    char c;
    const ssize_t n = ::recv(e->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0 || (n == 0 && e->datagram)) {
        if (e->mask & FD_READ) {
            e->readPosted = true;
            e->readSincePost = false;
            post(e, FD_READ, 0);
        }
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        e->readNotifier->setEnabled(true);
        return;
    }
    if (!e->closeReported) {
        e->closeReported = true;
        post(e, FD_CLOSE, n == 0 ? 0 : errnoToWsa(errno));
    }
}

void onWritable(Entry* e)
{
    e->writeNotifier->setEnabled(false);
    if (e->phase == Phase::Connecting) {
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(e->fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
            err = errno;
        e->phase = Phase::Connected;
        if (err != 0) {
            e->closeReported = true;
            post(e, FD_CONNECT, errnoToWsa(err));
            return;
        }
        post(e, FD_CONNECT, 0);
        post(e, FD_WRITE, 0);
        armRead(e);
        return;
    }
    if (e->writeWanted) {
        e->writeWanted = false;
        post(e, FD_WRITE, 0);
    }
}

// Listens for readiness as far as the mask and the phase allow.
void armRead(Entry* e)
{
    e->reoffer->stop();
    const bool wanted = e->mask != 0 && !e->readPosted && !e->closeReported &&
                        (e->phase == Phase::Connected || e->phase == Phase::Listening);
    e->readNotifier->setEnabled(wanted);
}

void armWrite(Entry* e)
{
    const bool wanted =
        e->mask != 0 && (e->phase == Phase::Connecting || (e->writeWanted && !e->closeReported));
    e->writeNotifier->setEnabled(wanted);
}

Entry* adopt(int fd, Phase phase, bool datagram)
{
    auto* e = new Entry;
    e->fd = fd;
    e->session = ++nextSession;
    e->phase = phase;
    e->datagram = datagram;
    e->readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    e->readNotifier->setEnabled(false);
    QObject::connect(e->readNotifier, &QSocketNotifier::activated, e->readNotifier,
                     [e] { onReadable(e); });
    e->writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write);
    e->writeNotifier->setEnabled(false);
    QObject::connect(e->writeNotifier, &QSocketNotifier::activated, e->writeNotifier,
                     [e] { onWritable(e); });
    e->reoffer = new QTimer;
    e->reoffer->setSingleShot(true);
    QObject::connect(e->reoffer, &QTimer::timeout, e->reoffer, [e] { armRead(e); });
    registry().insert(fd, e);
    return e;
}

// Forgets the descriptor without closing it.
void release(TSocket s)
{
    Entry* e = registry().take(s);
    if (!e)
        return;
    e->readNotifier->setEnabled(false);
    e->writeNotifier->setEnabled(false);
    delete e->readNotifier;
    delete e->writeNotifier;
    delete e->reoffer;
    delete e;
}

// Finishes a closed socket in the background: sends what was still queued,
// then half-closes and waits (bounded) for the peer to close, so that
// nothing the program sent is lost to a reset.
class Closer : public QObject
{
public:
    Closer(int fd, QByteArray pending) : m_fd(fd), m_pending(std::move(pending))
    {
        if (auto* app = QCoreApplication::instance())
            setParent(app);
        m_write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        m_read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        m_read->setEnabled(false);
        connect(m_write, &QSocketNotifier::activated, this, [this] { writeMore(); });
        connect(m_read, &QSocketNotifier::activated, this, [this] { drain(); });
        QTimer::singleShot(GracefulCloseMs, this, [this] { finish(); });
        writeMore();
    }
    ~Closer() override
    {
        m_write->setEnabled(false);
        m_read->setEnabled(false);
        if (m_fd >= 0)
            ::close(m_fd);
    }

private:
    void writeMore()
    {
        while (!m_pending.isEmpty()) {
            const ssize_t n =
                ::send(m_fd, m_pending.constData(), size_t(m_pending.size()), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    return;
                finish();
                return;
            }
            m_pending.remove(0, n);
        }
        m_write->setEnabled(false);
        ::shutdown(m_fd, SHUT_WR);
        m_read->setEnabled(true);
    }
    void drain()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return;
            finish();
            return;
        }
    }
    void finish()
    {
        m_write->setEnabled(false);
        m_read->setEnabled(false);
        deleteLater();
    }

    int m_fd;
    QByteArray m_pending;
    QSocketNotifier* m_write;
    QSocketNotifier* m_read;
};

// Name lookups: a worker thread resolves, the GUI thread delivers.
struct Lookup
{
    QPointer<HiddenWindow> window;
    quint32 msg = 0;
};

QHash<int, Lookup>& lookups()
{
    static QHash<int, Lookup> table;
    return table;
}

int nextLookup = 0;

void deliverLookup(int handle, int error, const QStringList& result)
{
    auto it = lookups().find(handle);
    if (it == lookups().end())
        return;
    const Lookup lookup = *it;
    lookups().erase(it);
    PostMessage(lookup.window, lookup.msg, quintptr(handle), WSAMAKESELECTREPLY(0, error),
                QVariant(result));
}

int gaiToWsa(int rc)
{
    switch (rc) {
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return WSANO_DATA;
#endif
    default:
        return WSAHOST_NOT_FOUND;
    }
}

int resolveName(const QByteArray& name, QList<quint32>* out)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int rc = ::getaddrinfo(name.constData(), nullptr, &hints, &res);
    if (rc != 0)
        return gaiToWsa(rc);
    for (addrinfo* p = res; p; p = p->ai_next) {
        const quint32 a = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
        if (!out->contains(a))
            out->append(a);
    }
    ::freeaddrinfo(res);
    return out->isEmpty() ? WSANO_DATA : 0;
}

int startLookup(HiddenWindow* window, quint32 msg, std::function<int(QStringList*)> work)
{
    if (!window || !QCoreApplication::instance()) {
        lastError = WSAEINVAL;
        return 0;
    }
    int handle = ++nextLookup;
    if (handle <= 0)
        handle = nextLookup = 1;
    lookups().insert(handle, {window, msg});
    QObject* app = QCoreApplication::instance();
    QThreadPool::globalInstance()->start([handle, app, work] {
        QStringList result;
        const int error = work(&result);
        QMetaObject::invokeMethod(
            app, [handle, error, result] { deliverLookup(handle, error, result); },
            Qt::QueuedConnection);
    });
    return handle;
}

} // namespace

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

void closeAfterSending(TSocket s, QByteArray pending)
{
    if (!entryOf(s))
        return;
    release(s);
    linger off{0, 0};
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    new Closer(s, std::move(pending));
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
    e->readSincePost = true;
    if (!e->readPosted)
        armRead(e);
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int fd =
        ::accept4(s, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return setErrno();
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

namespace {
void noteReceive(Entry* e)
{
    e->readSincePost = true;
    if (!e->readPosted)
        armRead(e);
}
} // namespace

int recv(TSocket s, char* buffer, int len, int flags)
{
    Entry* e = entryOf(s);
    if (!e)
        return setError(WSAENOTSOCK);
    const ssize_t n = ::recv(s, buffer, size_t(qMax(len, 0)), flags | MSG_DONTWAIT);
    const int err = errno;
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

int ioctlFionread(TSocket s, unsigned long* count)
{
    int n = 0;
    if (::ioctl(s, FIONREAD, &n) != 0)
        return setErrno();
    *count = (unsigned long)qMax(n, 0);
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
        e->reoffer->stop();
        e->readNotifier->setEnabled(false);
        e->writeNotifier->setEnabled(false);
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

int WSAAsyncGetHostByName(HiddenWindow* window, quint32 msg, const QByteArray& name)
{
    return startLookup(window, msg, [name](QStringList* result) {
        QList<quint32> addresses;
        const int error = resolveName(name, &addresses);
        for (quint32 a : addresses)
            result->append(QString::fromLatin1(inet_ntoa(a)));
        return error;
    });
}

int WSAAsyncGetHostByAddr(HiddenWindow* window, quint32 msg, quint32 address)
{
    return startLookup(window, msg, [address](QStringList* result) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = address;
        char host[NI_MAXHOST] = {};
        const int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host,
                                     nullptr, 0, NI_NAMEREQD);
        if (rc != 0)
            return gaiToWsa(rc);
        result->append(QString::fromLatin1(host));
        return 0;
    });
}

int WSACancelAsyncRequest(int handle)
{
    if (!lookups().remove(handle))
        return setError(WSAEINVAL);
    return 0;
}

bool gethostbyname(const QByteArray& name, QList<quint32>* addresses)
{
    const int error = resolveName(name, addresses);
    lastError = error;
    return error == 0;
}

} // namespace WinSock
