#include "desktop/SystemTray.h"

void TrayHost::attach(ITrayIcon* icon, IWindowHost* window)
{
    icon_ = icon;
    window_ = window;
    if (icon_)
        icon_->setMouseHandler([this](int code) { mouseEvent(code); });
}

QString TrayHost::fitToolTip(const QString& text)
{
    return text.left(kToolTipLength);
}

void TrayHost::AddTrayIcon(const TwipRect& windowRect, const QString& toolTip, bool openMenuOnRightClick)
{
    menuFlag_ = openMenuOnRightClick;
    recorded_ = windowRect;
    toolTip_ = fitToolTip(toolTip);
    if (icon_)
        icon_->show(toolTip_);  // no notification area: the window stays minimised in the task bar
}

void TrayHost::RemoveTrayIcon()
{
    if (icon_ && icon_->isShown())
        icon_->hide();
}

void TrayHost::ChangeToolTipText(const QString& toolTip)
{
    qsizetype i = 0;
    while (i < toolTip.size() && toolTip.at(i) == u' ')
        ++i;
    toolTip_ = fitToolTip(toolTip.mid(i));
    if (icon_ && icon_->isShown())
        icon_->setToolTip(toolTip_);
}

void TrayHost::mouseEvent(int code)
{
    if (code == kLeftUp || code == kLeftDouble)
        restoreFromTray();
}

void TrayHost::restoreFromTray()
{
    if (window_) {
        window_->processPendingEvents();
        window_->restoreAndActivate();
    }
    RemoveTrayIcon();
}
