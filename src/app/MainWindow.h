#pragma once

#include "app/Settings.h"
#include "desktop/AlwaysOnTop.h"
#include "desktop/TrayHost.h"
#include "desktop/WindowLayout.h"
#include "link/LinkPorts.h"
#include "link/ReceivingEnd.h"
#include "link/SendingEnd.h"
#include "platform/Control.h"
#include "platform/Defaults.h"
#include "platform/ILanNames.h"
#include "platform/ProgramEnvironment.h"
#include "platform/ServiceDiscovery.h"
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
    // finds the other instances on the LAN; none: nobody is found
    IServiceDiscovery* discovery = nullptr;
    // whose signature an update must bear; the maker's outside the tests
    QByteArray updateKey = makerkey::publicKey();
};

// The main window: every named control, the mode switching, and the event procedures, each of
// which hands on to the subsystem that does the work. The subsystems meet only here.
class MainWindow : public QObject, private ILanNames {
    Q_OBJECT
public:
    static inline const QString kStoredCaption = QStringLiteral("VLC- Drag&Drop - Mirovell");

    explicit MainWindow(const MainWindowServices& services, QObject* parent = nullptr);
    ~MainWindow() override;

    // Every control, containers before what they hold.
    const std::vector<Control*>& controls() const { return all_; }
    Control* control(const QString& name) const;

    // ---- the window and its controls ----
    // clang-format off
    Control Form{QStringLiteral("Form"), ControlKind::Form, nullptr, {0, 0, 10365, 6105}, kStoredCaption};

    Control LokalStarteBtn{QStringLiteral("LokalStarteBtn"), ControlKind::PictureButton, &Form, {0, 0, 2340, 630}};
    Control SendenTabButton{QStringLiteral("SendenTabButton"), ControlKind::PictureButton, &Form, {2280, 0, 2340, 630}};
    Control EmpfangenTabButton{QStringLiteral("EmpfangenTabButton"), ControlKind::PictureButton, &Form, {4590, 0, 2340, 630}};
    Control ExitBtn{QStringLiteral("ExitBtn"), ControlKind::PictureButton, &Form, {6900, -15, 1350, 645}};
    Control Command3{QStringLiteral("Command3"), ControlKind::Button, &Form, {8190, 0, 24630, 630}};

    Control Frame2{QStringLiteral("Frame2"), ControlKind::Frame, &Form, {0, 1590, 8190, 2625}, QStringLiteral("Frame2")};
    Control FilmList{QStringLiteral("FilmList"), ControlKind::ListBox, &Form, {105, 1620, 7935, 2325}};
    Control FilmRemoteList{QStringLiteral("FilmRemoteList"), ControlKind::ListBox, &Form, {9120, 1950, 2295, 2325}};
    Control SErverBtnTest{QStringLiteral("SErverBtnTest"), ControlKind::Label, &Form, {8280, 3000, 975, 255}, QStringLiteral("ServerStarten")};
    Control ClientBtnTest{QStringLiteral("ClientBtnTest"), ControlKind::Label, &Form, {8280, 3480, 975, 255}, QStringLiteral("Client Starten")};
    Control ButtonServerSenden{QStringLiteral("ButtonServerSenden"), ControlKind::Button, &Form, {9600, 3600, 495, 255}, QStringLiteral("sned")};
    Control Timer1{QStringLiteral("Timer1"), ControlKind::Timer, &Form};
    Control ServerSendTimer{QStringLiteral("ServerSendTimer"), ControlKind::Timer, &Form};

    // local mode panel
    Control JetztAbspielenFrame{QStringLiteral("JetztAbspielenFrame"), ControlKind::Frame, &Form, {1320, 5280, 5655, 990}, QStringLiteral("Empfangen")};
    Control Command2{QStringLiteral("Command2"), ControlKind::Button, &JetztAbspielenFrame, {0, 0, 2325, 630}, tr("Starten ...        ")};
    Control Picture1{QStringLiteral("Picture1"), ControlKind::Picture, &JetztAbspielenFrame, {240, 120, 600, 585}};
    Control Label8{QStringLiteral("Label8"), ControlKind::Label, &JetztAbspielenFrame, {900, 210, 1815, 345}, tr("Abspielen")};

    // The mode panels are taller than designed, so that the two stream options below their buttons
    // are whole; the options for several receivers sit beside those for one, and the list below.
    // send mode panel
    Control SendenFrame{QStringLiteral("SendenFrame"), ControlKind::Frame, &Form, {0, 600, 8190, 990}, QStringLiteral("Server")};
    Control Picture3{QStringLiteral("Picture3"), ControlKind::Picture, &SendenFrame, {240, 120, 570, 570}};
    Control Label6{QStringLiteral("Label6"), ControlKind::Label, &SendenFrame, {825, 210, 1455, 345}, tr("Senden")};
    Control RunVLCBtn{QStringLiteral("RunVLCBtn"), ControlKind::Button, &SendenFrame, {2325, 15, 2310, 630}, tr("Starten ...        ")};
    Control Label5{QStringLiteral("Label5"), ControlKind::Label, &SendenFrame, {4830, 240, 1200, 240}, tr("Empfänger:")};
    Control TargetText{QStringLiteral("TargetText"), ControlKind::TextBox, &SendenFrame, {6060, 180, 1815, 360}, platformdefaults::kDefaultRemoteHost};
    // steering this PC's sending VLC, below the start button
    Control SendPrevBtn{QStringLiteral("SendPrevBtn"), ControlKind::Button, &SendenFrame, {2460, 645, 720, 315}, tr("Zurück")};
    Control SendPauseBtn{QStringLiteral("SendPauseBtn"), ControlKind::Button, &SendenFrame, {3240, 645, 720, 315}, tr("Pause")};
    Control SendNextBtn{QStringLiteral("SendNextBtn"), ControlKind::Button, &SendenFrame, {4020, 645, 690, 315}, tr("Vor")};
    Control SendenUniCastCheck{QStringLiteral("SendenUniCastCheck"), ControlKind::OptionButton, &SendenFrame, {120, 600, 2295, 255}, tr("Senden an (1 Client)")};
    Control MultiCastCheck{QStringLiteral("MultiCastCheck"), ControlKind::OptionButton, &SendenFrame, {4740, 600, 2535, 375}, tr("Bereitstellen ( Clients > 1)")};
    // serving several: a receiver that asks to be let in, beside the target field, without blocking
    Control AdmitFrame{QStringLiteral("AdmitFrame"), ControlKind::Frame, &SendenFrame, {7995, 15, 2295, 960}};
    Control AdmitLabel{QStringLiteral("AdmitLabel"), ControlKind::Label, &AdmitFrame, {60, 45, 2175, 420}};
    Control AdmitBtn{QStringLiteral("AdmitBtn"), ControlKind::Button, &AdmitFrame, {60, 540, 1050, 345}, tr("Zulassen")};
    Control DenyBtn{QStringLiteral("DenyBtn"), ControlKind::Button, &AdmitFrame, {1185, 540, 1050, 345}, tr("Ablehnen")};
    Control ForgetBtn{QStringLiteral("ForgetBtn"), ControlKind::Button, &SendenFrame, {8055, 555, 2175, 345}, tr("Antworten vergessen")};

    // receive mode panel
    Control EmpfangenFrame{QStringLiteral("EmpfangenFrame"), ControlKind::Frame, &Form, {960, 5280, 9375, 990}, QStringLiteral("Server")};
    Control Picture2{QStringLiteral("Picture2"), ControlKind::Picture, &EmpfangenFrame, {240, 120, 570, 570}};
    Control Label7{QStringLiteral("Label7"), ControlKind::Label, &EmpfangenFrame, {945, 195, 1815, 345}, tr("Empfangen")};
    Control StartClientBtn{QStringLiteral("StartClientBtn"), ControlKind::Button, &EmpfangenFrame, {4590, 0, 2370, 630}, tr("Starten ...        ")};
    Control SenderLabel{QStringLiteral("SenderLabel"), ControlKind::Label, &EmpfangenFrame, {7200, 120, 825, 240}, tr("Sender:")};
    // steering the sender's VLC from here, in the free room between the title and the start button
    Control RemotePrevBtn{QStringLiteral("RemotePrevBtn"), ControlKind::Button, &EmpfangenFrame, {2790, 150, 585, 375}, tr("Zurück")};
    Control RemotePauseBtn{QStringLiteral("RemotePauseBtn"), ControlKind::Button, &EmpfangenFrame, {3390, 150, 585, 375}, tr("Pause")};
    Control RemoteNextBtn{QStringLiteral("RemoteNextBtn"), ControlKind::Button, &EmpfangenFrame, {3990, 150, 585, 375}, tr("Vor")};
    Control TargetTextClient{QStringLiteral("TargetTextClient"), ControlKind::TextBox, &EmpfangenFrame, {5700, 630, 1635, 315}, platformdefaults::kDefaultRemoteHost};
    Control UniCastCheck{QStringLiteral("UniCastCheck"), ControlKind::OptionButton, &EmpfangenFrame, {720, 600, 2295, 255}, tr("empfangen (1 Client)")};
    Control MulitCastCheck{QStringLiteral("MulitCastCheck"), ControlKind::OptionButton, &EmpfangenFrame, {3135, 600, 2535, 330}, tr("Abholen von (Clients > 1)")};

    // settings and list tools
    Control Frame1{QStringLiteral("Frame1"), ControlKind::Frame, &Form, {0, 4080, 8175, 855}, QStringLiteral("Server")};
    Control Label2{QStringLiteral("Label2"), ControlKind::Button, &Frame1, {105, 15, 615, 240}, tr("Vlc ")};
    Control VlcPath{QStringLiteral("VlcPath"), ControlKind::TextBox, &Frame1, {720, 0, 4740, 285}, platformdefaults::kDefaultVlcPath};
    Control VLC_Browse{QStringLiteral("VLC_Browse"), ControlKind::Button, &Frame1, {7710, -45, 375, 285}, QStringLiteral("...")};
    Control Label4{QStringLiteral("Label4"), ControlKind::Label, &Frame1, {5880, 270, 1740, 195}, tr("Download VLC")};
    Control List_Count{QStringLiteral("List_Count"), ControlKind::Label, &Frame1, {960, 0, 1620, 255}, QStringLiteral("0")};
    Control Label1{QStringLiteral("Label1"), ControlKind::Label, &Frame1, {3840, 0, 1095, 195}, tr("Verbindung:")};
    Control ProtokollCombo{QStringLiteral("ProtokollCombo"), ControlKind::ComboBox, &Frame1, {4200, 165, 780, 315}, QStringLiteral("Combo1")};
    Control UpBtn{QStringLiteral("UpBtn"), ControlKind::Button, &Frame1, {105, 315, 285, 375}, QStringLiteral("<")};
    Control DownBtn{QStringLiteral("DownBtn"), ControlKind::Button, &Frame1, {405, 315, 285, 375}, QStringLiteral(">")};
    Control SaveBtn{QStringLiteral("SaveBtn"), ControlKind::Button, &Frame1, {780, 315, 1215, 375}, tr("Speichern als..")};
    Control Command1{QStringLiteral("Command1"), ControlKind::Button, &Frame1, {2055, 315, 1215, 375}, tr("Liste leeren")};
    Control AutoSaveCheck{QStringLiteral("AutoSaveCheck"), ControlKind::CheckBox, &Frame1, {3435, 255, 1920, 255}, tr("Playlist speichern")};
    Control CheckMinimize{QStringLiteral("CheckMinimize"), ControlKind::CheckBox, &Frame1, {3435, 495, 2055, 255}, tr("bei Start minimieren")};
    Control Label3{QStringLiteral("Label3"), ControlKind::Label, &Frame1, {5880, 480, 915, 240}, tr("Homepage")};
    Control UpdateCaption{QStringLiteral("UpdateCaption"), ControlKind::Label, &Frame1, {6960, 480, 630, 225}, tr("Update")};

    // status strip
    Control Frame3{QStringLiteral("Frame3"), ControlKind::Frame, &Form, {0, 4920, 9015, 375}};
    Control AlwaysOnTop1{QStringLiteral("AlwaysOnTop1"), ControlKind::PinToggle, &Frame3, {75, 45, 315, 300}};
    Control Label9{QStringLiteral("Label9"), ControlKind::Label, &Frame3, {525, 60, 1275, 240}, tr("00:00:00 Uhr")};
    Control ConnectStatus{QStringLiteral("ConnectStatus"), ControlKind::Label, &Frame3, {2070, 45, 4740, 240}, tr("Status")};
    Control ConnectStatusServer{QStringLiteral("ConnectStatusServer"), ControlKind::Label, &Frame3, {5400, 15, 3540, 240}, tr("Status")};

    // the web remote's address in send mode, as a code for a phone's camera and as text, beside the list
    Control WebCodePicture{QStringLiteral("WebCodePicture"), ControlKind::Picture, &Form, {8385, 1680, 1800, 1800}};
    Control WebAddressLabel{QStringLiteral("WebAddressLabel"), ControlKind::Label, &Form, {8265, 3510, 2040, 480}};
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

    // ---- what tests look at ----
    const Settings& settings() const { return settings_; }
    const VlcStarter& vlcStarter() const { return vlc_; }
    const SendingEnd& sendingEnd() const { return sending_; }
    const ReceivingEnd& receivingEnd() const { return receiving_; }
    const WebRemote& webRemote() const { return web_; }
    const AlwaysOnTop& alwaysOnTop() const { return pin_; }
    const ILanNames& lanNames() const { return *this; }

private:
    void applyDesignState();
    void wireEvents();
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
    // Offers the peers found on the LAN in the target fields and names the sender.
    void offerPeers(const QList<DiscoveredPeer>& peers);
    // Remembers a name picked from a target field's offered ones, and forgets it once the field
    // holds anything else.
    void followPicks(Control& field, QString& picked);
    QString addressOf(const QString& typed) const override;
    QString nameOf(const QString& address) const override;
    void leaveTheLan();

    IProcessLauncher& processes_;
    IDialogs& dialogs_;
    IWindowHost& window_;
    IEventPump& events_;
    IClock& clock_;
    ISingleInstance& singleInstance_;
    const ProgramEnvironment environment_;
    const LinkPorts linkPorts_;
    std::unique_ptr<IServiceDiscovery> noDiscovery_;
    IServiceDiscovery& discovery_;
    QList<DiscoveredPeer> peers_;
    // the names picked from the drop-downs of TargetText and TargetTextClient; "" when typed
    QString pickedReceiver_;
    QString pickedSender_;
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
    SendingEnd sending_;
    ReceivingEnd receiving_;
    UpdateCheck update_;
    AlwaysOnTop pin_;
    TrayHost tray_;
    WindowLayout layout_;
    WebRemote web_;

    std::vector<Control*> all_;
    bool ended_ = false;
};
