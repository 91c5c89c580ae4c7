#include "link/RetryBackoff.h"

#include <algorithm>

RetryBackoff::RetryBackoff(LinkClock clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)), random_(QRandomGenerator::global()->generate())
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &RetryBackoff::retry);
}

int RetryBackoff::delayMs(int failures)
{
    const int shift = std::clamp(failures - 1, 0, 16);
    const qint64 base = std::min<qint64>(qint64(kFirstMs) << shift, kMostMs);
    // three quarters to five quarters of the wait: on average the wait itself
    return int(base * 3 / 4 + qint64(random_.bounded(quint32(base / 2 + 1))));
}

void RetryBackoff::failed()
{
    connectedAt_ = -1;
    ++failures_;
    timer_.start(delayMs(failures_));
}

void RetryBackoff::connected()
{
    connectedAt_ = clock_();
}

void RetryBackoff::closed()
{
    const bool held = connectedAt_ >= 0 && clock_() - connectedAt_ >= kHeldMs;
    if (held)
        failures_ = 0;
    failed();
}

void RetryBackoff::reset()
{
    timer_.stop();
    failures_ = 0;
    connectedAt_ = -1;
}
