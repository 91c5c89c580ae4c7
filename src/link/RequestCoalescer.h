#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

// Turns any number of requests for a run into at most one run per spacing, started from the
// event loop after the event that asked has returned, never inside it. A run reads the state
// as it is then, so the last request wins. Runs that start otherwise (a click) say so with
// begin() and end(): they serve what was pending and count for the spacing.
class RequestCoalescer : public QObject {
    Q_OBJECT
public:
    RequestCoalescer(int spacingMs, std::function<void()> run, QObject* parent = nullptr);

    void request();
    void begin();
    void end();
    bool pending() const { return pending_; }

private:
    void schedule();

    std::function<void()> run_;
    int spacingMs_;
    QTimer timer_;
    QElapsedTimer lastRun_;
    int running_ = 0;
    bool pending_ = false;
};
