#pragma once

#include "app/Control.h"
#include "platform/Services.h"

#include <QString>

// Owns the program's icon in the notification area while a stream runs minimised; a left
// click on it brings the window back.
class TrayHost {
public:
    static constexpr qsizetype kToolTipLength = 64;
    // Mouse event codes of the notification area.
    static constexpr int kMouseMove = 512, kLeftDown = 513, kLeftUp = 514, kLeftDouble = 515, kRightDown = 516,
                         kRightUp = 517;

    void attach(ITrayIcon* icon, IWindowHost* window);

    // Shows the icon with the window's icon and the tool tip; the window's place is recorded.
    void AddTrayIcon(const TwipRect& windowRect, const QString& toolTip, bool openMenuOnRightClick);
    void RemoveTrayIcon();
    void ChangeToolTipText(const QString& toolTip);
    void mouseEvent(int code);

    bool iconShown() const { return icon_ && icon_->isShown(); }
    const QString& toolTip() const { return toolTip_; }
    const TwipRect& recordedRect() const { return recorded_; }

    // What the notification area shows of a tool tip: at most 64 characters.
    static QString fitToolTip(const QString& text);

private:
    void restoreFromTray();

    ITrayIcon* icon_ = nullptr;
    IWindowHost* window_ = nullptr;
    bool menuFlag_ = false;
    TwipRect recorded_;
    QString toolTip_;
};
