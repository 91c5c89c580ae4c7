#include "platform/qt/QtTray.h"

int QtTrayIcon::codeFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger: return 514;
    case QSystemTrayIcon::DoubleClick: return 515;
    case QSystemTrayIcon::Context: return 517;
    default: return 0;
    }
}

bool QtTrayIcon::show(const QString& toolTip)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    if (!icon_) {
        icon_ = new QSystemTrayIcon(iconImage_, this);
        connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
            // the handler may hide the icon; let the click finish first
            const int code = codeFor(r);
            QMetaObject::invokeMethod(
                this,
                [this, code] {
                    if (handler_)
                        handler_(code);
                },
                Qt::QueuedConnection);
        });
    }
    icon_->setToolTip(toolTip);
    icon_->show();
    return true;
}

void QtTrayIcon::setToolTip(const QString& toolTip)
{
    if (icon_)
        icon_->setToolTip(toolTip);
}

void QtTrayIcon::hide()
{
    if (icon_)
        icon_->hide();
}
