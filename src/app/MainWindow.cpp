#include "app/MainWindow.h"

#include "desktop/PrevInstance.h"
#include "platform/IEventPump.h"
#include "platform/ISingleInstance.h"
#include "platform/IWindowHost.h"
#include "platform/TextFile.h"

namespace {

QString startTip()
{
    return MainWindow::tr("Startet die FilmListe in VLC (TIP: VLC nur in einer Instanz erlauben (in den VLC Optionen)");
}

QString dropTip()
{
    return MainWindow::tr("Files oder Playlisten auf dieses Feld ziehen (Drag&Drop)");
}

}  // namespace

MainWindow::MainWindow(const MainWindowServices& services, QObject* parent)
    : QObject(parent), processes_(services.processes), dialogs_(services.dialogs), window_(services.window),
      events_(services.events), clock_(services.clock), singleInstance_(services.singleInstance),
      environment_(services.environment), linkPorts_(services.linkPorts),
      noDiscovery_(services.discovery ? nullptr : discovery::makeNullDiscovery()),
      discovery_(services.discovery ? *services.discovery : *noDiscovery_),
      playlist_({FilmList, FilmRemoteList, List_Count, UpBtn, DownBtn, SaveBtn}, services.dialogs),
      vlc_(VlcPath, services.processes, services.dialogs),
      sending_({FilmList, TargetText, SendenFrame, ConnectStatus, ConnectStatusServer}, services.sockets, *this,
               services.linkPorts),
      receiving_({FilmRemoteList, SenderLabel, EmpfangenFrame, ConnectStatus, ConnectStatusServer, MulitCastCheck,
                  TargetTextClient},
                 services.sockets, *this, services.linkPorts),
      update_(UpdateCaption, services.dialogs, services.processes, services.events, services.progress,
              services.environment, services.updateKey),
      pin_(AlwaysOnTop1, services.window), tray_(services.tray, services.window, services.events),
      layout_({Form, Frame1, Frame2, Frame3, FilmList, FilmRemoteList, JetztAbspielenFrame, SendenFrame, EmpfangenFrame,
               VlcPath, VLC_Browse},
              services.window, tray_)
{
    all_ = {&Form,
            &LokalStarteBtn,
            &SendenTabButton,
            &EmpfangenTabButton,
            &ExitBtn,
            &Command3,
            &Frame2,
            &FilmList,
            &FilmRemoteList,
            &SErverBtnTest,
            &ClientBtnTest,
            &ButtonServerSenden,
            &Timer1,
            &ServerSendTimer,
            &JetztAbspielenFrame,
            &Command2,
            &Picture1,
            &Label8,
            &SendenFrame,
            &Picture3,
            &Label6,
            &RunVLCBtn,
            &Label5,
            &TargetText,
            &SendPrevBtn,
            &SendPauseBtn,
            &SendNextBtn,
            &SendenUniCastCheck,
            &MultiCastCheck,
            &AdmitFrame,
            &AdmitLabel,
            &AdmitBtn,
            &DenyBtn,
            &ForgetBtn,
            &EmpfangenFrame,
            &Picture2,
            &Label7,
            &StartClientBtn,
            &RemotePrevBtn,
            &RemotePauseBtn,
            &RemoteNextBtn,
            &SenderLabel,
            &TargetTextClient,
            &UniCastCheck,
            &MulitCastCheck,
            &Frame1,
            &Label2,
            &VlcPath,
            &VLC_Browse,
            &Label4,
            &List_Count,
            &Label1,
            &ProtokollCombo,
            &UpBtn,
            &DownBtn,
            &SaveBtn,
            &Command1,
            &AutoSaveCheck,
            &CheckMinimize,
            &Label3,
            &UpdateCaption,
            &Frame3,
            &AlwaysOnTop1,
            &Label9,
            &ConnectStatus,
            &ConnectStatusServer,
            &WebCodePicture,
            &WebAddressLabel};
    applyDesignState();
    wireEvents();
    wireSteering();
    wireWebRemote();
}

MainWindow::~MainWindow()
{
    discovery_.setPeersChanged(nullptr);
}

Control* MainWindow::control(const QString& name) const
{
    for (Control* c : all_)
        if (c->name() == name)
            return c;
    return nullptr;
}

void MainWindow::applyDesignState()
{
    Form.setBackColor(kGrey);

    LokalStarteBtn.setPictures(QStringLiteral("tab-local"), QStringLiteral("tab-local-disabled"));
    SendenTabButton.setPictures(QStringLiteral("tab-send"), QStringLiteral("tab-send-disabled"));
    EmpfangenTabButton.setPictures(QStringLiteral("tab-receive"), QStringLiteral("tab-receive-disabled"));
    ExitBtn.setPictures(QStringLiteral("exit"));
    Command3.setBackColor(kWhite);
    Command3.setEnabled(false);

    for (Control* panel : {&JetztAbspielenFrame, &SendenFrame, &EmpfangenFrame, &Frame1, &Frame2})
        panel->setBackColor(kPanelGrey);
    // the status strip is lighter, so its grey status texts can be read
    Frame3.setBackColor(kGrey);
    JetztAbspielenFrame.hide();
    EmpfangenFrame.hide();

    FilmList.setBackColor(kWhite);
    FilmList.setToolTip(dropTip());
    FilmRemoteList.setBackColor(kLightGrey);
    FilmRemoteList.setToolTip(dropTip());
    FilmRemoteList.hide();
    SErverBtnTest.hide();
    ClientBtnTest.hide();
    ButtonServerSenden.hide();

    Timer1.setInterval(1000);
    ServerSendTimer.setInterval(2000);
    ServerSendTimer.setEnabled(false);

    const FontSpec buttonFont{12, true, false};
    const FontSpec titleFont{13.5, true, false};
    Command2.setFont(buttonFont);
    Command2.setToolTip(startTip());
    Picture1.setPictures(QStringLiteral("panel-local"));
    Label8.setFont(titleFont);
    Label8.setAlign(TextAlign::Center);
    Label8.setForeColor(kLightGrey);

    Picture3.setPictures(QStringLiteral("panel-send"));
    Label6.setFont(titleFont);
    Label6.setAlign(TextAlign::Center);
    RunVLCBtn.setFont(buttonFont);
    RunVLCBtn.setToolTip(startTip());
    TargetText.setAlign(TextAlign::Center);
    TargetText.setBackColor(kLightGrey);
    SendenUniCastCheck.setValue(1);
    AdmitFrame.setBackColor(kLightYellow);
    AdmitFrame.hide();
    ForgetBtn.setToolTip(tr("Empfänger, die zugelassen oder abgelehnt wurden, werden wieder gefragt"));
    ForgetBtn.hide();

    Picture2.setPictures(QStringLiteral("panel-receive"));
    Label7.setFont(titleFont);
    Label7.setAlign(TextAlign::Center);
    StartClientBtn.setFont(buttonFont);
    TargetTextClient.setAlign(TextAlign::Center);
    TargetTextClient.setBackColor(kLightYellow);
    TargetTextClient.setEnabled(false);
    UniCastCheck.setValue(1);

    Label2.setBackColor(kWhite);
    Label2.setToolTip(tr("VLC - Pfad setzten "));
    VlcPath.setBackColor(kGrey);
    Label4.setFont({8.25, false, true});
    Label4.setForeColor(kLightYellow);
    Label4.hide();
    List_Count.setFont({8.25, true, false});
    List_Count.setForeColor(kWhite);
    UpBtn.setToolTip(tr("nach unten verschieben"));
    DownBtn.setToolTip(tr("nach oben verschieben"));
    AutoSaveCheck.setToolTip(tr("Diese Playliste beim nächsten Start wieder anzeigen.."));
    CheckMinimize.setToolTip(tr("Beim Programmstart minimieren"));
    Label3.setFont({8.25, false, true});
    Label3.setForeColor(kWhite);
    UpdateCaption.setFont({8.25, false, true});
    UpdateCaption.setForeColor(kWhite);

    Label9.setFont({8.25, true, false});
    ConnectStatus.setForeColor(kPanelGrey);
    ConnectStatusServer.setForeColor(kPanelGrey);
}

void MainWindow::wireEvents()
{
    // clang-format off
    LokalStarteBtn.on(ControlEvent::Click, [this] { LokalStarteBtn_Click(); });
    SendenTabButton.on(ControlEvent::Click, [this] { SendenTabButton_Click(); });
    EmpfangenTabButton.on(ControlEvent::Click, [this] { EmpfangenTabButton_Click(); });
    ExitBtn.on(ControlEvent::Click, [this] { ExitBtn_Click(); });
    Label2.on(ControlEvent::Click, [this] { Label2_Click(); });
    Timer1.on(ControlEvent::Timer, [this] { Timer1_Timer(); });
    ServerSendTimer.on(ControlEvent::Timer, [this] { ServerSendTimer_Timer(); });
    Form.on(ControlEvent::Resize, [this] { Form_Resize(); });

    Command1.on(ControlEvent::Click, [this] { Command1_Click(); });
    UpBtn.on(ControlEvent::Click, [this] { UpBtn_Click(); });
    DownBtn.on(ControlEvent::Click, [this] { DownBtn_Click(); });
    FilmList.on(ControlEvent::Click, [this] { FilmList_Click(); });
    FilmList.on(ControlEvent::DblClick, [this] { FilmList_DblClick(); });
    FilmList.on(ControlEvent::KeyDown, [this](const EventArgs& e) { FilmList_KeyDown(e.keyCode, e.shift); });
    List_Count.on(ControlEvent::Click, [this] { List_Count_Click(); });
    SaveBtn.on(ControlEvent::Click, [this] { SaveBtn_Click(); });
    FilmList.on(ControlEvent::Drop, [this](const EventArgs& e) { FilmList_OLEDragDrop(e.paths); });
    Form.on(ControlEvent::Drop, [this](const EventArgs& e) { Form_OLEDragDrop(e.paths); });
    Frame1.on(ControlEvent::Drop, [this](const EventArgs& e) { Frame1_OLEDragDrop(e.paths); });
    Frame2.on(ControlEvent::Drop, [this](const EventArgs& e) { Frame2_OLEDragDrop(e.paths); });

    VlcPath.on(ControlEvent::GotFocus, [this] { VlcPath_GotFocus(); });
    VlcPath.on(ControlEvent::LostFocus, [this] { VlcPath_LostFocus(); });
    VLC_Browse.on(ControlEvent::Click, [this] { VLC_Browse_Click(); });
    Command2.on(ControlEvent::Click, [this] { Command2_Click(); });
    StartClientBtn.on(ControlEvent::Click, [this] { StartClientBtn_Click(); });
    UniCastCheck.on(ControlEvent::Click, [this] { UniCastCheck_Click(); });
    MulitCastCheck.on(ControlEvent::Click, [this] { MulitCastCheck_Click(); });
    RunVLCBtn.on(ControlEvent::Click, [this] { RunVLCBtn_Click(); });
    TargetText.on(ControlEvent::GotFocus, [this] { TargetText_GotFocus(); });
    TargetText.on(ControlEvent::LostFocus, [this] { TargetText_LostFocus(); });
    SendenUniCastCheck.on(ControlEvent::Click, [this] { SendenUniCastCheck_Click(); });
    MultiCastCheck.on(ControlEvent::Click, [this] { MultiCastCheck_Click(); });
    AdmitBtn.on(ControlEvent::Click, [this] { AdmitBtn_Click(); });
    DenyBtn.on(ControlEvent::Click, [this] { DenyBtn_Click(); });
    ForgetBtn.on(ControlEvent::Click, [this] { ForgetBtn_Click(); });
    TargetTextClient.on(ControlEvent::LostFocus, [this] { receiving_.closeRequestChannel(); });

    SErverBtnTest.on(ControlEvent::Click, [this] { SErverBtnTest_Click(); });
    ButtonServerSenden.on(ControlEvent::Click, [this] { ButtonServerSenden_Click(); });
    ClientBtnTest.on(ControlEvent::Click, [this] { ClientBtnTest_Click(); });
    FilmRemoteList.on(ControlEvent::DblClick, [this] { FilmRemoteList_DblClick(); });
    FilmRemoteList.on(ControlEvent::KeyDown, [this](const EventArgs& e) { FilmRemoteList_KeyDown(e.keyCode, e.shift); });

    UpdateCaption.on(ControlEvent::Click, [this] { UpdateCaption_Click(); });
    Label3.on(ControlEvent::Click, [this] { Label3_Click(); });
    Label4.on(ControlEvent::Click, [this] { Label4_Click(); });

    AlwaysOnTop1.on(ControlEvent::Click, [this] { pin_.clickPicture(); });
    AlwaysOnTop1.on(ControlEvent::MouseMove, [this] { pin_.pointerOverPicture(); });
    // clang-format on
    // the background, the panels, their icons, the strip beside the tabs and the play list move the window
    for (Control* grip : {&Form, &Command3, &Frame1, &Frame2, &Frame3, &JetztAbspielenFrame, &SendenFrame,
                          &EmpfangenFrame, &Picture1, &Picture3, &Picture2, &FilmList})
        grip->on(ControlEvent::MouseDown, [this] { window_.startSystemMove(); });

    // Track requests restart the stream; the restart lets events run (and may open a dialog), so
    // it runs after the socket's event has returned.
    connect(&sending_, &SendingEnd::restartRequested, this, &MainWindow::RunVLCBtn_Click, Qt::QueuedConnection);
    connect(&receiving_, &ReceivingEnd::listReceived, this, &MainWindow::UpdateFileCount);
    connect(&sending_, &SendingEnd::admissionAsked, this, &MainWindow::askAdmission);
    discovery_.setPeersChanged([this](const QList<DiscoveredPeer>& peers) { offerPeers(peers); });
    followPicks(TargetText, pickedReceiver_);
    followPicks(TargetTextClient, pickedSender_);
    // A later start asks from a socket's event, and coming forward lets events run.
    connect(
        &singleInstance_, &ISingleInstance::activationRequested, this,
        [this](const QString& keys1, const QString& keys2) {
            if (!ended_)
                desktop::ComeForward(window_, events_, keys1, keys2);
        },
        Qt::QueuedConnection);
    // and hands over the file it was given, as if dropped onto the list (loading may show a dialog)
    connect(
        &singleInstance_, &ISingleInstance::openRequested, this,
        [this](const QString& file) {
            if (!ended_ && textfile::fileExists(file))
                FilmList_OLEDragDrop({file});
        },
        Qt::QueuedConnection);
}

// The binding sets the list index of a field with offered names when one is picked, before the
// text; typing, or the program setting another text, ends the pick.
void MainWindow::followPicks(Control& field, QString& picked)
{
    connect(&field, &Control::changed, this, [&field, &picked](Control*, Control::Property property) {
        if (property == Control::Property::ListIndex && field.listIndex() >= 0)
            picked = field.item(field.listIndex());
        else if (property == Control::Property::Text && field.text() != picked)
            picked.clear();
    });
}

// Only a name picked from the offered ones stands for the address found with it: whatever is
// typed is used as it is, so no record anyone publishes can redirect a typed target.
QString MainWindow::addressOf(const QString& typed) const
{
    // the link asks with the field's text, trimmed or not
    const auto pickedIn = [&typed](const Control& field, const QString& picked) {
        return !picked.isEmpty() && field.text() == picked && typed.trimmed() == picked.trimmed();
    };
    if (pickedIn(TargetText, pickedReceiver_))
        return discovery::addressFor(pickedReceiver_, pickedReceiver_, peers_, PeerRole::Receiver);
    if (pickedIn(TargetTextClient, pickedSender_))
        return discovery::addressFor(pickedSender_, pickedSender_, peers_, PeerRole::Sender);
    return typed;
}

QString MainWindow::nameOf(const QString& address) const
{
    for (const DiscoveredPeer& p : peers_)
        if (p.address == address)
            return p.hostName;
    return {};
}

void MainWindow::offerPeers(const QList<DiscoveredPeer>& peers)
{
    peers_ = peers;
    QStringList receivers, senders;
    for (const DiscoveredPeer& p : peers) {
        QStringList& names = p.role == PeerRole::Receiver ? receivers : senders;
        if (!p.hostName.isEmpty() && !names.contains(p.hostName))
            names << p.hostName;
    }
    TargetText.setItems(receivers);
    TargetTextClient.setItems(senders);
    receiving_.showSender();
}

// This instance no longer offers itself nor looks for others.
void MainWindow::leaveTheLan()
{
    discovery_.withdraw();
    discovery_.stopBrowsing();
    offerPeers({});
    web_.stop();
}
