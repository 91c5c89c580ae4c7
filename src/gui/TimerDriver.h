#pragma once

#include <QObject>
#include <QTimer>

#include <map>
#include <vector>

class Control;

// Runs the window's timer controls on the event loop: a timer ticks while its control is enabled.
class TimerDriver : public QObject {
    Q_OBJECT
public:
    explicit TimerDriver(const std::vector<Control*>& controls, QObject* parent = nullptr);
    void start();  // timers run only once the window is loaded

private:
    void sync(Control* timer);
    std::map<Control*, QTimer*> timers_;
    bool started_ = false;
};
