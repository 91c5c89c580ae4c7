#include "desktop/WindowLayout.h"

#include "desktop/TrayHost.h"
#include "model/Control.h"
#include "platform/IWindowHost.h"

namespace {

// Sizes set on the window land on whole pixels; round up so the minimum is really kept.
int onPixelGrid(int twips)
{
    return (twips + 14) / 15 * 15;
}

}  // namespace

WindowLayout::WindowLayout(const Controls& controls, IWindowHost& window, TrayHost& tray)
    : c_(controls), window_(window), tray_(tray)
{
}

void WindowLayout::Form_Resize()
{
    const bool minimized = window_.isMinimized();
    const bool maximized = window_.isMaximized();
    if (!minimized && !maximized)
        tray_.RemoveTrayIcon();
    if (minimized)
        return;  // a minimised window has no size to keep or to lay out

    const int W = c_.Form.rect().width + kFrameWidth;
    const int H = c_.Form.rect().height + kFrameHeight;
    if (H < kMinWindowHeight) {
        if (!maximized)
            c_.Form.setHeight(onPixelGrid(kMinWindowHeight - kFrameHeight));
        return;
    }
    if (W < kMinWindowWidth) {
        if (!maximized)
            c_.Form.setWidth(onPixelGrid(kMinWindowWidth - kFrameWidth));
        return;
    }
    c_.Frame3.setTop(H - 800);
    c_.Frame1.setTop(c_.Frame3.rect().top - c_.Frame1.rect().height);
    c_.Frame1.setWidth(W - 100);
    c_.Frame3.setWidth(W - 100);
    c_.Frame2.setWidth(W - 100);
    c_.Frame2.setHeight(H - 3070);  // below the mode panels with their stream options
    c_.FilmList.setWidth(W - 300);
    c_.FilmList.setHeight(c_.Frame2.rect().height - 100);
    c_.FilmRemoteList.setRect(c_.FilmList.rect());
    for (Control* panel : {&c_.JetztAbspielenFrame, &c_.EmpfangenFrame, &c_.SendenFrame})
        panel->setWidth(W - 100);
    c_.VlcPath.setWidth(W - 1300);
    c_.VLC_Browse.setTop(c_.VlcPath.rect().top);
    c_.VLC_Browse.setLeft(c_.VlcPath.rect().left + c_.VlcPath.rect().width);
}
