#include "chat/RateLimiter.h"

#include "chat/IrcText.h"

namespace Zentrel {

TRateLimiter::TRateLimiter(int perKey, int total, qint64 windowMs)
    : perKey_(qMax(1, perKey)), total_(qMax(1, total)), windowMs_(qMax<qint64>(1, windowMs))
{}

void TRateLimiter::expire(qint64 nowMs)
{
    while (!events_.empty() && nowMs - events_.front().at >= windowMs_) {
        auto it = perKeyCount_.find(events_.front().key);
        if (it != perKeyCount_.end() && --it.value() <= 0)
            perKeyCount_.erase(it);
        events_.pop_front();
    }
}

TRateLimiter::Verdict TRateLimiter::Check(QByteArrayView keyIn, qint64 nowMs)
{
    // A clock that went back starts the window afresh.
    if (!events_.empty() && nowMs < events_.back().at) {
        events_.clear();
        perKeyCount_.clear();
    }
    expire(nowMs);
    const QByteArray key = AsciiUpper(keyIn);
    if (perKeyCount_.value(key) >= perKey_)
        return Verdict::KeyLimit;
    if (int(events_.size()) >= total_)
        return Verdict::TotalLimit;
    events_.push_back({nowMs, key});
    ++perKeyCount_[key];
    return Verdict::Allowed;
}

QByteArray TRateLimiter::LimitText(Verdict verdict) const
{
    const bool key = verdict == Verdict::KeyLimit;
    return "at most " + QByteArray::number(key ? perKey_ : total_) +
           (key ? " per nick" : " in all") + " in " + QByteArray::number(windowMs_ / 1000) + " s";
}

TRateLimiter CtcpReplyLimiter()
{
    // Two replies per nick and five in all per ten seconds stay well below
    // the flood limits of common servers.
    return TRateLimiter(2, 5, 10000);
}

TRateLimiter DccOfferLimiter()
{
    // Each offer opens a window: a few files in a row from one nick pass,
    // a flood does not.
    return TRateLimiter(4, 6, 30000);
}

} // namespace Zentrel
