#pragma once

#include "player/VlcCommand.h"
#include "player/VlcControl.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class Control;
class IDialogs;
class IProcessLauncher;

// Finds VLC where the path field says, asks for it where it is not, and starts it: for playing
// here, for receiving, and for sending. Of the sending VLCs exactly one runs: a new start waits,
// on the event loop, until the one before has ended (killed when it does not end in time).
class VlcStarter : public QObject {
    Q_OBJECT
public:
    static constexpr int kGraceMs = 2000;  // a sending VLC told to end gets this long before it is killed

    VlcStarter(Control& VlcPath, IProcessLauncher& processes, IDialogs& dialogs, int graceMs = kGraceMs,
               QObject* parent = nullptr);
    ~VlcStarter() override;

    // The path field's events.
    void VlcPath_GotFocus();
    void VlcPath_LostFocus();
    void VLC_Browse_Click();

    // The check before every start: where no VLC can be, the user is told and asked for it.
    void EnsureVlcLocation();
    // The player's path as the field gives it, without the quotes around it.
    QString vlcPath() const;
    // false when the VLC path is empty: every start then does nothing
    bool hasVlcPath() const { return !vlcPath().isEmpty(); }
    // true when the path names a file
    bool vlcFound() const;

    void startLocal(const QString& playlist);
    // group: a multicast group and port to join; empty: whatever a sender addresses to this PC
    void startReceiving(const QString& protocol, const QString& group = {});
    // Has the sending VLC play entries (the list just written to playlist) from the first on.
    // A VLC that takes commands switches without a restart; otherwise the sending VLC this
    // program started is ended, and the new one starts at once where the old one has gone, else
    // from the event loop once it has.
    void startSending(const QString& playlist, const QStringList& itemOptions, const QStringList& entries = {});
    // True when the switch to a requested track needs no restart.
    bool canSwitch(const QStringList& itemOptions) const;
    qint64 sendingVlcProcess() const { return sendingVlc_; }
    // The list changed while sending: a VLC that takes commands plays the new order.
    void sendingOrderChanged(const QStringList& entries);
    // Steering the sending VLC; nothing happens where it takes no commands.
    bool sendingSteerable() const { return control_.ready(); }
    void pauseSending() { control_.pause(); }
    void nextTrack() { control_.next(); }
    void previousTrack() { control_.previous(); }
    const VlcControl& control() const { return control_; }
    // The sending VLC's control interface: a socket in the user's own runtime folder (empty without
    // one), or where VLC has none, a free TCP port on 127.0.0.1.
    vlc::ControlAddress controlAddress() const;

    // The program has ended: nothing new starts, not even a sending VLC that waits.
    void shutDown();

signals:
    // The sending VLC stopped answering commands: it has to be started anew, without them.
    void sendingFellBack();
    // Whether the sending VLC can be steered now.
    void steeringChanged(bool steerable);
    // What the sending VLC plays now (an index into the entries last given), -1 for nothing.
    void nowPlaying(int index, bool paused);

private:
    QString askForVlc(const QString& title);
    qint64 start(const vlc::Command& command);
    void waitForSendingVlc();

    Control& VlcPath_;
    IProcessLauncher& processes_;
    IDialogs& dialogs_;
    const int graceMs_;
    qint64 sendingVlc_ = 0;  // the VLC this program started for sending
    vlc::Command nextSend_;  // the sending start that waits for the old VLC to end
    QStringList nextEntries_;
    vlc::ControlAddress nextSocket_;
    QString ownSocket_;  // the socket file of this window's sending VLC, removed when it ends
    bool sweptStale_ = false;
    bool nextControlled_ = false;
    QStringList sendOptions_;  // what the running sending VLC was started with
    QString sendPath_;
    QString noControlPath_;  // a VLC at this path failed to take commands: it is started as it was
    VlcControl control_;
    mutable int socketNumber_ = 0;
    bool sendWaiting_ = false;
    bool killed_ = false;
    QTimer poll_;
    QElapsedTimer stopping_;
    bool ended_ = false;
};
