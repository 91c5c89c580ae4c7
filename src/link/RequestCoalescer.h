#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Turns any number of requests for a run into at most one run per spacing, asked for by due()
// from the event loop after the event that requested has returned, never inside it. A run reads
// the state as it is then, so the last request wins. Every run, asked for or not (a click),
// holds a Run while it goes: it serves what was pending and counts for the spacing.
class RequestCoalescer : public QObject {
    Q_OBJECT
public:
    RequestCoalescer(int spacingMs, QObject* parent = nullptr);

    void request();

    class Run {
    public:
        explicit Run(RequestCoalescer& c) : c_(c) { c_.begin(); }
        ~Run() { c_.end(); }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

    private:
        RequestCoalescer& c_;
    };

signals:
    void due();

private:
    void begin();
    void end();
    void schedule();

    int spacingMs_;
    QTimer timer_;
    QElapsedTimer lastRun_;
    int running_ = 0;
    bool pending_ = false;
};
