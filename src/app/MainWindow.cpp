#include "app/MainWindow.h"

#include <QLocale>

namespace {

constexpr BgrColor kGrey = 0xC0C0C0;
constexpr BgrColor kPanelGrey = 0x808080;
constexpr BgrColor kLightGrey = 0xE0E0E0;
constexpr BgrColor kWhite = 0xFFFFFF;
constexpr BgrColor kLightYellow = 0xC0FFFF;

const QString kStartTip =
    QStringLiteral("Startet die FilmListe in VLC (TIP: VLC nur in einer Instanz erlauben (in den VLC Optionen)");
const QString kDropTip = QStringLiteral("Files oder Playlisten auf dieses Feld ziehen (Drag&Drop)");

}  // namespace

MainWindow::MainWindow(const MainWindowServices& services, QObject* parent) : QObject(parent), services_(services)
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
            &SendenUniCastCheck,
            &MultiCastCheck,
            &EmpfangenFrame,
            &Picture2,
            &Label7,
            &StartClientBtn,
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
            &ConnectStatusServer};
    applyDesignState();
    wireAppEvents();
    wirePlaylistEvents();
    wireVlcLocationEvents();
    wireDropEvents();
    wirePlaybackEvents();
    wireDesktopEvents();
    wireUpdateEvents();
    wireLinkEvents();
    wireStreamEvents();
}

MainWindow::~MainWindow() = default;

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
    FilmList.setToolTip(kDropTip);
    FilmRemoteList.setBackColor(kLightGrey);
    FilmRemoteList.setToolTip(kDropTip);
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
    Command2.setToolTip(kStartTip);
    Picture1.setPictures(QStringLiteral("panel-local"));
    Label8.setFont(titleFont);
    Label8.setAlign(TextAlign::Center);
    Label8.setForeColor(kLightGrey);

    Picture3.setPictures(QStringLiteral("panel-send"));
    Label6.setFont(titleFont);
    Label6.setAlign(TextAlign::Center);
    RunVLCBtn.setFont(buttonFont);
    RunVLCBtn.setToolTip(kStartTip);
    TargetText.setAlign(TextAlign::Center);
    TargetText.setBackColor(kLightGrey);
    SendenUniCastCheck.setValue(1);
    SendenUniCastCheck.hide();
    MultiCastCheck.hide();

    Picture2.setPictures(QStringLiteral("panel-receive"));
    Label7.setFont(titleFont);
    Label7.setAlign(TextAlign::Center);
    StartClientBtn.setFont(buttonFont);
    TargetTextClient.setAlign(TextAlign::Center);
    TargetTextClient.setBackColor(kLightYellow);
    TargetTextClient.hide();
    TargetTextClient.setEnabled(false);
    UniCastCheck.setValue(1);
    UniCastCheck.hide();
    MulitCastCheck.hide();

    Label2.setBackColor(kWhite);
    Label2.setToolTip(QStringLiteral("VLC - Pfad setzten "));
    VlcPath.setBackColor(kGrey);
    Label4.setFont({8.25, false, true});
    Label4.setForeColor(kLightYellow);
    Label4.hide();
    List_Count.setFont({8.25, true, false});
    List_Count.setForeColor(kWhite);
    UpBtn.setToolTip(QStringLiteral("nach unten verschieben"));
    DownBtn.setToolTip(QStringLiteral("nach oben verschieben"));
    AutoSaveCheck.setToolTip(QStringLiteral("Diese Playliste beim nächsten Start wieder anzeigen.."));
    CheckMinimize.setToolTip(QStringLiteral("Beim Programmstart minimieren"));
    Label3.setFont({8.25, false, true});
    Label3.setForeColor(kWhite);
    UpdateCaption.setFont({8.25, false, true});
    UpdateCaption.setForeColor(kWhite);

    Label9.setFont({8.25, true, false});
    ConnectStatus.setForeColor(kPanelGrey);
    ConnectStatusServer.setForeColor(kPanelGrey);
}

void MainWindow::wireAppEvents()
{
    LokalStarteBtn.on(ControlEvent::Click, [this] { LokalStarteBtn_Click(); });
    SendenTabButton.on(ControlEvent::Click, [this] { SendenTabButton_Click(); });
    EmpfangenTabButton.on(ControlEvent::Click, [this] { EmpfangenTabButton_Click(); });
    Label2.on(ControlEvent::Click, [this] { Label2_Click(); });
    Timer1.on(ControlEvent::Timer, [this] { Timer1_Timer(); });
    ExitBtn.on(ControlEvent::Click, [this] { ExitBtn_Click(); });
}

void MainWindow::LokalStarteBtn_Click()
{
    ConnectStatus.setText(QString());
    ConnectStatusServer.setText(QString());
    Command2.show();
    Label8.setLeft(3255);
    Picture1.setLeft(2640);
    JetztAbspielenFrame.setRect(SendenFrame.rect());
    SendenFrame.hide();
    EmpfangenFrame.hide();
    JetztAbspielenFrame.show();
    SendenTabButton.setEnabled(true);
    EmpfangenTabButton.setEnabled(true);
    LokalStarteBtn.setEnabled(false);
    FilmList.setEnabled(true);
    ProtokollCombo.hide();
    Label1.hide();
    FilmRemoteList.hide();
    ServerSendTimer.setEnabled(false);
    UpdateFileCount();
}

void MainWindow::SendenTabButton_Click()
{
    EmpfangenFrame.hide();
    SendenFrame.show();
    SendenTabButton.setEnabled(false);
    JetztAbspielenFrame.hide();
    EmpfangenTabButton.setEnabled(true);
    LokalStarteBtn.setEnabled(true);
    FilmList.setEnabled(true);
    SErverBtnTest_Click();
    ButtonServerSenden_Click();
    FilmRemoteList.hide();
    ServerSendTimer.setEnabled(true);
    StartServerListen();
    UpdateFileCount();
}

void MainWindow::EmpfangenTabButton_Click()
{
    ConnectStatus.setText(QString());
    ConnectStatusServer.setText(QString());
    EmpfangenFrame.setRect(SendenFrame.rect());
    EmpfangenFrame.show();
    SendenFrame.hide();
    JetztAbspielenFrame.hide();
    LokalStarteBtn.setEnabled(true);
    SendenTabButton.setEnabled(true);
    EmpfangenTabButton.setEnabled(false);
    FilmList.setEnabled(false);
    ClientBtnTest_Click();
    FilmRemoteList.clear();
    SenderLabel.setText(QStringLiteral("Sender:\rnicht gefunden"));
    FilmRemoteList.addItem(QStringLiteral("Warte auf Playlist ..."));
    remoteListWaiting_ = true;
    FilmRemoteList.show();
    ServerSendTimer.setEnabled(true);
    ConnectClientSend();
    UpdateFileCount();
    List_Count.setText(QString());
}

void MainWindow::Label2_Click()
{
    if (!VlcPath.visible()) {
        VlcPath.show();
        Label4.show();
        VLC_Browse.show();
        Label2.setText(QStringLiteral("< Vlc"));
        VlcPath.setFocus();
        VlcPath.setSelection(0, int(VlcPath.text().size()));
    } else {
        Label4.hide();
        VlcPath.hide();
        VLC_Browse.hide();
        Label2.setText(QStringLiteral("Vlc >"));
    }
}

void MainWindow::Timer1_Timer()
{
    const QTime now = services_.clock ? services_.clock->now() : QTime::currentTime();
    Label9.setText(now.toString(QStringLiteral("HH:mm:ss")));
}
