// The WinSock layer's events: each socket's notifiers, the rules FD_READ,
// FD_WRITE, FD_CONNECT, FD_ACCEPT and FD_CLOSE follow, and the layer's ties
// to the application's lifetime.
#include "platform/WinSockLayer_p.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <utility>

namespace WinSock {
namespace Layer {

namespace {

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

} // namespace

bool haveEventLoop()
{
    watchApplication();
    return !applicationGone && QCoreApplication::instance() && !QCoreApplication::closingDown();
}

namespace {

quint64 nextSession = 0;

QHash<int, Entry*>& registry()
{
    static QHash<int, Entry*> table;
    return table;
}

class SelectEvent : public MessageEvent
{
public:
    SelectEvent(TMessage m, int fd, quint64 session, int bit)
        : MessageEvent(std::move(m)), fd_(fd), session_(session), bit_(bit)
    {}
    bool stillValid() const override
    {
        Entry* e = entryOf(fd_);
        return e && e->session == session_;
    }
    void afterDelivery() override;

private:
    int fd_;
    quint64 session_;
    int bit_;
};

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
    if (bit_ == FD_READ || bit_ == FD_ACCEPT)
        readHandled(fd_, session_);
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

void dropNotifiers(Entry* e)
{
    setReading(e, false);
    setWriting(e, false);
    delete std::exchange(e->readNotifier, nullptr);
    delete std::exchange(e->writeNotifier, nullptr);
    delete std::exchange(e->reoffer, nullptr);
}

// The application object is going away: background closers finish now,
// sockets still open lose their notifiers, lookups still running deliver
// nothing.
void finishEverything()
{
    applicationGone = true;
    finishClosers();
    for (Entry* e : std::as_const(registry()))
        dropNotifiers(e);
    finishLookups();
}

} // namespace

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

Entry* adopt(int fd, Phase phase, bool datagram)
{
    auto* e = new Entry;
    e->fd = fd;
    e->session = ++nextSession;
    e->phase = phase;
    e->datagram = datagram;
    if (!datagram) {
        const int on = 1;
        e->inq = ::setsockopt(fd, IPPROTO_TCP, TCP_INQ, &on, sizeof on) == 0;
    }
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

void release(TSocket s)
{
    Entry* e = registry().take(s);
    if (!e)
        return;
    dropNotifiers(e);
    delete e;
}

Entry* entryOf(TSocket s)
{
    return registry().value(s, nullptr);
}

void noteReceive(Entry* e)
{
    e->readSincePost = true;
    if (!e->readPosted)
        armRead(e);
}

} // namespace Layer

bool QuitRequested()
{
    Layer::watchApplication();
    return Layer::quitRequested;
}

void WatchApplication()
{
    Layer::watchApplication();
}

} // namespace WinSock
