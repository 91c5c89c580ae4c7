#include "link/RequestCoalescer.h"

RequestCoalescer::RequestCoalescer(int spacingMs, QObject* parent) : QObject(parent), spacingMs_(spacingMs)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        // a run still going (one of its dialogs is open) takes the request along when it ends
        if (running_ > 0 || !pending_)
            return;
        lastRun_.start();  // a request before the run begins waits for the spacing again
        emit due();
    });
}

void RequestCoalescer::request()
{
    pending_ = true;
    schedule();
}

void RequestCoalescer::begin()
{
    pending_ = false;
    timer_.stop();
    lastRun_.start();
    ++running_;
}

void RequestCoalescer::end()
{
    --running_;
    if (pending_)
        schedule();
}

void RequestCoalescer::schedule()
{
    if (running_ > 0 || timer_.isActive())
        return;
    const qint64 since = lastRun_.isValid() ? lastRun_.elapsed() : spacingMs_;
    timer_.start(int(std::max<qint64>(0, spacingMs_ - since)));
}
