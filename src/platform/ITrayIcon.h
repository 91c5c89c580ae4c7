#pragma once

#include <QObject>
#include <QString>

// What the user did to the icon, as Qt's notification area reports it.
enum class TrayActivation { Unknown, Context, DoubleClick, Trigger, MiddleClick };

// An icon in the desktop's notification area.
class ITrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Shows the program's icon; false where the desktop has no notification area.
    virtual bool show(const QString& toolTip) = 0;
    virtual void hide() = 0;
    virtual bool isShown() const = 0;

signals:
    // Comes from the event loop, after the click itself has been handled.
    void activated(TrayActivation reason);
};
