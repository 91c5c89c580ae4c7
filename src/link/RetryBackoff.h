#pragma once

#include "platform/LinkClock.h"

#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

// When a connection that failed is tried again: after 0.5 s, doubling up to 30 s, each wait
// spread by a random quarter either way so that many peers do not retry in step. A connection
// that held for a while starts the schedule afresh; one closed at once counts as failed.
class RetryBackoff : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstMs = 500;
    static constexpr int kMostMs = 30000;
    // a connection up at least this long was a success
    static constexpr int kHeldMs = 10000;

    explicit RetryBackoff(LinkClock clock, QObject* parent = nullptr);

    // May a connection be tried now? Not while a wait after a failure runs.
    bool mayTry() const { return !timer_.isActive(); }
    // The attempt failed: the next waits longer. retry() follows when the wait is over.
    void failed();
    void connected();
    // The connection closed: a failure unless it held.
    void closed();
    void reset();
    // the wait before the next attempt, for a given number of failures so far, jitter included
    int delayMs(int failures);
    void seed(quint32 seed) { random_.seed(seed); }
    int failures() const { return failures_; }

signals:
    void retry();

private:
    LinkClock clock_;
    QTimer timer_;
    QRandomGenerator random_;
    int failures_ = 0;
    qint64 connectedAt_ = -1;
};
