#pragma once

class Control;
class IWindowHost;
class TrayHost;

// Lays the window's controls out for its size and keeps its minimum size.
class WindowLayout {
public:
    // The layout's sizes count the window's outer size, frame included. We add the classic frame
    // (borders and title bar, in twips) to the client area, so the controls sit the same way on
    // every desktop whatever its own decoration; the values keep the minimum sizes on whole pixels.
    static constexpr int kFrameWidth = 125;
    static constexpr int kFrameHeight = 410;
    static constexpr int kMinWindowHeight = 4400;
    static constexpr int kMinWindowWidth = 3200;

    struct Controls {
        Control& Form;
        Control& Frame1;  // settings strip
        Control& Frame2;  // behind the lists
        Control& Frame3;  // status strip
        Control& FilmList;
        Control& FilmRemoteList;
        Control& JetztAbspielenFrame;
        Control& SendenFrame;
        Control& EmpfangenFrame;
        Control& VlcPath;
        Control& VLC_Browse;
    };
    // tray: the window back in its normal state takes the tray icon away
    WindowLayout(const Controls& controls, IWindowHost& window, TrayHost& tray);

    // After every resize of the window: one step towards the minimum size per call, height first.
    void Form_Resize();

private:
    Controls c_;
    IWindowHost& window_;
    TrayHost& tray_;
};
