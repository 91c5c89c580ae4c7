#include "player/VlcStarter.h"

#include "model/Control.h"
#include "model/Defaults.h"
#include "platform/IDialogs.h"
#include "platform/IProcessLauncher.h"
#include "platform/OwnFiles.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"
#include "player/ControlSockets.h"
#include "player/FileDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>

#include <utility>

namespace {

constexpr int kPollMs = 20;

// The check before a start: the folder of the path (the path itself when it names a folder or
// nothing) must hold at least one file; a path to a file passes with it. The start then tells by
// itself whether it was a player.
bool vlcLocationPlausible(const QString& path)
{
    const auto folder = paths::AddTrailingSeparator(paths::FolderOf(path));
    return folder && textfile::folderExists(*folder) &&
           !QDir(*folder).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty();
}

}  // namespace

VlcStarter::VlcStarter(Control& VlcPath, IProcessLauncher& processes, IDialogs& dialogs, int graceMs, QObject* parent)
    : QObject(parent), VlcPath_(VlcPath), processes_(processes), dialogs_(dialogs), graceMs_(graceMs)
{
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &VlcStarter::waitForSendingVlc);
    connect(&control_, &VlcControl::attached, this, [this] { emit steeringChanged(true); });
    connect(&control_, &VlcControl::gaveUp, this, [this] {
        // it plays without taking commands: every switch restarts it, as with any such VLC
        noControlPath_ = sendPath_;
        emit steeringChanged(false);
    });
    connect(&control_, &VlcControl::endedUnheard, this, [this] {
        // a VLC without the control interface: started again as before, and so from now on
        noControlPath_ = sendPath_;
        emit sendingFellBack();
    });
    connect(&control_, &VlcControl::failed, this, [this] {
        emit steeringChanged(false);
        // a VLC that has ended is started again by the next start; one that hangs is replaced now
        if (sendingVlc_ != 0 && processes_.isRunning(sendingVlc_)) {
            noControlPath_ = sendPath_;
            emit sendingFellBack();
        }
    });
    connect(&control_, &VlcControl::nowPlaying, this, &VlcStarter::nowPlaying);
}

// Says nothing on the way out (the control's own end is silent): whoever listened may be gone.
VlcStarter::~VlcStarter()
{
    if (!ownSocket_.isEmpty())
        controlsockets::remove(ownSocket_);
}

vlc::ControlAddress VlcStarter::controlAddress() const
{
    if constexpr (vlc::kControlOverTcp) {
        // a port free now; should another take it first, VLC plays on without listening
        QTcpServer probe;
        if (!probe.listen(QHostAddress(QHostAddress::LocalHost), 0))
            return {};
        return {QString(), probe.serverPort()};
    }
    const QString folder = platform::userRuntimeDir();
    if (folder.isEmpty())
        return {};
    // one per window, should a process hold several
    static int windows = 0;
    if (socketNumber_ == 0)
        socketNumber_ = ++windows;
    return {controlsockets::pathFor(folder, QCoreApplication::applicationPid(), socketNumber_)};
}

bool VlcStarter::canSwitch(const QStringList& itemOptions) const
{
    return control_.ready() && sendingVlc_ != 0 && itemOptions == sendOptions_ && vlcPath() == sendPath_ &&
           processes_.isRunning(sendingVlc_);
}

void VlcStarter::sendingOrderChanged(const QStringList& entries)
{
    if (control_.ready())
        control_.reorder(entries);
}

// Quotes around the path are the command line's business, not part of the name.
QString VlcStarter::vlcPath() const
{
    return paths::StripQuotes(VlcPath_.text());
}

// The program itself must be there. A folder, even one holding files, is refused here so that
// the user is asked for VLC instead of clicking a start button that silently does nothing.
bool VlcStarter::vlcFound() const
{
    return textfile::fileExists(vlcPath());
}

void VlcStarter::VlcPath_GotFocus()
{
    VlcPath_.setBackColor(kWhite);
    VlcPath_.setForeColor(kSystemWindowText);
}

void VlcStarter::VlcPath_LostFocus()
{
    if (vlcFound()) {
        VlcPath_.setForeColor(kGreen);
    } else {
        VlcPath_.setBackColor(kWhite);
        VlcPath_.setForeColor(kRed);
    }
}

QString VlcStarter::askForVlc(const QString& title)
{
    const QString bare = vlcPath();
    // a folder typed into the field is where the user expects to start looking
    const QString startIn =
        textfile::folderExists(bare) ? paths::AddTrailingSeparator(bare).value_or(bare) : paths::LeadingPath(bare);
    const QString answer = files::ShowOpenDialog(dialogs_, startIn, title, platformdefaults::kVlcExecutableName,
                                                 platformdefaults::kExecutablePattern, QString());
    if (answer.isEmpty() || answer == platformdefaults::kVlcExecutableName)
        return {};
    return answer;
}

void VlcStarter::VLC_Browse_Click()
{
    const QString answer = askForVlc(QCoreApplication::translate("Mirovell", "VLC.EXE suchen"));
    if (!answer.isEmpty())
        VlcPath_.setText(answer);
}

void VlcStarter::EnsureVlcLocation()
{
    if (vlcLocationPlausible(vlcPath()))
        return;
    dialogs_.message(QCoreApplication::translate("Mirovell", "VLC.exe konnte in diesem Pfad nicht gefunden werden: ") +
                         u'\r' + u'\'' + VlcPath_.text() + u'\'' + u'\r' + u'\r' +
                         QCoreApplication::translate("Mirovell", "Bitte den Pfad auswählen"),
                     QCoreApplication::translate("Mirovell", "VLC.exe nicht gefunden"), MessageIcon::Information,
                     MessageButtons::Ok);
    const QString answer = askForVlc(QCoreApplication::translate("Mirovell", "VLC.EXE wurde nicht gefunden"));
    if (!answer.isEmpty())
        VlcPath_.setText(answer);
}

// Without a program the command line would start its first argument, the play list, as one.
qint64 VlcStarter::start(const vlc::Command& command)
{
    // an ending that came while a dialog was open has shut everything down: nothing new starts
    if (ended_ || command.program.isEmpty())
        return 0;
    return processes_.start(command.program, command.arguments, WindowStyle::NormalFocus);
}

void VlcStarter::startLocal(const QString& playlist)
{
    start(vlc::localPlayback(vlcPath(), playlist));
}

void VlcStarter::startReceiving(const QString& protocol, const QString& group)
{
    start(vlc::receiving(vlcPath(), protocol, group));
}

// Two streams to one target would reach the receiver as a corrupted mix.
void VlcStarter::startSending(const QString& playlist, const QStringList& itemOptions, const QStringList& entries)
{
    if (ended_ || !hasVlcPath())
        return;
    if (canSwitch(itemOptions)) {
        control_.play(entries, 0);
        return;
    }
    if (!sweptStale_) {
        // sockets left by sessions that ended without taking theirs away (killed, or their VLC
        // outlived them): looked for once, when this window first sends
        sweptStale_ = true;
        if constexpr (!vlc::kControlOverTcp)
            controlsockets::removeStale(platform::userRuntimeDir());
    }
    const vlc::ControlAddress socket = vlcPath() == noControlPath_ ? vlc::ControlAddress{} : controlAddress();
    nextControlled_ = !socket.isEmpty();
    nextSend_ = nextControlled_ ? vlc::sendingControlled(vlcPath(), playlist, itemOptions, socket)
                                : vlc::sending(vlcPath(), playlist, itemOptions);
    nextEntries_ = entries;
    nextSocket_ = socket;
    sendOptions_ = itemOptions;
    if (control_.ready() || control_.attaching())
        emit steeringChanged(false);
    control_.detach();
    if (sendWaiting_)
        return;  // the newer start replaces the one that waits
    sendWaiting_ = true;
    killed_ = false;
    stopping_.start();
    if (sendingVlc_ != 0)
        processes_.terminate(sendingVlc_);
    waitForSendingVlc();
}

void VlcStarter::waitForSendingVlc()
{
    const bool running = sendingVlc_ != 0 && processes_.isRunning(sendingVlc_);
    // one that outlives even SIGKILL (stuck in the kernel) is not waited for forever
    if (running && stopping_.elapsed() < 2 * graceMs_) {
        if (!killed_ && stopping_.elapsed() >= graceMs_) {
            processes_.kill(sendingVlc_);
            killed_ = true;
        }
        if (!poll_.isActive())
            poll_.start();
        return;
    }
    poll_.stop();
    sendWaiting_ = false;
    const vlc::ControlAddress socket = nextControlled_ ? nextSocket_ : vlc::ControlAddress{};
    // a socket left by a VLC that was killed would stop the new one from listening
    if (!socket.path.isEmpty()) {
        controlsockets::remove(socket.path);
        ownSocket_ = socket.path;
    }
    sendPath_ = nextSend_.program;
    sendingVlc_ = start(nextSend_);
    if (sendingVlc_ != 0 && !socket.isEmpty())
        control_.attach(socket, nextEntries_, [this, pid = sendingVlc_] { return processes_.isRunning(pid); });
}

void VlcStarter::shutDown()
{
    ended_ = true;
    poll_.stop();
    sendWaiting_ = false;
    control_.detach();
    // the session is over: nothing will steer its VLC, which may outlive the program
    if (!ownSocket_.isEmpty())
        controlsockets::remove(std::exchange(ownSocket_, QString()));
}
