#include "platform/PeerBudget.h"

#include <QElapsedTimer>

#include <algorithm>

LinkClock steadyLinkClock()
{
    return [] {
        static const QElapsedTimer since = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }();
        return since.elapsed();
    };
}

PeerBudget::Verdict PeerBudget::charge()
{
    const qint64 now = clock_();
    if (last_ >= 0)
        tokens_ = std::min<double>(kPerSecond, tokens_ + double(now - last_) * kPerSecond / 1000.0);
    last_ = now;
    // a full bucket means the peer kept quiet for a second: what it overdid before is forgiven
    if (tokens_ >= kPerSecond)
        dropped_ = 0;
    if (tokens_ >= 1) {
        tokens_ -= 1;
        return Verdict::Take;
    }
    return ++dropped_ > kMaxDropped ? Verdict::Disconnect : Verdict::Drop;
}

void PeerBudget::reset()
{
    tokens_ = kPerSecond;
    last_ = -1;
    dropped_ = 0;
}
