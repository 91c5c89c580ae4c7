#include "gui/TimerDriver.h"

#include "model/Control.h"

TimerDriver::TimerDriver(const std::vector<Control*>& controls, QObject* parent) : QObject(parent)
{
    for (Control* c : controls) {
        if (c->kind() != ControlKind::Timer)
            continue;
        auto* t = new QTimer(this);
        timers_[c] = t;
        connect(t, &QTimer::timeout, c, [c] { c->fire(ControlEvent::Timer); });
        connect(c, &Control::changed, this, [this](Control* ctl, Control::Property) { sync(ctl); });
    }
}

void TimerDriver::start()
{
    started_ = true;
    for (auto& [control, timer] : timers_)
        sync(control);
}

void TimerDriver::sync(Control* control)
{
    QTimer* t = timers_.at(control);
    const bool run = started_ && control->enabled() && control->interval() > 0;
    if (run && (!t->isActive() || t->interval() != control->interval()))
        t->start(control->interval());
    else if (!run)
        t->stop();
}
