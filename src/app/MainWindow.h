#pragma once

#include "app/Settings.h"
#include "app/WindowControl.h"
#include "desktop/AlwaysOnTop.h"
#include "desktop/TrayHost.h"
#include "desktop/WindowLayout.h"
#include "link/LanNames.h"
#include "link/LinkPorts.h"
#include "link/ReceivingEnd.h"
#include "link/SendingEnd.h"
#include "model/Control.h"
#include "model/Defaults.h"
#include "platform/IServiceDiscovery.h"
#include "platform/ProgramEnvironment.h"
#include "player/VlcStarter.h"
#include "playlist/Playlist.h"
#include "update/UpdateCheck.h"
#include "web/WebRemote.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class IClock;
class IDialogs;
class IEventPump;
class ILinkSocketFactory;
class IProcessLauncher;
class IProgressDialog;
class ISingleInstance;
class ITrayIcon;
class IWindowHost;

// The outside world as the window meets it, handed in once.
struct MainWindowServices {
    IProcessLauncher& processes;
    IDialogs& dialogs;
    IWindowHost& window;
    IEventPump& events;
    IClock& clock;
    ISingleInstance& singleInstance;
    IProgressDialog& progress;
    ITrayIcon& tray;
    ILinkSocketFactory& sockets;
    ProgramEnvironment environment;
    LinkPorts linkPorts = {};
    // finds the other instances on the LAN
    IServiceDiscovery& discovery;
    // whose signature an update must bear; the maker's outside the tests
    QByteArray updateKey = makerkey::publicKey();
    // milliseconds for the budgets, retries and time-outs of strangers on the LAN
    LinkClock ticks = steadyLinkClock();
};

// The main window: every named control, the mode switching, and the event procedures, each of
// which hands on to the subsystem that does the work. The subsystems meet only here.
class MainWindow : public QObject {
    Q_OBJECT
public:
    static inline const QString kStoredCaption = QStringLiteral("VLC- Drag&Drop - Mirovell");

    explicit MainWindow(const MainWindowServices& services, QObject* parent = nullptr);
    ~MainWindow() override;

    // Every control, containers before what they hold.
    const std::vector<Control*>& controls() const { return Form.all(); }
    Control* control(const QString& name) const;

    // ---- the window and its controls ----
    // Each as designed: name, kind, container, place, caption; how it looks; what each mode makes
    // of it; what its events call. A new control is one more line here, in the order of the
    // window (containers first, the keyboard's order among the acting ones).
    // clang-format off
    WindowControl Form{QStringLiteral("Form"), ControlKind::Form, nullptr, {0, 0, 10365, 6105}, kStoredCaption,
        {.back = kGrey},
        {},
        {{ControlEvent::Resize, [this] { Form_Resize(); }},
         {ControlEvent::Drop, [this](const EventArgs& e) { Form_OLEDragDrop(e.paths); }},
         grip()}};

    WindowControl LokalStarteBtn{QStringLiteral("LokalStarteBtn"), ControlKind::PictureButton, &Form, {0, 0, 2340, 630}, {},
        {.picture = QStringLiteral("tab-local"), .disabledPicture = QStringLiteral("tab-local-disabled")},
        {.start = kOn, .local = kOff, .send = kOn, .receive = kOn},
        {{ControlEvent::Click, [this] { LokalStarteBtn_Click(); }}}};
    WindowControl SendenTabButton{QStringLiteral("SendenTabButton"), ControlKind::PictureButton, &Form, {2280, 0, 2340, 630}, {},
        {.picture = QStringLiteral("tab-send"), .disabledPicture = QStringLiteral("tab-send-disabled")},
        {.start = kOn, .local = kOn, .send = kOff, .receive = kOn},
        {{ControlEvent::Click, [this] { SendenTabButton_Click(); }}}};
    WindowControl EmpfangenTabButton{QStringLiteral("EmpfangenTabButton"), ControlKind::PictureButton, &Form, {4590, 0, 2340, 630}, {},
        {.picture = QStringLiteral("tab-receive"), .disabledPicture = QStringLiteral("tab-receive-disabled")},
        {.start = kOn, .local = kOn, .send = kOn, .receive = kOff},
        {{ControlEvent::Click, [this] { EmpfangenTabButton_Click(); }}}};
    WindowControl ExitBtn{QStringLiteral("ExitBtn"), ControlKind::PictureButton, &Form, {6900, -15, 1350, 645}, {},
        {.picture = QStringLiteral("exit")},
        {},
        {{ControlEvent::Click, [this] { ExitBtn_Click(); }}}};
    WindowControl Command3{QStringLiteral("Command3"), ControlKind::Button, &Form, {8190, 0, 24630, 630}, {},
        {.back = kWhite, .enabled = false},
        {},
        {grip()}};

    WindowControl Frame2{QStringLiteral("Frame2"), ControlKind::Frame, &Form, {0, 1590, 8190, 2625}, QStringLiteral("Frame2"),
        {.back = kPanelGrey},
        {},
        {{ControlEvent::Drop, [this](const EventArgs& e) { Frame2_OLEDragDrop(e.paths); }}, grip()}};
    WindowControl FilmList{QStringLiteral("FilmList"), ControlKind::ListBox, &Form, {105, 1620, 7935, 2325}, {},
        {.back = kWhite, .toolTip = dropTip()},
        {.start = kOn, .local = kOn, .send = kOn, .receive = kOff},
        {{ControlEvent::Click, [this] { FilmList_Click(); }},
         {ControlEvent::DblClick, [this] { FilmList_DblClick(); }},
         {ControlEvent::KeyDown, [this](const EventArgs& e) { FilmList_KeyDown(e.keyCode, e.shift); }},
         {ControlEvent::Drop, [this](const EventArgs& e) { FilmList_OLEDragDrop(e.paths); }},
         grip()}};
    WindowControl FilmRemoteList{QStringLiteral("FilmRemoteList"), ControlKind::ListBox, &Form, {9120, 1950, 2295, 2325}, {},
        {.back = kLightGrey, .toolTip = dropTip(), .visible = false},
        {.local = kHidden, .send = kHidden, .receive = kShown},
        {{ControlEvent::DblClick, [this] { FilmRemoteList_DblClick(); }},
         {ControlEvent::KeyDown, [this](const EventArgs& e) { FilmRemoteList_KeyDown(e.keyCode, e.shift); }}}};
    WindowControl SErverBtnTest{QStringLiteral("SErverBtnTest"), ControlKind::Label, &Form, {8280, 3000, 975, 255}, QStringLiteral("ServerStarten"),
        {.visible = false},
        {},
        {{ControlEvent::Click, [this] { SErverBtnTest_Click(); }}}};
    WindowControl ClientBtnTest{QStringLiteral("ClientBtnTest"), ControlKind::Label, &Form, {8280, 3480, 975, 255}, QStringLiteral("Client Starten"),
        {.visible = false},
        {},
        {{ControlEvent::Click, [this] { ClientBtnTest_Click(); }}}};
    WindowControl ButtonServerSenden{QStringLiteral("ButtonServerSenden"), ControlKind::Button, &Form, {9600, 3600, 495, 255}, QStringLiteral("sned"),
        {.visible = false},
        {},
        {{ControlEvent::Click, [this] { ButtonServerSenden_Click(); }}}};
    WindowControl Timer1{QStringLiteral("Timer1"), ControlKind::Timer, &Form, {}, {},
        {.interval = 1000},
        {},
        {{ControlEvent::Timer, [this] { Timer1_Timer(); }}}};
    WindowControl ServerSendTimer{QStringLiteral("ServerSendTimer"), ControlKind::Timer, &Form, {}, {},
        {.interval = 2000, .enabled = false},
        {.local = kOff, .send = kOn, .receive = kOn},
        {{ControlEvent::Timer, [this] { ServerSendTimer_Timer(); }}}};

    // local mode panel
    WindowControl JetztAbspielenFrame{QStringLiteral("JetztAbspielenFrame"), ControlKind::Frame, &Form, {1320, 5280, 5655, 990}, QStringLiteral("Empfangen"),
        {.back = kPanelGrey, .visible = false},
        {.start = {true, {}, {}, &SendenFrame}, .local = {true, {}, {}, &SendenFrame}, .send = kHidden, .receive = kHidden},
        {grip()}};
    WindowControl Command2{QStringLiteral("Command2"), ControlKind::Button, &JetztAbspielenFrame, {0, 0, 2325, 630}, tr("Starten ...        "),
        {.font = kButtonFont, .toolTip = startTip()},
        {.start = kHidden, .local = kShown},
        {{ControlEvent::Click, [this] { Command2_Click(); }}}};
    WindowControl Picture1{QStringLiteral("Picture1"), ControlKind::Picture, &JetztAbspielenFrame, {240, 120, 600, 585}, {},
        {.picture = QStringLiteral("panel-local")},
        {.local = {{}, {}, 2640}},
        {grip()}};
    WindowControl Label8{QStringLiteral("Label8"), ControlKind::Label, &JetztAbspielenFrame, {900, 210, 1815, 345}, tr("Abspielen"),
        {.fore = kLightGrey, .font = kTitleFont, .align = TextAlign::Center},
        {.local = {{}, {}, 3255}}};

    // The mode panels are taller than designed, so that the two stream options below their buttons
    // are whole; the options for several receivers sit beside those for one, and the list below.
    // send mode panel
    WindowControl SendenFrame{QStringLiteral("SendenFrame"), ControlKind::Frame, &Form, {0, 600, 8190, 990}, QStringLiteral("Server"),
        {.back = kPanelGrey},
        {.start = kHidden, .local = kHidden, .send = kShown, .receive = kHidden},
        {grip()}};
    WindowControl Picture3{QStringLiteral("Picture3"), ControlKind::Picture, &SendenFrame, {240, 120, 570, 570}, {},
        {.picture = QStringLiteral("panel-send")},
        {},
        {grip()}};
    WindowControl Label6{QStringLiteral("Label6"), ControlKind::Label, &SendenFrame, {825, 210, 1455, 345}, tr("Senden"),
        {.font = kTitleFont, .align = TextAlign::Center}};
    WindowControl RunVLCBtn{QStringLiteral("RunVLCBtn"), ControlKind::Button, &SendenFrame, {2325, 15, 2310, 630}, tr("Starten ...        "),
        {.font = kButtonFont, .toolTip = startTip()},
        {},
        {{ControlEvent::Click, [this] { RunVLCBtn_Click(); }}}};
    WindowControl Label5{QStringLiteral("Label5"), ControlKind::Label, &SendenFrame, {4830, 240, 1200, 240}, tr("Empfänger:")};
    WindowControl TargetText{QStringLiteral("TargetText"), ControlKind::TextBox, &SendenFrame, {6060, 180, 1815, 360}, platformdefaults::kDefaultRemoteHost,
        {.back = kLightGrey, .align = TextAlign::Center},
        {},
        {{ControlEvent::GotFocus, [this] { TargetText_GotFocus(); }},
         {ControlEvent::LostFocus, [this] { TargetText_LostFocus(); }}}};
    // steering this PC's sending VLC, below the start button, between the two stream options; each
    // as wide as its longest caption in either language ("Previous", "Resume", "Next") needs; off
    // until a VLC says it can be steered
    WindowControl SendPrevBtn{QStringLiteral("SendPrevBtn"), ControlKind::Button, &SendenFrame, {2430, 645, 840, 315}, tr("Zurück"),
        {.enabled = false},
        {},
        {{ControlEvent::Click, [this] { SendPrevBtn_Click(); }}}};
    WindowControl SendPauseBtn{QStringLiteral("SendPauseBtn"), ControlKind::Button, &SendenFrame, {3315, 645, 810, 315}, tr("Pause"),
        {.enabled = false},
        {},
        {{ControlEvent::Click, [this] { SendPauseBtn_Click(); }}}};
    WindowControl SendNextBtn{QStringLiteral("SendNextBtn"), ControlKind::Button, &SendenFrame, {4170, 645, 540, 315}, tr("Vor"),
        {.enabled = false},
        {},
        {{ControlEvent::Click, [this] { SendNextBtn_Click(); }}}};
    WindowControl SendenUniCastCheck{QStringLiteral("SendenUniCastCheck"), ControlKind::OptionButton, &SendenFrame, {120, 600, 2295, 255}, tr("Senden an (1 Client)"),
        {.value = 1},
        {},
        {{ControlEvent::Click, [this] { SendenUniCastCheck_Click(); }}}};
    WindowControl MultiCastCheck{QStringLiteral("MultiCastCheck"), ControlKind::OptionButton, &SendenFrame, {4740, 600, 2535, 375}, tr("Bereitstellen ( Clients > 1)"),
        {},
        {},
        {{ControlEvent::Click, [this] { MultiCastCheck_Click(); }}}};
    // serving several: a receiver that asks to be let in, beside the target field, without blocking
    WindowControl AdmitFrame{QStringLiteral("AdmitFrame"), ControlKind::Frame, &SendenFrame, {7995, 15, 2295, 960}, {},
        {.back = kLightYellow, .visible = false}};
    WindowControl AdmitLabel{QStringLiteral("AdmitLabel"), ControlKind::Label, &AdmitFrame, {60, 45, 2175, 420}};
    WindowControl AdmitBtn{QStringLiteral("AdmitBtn"), ControlKind::Button, &AdmitFrame, {60, 540, 1050, 345}, tr("Zulassen"),
        {},
        {},
        {{ControlEvent::Click, [this] { AdmitBtn_Click(); }}}};
    WindowControl DenyBtn{QStringLiteral("DenyBtn"), ControlKind::Button, &AdmitFrame, {1185, 540, 1050, 345}, tr("Ablehnen"),
        {},
        {},
        {{ControlEvent::Click, [this] { DenyBtn_Click(); }}}};
    WindowControl ForgetBtn{QStringLiteral("ForgetBtn"), ControlKind::Button, &SendenFrame, {8055, 555, 2175, 345}, tr("Antworten vergessen"),
        {.toolTip = tr("Empfänger, die zugelassen oder abgelehnt wurden, werden wieder gefragt"), .visible = false},
        {},
        {{ControlEvent::Click, [this] { ForgetBtn_Click(); }}}};

    // receive mode panel
    WindowControl EmpfangenFrame{QStringLiteral("EmpfangenFrame"), ControlKind::Frame, &Form, {960, 5280, 9375, 990}, QStringLiteral("Server"),
        {.back = kPanelGrey, .visible = false},
        {.local = kHidden, .send = kHidden, .receive = {true, {}, {}, &SendenFrame}},
        {grip()}};
    WindowControl Picture2{QStringLiteral("Picture2"), ControlKind::Picture, &EmpfangenFrame, {240, 120, 570, 570}, {},
        {.picture = QStringLiteral("panel-receive")},
        {},
        {grip()}};
    WindowControl Label7{QStringLiteral("Label7"), ControlKind::Label, &EmpfangenFrame, {945, 195, 1815, 345}, tr("Empfangen"),
        {.font = kTitleFont, .align = TextAlign::Center}};
    WindowControl StartClientBtn{QStringLiteral("StartClientBtn"), ControlKind::Button, &EmpfangenFrame, {4590, 0, 2370, 630}, tr("Starten ...        "),
        {.font = kButtonFont},
        {},
        {{ControlEvent::Click, [this] { StartClientBtn_Click(); }}}};
    // steering the sender's VLC from here, in the free room between the title and the start button:
    // too narrow for three whole captions in a row, so back and next above, pause below them; off
    // until the sender says it can be steered
    WindowControl RemotePrevBtn{QStringLiteral("RemotePrevBtn"), ControlKind::Button, &EmpfangenFrame, {2790, 15, 840, 285}, tr("Zurück"),
        {.enabled = false},
        {},
        {{ControlEvent::Click, [this] { RemotePrevBtn_Click(); }}}};
    WindowControl RemotePauseBtn{QStringLiteral("RemotePauseBtn"), ControlKind::Button, &EmpfangenFrame, {2790, 315, 1425, 285}, tr("Pause"),
        {.enabled = false},
        {},
        {{ControlEvent::Click, [this] { RemotePauseBtn_Click(); }}}};
    WindowControl RemoteNextBtn{QStringLiteral("RemoteNextBtn"), ControlKind::Button, &EmpfangenFrame, {3675, 15, 540, 285}, tr("Vor"),
        {.enabled = false},
        {},
        {{ControlEvent::Click, [this] { RemoteNextBtn_Click(); }}}};
    WindowControl SenderLabel{QStringLiteral("SenderLabel"), ControlKind::Label, &EmpfangenFrame, {7200, 120, 825, 240}, tr("Sender:")};
    WindowControl TargetTextClient{QStringLiteral("TargetTextClient"), ControlKind::TextBox, &EmpfangenFrame, {5700, 630, 1635, 315}, platformdefaults::kDefaultRemoteHost,
        {.back = kLightYellow, .align = TextAlign::Center, .enabled = false},
        {},
        {{ControlEvent::LostFocus, [this] { receiving_.closeRequestChannel(); }}}};
    WindowControl UniCastCheck{QStringLiteral("UniCastCheck"), ControlKind::OptionButton, &EmpfangenFrame, {720, 600, 2295, 255}, tr("empfangen (1 Client)"),
        {.value = 1},
        {},
        {{ControlEvent::Click, [this] { UniCastCheck_Click(); }}}};
    WindowControl MulitCastCheck{QStringLiteral("MulitCastCheck"), ControlKind::OptionButton, &EmpfangenFrame, {3135, 600, 2535, 330}, tr("Abholen von (Clients > 1)"),
        {},
        {},
        {{ControlEvent::Click, [this] { MulitCastCheck_Click(); }}}};

    // settings and list tools
    WindowControl Frame1{QStringLiteral("Frame1"), ControlKind::Frame, &Form, {0, 4080, 8175, 855}, QStringLiteral("Server"),
        {.back = kPanelGrey},
        {},
        {{ControlEvent::Drop, [this](const EventArgs& e) { Frame1_OLEDragDrop(e.paths); }}, grip()}};
    WindowControl Label2{QStringLiteral("Label2"), ControlKind::Button, &Frame1, {105, 15, 615, 240}, tr("Vlc "),
        {.back = kWhite, .toolTip = tr("VLC - Pfad setzten ")},
        {},
        {{ControlEvent::Click, [this] { Label2_Click(); }}}};
    WindowControl VlcPath{QStringLiteral("VlcPath"), ControlKind::TextBox, &Frame1, {720, 0, 4740, 285}, platformdefaults::kDefaultVlcPath,
        {.back = kGrey},
        {},
        {{ControlEvent::GotFocus, [this] { VlcPath_GotFocus(); }},
         {ControlEvent::LostFocus, [this] { VlcPath_LostFocus(); }}}};
    WindowControl VLC_Browse{QStringLiteral("VLC_Browse"), ControlKind::Button, &Frame1, {7710, -45, 375, 285}, QStringLiteral("..."),
        {},
        {},
        {{ControlEvent::Click, [this] { VLC_Browse_Click(); }}}};
    WindowControl Label4{QStringLiteral("Label4"), ControlKind::Label, &Frame1, {5880, 270, 1740, 195}, tr("Download VLC"),
        {.fore = kLightYellow, .font = kLinkFont, .visible = false},
        {},
        {{ControlEvent::Click, [this] { Label4_Click(); }}}};
    WindowControl List_Count{QStringLiteral("List_Count"), ControlKind::Label, &Frame1, {960, 0, 1620, 255}, QStringLiteral("0"),
        {.fore = kWhite, .font = kSmallBold},
        {},
        {{ControlEvent::Click, [this] { List_Count_Click(); }}}};
    WindowControl Label1{QStringLiteral("Label1"), ControlKind::Label, &Frame1, {3840, 0, 1095, 195}, tr("Verbindung:"),
        {},
        {.start = kHidden, .local = kHidden}};
    WindowControl ProtokollCombo{QStringLiteral("ProtokollCombo"), ControlKind::ComboBox, &Frame1, {4200, 165, 780, 315}, QStringLiteral("Combo1"),
        {},
        {.start = kHidden, .local = kHidden}};
    WindowControl UpBtn{QStringLiteral("UpBtn"), ControlKind::Button, &Frame1, {105, 315, 285, 375}, QStringLiteral("<"),
        {.toolTip = tr("nach unten verschieben")},
        {},
        {{ControlEvent::Click, [this] { UpBtn_Click(); }}}};
    WindowControl DownBtn{QStringLiteral("DownBtn"), ControlKind::Button, &Frame1, {405, 315, 285, 375}, QStringLiteral(">"),
        {.toolTip = tr("nach oben verschieben")},
        {},
        {{ControlEvent::Click, [this] { DownBtn_Click(); }}}};
    WindowControl SaveBtn{QStringLiteral("SaveBtn"), ControlKind::Button, &Frame1, {780, 315, 1215, 375}, tr("Speichern als.."),
        {},
        {},
        {{ControlEvent::Click, [this] { SaveBtn_Click(); }}}};
    WindowControl Command1{QStringLiteral("Command1"), ControlKind::Button, &Frame1, {2055, 315, 1215, 375}, tr("Liste leeren"),
        {},
        {},
        {{ControlEvent::Click, [this] { Command1_Click(); }}}};
    WindowControl AutoSaveCheck{QStringLiteral("AutoSaveCheck"), ControlKind::CheckBox, &Frame1, {3435, 255, 1920, 255}, tr("Playlist speichern"),
        {.toolTip = tr("Diese Playliste beim nächsten Start wieder anzeigen..")}};
    WindowControl CheckMinimize{QStringLiteral("CheckMinimize"), ControlKind::CheckBox, &Frame1, {3435, 495, 2055, 255}, tr("bei Start minimieren"),
        {.toolTip = tr("Beim Programmstart minimieren")}};
    WindowControl Label3{QStringLiteral("Label3"), ControlKind::Label, &Frame1, {5880, 480, 915, 240}, tr("Homepage"),
        {.fore = kWhite, .font = kLinkFont},
        {},
        {{ControlEvent::Click, [this] { Label3_Click(); }}}};
    WindowControl UpdateCaption{QStringLiteral("UpdateCaption"), ControlKind::Label, &Frame1, {6960, 480, 630, 225}, tr("Update"),
        {.fore = kWhite, .font = kLinkFont},
        {},
        {{ControlEvent::Click, [this] { UpdateCaption_Click(); }}}};

    // status strip
    // the status strip is lighter, so its grey status texts can be read
    WindowControl Frame3{QStringLiteral("Frame3"), ControlKind::Frame, &Form, {0, 4920, 9015, 375}, {},
        {.back = kGrey},
        {},
        {grip()}};
    WindowControl AlwaysOnTop1{QStringLiteral("AlwaysOnTop1"), ControlKind::PinToggle, &Frame3, {75, 45, 315, 300}, {},
        {},
        {},
        {{ControlEvent::Click, [this] { pin_.clickPicture(); }},
         {ControlEvent::MouseMove, [this] { pin_.pointerOverPicture(); }}}};
    WindowControl Label9{QStringLiteral("Label9"), ControlKind::Label, &Frame3, {525, 60, 1275, 240}, tr("00:00:00 Uhr"),
        {.font = kSmallBold}};
    WindowControl ConnectStatus{QStringLiteral("ConnectStatus"), ControlKind::Label, &Frame3, {2070, 45, 4740, 240}, tr("Status"),
        {.fore = kPanelGrey}};
    WindowControl ConnectStatusServer{QStringLiteral("ConnectStatusServer"), ControlKind::Label, &Frame3, {5400, 15, 3540, 240}, tr("Status"),
        {.fore = kPanelGrey}};

    // the web remote's address in send mode, as a code for a phone's camera and as text, beside the list
    WindowControl WebCodePicture{QStringLiteral("WebCodePicture"), ControlKind::Picture, &Form, {8385, 1680, 1800, 1800}, {},
        {.visible = false}};
    WindowControl WebAddressLabel{QStringLiteral("WebAddressLabel"), ControlKind::Label, &Form, {8265, 3510, 2040, 480}, {},
        {.font = FontSpec{7.5, false, false}, .align = TextAlign::Center, .visible = false}};
    // clang-format on

    // ---- start and end ----
    void Form_Load();
    void LoadProtocolList();
    void LoadPlaylistFile(QString& name, bool clearFirst);
    void ExitBtn_Click();
    // Every ending comes here; only the first one saves.
    void Form_QueryUnload();
    void SaveSettingsOnExit();
    bool hasEnded() const { return ended_; }

    // ---- modes, clock, the VLC path row ----
    void LokalStarteBtn_Click();
    void SendenTabButton_Click();
    void EmpfangenTabButton_Click();
    void Label2_Click();
    void Timer1_Timer();
    void ServerSendTimer_Timer();
    void Form_Resize();

    // ---- the list ----
    // After every change of the list and every mode switch; in send mode it announces the list.
    void UpdateFileCount();
    void Command1_Click();
    void UpBtn_Click();
    void DownBtn_Click();
    void FilmList_Click();
    void FilmList_DblClick();
    // Enter as a double-click, Delete removes, Alt+Up and Alt+Down move the entry.
    void FilmList_KeyDown(int keyCode, int shift);
    void List_Count_Click();
    void SaveBtn_Click();
    // Each takes the dropped paths in the desktop's order.
    void FilmList_OLEDragDrop(const QStringList& dropped);
    void Form_OLEDragDrop(const QStringList& dropped);
    void Frame1_OLEDragDrop(const QStringList& dropped);
    void Frame2_OLEDragDrop(const QStringList& dropped);

    // ---- VLC: its path, playing here, receiving, sending ----
    void VlcPath_GotFocus();
    void VlcPath_LostFocus();
    void VLC_Browse_Click();
    void Command2_Click();
    void StartClientBtn_Click();
    void UniCastCheck_Click();
    void MulitCastCheck_Click();
    void RunVLCBtn_Click();
    void TargetText_GotFocus();
    void TargetText_LostFocus();
    void SendenUniCastCheck_Click();
    void MultiCastCheck_Click();
    // the answer to the receiver that asks to be let in; the next one asking is shown then
    void AdmitBtn_Click();
    void DenyBtn_Click();
    // every answer is taken back
    void ForgetBtn_Click();
    QString SelectedProtocol() const;

    // ---- the link ----
    void SErverBtnTest_Click();
    void ButtonServerSenden_Click();
    void ClientBtnTest_Click();
    void FilmRemoteList_DblClick();
    void FilmRemoteList_KeyDown(int keyCode, int shift);
    // A receiver asked for a track: it goes first, and the sending VLC plays from it.
    void SendingEnd_TrackRequested(const QString& name);
    // A browser let in asked for this entry: the same as a receiver's request.
    void WebRemote_TrackRequested(int index, const QString& entry);

    // ---- steering the sending VLC, here or from the receiver ----
    void SendPauseBtn_Click();
    void SendPrevBtn_Click();
    void SendNextBtn_Click();
    void RemotePauseBtn_Click();
    void RemotePrevBtn_Click();
    void RemoteNextBtn_Click();

    // ---- update and web links ----
    void UpdateCaption_Click();
    void Label3_Click();
    void Label4_Click();

private:
    // the tests' look at the subsystems (tests/support)
    friend struct WindowProbe;

    static QString startTip();
    static QString dropTip();
    // the background, the panels, their icons, the strip beside the tabs and the play list move the window
    On grip();
    void wireSubsystems();
    void wireSteering();
    // The stream output's option lines for the sending VLC, as the settings and the choice say.
    QStringList streamOptions() const;
    void steerSendingVlc(remotemsg::Command command);
    // This entry goes first and the sending VLC plays from it.
    void playEntryFirst(int i);
    void wireWebRemote();
    void restoreWebRemote();
    // Serves the page in send mode where the settings allow, and shows its address.
    void showWebRemote();
    // The code and the address at the right of the list, which gives them room while they show.
    void placeWebCode();
    void minimizeBeforeStart();
    void applySendChoice();
    void applyReceiveChoice();
    void restoreStreamChoices();
    void restoreAnswers();
    void keepAnswers();
    void askAdmission(const QString& address);
    void answerAdmission(bool allow);
    void showAdmission();
    void leaveTheLan();

    IProcessLauncher& processes_;
    IDialogs& dialogs_;
    IWindowHost& window_;
    IEventPump& events_;
    IClock& clock_;
    ISingleInstance& singleInstance_;
    const ProgramEnvironment environment_;
    const LinkPorts linkPorts_;
    IServiceDiscovery& discovery_;
    QStringList asking_;    // receivers that wait to be let in, the one shown first
    QStringList browsers_;  // those of them that asked from a web browser
    struct WebSettings {
        bool read = false;  // nothing is served before the settings say how
        bool on = true;
        bool code = true;
        quint16 port = WebRemote::kDefaultPort;
    } webSettings_;

    // the subsystems
    Settings settings_;
    Playlist playlist_;
    VlcStarter vlc_;
    LanNames lanNames_;
    SendingEnd sending_;
    ReceivingEnd receiving_;
    UpdateCheck update_;
    AlwaysOnTop pin_;
    TrayHost tray_;
    WindowLayout layout_;
    WebRemote web_;

    bool ended_ = false;
};
