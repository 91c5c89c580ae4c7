#pragma once

#include "platform/ITrayIcon.h"

#include <QObject>
#include <QString>

class IEventPump;
class IWindowHost;

// Owns the program's icon in the notification area while a stream runs minimised; a left
// click on it brings the window back.
class TrayHost : public QObject {
    Q_OBJECT
public:
    // What the notification area shows of a tool tip.
    static constexpr qsizetype kToolTipLength = 64;

    TrayHost(ITrayIcon& icon, IWindowHost& window, IEventPump& events, QObject* parent = nullptr);

    // Shows the icon with the tool tip (no notification area: the window stays minimised in the
    // task bar).
    void AddTrayIcon(const QString& toolTip);
    void RemoveTrayIcon();

private:
    void activated(TrayActivation reason);

    ITrayIcon& icon_;
    IWindowHost& window_;
    IEventPump& events_;
};
