#pragma once

#include <QString>

// The main window as the window system sees it.
class IWindowHost {
public:
    virtual ~IWindowHost() = default;
    virtual void minimize() = 0;
    virtual void restoreAndActivate() = 0;
    virtual bool isMinimized() const = 0;
    virtual bool isMaximized() const = 0;
    virtual void setTopmost(bool on) = 0;
    virtual bool canStayOnTop() const = 0;
    // Lets the user move the window with the button that is held down now (the window system's
    // own move where it offers one).
    virtual void startSystemMove() = 0;
    // Ends the program at once; no further handler of the window runs.
    virtual void quit() = 0;
};
