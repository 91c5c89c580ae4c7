#include "desktop/WindowHandling.h"

#include "app/MainWindow.h"
#include "desktop/SingleInstance.h"

namespace desktop {

void StartWindowDrag(IWindowHost* form, int, int, int, int)
{
    if (form)
        form->startSystemMove();
}

}  // namespace desktop

namespace {

// Sizes set on the window land on whole pixels; round up so the minimum is really kept.
int onPixelGrid(int twips)
{
    return (twips + 14) / 15 * 15;
}

}  // namespace

void MainWindow::Form_Resize()
{
    IWindowHost* host = services_.window;
    const bool minimized = host && host->isMinimized();
    const bool maximized = host && host->isMaximized();
    if (!minimized && !maximized && removeTrayIcon)
        removeTrayIcon();
    if (minimized)
        return;  // a minimised window has no size to keep or to lay out

    auto W = [this] { return Form.rect().width + desktop::kFrameWidth; };
    auto H = [this] { return Form.rect().height + desktop::kFrameHeight; };
    if (H() < desktop::kMinWindowHeight) {
        if (!maximized)
            Form.setHeight(onPixelGrid(desktop::kMinWindowHeight - desktop::kFrameHeight));
        return;
    }
    if (W() < desktop::kMinWindowWidth) {
        if (!maximized)
            Form.setWidth(onPixelGrid(desktop::kMinWindowWidth - desktop::kFrameWidth));
        return;
    }
    Frame3.setTop(H() - 800);
    Frame1.setTop(Frame3.rect().top - Frame1.rect().height);
    Frame1.setWidth(W() - 100);
    Frame3.setWidth(W() - 100);
    Frame2.setWidth(W() - 100);
    Frame2.setHeight(H() - 2800);
    FilmList.setWidth(W() - 300);
    FilmList.setHeight(Frame2.rect().height - 100);
    FilmRemoteList.setHeight(FilmList.rect().height);
    FilmRemoteList.setWidth(FilmList.rect().width);
    FilmRemoteList.setLeft(FilmList.rect().left);
    FilmRemoteList.setTop(FilmList.rect().top);
    JetztAbspielenFrame.setWidth(W() - 100);
    EmpfangenFrame.setWidth(W() - 100);
    SendenFrame.setWidth(W() - 100);
    VlcPath.setWidth(W() - 1300);
    VLC_Browse.setTop(VlcPath.rect().top);
    VLC_Browse.setLeft(VlcPath.rect().left + VlcPath.rect().width);
}

void MainWindow::wireDesktopEvents()
{
    alwaysOnTop_ = std::make_unique<AlwaysOnTop>(AlwaysOnTop1, services_.window);
    AlwaysOnTop1.on(ControlEvent::Click, [this] { alwaysOnTop_->clickPicture(); });
    AlwaysOnTop1.on(ControlEvent::MouseMove, [this] { alwaysOnTop_->pointerOverPicture(); });
    if (!services_.switchOnTop)
        services_.switchOnTop = [this] { alwaysOnTop_->SetToTop(true); };

    if (services_.singleInstance) {
        ISingleInstance* instance = services_.singleInstance;
        if (!services_.singleInstanceCheck)
            services_.singleInstanceCheck = [instance] {
                return desktop::ActivatePrevInstance(*instance, QString(), QString());
            };
        instance->setActivationHandler([this](const QString& keys1, const QString& keys2) {
            if (!ended_ && services_.window)
                desktop::ComeForward(*services_.window, keys1, keys2);
        });
    }

    Form.on(ControlEvent::Resize, [this] { Form_Resize(); });
    // the background, the panels, their icons, the strip beside the tabs and the play list
    for (Control* grip : {&Form, &Command3, &Frame1, &Frame2, &Frame3, &JetztAbspielenFrame, &SendenFrame,
                          &EmpfangenFrame, &Picture1, &Picture3, &Picture2, &FilmList}) {
        grip->on(ControlEvent::MouseDown,
                 [this](const EventArgs& e) { desktop::StartWindowDrag(services_.window, e.button, 0, 0, 0); });
    }
}
