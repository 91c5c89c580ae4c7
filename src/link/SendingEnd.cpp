#include "link/SendingEnd.h"

#include "link/LinkMessages.h"
#include "platform/Codec.h"
#include "platform/Control.h"
#include "platform/ILinkSocketFactory.h"

namespace {

constexpr int kRestartSpacingMs = 1000;
// A request names one entry; what is held of one stays bounded.
constexpr qsizetype kMaxRequestBytes = 1024 * 1024;

}  // namespace

SendingEnd::SendingEnd(const Controls& controls, ILinkSocketFactory& sockets, LinkPorts ports, QObject* parent)
    : QObject(parent), c_(controls), ports_(ports), serverListen_(sockets.create()), serverSend_(sockets.create()),
      requestNames_(&controls.FilmList.items()), requestReader_(kMaxRequestBytes, &requestNames_),
      restarts_(kRestartSpacingMs)
{
    connect(serverListen_.get(), &ILinkSocket::connectionRequest, this,
            &SendingEnd::Winsock_ServerListen_ConnectionRequest);
    connect(serverListen_.get(), &ILinkSocket::dataArrival, this, &SendingEnd::Winsock_ServerListen_DataArrival);
    connect(serverListen_.get(), &ILinkSocket::closed, this, &SendingEnd::Winsock_ServerListen_Close);
    // no handler for the receiver closing the list channel: it stays closing until the next check
    connect(serverSend_.get(), &ILinkSocket::connected, this, &SendingEnd::Winsock_ServerSend_Connect);
    connect(&requestReader_, &MessageReader::message, this, &SendingEnd::handleRequestMessage);
    connect(&requestReader_, &MessageReader::overflow, this, &SendingEnd::closeRequestChannel);
    connect(&restarts_, &RequestCoalescer::due, this, &SendingEnd::restartRequested);
    // the names a request may end with follow the list; they are sorted again only when asked for
    const auto stale = [this] { requestNames_.markStale(); };
    connect(&c_.FilmList, &Control::itemsInserted, this, stale);
    connect(&c_.FilmList, &Control::itemsRemoved, this, stale);
    connect(&c_.FilmList, &Control::itemChanged, this, stale);
    connect(&c_.FilmList, &Control::itemsReset, this, stale);
}

SendingEnd::~SendingEnd() = default;

void SendingEnd::StartServerListen()
{
    const LinkState st = serverListen_->state();
    if (st == LinkState::Connected || st == LinkState::Listening)
        return;
    if (st != LinkState::Closed)
        serverListen_->close();
    serverListen_->setLocalPort(ports_.request);
    serverListen_->listen();
    // a port held by another program leaves the socket closed; the timer tries again
    if (serverListen_->state() == LinkState::Listening)
        c_.ConnectStatusServer.setText(QStringLiteral("Warte auf Remote.."));
}

void SendingEnd::connectToReceiver()
{
    const LinkState st = serverSend_->state();
    const bool busy = st == LinkState::Connected || st == LinkState::Connecting;
    if (st != LinkState::Closed && !busy)
        serverSend_->close();
    if (!busy)
        serverSend_->connectTo(c_.TargetText.text(), ports_.list);
    if (serverSend_->state() == LinkState::Connecting)
        c_.ConnectStatus.setText(QStringLiteral("Suche Client.."));
}

void SendingEnd::announceList()
{
    const LinkState st = serverSend_->state();
    if (st != LinkState::Connected && st != LinkState::Connecting)
        connectToReceiver();
    // the socket sends only when connected: a list nobody can receive is not built at all
    if (serverSend_->state() != LinkState::Connected)
        return;
    serverSend_->sendData(linkmsg::EncodeTrackList(c_.FilmList.items()));
}

void SendingEnd::tick()
{
    const LinkState st = serverSend_->state();
    if (st != LinkState::Connected && st != LinkState::Closing)
        connectToReceiver();
    if (serverSend_->state() == LinkState::Connected) {
        if (sendCountdown == 5)
            announceList();
        --sendCountdown;
        if (sendCountdown < 1)
            sendCountdown = 5;
    }
    // only the sender listens for requests: a receiver on the same machine would
    // otherwise take the request port and be asked for its own tracks
    if (serverListen_->state() != LinkState::Connected)
        StartServerListen();
}

void SendingEnd::closeListChannel()
{
    serverSend_->close();
}

void SendingEnd::close()
{
    serverSend_->close();
    serverListen_->close();
    c_.ConnectStatusServer.setText(QStringLiteral("Closed"));
    c_.ConnectStatus.setText(QStringLiteral("Closed"));
}

void SendingEnd::Winsock_ServerListen_ConnectionRequest(qint64 requestId)
{
    if (serverListen_->state() != LinkState::Closed)
        serverListen_->close();
    requestReader_.reset();
    serverListen_->accept(requestId);
    c_.ConnectStatusServer.setText(QStringLiteral("Client (Remote) verbunden.."));
}

void SendingEnd::Winsock_ServerListen_DataArrival(qint64)
{
    requestReader_.feed(serverListen_->getData());
}

void SendingEnd::handleRequestMessage(const QByteArray& message)
{
    const linkmsg::Parsed m = linkmsg::Parse(codec::decodeFromLink(message));
    if (m.typeCode == linkmsg::kNotice) {
        c_.ConnectStatusServer.setText(QStringLiteral("Verbindung hergestellt"));
    } else if (m.typeCode == linkmsg::kBroken) {
        c_.ConnectStatusServer.setText(QStringLiteral("Verbindung Abgebrochen"));
    } else if (m.typeCode == linkmsg::kCommand) {
        if (m.body.startsWith(linkmsg::kStartTrack)) {
            // only an entry the user put in the list moves; text from the peer is never inserted
            const QString name = m.body.mid(linkmsg::kStartTrack.size());
            const int i = linkmsg::FindRequestedEntry(c_.FilmList.items(), name);
            if (i >= 0) {
                c_.ConnectStatusServer.setText(QStringLiteral("Playing:") + name);
                const QString entry = c_.FilmList.item(i);
                // a move keeps the same names: the sorted index stays good
                const bool stale = requestNames_.isStale();
                c_.FilmList.removeItem(i);
                c_.FilmList.insertItem(0, entry);
                requestNames_.markStale(stale);
                restarts_.request();
            }
        } else if (m.body.startsWith(linkmsg::kResetPlaylist)) {
            restarts_.request();
        }
    }
}

void SendingEnd::Winsock_ServerListen_Close()
{
    // a request that came just before the close is still a request
    requestReader_.finish(serverListen_->getData());
    closeRequestChannel();
}

void SendingEnd::closeRequestChannel()
{
    serverListen_->close();
    requestReader_.reset();
    if (c_.SendenFrame.visible())
        StartServerListen();
    else
        c_.ConnectStatusServer.setText(QStringLiteral("Closed"));
}

void SendingEnd::Winsock_ServerSend_Connect()
{
    c_.ConnectStatus.setText(QStringLiteral("Client gefunden"));
}
