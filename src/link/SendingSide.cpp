#include "app/MainWindow.h"
#include "link/LinkMessages.h"
#include "link/MessageReader.h"
#include "platform/Codec.h"

using namespace linkstate;

void MainWindow::wireLinkEvents()
{
    auto make = [this] { return services_.sockets ? services_.sockets->create() : linksocket::makeOfflineSocket(); };
    Winsock_ServerListen = make();
    Winsock_ServerSend = make();
    Winsock_ClientListen = make();
    Winsock_ClientSend = make();

    requestReader_ = new MessageReader({[this](const QString& m) { handleRequestMessage(m); },
                                        [this] {
                                            // requests that came together start the stream once
                                            if (restartWanted_) {
                                                restartWanted_ = false;
                                                RunVLCBtn_Click();
                                            }
                                        },
                                        [this] { Winsock_ServerListen_Close(); }},
                                       this);
    listReader_ = new MessageReader({[this](const QString& m) { handleListMessage(m); }, {},
                                     [this] { Winsock_ClientListen_Close(); }},
                                    this);

    ILinkSocket::Events e;
    e.connectionRequest = [this](qint64 id) { Winsock_ServerListen_ConnectionRequest(id); };
    e.dataArrival = [this](qint64 n) { Winsock_ServerListen_DataArrival(n); };
    e.closed = [this] { Winsock_ServerListen_Close(); };
    Winsock_ServerListen->setEvents(e);
    // no handler for the receiver closing the list channel: it stays closing until the next check
    e = {};
    e.connected = [this] { Winsock_ServerSend_Connect(); };
    e.sendComplete = [this] { Winsock_ServerSend_SendComplete(); };
    Winsock_ServerSend->setEvents(e);
    e = {};
    e.connectionRequest = [this](qint64 id) { Winsock_ClientListen_ConnectionRequest(id); };
    e.dataArrival = [this](qint64 n) { Winsock_ClientListen_DataArrival(n); };
    e.closed = [this] { Winsock_ClientListen_Close(); };
    Winsock_ClientListen->setEvents(e);
    e = {};
    e.connected = [this] { Winsock_ClientSend_Connect(); };
    e.closed = [this] { Winsock_ClientSend_Close(); };
    e.sendComplete = [this] { Winsock_ClientSend_SendComplete(); };
    Winsock_ClientSend->setEvents(e);

    SErverBtnTest.on(ControlEvent::Click, [this] { SErverBtnTest_Click(); });
    ButtonServerSenden.on(ControlEvent::Click, [this] { ButtonServerSenden_Click(); });
    ClientBtnTest.on(ControlEvent::Click, [this] { ClientBtnTest_Click(); });
    ServerSendTimer.on(ControlEvent::Timer, [this] { ServerSendTimer_Timer(); });
    FilmRemoteList.on(ControlEvent::DblClick, [this] { FilmRemoteList_DblClick(); });
}

void MainWindow::StartServerListen()
{
    const int st = Winsock_ServerListen->state();
    if (st == Connected || st == Listening)
        return;
    if (st != Closed)
        Winsock_ServerListen->close();
    Winsock_ServerListen->setLocalPort(services_.linkPorts.request);
    Winsock_ServerListen->listen();
    // a port held by another program leaves the socket closed; the timer tries again
    if (Winsock_ServerListen->state() == Listening)
        ConnectStatusServer.setText(QStringLiteral("Warte auf Remote.."));
}

void MainWindow::SErverBtnTest_Click()
{
    const int st = Winsock_ServerSend->state();
    if (st != Closed && st != Connected && st != Connecting)
        Winsock_ServerSend->close();
    if (st != Connected && st != Connecting)
        Winsock_ServerSend->connectTo(TargetText.text(), services_.linkPorts.list);
    if (Winsock_ServerSend->state() == Connecting)
        ConnectStatus.setText(QStringLiteral("Suche Client.."));
}

void MainWindow::ButtonServerSenden_Click()
{
    const QString message = linkmsg::BuildTrackList(FilmList.items());
    const int st = Winsock_ServerSend->state();
    if (st != Connected && st != Connecting)
        SErverBtnTest_Click();
    Winsock_ServerSend->sendData(codec::encodeForLink(message));
}

void MainWindow::ServerSendTimer_Timer()
{
    if (SendenFrame.visible()) {
        const int st = Winsock_ServerSend->state();
        if (st != Connected && st != Closing)
            SErverBtnTest_Click();
        if (Winsock_ServerSend->state() == Connected) {
            if (sendCountdown == 5)
                ButtonServerSenden_Click();
            --sendCountdown;
            if (sendCountdown < 1)
                sendCountdown = 5;
        }
        // only the sender listens for requests: a receiver on the same machine would
        // otherwise take the request port and be asked for its own tracks
        if (Winsock_ServerListen->state() != Connected)
            StartServerListen();
    }
    if (EmpfangenFrame.visible()) {
        const int st = Winsock_ClientSend->state();
        if (st != Connected && st != Closing)
            ConnectClientSend();
    }
}

void MainWindow::Winsock_ServerListen_ConnectionRequest(qint64 requestId)
{
    if (Winsock_ServerListen->state() != Closed)
        Winsock_ServerListen->close();
    requestReader_->reset();
    Winsock_ServerListen->accept(requestId);
    ConnectStatusServer.setText(QStringLiteral("Client (Remote) verbunden.."));
}

void MainWindow::Winsock_ServerListen_DataArrival(qint64)
{
    requestReader_->feed(Winsock_ServerListen->getData());
}

void MainWindow::handleRequestMessage(const QString& message)
{
    const linkmsg::Parsed m = linkmsg::Parse(message);
    if (m.typeCode == linkmsg::kNotice) {
        ConnectStatusServer.setText(QStringLiteral("Verbindung hergestellt"));
    } else if (m.typeCode == linkmsg::kBroken) {
        ConnectStatusServer.setText(QStringLiteral("Verbindung Abgebrochen"));
    } else if (m.typeCode == linkmsg::kCommand) {
        if (m.body.startsWith(linkmsg::kStartTrack)) {
            // only an entry the user put in the list moves; text from the peer is never inserted
            const QString name = m.body.mid(linkmsg::kStartTrack.size());
            const int i = linkmsg::FindRequestedEntry(FilmList.items(), name);
            if (i >= 0) {
                ConnectStatusServer.setText(QStringLiteral("Playing:") + name);
                const QString entry = FilmList.item(i);
                FilmList.removeItem(i);
                FilmList.insertItem(0, entry);
                restartWanted_ = true;
            }
        } else if (m.body.startsWith(linkmsg::kResetPlaylist)) {
            restartWanted_ = true;
        }
    }
}

void MainWindow::Winsock_ServerListen_Close()
{
    Winsock_ServerListen->close();
    requestReader_->reset();
    if (SendenFrame.visible())
        StartServerListen();
    else
        ConnectStatusServer.setText(QStringLiteral("Closed"));
}

void MainWindow::Winsock_ServerSend_Connect()
{
    ConnectStatus.setText(QStringLiteral("Client gefunden"));
}

void MainWindow::Winsock_ServerSend_SendComplete() {}
