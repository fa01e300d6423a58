#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <deque>

// Allows at most `perKey` events per key and `total` events in all within a
// sliding window of `windowMs` milliseconds. Only allowed events are kept,
// so memory stays bounded by `total` whatever the callers send. Keys compare
// without regard to (ASCII) case: they are nicks.
namespace Zentrel {

class TRateLimiter
{
public:
    TRateLimiter(int perKey, int total, qint64 windowMs);

    enum class Verdict { Allowed, KeyLimit, TotalLimit };
    // Records the event when it is allowed. `nowMs` is any monotonic clock.
    Verdict Check(QByteArrayView key, qint64 nowMs);
    bool Allow(QByteArrayView key, qint64 nowMs) { return Check(key, nowMs) == Verdict::Allowed; }

    // "at most N per nick in S s" (or "in all") for a refused event.
    QByteArray LimitText(Verdict verdict) const;

    int PerKey() const { return perKey_; }
    int Total() const { return total_; }
    qint64 WindowMs() const { return windowMs_; }
    // Events held now (for tests of the bound).
    int Held() const { return int(events_.size()); }

private:
    void expire(qint64 nowMs);

    int perKey_;
    int total_;
    qint64 windowMs_;
    struct Event
    {
        qint64 at;
        QByteArray key;
    };
    std::deque<Event> events_;
    QHash<QByteArray, int> perKeyCount_;
};

// The limits the server window uses: CTCP replies (a request flood must not
// make us flood the server), and DCC offers (each one opens a window).
TRateLimiter CtcpReplyLimiter();
TRateLimiter DccOfferLimiter();

} // namespace Zentrel
