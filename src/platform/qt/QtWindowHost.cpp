#include "platform/qt/QtWindowHost.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>

QtWindowHost::QtWindowHost(QWidget& window) : widget_(&window), mover_(window)
{
}

void QtWindowHost::minimize()
{
    if (widget_)
        widget_->showMinimized();
}

void QtWindowHost::restoreAndActivate()
{
    if (!widget_)
        return;
    if (widget_->isMinimized() || !widget_->isVisible())
        widget_->showNormal();
    widget_->raise();
    widget_->activateWindow();
}

bool QtWindowHost::isMinimized() const
{
    return widget_ && widget_->isMinimized();
}

bool QtWindowHost::isMaximized() const
{
    return widget_ && widget_->isMaximized();
}

void QtWindowHost::setTopmost(bool on)
{
    if (!widget_)
        return;
    Qt::WindowFlags flags = widget_->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (QWindow* window = widget_->windowHandle()) {
        // a window that exists already changes its stacking in place, without being hidden
        widget_->overrideWindowFlags(flags);
        window->setFlags(flags);
        return;
    }
    widget_->setWindowFlags(flags);
}

bool QtWindowHost::canStayOnTop() const
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void QtWindowHost::startSystemMove()
{
    mover_.arm();
}

void QtWindowHost::quit()
{
    if (widget_)
        widget_->hide();
    QCoreApplication::exit(0);
}
