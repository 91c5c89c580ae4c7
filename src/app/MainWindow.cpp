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
    wireSubsystems();
    wireSteering();
}

MainWindow::~MainWindow()
{
    discovery_.setPeersChanged(nullptr);
}

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
}
