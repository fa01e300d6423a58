#include "net/SyncWSocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <climits>
#include <memory>

using namespace WinSock;
qint64 TCustomSyncWSocket::TimeoutMs(int Timeout)
{
    if (Timeout == 0)
        return 60000;
    if (Timeout < 0)
        return -qint64(Timeout);
    return qint64(Timeout) * 1000;
}

int TCustomSyncWSocket::WaitUntilDone(bool& Flag)
{
    QPointer<TCustomSyncWSocket> self(this);
    const qint64 timeout = timeout_;
    QDeadlineTimer deadline(timeout > 0 ? QDeadlineTimer(timeout) : QDeadlineTimer::Forever);
    // Wakes the loop at the deadline.
    QTimer wake;
    if (timeout > 0) {
        wake.setSingleShot(true);
        wake.start(int(qMin<qint64>(timeout, INT_MAX)));
    }
    for (;;) {
        // The flag lives in the socket: a socket freed meanwhile ends the
        // wait without touching it.
        if (!self)
            return 12001;
        if (Flag)
            return 0;
        if (timeout > 0 && deadline.hasExpired())
            return 12001;
        // The application is closing down, or has been asked to quit.
        if (QCoreApplication::closingDown() || !QCoreApplication::instance())
            return 12001;
        if (WinSock::QuitRequested()) {
            terminated_ = true;
            return 12001;
        }
        if (State() == wsClosed && HSocket() == INVALID_SOCKET)
            return 12001;
        QCoreApplication::processEvents(
            QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
            int(qMin<qint64>(qMax<qint64>(deadline.remainingTime(), 1), 100)));
    }
}

int TCustomSyncWSocket::CallAndWait(bool& Flag, const std::function<void()>& Proc)
{
    Flag = false;
    if (Proc)
        Proc();
    return WaitUntilDone(Flag);
}

void TCustomSyncWSocket::ReadLine(int Timeout, QByteArray& Line)
{
    Line.clear();
    if (State() != wsConnected) {
        RaiseError(QStringLiteral("ReadLine failed: not connected"));
        return;
    }
    timeout_ = TimeoutMs(Timeout);
    QPointer<TCustomSyncWSocket> self(this);
    lineReceived_ = false;
    TDataAvailable saved = OnDataAvailable;
    const bool savedMode = lineMode_;
    // Line is a caller's variable: the handler writes through a guard that
    // is dropped when ReadLine returns.
    auto target = std::make_shared<QByteArray*>(&Line);
    OnDataAvailable = [this, target](QObject*, quint16) {
        if (!*target)
            return;
        const int length = lines_.LineLength();
        QByteArray line(length, Qt::Uninitialized);
        const int n = length > 0 ? Receive(line.data(), length) : 0;
        if (n <= 0)
            line.clear();
        else
            line.truncate(n);
        **target = line;
    };
    lineMode_ = true;
    int result = 12001;
    try {
        result = CallAndWait(lineReceived_, {});
    } catch (...) {
        *target = nullptr;
        if (self) {
            OnDataAvailable = saved;
            lineMode_ = savedMode;
            timeout_ = 0;
        }
        throw;
    }
    *target = nullptr;
    if (!self)
        return;
    OnDataAvailable = saved;
    lineMode_ = savedMode;
    timeout_ = 0;
    if (result == 12001 && !lines_.IsEmpty()) {
        Line = lines_.TakeAll();
    }
}
