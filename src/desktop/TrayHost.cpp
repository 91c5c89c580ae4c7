#include "desktop/TrayHost.h"

#include "platform/IEventPump.h"
#include "platform/IWindowHost.h"

TrayHost::TrayHost(ITrayIcon& icon, IWindowHost& window, IEventPump& events, QObject* parent)
    : QObject(parent), icon_(icon), window_(window), events_(events)
{
    connect(&icon_, &ITrayIcon::activated, this, &TrayHost::activated);
}

void TrayHost::AddTrayIcon(const QString& toolTip)
{
    icon_.show(toolTip.left(kToolTipLength));
}

void TrayHost::RemoveTrayIcon()
{
    if (icon_.isShown())
        icon_.hide();
}

void TrayHost::activated(TrayActivation reason)
{
    // a left click; no menu is ever shown
    if (reason != TrayActivation::Trigger && reason != TrayActivation::DoubleClick)
        return;
    events_.processPendingEvents();
    window_.restoreAndActivate();
    RemoveTrayIcon();
}
