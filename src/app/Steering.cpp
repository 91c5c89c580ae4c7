// Track requests and the remote control: the link asks, the play list moves the entry, and the
// sending VLC switches (or, where it takes no commands, is restarted).
#include "app/MainWindow.h"

namespace {

void showPause(Control& button, bool paused)
{
    button.setText(paused ? MainWindow::tr("Weiter") : MainWindow::tr("Pause"));
}

}  // namespace

void MainWindow::wireSteering()
{
    // a restart lets events run, so a request is served after the socket's event has returned
    connect(&sending_, &SendingEnd::trackRequested, this, &MainWindow::SendingEnd_TrackRequested, Qt::QueuedConnection);
    connect(&sending_, &SendingEnd::steerRequested, this, &MainWindow::steerSendingVlc);
    connect(&vlc_, &VlcStarter::steeringChanged, this, [this](bool on) {
        for (Control* b : {&SendPrevBtn, &SendPauseBtn, &SendNextBtn})
            b->setEnabled(on);
        if (!on)
            showPause(SendPauseBtn, false);
        sending_.announceNowPlaying(-1, false, on);
    });
    connect(&vlc_, &VlcStarter::nowPlaying, this, [this](int index, bool paused) {
        showPause(SendPauseBtn, paused);
        sending_.announceNowPlaying(index, paused, vlc_.sendingSteerable());
    });
    connect(
        &vlc_, &VlcStarter::sendingFellBack, this,
        [this] {
            if (ended_)
                return;
            RunVLCBtn_Click();
            ConnectStatus.setText(tr("VLC antwortete nicht und wurde neu gestartet"));
        },
        Qt::QueuedConnection);
    connect(&receiving_, &ReceivingEnd::senderSteerableChanged, this, [this](bool on) {
        for (Control* b : {&RemotePrevBtn, &RemotePauseBtn, &RemoteNextBtn})
            b->setEnabled(on);
        if (!on)
            showPause(RemotePauseBtn, false);
    });
    connect(&receiving_, &ReceivingEnd::senderPlaying, this,
            [this](int, bool paused) { showPause(RemotePauseBtn, paused); });
}

QStringList MainWindow::streamOptions() const
{
    const Settings::StreamOptions stream = settings_.streamOptions();
    // several receivers: one stream to a group they all join; one: to the receiver's address
    if (sending_.several()) {
        const Settings::GroupStream group = settings_.groupStream();
        return vlc::groupStreamItemOptions(stream.sout, group.groupAndPort(), group.ttl, SelectedProtocol());
    }
    return vlc::streamItemOptions(stream.sout, stream.ttl, sending_.targetAddress(), SelectedProtocol());
}

void MainWindow::SendingEnd_TrackRequested(const QString& name)
{
    if (ended_)
        return;
    // the list may have changed since the request came
    const int i = sending_.requestedEntry(name);
    if (i >= 0)
        playEntryFirst(i);
}

void MainWindow::playEntryFirst(int i)
{
    playlist_.moveToTop(i);
    const QStringList options = streamOptions();
    if (vlc_.canSwitch(options)) {
        // VLC is told first: the list goes out to the receivers and to disk (a synced save) after
        vlc_.startSending(settings_.TempPlaylistPath(), options, playlist_.entries());
        UpdateFileCount();  // the receivers see the new order at once
        // the kept list follows, so that a VLC started anew plays the same order
        playlist_.WriteStreamingPlaylist(settings_.TempPlaylistPath(), options);
    } else {
        sending_.restarts().request();  // at most one restart a second
    }
}

void MainWindow::steerSendingVlc(remotemsg::Command command)
{
    switch (command) {
    case remotemsg::Command::Pause: vlc_.pauseSending(); break;
    case remotemsg::Command::Next: vlc_.nextTrack(); break;
    case remotemsg::Command::Previous: vlc_.previousTrack(); break;
    }
}

void MainWindow::SendPauseBtn_Click()
{
    vlc_.pauseSending();
}

void MainWindow::SendPrevBtn_Click()
{
    vlc_.previousTrack();
}

void MainWindow::SendNextBtn_Click()
{
    vlc_.nextTrack();
}

void MainWindow::RemotePauseBtn_Click()
{
    receiving_.steer(remotemsg::Command::Pause);
}

void MainWindow::RemotePrevBtn_Click()
{
    receiving_.steer(remotemsg::Command::Previous);
}

void MainWindow::RemoteNextBtn_Click()
{
    receiving_.steer(remotemsg::Command::Next);
}
