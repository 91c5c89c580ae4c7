#pragma once

#include <QObject>

#include <functional>

class QGuiApplication;
class QSocketNotifier;

// Every way the world outside the window asks the program to end: SIGTERM, SIGHUP and SIGINT
// (a service manager, a closed terminal, Ctrl+C), the desktop session ending, and the
// application being told to quit. Each becomes one call of `end` on the event loop, never inside
// a signal handler: the handler only writes the signal's number into a socket pair, which the
// loop reads. `end` runs again for a later request and must then do nothing.
class EndRequests : public QObject {
    Q_OBJECT
public:
    // Catches the signals from here on; what arrives before the loop runs waits in the socket
    // pair. A signal that was ignored when the program started (nohup) stays ignored.
    EndRequests(QGuiApplication& app, std::function<void()> end, QObject* parent = nullptr);
    ~EndRequests() override;

private:
    void readSignals();

    std::function<void()> end_;
    QSocketNotifier* notifier_ = nullptr;
};
