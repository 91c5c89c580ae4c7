#include "app/MainWindow.h"
#include "link/LinkMessages.h"
#include "link/MessageReader.h"
#include "link/RequestCoalescer.h"
#include "platform/Codec.h"

using namespace linkstate;

namespace {

constexpr int kRestartSpacingMs = 1000;
// A list of 32767 long paths fits; what is held for a message and read from it stays bounded.
constexpr qsizetype kMaxListBytes = 16 * 1024 * 1024;
constexpr qsizetype kMaxRequestBytes = 1024 * 1024;

}  // namespace

void MainWindow::wireLinkEvents()
{
    auto make = [this] { return services_.sockets ? services_.sockets->create() : linksocket::makeOfflineSocket(); };
    Winsock_ServerListen = make();
    Winsock_ServerSend = make();
    Winsock_ClientListen = make();
    Winsock_ClientSend = make();

    // A restart lets events run (and may open a dialog): it never runs inside a socket's event.
    restarts_ = new RequestCoalescer(
        kRestartSpacingMs,
        [this] {
            if (!ended_)
                RunVLCBtn_Click();
        },
        this);
    requestReader_ =
        new MessageReader({[this](const QByteArray& m) { handleRequestMessage(m); }, [this] { closeRequestChannel(); },
                           [this](QByteArrayView name) { return isWholeRequestName(name); }},
                          kMaxRequestBytes, this);
    listReader_ =
        new MessageReader({[this](const QByteArray& m) { handleListMessage(m); }, [this] { dropListChannel(); }, {}},
                          kMaxListBytes, this);
    // the names a request may end with follow the list; they are sorted again only when asked for
    const auto stale = [this] { requestNamesStale_ = true; };
    connect(&FilmList, &Control::itemsInserted, this, stale);
    connect(&FilmList, &Control::itemsRemoved, this, stale);
    connect(&FilmList, &Control::itemChanged, this, stale);
    connect(&FilmList, &Control::itemsReset, this, stale);

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

bool MainWindow::isWholeRequestName(QByteArrayView name)
{
    if (requestNamesStale_) {
        requestNames_.rebuild(FilmList.items());
        requestNamesStale_ = false;
    }
    return requestNames_.isWhole(name);
}

void MainWindow::handleRequestMessage(const QByteArray& message)
{
    const linkmsg::Parsed m = linkmsg::Parse(codec::decodeFromLink(message));
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
                // a move keeps the same names: the sorted index stays good
                const bool stale = requestNamesStale_;
                FilmList.removeItem(i);
                FilmList.insertItem(0, entry);
                requestNamesStale_ = stale;
                restarts_->request();
            }
        } else if (m.body.startsWith(linkmsg::kResetPlaylist)) {
            restarts_->request();
        }
    }
}

void MainWindow::Winsock_ServerListen_Close()
{
    // a request that came just before the close is still a request
    requestReader_->finish(Winsock_ServerListen->getData());
    closeRequestChannel();
}

void MainWindow::closeRequestChannel()
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

void MainWindow::Winsock_ServerSend_SendComplete()
{
}
