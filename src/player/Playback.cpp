#include "app/MainWindow.h"
#include "player/PathHelpers.h"

namespace {

// Only the pick-up option names a sender; the receiving command line itself never carries one.
void applyReceiveOption(MainWindow& w)
{
    if (w.MulitCastCheck.value() != 1) {
        w.TargetTextClient.setEnabled(false);
    } else {
        w.TargetTextClient.setEnabled(true);
        w.RunVLCBtn.setText(QStringLiteral("Starte Server >>"));
    }
}

}  // namespace

void MainWindow::wirePlaybackEvents()
{
    Command2.on(ControlEvent::Click, [this] { Command2_Click(); });
    StartClientBtn.on(ControlEvent::Click, [this] { StartClientBtn_Click(); });
    UniCastCheck.on(ControlEvent::Click, [this] { UniCastCheck_Click(); });
    MulitCastCheck.on(ControlEvent::Click, [this] { MulitCastCheck_Click(); });
}

// Lets the window settle, minimises it when the user asked for that, and lets it settle again.
void MainWindow::minimizeBeforeStart()
{
    if (!services_.window)
        return;
    services_.window->processPendingEvents();
    if (CheckMinimize.value() == 1)
        services_.window->minimize();
    services_.window->processPendingEvents();
}

void MainWindow::Command2_Click()
{
    EnsureVlcLocation();
    WritePlainPlaylist(TempPlaylistPath);
    minimizeBeforeStart();
    if (hasVlcPath())
        startCommandLine(paths::QuoteIfSpaced(VlcPath.text()) + u' ' + paths::QuoteIfSpaced(TempPlaylistPath));
}

void MainWindow::StartClientBtn_Click()
{
    EnsureVlcLocation();
    minimizeBeforeStart();
    // VLC listens on its default port for whatever a sender addresses to this PC
    if (hasVlcPath())
        startCommandLine(paths::QuoteIfSpaced(VlcPath.text()) + u' ' + SelectedProtocol() + QStringLiteral("://@"));
}

// The two options form one group: choosing one clears the other.
void MainWindow::UniCastCheck_Click()
{
    if (UniCastCheck.value() == 1)
        MulitCastCheck.setValue(0);
    applyReceiveOption(*this);
}

void MainWindow::MulitCastCheck_Click()
{
    if (MulitCastCheck.value() == 1)
        UniCastCheck.setValue(0);
    applyReceiveOption(*this);
}
