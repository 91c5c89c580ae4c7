#pragma once

#include "platform/IWindowHost.h"
#include "platform/qt/WindowMover.h"

#include <QPointer>
#include <QWidget>

// The main window's widget as the window system sees it.
class QtWindowHost : public IWindowHost {
public:
    explicit QtWindowHost(QWidget& window);
    void minimize() override;
    void restoreAndActivate() override;
    bool isMinimized() const override;
    bool isMaximized() const override;
    void setTopmost(bool on) override;
    bool canStayOnTop() const override;
    void startSystemMove() override;
    void quit() override;

private:
    QPointer<QWidget> widget_;
    WindowMover mover_;
};
