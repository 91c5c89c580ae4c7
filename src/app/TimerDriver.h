#pragma once

#include <QObject>
#include <QTimer>

#include <map>

class Control;
class MainWindow;

// Runs the window's timer controls on the event loop: a timer ticks while its control is enabled.
class TimerDriver : public QObject {
    Q_OBJECT
public:
    explicit TimerDriver(MainWindow& window, QObject* parent = nullptr);
    void start();  // timers run only once the window is loaded

private:
    void sync(Control* timer);
    std::map<Control*, QTimer*> timers_;
    bool started_ = false;
};
