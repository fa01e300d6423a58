#pragma once

// Plain POSIX ends for loopback tests: a listener on 127.0.0.1 and blocking
// reads and writes with time limits, so that a test can play the other side
// of a session without the library under test.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Loopback {

inline sockaddr_in address(quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

class Listener
{
public:
    Listener()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a = address(0);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 16);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    ~Listener()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    quint16 port() const { return port_; }
    QString portText() const { return QString::number(port_); }
    // The next connection, or -1 after timeoutMs.
    int accept(int timeoutMs = 5000)
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return -1;
        return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    }

private:
    int fd_ = -1;
    quint16 port_ = 0;
};

inline bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Reads until `count` bytes, end of stream or the time limit.
inline QByteArray read(int fd, qsizetype count, int timeoutMs = 5000)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    char buffer[65536];
    while (out.size() < count && !deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(qMax<qint64>(deadline.remainingTime(), 0))) <= 0)
            break;
        const ssize_t n =
            ::recv(fd, buffer, size_t(qMin<qsizetype>(sizeof buffer, count - out.size())), 0);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

// Reads until the peer closes (or the time limit), pumping no events.
inline QByteArray readToEnd(int fd, int timeoutMs = 5000)
{
    return read(fd, qsizetype(1) << 40, timeoutMs);
}

// Everything available right now, without waiting.
inline QByteArray readAvailable(int fd)
{
    QByteArray out;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    return out;
}

// Like read(), but keeps handling the program's events meanwhile, for peers
// of sockets that live in this thread.
inline QByteArray readPumping(int fd, qsizetype count, int timeoutMs = 5000)
{
    QByteArray out;
    QDeadlineTimer deadline(timeoutMs);
    char buffer[65536];
    while (out.size() < count && !deadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0) {
            const ssize_t n =
                ::recv(fd, buffer, size_t(qMin<qsizetype>(sizeof buffer, count - out.size())), 0);
            if (n <= 0)
                break;
            out.append(buffer, n);
            continue;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ::poll(&p, 1, 5);
    }
    return out;
}

inline QByteArray readToEndPumping(int fd, int timeoutMs = 5000)
{
    return readPumping(fd, qsizetype(1) << 40, timeoutMs);
}

// Sends a reset instead of an orderly close.
inline void reset(int fd)
{
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

} // namespace Loopback
