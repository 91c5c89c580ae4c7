// The event procedures: the modes and the clock here, the rest handed on to the subsystems.
#include "app/MainWindow.h"
#include "platform/IClock.h"
#include "platform/IDialogs.h"
#include "platform/IEventPump.h"
#include "platform/IWindowHost.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"
#include "player/RunFile.h"
#include "playlist/PlaylistReader.h"
#include "update/UpdateAddresses.h"

// ---- modes, clock, the VLC path row ----

void MainWindow::LokalStarteBtn_Click()
{
    ConnectStatus.setText(QString());
    ConnectStatusServer.setText(QString());
    Form.enter(Mode::Local);
    leaveTheLan();
    UpdateFileCount();
}

void MainWindow::SendenTabButton_Click()
{
    Form.enter(Mode::Send);
    sending_.connectToReceiver();
    sending_.announceList();
    sending_.StartServerListen();
    // receivers on the LAN find this sender, and this sender offers them in the target field
    discovery_.publish(PeerRole::Sender, linkPorts_.request);
    discovery_.browse(PeerRole::Receiver);
    UpdateFileCount();
}

void MainWindow::EmpfangenTabButton_Click()
{
    ConnectStatus.setText(QString());
    ConnectStatusServer.setText(QString());
    Form.enter(Mode::Receive);
    receiving_.listen();
    receiving_.showWaiting();
    receiving_.ConnectClientSend();
    discovery_.publish(PeerRole::Receiver, linkPorts_.list);
    discovery_.browse(PeerRole::Sender);
    UpdateFileCount();
    List_Count.setText(QString());
}

void MainWindow::Label2_Click()
{
    if (!VlcPath.visible()) {
        VlcPath.show();
        Label4.show();
        VLC_Browse.show();
        Label2.setText(tr("< Vlc"));
        VlcPath.setFocus();
        VlcPath.setSelection(0, int(VlcPath.text().size()));
    } else {
        Label4.hide();
        VlcPath.hide();
        VLC_Browse.hide();
        Label2.setText(tr("Vlc >"));
    }
}

void MainWindow::Timer1_Timer()
{
    Label9.setText(clock_.now().toString(QStringLiteral("HH:mm:ss")));
}

void MainWindow::ServerSendTimer_Timer()
{
    if (SendenFrame.visible())
        sending_.tick();
    if (EmpfangenFrame.visible())
        receiving_.tick();
}

void MainWindow::Form_Resize()
{
    layout_.Form_Resize();
    placeWebCode();
}

// ---- the list ----

void MainWindow::UpdateFileCount()
{
    playlist_.showCount();
    if (SendenFrame.visible()) {
        sending_.connectToReceiver();
        sending_.announceList();
        vlc_.sendingOrderChanged(playlist_.entries());
    }
}

void MainWindow::Command1_Click()
{
    playlist_.clear();
    UpdateFileCount();
}

void MainWindow::UpBtn_Click()
{
    playlist_.moveSelectedDown();
}

void MainWindow::DownBtn_Click()
{
    playlist_.moveSelectedUp();
}

void MainWindow::FilmList_Click()
{
    playlist_.showSelectedAsToolTip();
}

void MainWindow::FilmList_DblClick()
{
    playlist_.removeSelected();
    UpdateFileCount();
}

void MainWindow::FilmList_KeyDown(int keyCode, int shift)
{
    if (keyCode == kKeyReturn) {
        FilmList_DblClick();
    } else if (keyCode == kKeyDelete) {
        // the next entry takes the selection, so that Delete can be pressed again
        const int i = FilmList.listIndex();
        FilmList_DblClick();
        if (i >= 0 && FilmList.count() > 0) {
            FilmList.setListIndex(qMin(i, FilmList.count() - 1));
            FilmList_Click();
        }
    } else if (shift == kAltMask && keyCode == kKeyUp) {
        UpBtn_Click();  // the keys do what the buttons of the same name do: "<" and ">"
    } else if (shift == kAltMask && keyCode == kKeyDown) {
        DownBtn_Click();
    }
}

void MainWindow::List_Count_Click()
{
    if (runfile::OpenInTextEditor(processes_, settings_.TempPlaylistPath()) == 0)
        dialogs_.message(tr("Kein Texteditor gefunden, um die Playlist zu öffnen:") + u'\r' +
                             settings_.TempPlaylistPath(),
                         tr("Texteditor"), MessageIcon::Information, MessageButtons::Ok);
}

void MainWindow::SaveBtn_Click()
{
    playlist_.SaveBtn_Click();
}

void MainWindow::FilmList_OLEDragDrop(const QStringList& dropped)
{
    for (const QString& path : dropped) {
        QString name = paths::StripQuotes(path);
        // a folder that happens to be called "x.m3u" is added like any other path
        if (playlist::isPlaylistName(name) && !textfile::folderExists(name))
            LoadPlaylistFile(name, false);
        else
            playlist_.addPaths({path});
    }
    UpdateFileCount();
}

void MainWindow::Form_OLEDragDrop(const QStringList& dropped)
{
    playlist_.addPaths(dropped);
    UpdateFileCount();
}

void MainWindow::Frame1_OLEDragDrop(const QStringList& dropped)
{
    Form_OLEDragDrop(dropped);
}

void MainWindow::Frame2_OLEDragDrop(const QStringList& dropped)
{
    Form_OLEDragDrop(dropped);
}

// ---- VLC: its path, playing here, receiving, sending ----

void MainWindow::VlcPath_GotFocus()
{
    vlc_.VlcPath_GotFocus();
}

void MainWindow::VlcPath_LostFocus()
{
    vlc_.VlcPath_LostFocus();
}

void MainWindow::VLC_Browse_Click()
{
    vlc_.VLC_Browse_Click();
}

// Lets the window settle, minimises it when the user asked for that, and lets it settle again.
void MainWindow::minimizeBeforeStart()
{
    events_.processPendingEvents();
    if (CheckMinimize.value() == 1)
        window_.minimize();
    events_.processPendingEvents();
}

void MainWindow::Command2_Click()
{
    vlc_.EnsureVlcLocation();
    playlist_.WritePlainPlaylist(settings_.TempPlaylistPath());
    minimizeBeforeStart();
    vlc_.startLocal(settings_.TempPlaylistPath());
}

void MainWindow::StartClientBtn_Click()
{
    vlc_.EnsureVlcLocation();
    minimizeBeforeStart();
    // picking up from a sender that serves several: its group, which this PC joins
    vlc_.startReceiving(SelectedProtocol(),
                        MulitCastCheck.value() == 1 ? settings_.groupStream().groupAndPort() : QString());
}

QString MainWindow::SelectedProtocol() const
{
    return ProtokollCombo.text().toLower().trimmed();
}

// The two options form one group: choosing one clears the other. Picking up names the sender in
// TargetTextClient; the request channel goes there and makes this receiver known to it.
void MainWindow::UniCastCheck_Click()
{
    if (UniCastCheck.value() == 1)
        MulitCastCheck.setValue(0);
    applyReceiveChoice();
}

void MainWindow::MulitCastCheck_Click()
{
    if (MulitCastCheck.value() == 1)
        UniCastCheck.setValue(0);
    applyReceiveChoice();
}

void MainWindow::applyReceiveChoice()
{
    const bool pickUp = MulitCastCheck.value() == 1;
    TargetTextClient.setEnabled(pickUp);
    if (pickUp)
        RunVLCBtn.setText(tr("Starte Server >>"));
    // the request channel goes where the choice now says, at the next check
    receiving_.closeRequestChannel();
    if (EmpfangenFrame.visible())
        receiving_.ConnectClientSend();
}

// Writes the streaming play list, announces it and starts VLC on it; a track request runs it
// again from the event loop.
void MainWindow::RunVLCBtn_Click()
{
    if (ended_)
        return;
    // every start, asked for over the link or not, serves the requests that wait and spaces the next
    const RequestCoalescer::Run run(sending_.restarts());
    vlc_.EnsureVlcLocation();
    // nothing to start, or the program was ended while the dialog was open: the window stays,
    // the kept list is not overwritten and nothing is announced
    if (!vlc_.hasVlcPath() || ended_)
        return;
    const QStringList options = streamOptions();
    playlist_.WriteStreamingPlaylist(settings_.TempPlaylistPath(), options);
    events_.processPendingEvents();
    if (CheckMinimize.value() == 1) {
        window_.minimize();
        tray_.AddTrayIcon(Form.text());
    }
    events_.processPendingEvents();
    sending_.announceList();
    vlc_.startSending(settings_.TempPlaylistPath(), options, playlist_.entries());
}

void MainWindow::TargetText_GotFocus()
{
    TargetText.setBackColor(kWhite);
    TargetText.setSelection(0, int(TargetText.text().size()));
}

void MainWindow::TargetText_LostFocus()
{
    TargetText.setBackColor(kLightGrey);
    sending_.closeListChannel();
}

// One group as well: sending to the one receiver in TargetText, or serving every receiver that
// makes itself known.
void MainWindow::SendenUniCastCheck_Click()
{
    if (SendenUniCastCheck.value() == 1)
        MultiCastCheck.setValue(0);
    applySendChoice();
    if (SendenUniCastCheck.value() == 1)
        RunVLCBtn.setText(tr("Starte Server >>"));
}

void MainWindow::MultiCastCheck_Click()
{
    if (MultiCastCheck.value() == 1)
        SendenUniCastCheck.setValue(0);
    SendenUniCastCheck_Click();
}

void MainWindow::applySendChoice()
{
    TargetText.setEnabled(SendenUniCastCheck.value() == 1);
    sending_.setSeveral(MultiCastCheck.value() == 1);
    if (!sending_.several())
        asking_.clear();  // nobody waits to be let in now
    showAdmission();
}

// ---- the link ----

void MainWindow::SErverBtnTest_Click()
{
    sending_.connectToReceiver();
}

void MainWindow::ButtonServerSenden_Click()
{
    sending_.announceList();
}

void MainWindow::ClientBtnTest_Click()
{
    receiving_.listen();
}

void MainWindow::FilmRemoteList_DblClick()
{
    receiving_.requestSelected();
}

void MainWindow::FilmRemoteList_KeyDown(int keyCode, int)
{
    if (keyCode == kKeyReturn)
        FilmRemoteList_DblClick();
}

// ---- update and web links ----

void MainWindow::UpdateCaption_Click()
{
    // the updater replaces the program: end as the exit button does, so the settings and the
    // kept list survive the update
    if (update_.UpdateCaption_Click())
        ExitBtn_Click();
}

void MainWindow::Label3_Click()
{
    Label3.hide();
    runfile::OpenInBrowser(processes_, updateaddresses::homepageAddress(), WindowStyle::NormalFocus);
    events_.processPendingEvents();
    Label3.show();
}

void MainWindow::Label4_Click()
{
    Label4.hide();
    runfile::OpenInBrowser(processes_, updateaddresses::kVlcAddress, WindowStyle::NormalFocus);
    events_.processPendingEvents();
}
