#pragma once

#include "platform/LinkClock.h"

// What one peer may ask of us: a few messages a second, taken from a bucket that refills over
// time. Messages beyond it are dropped; a peer that keeps on sending into an empty bucket is to
// be disconnected.
class PeerBudget {
public:
    static constexpr int kPerSecond = 10;
    // dropped messages, without a quiet second between them, before the peer goes
    static constexpr int kMaxDropped = 20;

    enum class Verdict { Take, Drop, Disconnect };

    explicit PeerBudget(LinkClock clock) : clock_(std::move(clock)) {}
    Verdict charge();
    void reset();

private:
    LinkClock clock_;
    double tokens_ = kPerSecond;
    qint64 last_ = -1;
    int dropped_ = 0;
};
