#include "app/MainWindow.h"

#include "desktop/PrevInstance.h"
#include "platform/IEventPump.h"
#include "platform/ISingleInstance.h"
#include "platform/IWindowHost.h"
#include "platform/TextFile.h"

QString MainWindow::startTip()
{
    return tr("Startet die FilmListe in VLC (TIP: VLC nur in einer Instanz erlauben (in den VLC Optionen)");
}

QString MainWindow::dropTip()
{
    return tr("Files oder Playlisten auf dieses Feld ziehen (Drag&Drop)");
}

On MainWindow::grip()
{
    return {ControlEvent::MouseDown, [this] { window_.startSystemMove(); }};
}

MainWindow::MainWindow(const MainWindowServices& services, QObject* parent)
    : QObject(parent), processes_(services.processes), dialogs_(services.dialogs), window_(services.window),
      events_(services.events), clock_(services.clock), singleInstance_(services.singleInstance),
      environment_(services.environment), linkPorts_(services.linkPorts), discovery_(services.discovery),
      playlist_({FilmList, FilmRemoteList, List_Count, UpBtn, DownBtn, SaveBtn}, services.dialogs),
      vlc_(VlcPath, services.processes, services.dialogs), lanNames_(TargetText, TargetTextClient, services.discovery),
      sending_({FilmList, TargetText, SendenFrame, ConnectStatus, ConnectStatusServer}, services.sockets, lanNames_,
               services.linkPorts, services.ticks),
      receiving_({FilmRemoteList, SenderLabel, EmpfangenFrame, ConnectStatus, ConnectStatusServer, MulitCastCheck,
                  TargetTextClient},
                 services.sockets, lanNames_, services.linkPorts),
      update_(UpdateCaption, services.dialogs, services.processes, services.events, services.progress,
              services.environment, services.updateKey),
      pin_(AlwaysOnTop1, services.window), tray_(services.tray, services.window, services.events),
      layout_({Form, Frame1, Frame2, Frame3, FilmList, FilmRemoteList, JetztAbspielenFrame, SendenFrame, EmpfangenFrame,
               VlcPath, VLC_Browse},
              services.window, tray_),
      web_([this] { return FilmList.items(); }, services.ticks)
{
    wireSubsystems();
    wireSteering();
    wireWebRemote();
}

MainWindow::~MainWindow() = default;

Control* MainWindow::control(const QString& name) const
{
    for (Control* c : controls())
        if (c->name() == name)
            return c;
    return nullptr;
}

void MainWindow::wireSubsystems()
{
    // Track requests restart the stream; the restart lets events run (and may open a dialog), so
    // it runs after the socket's event has returned.
    connect(&sending_, &SendingEnd::restartRequested, this, &MainWindow::RunVLCBtn_Click, Qt::QueuedConnection);
    connect(&receiving_, &ReceivingEnd::listReceived, this, &MainWindow::UpdateFileCount);
    connect(&sending_, &SendingEnd::admissionAsked, this, &MainWindow::askAdmission);
    // A later start asks from a socket's event, and coming forward lets events run.
    connect(
        &singleInstance_, &ISingleInstance::activationRequested, this,
        [this] {
            if (!ended_)
                desktop::ComeForward(window_);
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

// This instance no longer offers itself nor looks for others.
void MainWindow::leaveTheLan()
{
    discovery_.withdraw();
    discovery_.stopBrowsing();
    lanNames_.clear();
    web_.stop();
}
