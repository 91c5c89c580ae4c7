#pragma once

#include "player/VlcCommand.h"

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
    // Ends the sending VLC this program started, then starts the new one: at once where the old
    // one has gone, else from the event loop once it has.
    void startSending(const QString& playlist, const QStringList& itemOptions);
    qint64 sendingVlcProcess() const { return sendingVlc_; }

    // The program has ended: nothing new starts, not even a sending VLC that waits.
    void shutDown();

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
    bool sendWaiting_ = false;
    bool killed_ = false;
    QTimer poll_;
    QElapsedTimer stopping_;
    bool ended_ = false;
};
