#pragma once

#include <QString>

class Control;
class IWindowHost;

// The pin in the status strip: keeps the window above all others or lets it drop back.
// It shows one of three pictures lying on top of each other; the control shows the visible one.
// Its state is kept nowhere: every start switches it on.
class AlwaysOnTop {
public:
    enum class Picture { Disabled, MouseMove, Enabled };  // off, off and hovered, on
    static constexpr int kWidth = 315;
    static constexpr int kHeight = 300;
    static constexpr const char* kToolTip = QT_TRANSLATE_NOOP("Mirovell", "Always on top");

    // pin: the pin control; window: the window it keeps on top
    AlwaysOnTop(Control& pin, IWindowHost& window);

    bool GetIsOnTop() const { return isOnTop_; }
    void SetToTop();
    Picture visiblePicture() const { return visible_; }

    // Events of the control.
    void pointerOverPicture();  // the pointer moves over the visible picture
    void clickPicture();        // a click on the visible picture

private:
    void MakeNotTopmost();
    void show(Picture p);
    void keepSize();

    Control& pin_;
    IWindowHost& window_;
    bool isOnTop_ = false;
    Picture visible_ = Picture::Disabled;
};
