#include "platform/qt/WindowMover.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>

WindowMover::WindowMover(QWidget& window) : widget_(&window)
{
    if (qApp)
        qApp->installEventFilter(this);
}

WindowMover::~WindowMover()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void WindowMover::arm()
{
    if (!widget_ || !pressed_)
        return;
    armed_ = true;
    following_ = false;
    origin_ = pressAt_;
    windowAt_ = widget_->pos();
}

bool WindowMover::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        pressAt_ = e->globalPosition().toPoint();
        pressed_ = true;
        break;
    }
    case QEvent::MouseMove: {
        if (!armed_ || !watched->isWidgetType())
            break;
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->buttons() == Qt::NoButton) {
            armed_ = following_ = false;
            break;
        }
        const QPoint now = e->globalPosition().toPoint();
        if (!following_) {
            if ((now - origin_).manhattanLength() < QApplication::startDragDistance())
                break;
            QWindow* window = widget_ ? widget_->windowHandle() : nullptr;
            if (window && window->startSystemMove()) {
                armed_ = false;  // the window system has the pointer now
                return true;
            }
            following_ = true;
        }
        if (widget_)
            widget_->move(windowAt_ + (now - origin_));
        return true;  // the control below must not take this as a drag of its own
    }
    case QEvent::MouseButtonRelease:
        pressed_ = false;
        armed_ = following_ = false;
        break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
