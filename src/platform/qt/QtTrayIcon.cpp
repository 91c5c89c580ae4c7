#include "platform/qt/QtTrayIcon.h"

namespace {

TrayActivation activationOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Context: return TrayActivation::Context;
    case QSystemTrayIcon::DoubleClick: return TrayActivation::DoubleClick;
    case QSystemTrayIcon::Trigger: return TrayActivation::Trigger;
    case QSystemTrayIcon::MiddleClick: return TrayActivation::MiddleClick;
    case QSystemTrayIcon::Unknown: break;
    }
    return TrayActivation::Unknown;
}

}  // namespace

bool QtTrayIcon::show(const QString& toolTip)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    if (!icon_) {
        icon_ = new QSystemTrayIcon(iconImage_, this);
        // what is done for a click may hide the icon: let the click finish first
        connect(
            icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) { emit activated(activationOf(r)); }, Qt::QueuedConnection);
    }
    icon_->setToolTip(toolTip);
    icon_->show();
    return true;
}

void QtTrayIcon::hide()
{
    if (icon_)
        icon_->hide();
}
