// Background closers: a socket closed with bytes still queued is finished
// off the caller's road, and ends with the socket layer at the latest.
#include "platform/WinSockLayer_p.h"

#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace WinSock {
namespace Layer {

// Sends what it can without waiting, then closes: the kernel still delivers
// what it took.
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

namespace {

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

} // namespace

void finishClosers()
{
    while (!closers().isEmpty())
        delete *closers().begin();
}

} // namespace Layer

using namespace Layer;

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

} // namespace WinSock
