#include "platform/WinSock.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QRunnable>
#include <QSet>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <utility>

namespace WinSock {

namespace {

// Data left unread by the program is offered again after this pause.
constexpr int ReofferMs = 25;
// How long a background close waits for the peer to finish.
constexpr int GracefulCloseMs = 10000;

thread_local int lastError = 0;

// Accepting when descriptors have run out: the connection stays pending and
// FD_ACCEPT comes again after a pause that grows up to a second.
constexpr int FirstAcceptPauseMs = 50;
constexpr int LongestAcceptPauseMs = 1000;

// Set once the application object has begun to go away: from then on the
// layer creates no notifier and closes at once.
bool applicationGone = false;
bool quitRequested = false;

void finishEverything();

// Hooks the layer into the application's lifetime once there is one.
void watchApplication()
{
    static QCoreApplication* watched = nullptr;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || app == watched)
        return;
    watched = app;
    applicationGone = false;
    quitRequested = false;
    // Runs while the application object is destroyed, before its event
    // dispatcher goes.
    qAddPostRoutine(finishEverything);
    // quit() reaches the application as an event.
    class QuitWatch : public QObject
    {
    public:
        using QObject::QObject;
        bool eventFilter(QObject* object, QEvent* event) override
        {
            if (object == QCoreApplication::instance() && event->type() == QEvent::Quit)
                quitRequested = true;
            return false;
        }
    };
    app->installEventFilter(new QuitWatch(app));
}

bool haveEventLoop()
{
    watchApplication();
    return !applicationGone && QCoreApplication::instance() && !QCoreApplication::closingDown();
}

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
    // While an FD_READ is handled: the bytes known to wait (what FIONREAD
    // said, less what was received since; 0 after a short read; -1: not
    // known).
    int knownWaiting = -1;
    // A receive met the end of the stream (0 bytes), or an error: FD_CLOSE
    // follows the FD_READ being handled.
    bool endSeen = false;
    int endError = 0;
    // The pause before FD_ACCEPT is offered again after accept() found no
    // descriptor free (0: none).
    int acceptPauseMs = 0;
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

void setReading(Entry* e, bool on)
{
    if (e->readNotifier)
        e->readNotifier->setEnabled(on);
}

void setWriting(Entry* e, bool on)
{
    if (e->writeNotifier)
        e->writeNotifier->setEnabled(on);
}

void reportClose(Entry* e, int error)
{
    setReading(e, false);
    if (e->closeReported)
        return;
    e->closeReported = true;
    post(e, FD_CLOSE, error);
}

// FD_READ or FD_ACCEPT has been handled: readiness is watched again when the
// program took something; otherwise what waits is offered again after a
// pause (for a listener out of descriptors, after its own pause). A receive
// that met the end of the stream brings FD_CLOSE.
void readHandled(int fd, quint64 session)
{
    Entry* e = entryOf(fd);
    if (!e || e->session != session)
        return;
    e->readPosted = false;
    e->knownWaiting = -1;
    if (e->endSeen) {
        reportClose(e, e->endError);
        return;
    }
    if (e->readSincePost) {
        armRead(e);
        return;
    }
    if (e->phase != Phase::Listening && !e->datagram) {
        // Nothing was taken: the end of the stream (which a receive would
        // have told), or data left for later.
        char c;
        const ssize_t n = ::recv(e->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            reportClose(e, n == 0 ? 0 : errnoToWsa(errno));
            return;
        }
        if (n < 0) {
            armRead(e);
            return;
        }
    }
    setReading(e, false);
    if (e->reoffer)
        e->reoffer->start(e->acceptPauseMs > 0 ? e->acceptPauseMs : ReofferMs);
}

void SelectEvent::afterDelivery()
{
    if (m_bit == FD_READ || m_bit == FD_ACCEPT)
        readHandled(m_fd, m_session);
}

// Hands FD_READ to the window. With nothing else queued for it, at once: the
// same order as through the queue, without waking the event loop for it;
// readiness stays watched meanwhile.
void deliverRead(Entry* e, int waiting)
{
    e->readPosted = true;
    e->readSincePost = false;
    e->knownWaiting = waiting;
    HiddenWindow* window = e->window;
    if (window->hasPendingMessages()) {
        setReading(e, false);
        post(e, FD_READ, 0);
        return;
    }
    const int fd = e->fd;
    const quint64 session = e->session;
    TMessage m{e->msg, quintptr(fd), WSAMAKESELECTREPLY(FD_READ, 0), {}};
    try {
        window->sendMessage(m);
    } catch (const std::exception& ex) {
        qWarning("Uncaught exception in a window procedure: %s", ex.what());
    } catch (...) {
        qWarning("Uncaught exception in a window procedure");
    }
    readHandled(fd, session);
}

void onReadable(Entry* e)
{
    if (e->readPosted) {
        // The last FD_READ is still being handled (a nested event loop):
        // no second one meanwhile.
        setReading(e, false);
        return;
    }
    if (e->phase == Phase::Listening) {
        setReading(e, false);
        if (e->mask & FD_ACCEPT) {
            e->readPosted = true;
            e->readSincePost = false;
            post(e, FD_ACCEPT, 0);
        }
        return;
    }
    if (e->endSeen) {
        reportClose(e, e->endError);
        return;
    }
    if (!e->datagram) {
        // FIONREAD tells data from the end of the stream, and what it says
        // lets the receive loop go on without asking again.
        int waiting = 0;
        if (::ioctl(e->fd, FIONREAD, &waiting) == 0 && waiting > 0) {
            if (e->window && (e->mask & FD_READ))
                deliverRead(e, waiting);
            else
                setReading(e, false);
            return;
        }
    }
    char c;
    const ssize_t n = ::recv(e->fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0 || (n == 0 && e->datagram)) {
        if (e->window && (e->mask & FD_READ))
            deliverRead(e, -1);
        else
            setReading(e, false);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n == 0) {
        reportClose(e, 0);
        return;
    }
    reportClose(e, errnoToWsa(errno));
}

void onWritable(Entry* e)
{
    setWriting(e, false);
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
    if (e->reoffer)
        e->reoffer->stop();
    const bool wanted = e->mask != 0 && !e->readPosted && !e->closeReported &&
                        (e->phase == Phase::Connected || e->phase == Phase::Listening);
    setReading(e, wanted);
}

void armWrite(Entry* e)
{
    const bool wanted =
        e->mask != 0 && (e->phase == Phase::Connecting || (e->writeWanted && !e->closeReported));
    setWriting(e, wanted);
}

void dropNotifiers(Entry* e)
{
    setReading(e, false);
    setWriting(e, false);
    delete std::exchange(e->readNotifier, nullptr);
    delete std::exchange(e->writeNotifier, nullptr);
    delete std::exchange(e->reoffer, nullptr);
}

Entry* adopt(int fd, Phase phase, bool datagram)
{
    auto* e = new Entry;
    e->fd = fd;
    e->session = ++nextSession;
    e->phase = phase;
    e->datagram = datagram;
    registry().insert(fd, e);
    // Without an event loop (the application is gone) a socket gets no
    // events at all.
    if (!haveEventLoop())
        return e;
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
    return e;
}

// Forgets the descriptor without closing it.
void release(TSocket s)
{
    Entry* e = registry().take(s);
    if (!e)
        return;
    dropNotifiers(e);
    delete e;
}

// Sends what it can of `pending` without waiting, then closes: the kernel
// still delivers what it took.
void closeNow(int fd, const QByteArray& pending)
{
    qsizetype done = 0;
    while (done < pending.size()) {
        const ssize_t n = ::send(fd, pending.constData() + done, size_t(pending.size() - done),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            break;
        done += n;
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

class Closer;
QSet<Closer*>& closers()
{
    static QSet<Closer*> set;
    return set;
}

// Finishes a closed socket in the background: sends what was still queued,
// then half-closes and waits (bounded) for the peer to close, so that
// nothing the program sent is lost to a reset. Every closer ends with the
// socket layer: what is left when the application goes away is closed then.
class Closer : public QObject
{
public:
    Closer(int fd, QByteArray pending) : fd_(fd), pending_(std::move(pending))
    {
        closers().insert(this);
        write_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        read_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        read_->setEnabled(false);
        connect(write_, &QSocketNotifier::activated, this, [this] { writeMore(); });
        connect(read_, &QSocketNotifier::activated, this, [this] { drain(); });
        QTimer::singleShot(GracefulCloseMs, this, [this] { finish(); });
        writeMore();
    }
    ~Closer() override
    {
        closers().remove(this);
        write_->setEnabled(false);
        read_->setEnabled(false);
        if (fd_ >= 0)
            closeNow(fd_, pending_);
    }

private:
    void writeMore()
    {
        while (!pending_.isEmpty()) {
            const ssize_t n = ::send(fd_, pending_.constData(), size_t(pending_.size()),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    return;
                pending_.clear();
                finish();
                return;
            }
            pending_.remove(0, n);
        }
        write_->setEnabled(false);
        ::shutdown(fd_, SHUT_WR);
        read_->setEnabled(true);
    }
    void drain()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
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
        write_->setEnabled(false);
        read_->setEnabled(false);
        deleteLater();
    }

    int fd_;
    QByteArray pending_;
    QSocketNotifier* write_;
    QSocketNotifier* read_;
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

// The object results come home through; it lives on the GUI thread as long
// as the application does, and a worker finding it gone drops its result.
QMutex sinkLock;
QObject* lookupSink = nullptr;

int startLookup(HiddenWindow* window, quint32 msg, std::function<int(QStringList*)> work)
{
    if (!window || !haveEventLoop()) {
        lastError = WSAEINVAL;
        return 0;
    }
    {
        QMutexLocker lock(&sinkLock);
        if (!lookupSink)
            lookupSink = new QObject;
    }
    int handle = ++nextLookup;
    if (handle <= 0)
        handle = nextLookup = 1;
    lookups().insert(handle, {window, msg});
    QThreadPool::globalInstance()->start([handle, work] {
        QStringList result;
        const int error = work(&result);
        QMutexLocker lock(&sinkLock);
        if (lookupSink)
            QMetaObject::invokeMethod(
                lookupSink, [handle, error, result] { deliverLookup(handle, error, result); },
                Qt::QueuedConnection);
    });
    return handle;
}

// The application object is going away: background closers finish now,
// sockets still open lose their notifiers, lookups still running deliver
// nothing.
void finishEverything()
{
    applicationGone = true;
    while (!closers().isEmpty())
        delete *closers().begin();
    for (Entry* e : std::as_const(registry()))
        dropNotifiers(e);
    lookups().clear();
    QMutexLocker lock(&sinkLock);
    delete std::exchange(lookupSink, nullptr);
}

} // namespace

int WSAGetLastError()
{
    return lastError;
}

bool QuitRequested()
{
    watchApplication();
    return quitRequested;
}

void WatchApplication()
{
    watchApplication();
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
    if (haveEventLoop())
        new Closer(s, std::move(pending));
    else
        closeNow(s, pending);
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
    if (!(flags & MSG_PEEK)) {
        // A short read leaves nothing behind; the end of the stream or an
        // error ends the session once the handler returns.
        if (n < len)
            e->knownWaiting = 0;
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
