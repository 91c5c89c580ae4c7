#include "link/ReceivingEnd.h"

#include "link/LanNames.h"
#include "link/LinkMessages.h"
#include "model/Control.h"
#include "platform/Codec.h"
#include "platform/ILinkSocketFactory.h"

namespace {

// A list of 32767 long paths fits; what is held for a message and read from it stays bounded.
constexpr qsizetype kMaxListBytes = 16 * 1024 * 1024;

QString senderText(const QString& who)
{
    return ReceivingEnd::tr("Sender:") + u'\r' + who;
}

}  // namespace

ReceivingEnd::ReceivingEnd(const Controls& controls, ILinkSocketFactory& sockets, const LanNames& names,
                           LinkPorts ports, QObject* parent)
    : QObject(parent), c_(controls), ports_(ports), clientListen_(sockets.create()), clientSend_(sockets.create()),
      listReader_(kMaxListBytes), requestRetry_([this] { return clock_(); }), names_(names)
{
    connect(clientListen_.get(), &ILinkSocket::connectionRequest, this,
            &ReceivingEnd::Winsock_ClientListen_ConnectionRequest);
    connect(clientListen_.get(), &ILinkSocket::dataArrival, this, &ReceivingEnd::Winsock_ClientListen_DataArrival);
    connect(clientListen_.get(), &ILinkSocket::closed, this, &ReceivingEnd::Winsock_ClientListen_Close);
    connect(clientSend_.get(), &ILinkSocket::connected, this, &ReceivingEnd::Winsock_ClientSend_Connect);
    connect(clientSend_.get(), &ILinkSocket::closed, this, &ReceivingEnd::Winsock_ClientSend_Close);
    connect(clientSend_.get(), &ILinkSocket::sendComplete, this, &ReceivingEnd::Winsock_ClientSend_SendComplete);
    connect(clientSend_.get(), &ILinkSocket::connectFailed, &requestRetry_, &RetryBackoff::failed);
    connect(&requestRetry_, &RetryBackoff::retry, this, [this] {
        if (c_.EmpfangenFrame.visible())
            ConnectClientSend();
    });
    connect(&names_, &LanNames::changed, this, &ReceivingEnd::showSender);
    connect(&listReader_, &MessageReader::message, this, &ReceivingEnd::handleListMessage);
    connect(&listReader_, &MessageReader::overflow, this, &ReceivingEnd::dropListChannel);
}

ReceivingEnd::~ReceivingEnd() = default;

void ReceivingEnd::listen()
{
    const LinkState st = clientListen_->state();
    if (st == LinkState::Connected || st == LinkState::Listening)
        return;
    if (st != LinkState::Closed)
        clientListen_->close();
    clientListen_->listen(ports_.list);
    if (clientListen_->state() == LinkState::Listening)
        c_.ConnectStatus.setText(tr("Warte auf Server.."));
}

void ReceivingEnd::ConnectClientSend()
{
    const LinkState st = clientSend_->state();
    const bool busy = st == LinkState::Connected || st == LinkState::Connecting;
    // after a refusal or a failure the next attempt waits for its turn
    if (!busy && !requestRetry_.mayTry())
        return;
    if (st != LinkState::Closed && !busy)
        clientSend_->close();
    // picking up from a named sender: the request channel goes there at once, which makes this
    // receiver known to it, instead of back to whichever sender opened the list channel
    const QString pickUp =
        c_.MulitCastCheck.value() == 1 ? names_.addressOf(c_.TargetTextClient.text().trimmed()) : QString();
    const QString sender = pickUp.isEmpty() ? clientListen_->remoteHostIP() : pickUp;
    if (!sender.isEmpty() && !busy)
        clientSend_->connectTo(sender, ports_.request);
    if (clientSend_->state() == LinkState::Connecting)
        c_.ConnectStatusServer.setText(tr("Client connected to Server "));
}

void ReceivingEnd::showWaiting()
{
    c_.FilmRemoteList.clear();
    c_.SenderLabel.setText(senderText(tr("nicht gefunden")));
    c_.FilmRemoteList.addItem(tr("Warte auf Playlist ..."));
    remoteListWaiting_ = true;
}

void ReceivingEnd::tick()
{
    const LinkState st = clientSend_->state();
    if (st != LinkState::Connected && st != LinkState::Closing)
        ConnectClientSend();
}

void ReceivingEnd::close()
{
    clientSend_->close();
    clientListen_->close();
}

QString ReceivingEnd::boundSender() const
{
    return clientSend_->state() == LinkState::Connected ? clientSend_->remoteHostIP() : QString();
}

void ReceivingEnd::Winsock_ClientListen_ConnectionRequest(qint64 requestId)
{
    // while the request channel is up to a sender, only that sender may bring a list
    const QString bound = boundSender();
    const QString peer = clientListen_->requestPeerIP(requestId);
    if (!bound.isEmpty() && peer != bound)
        return;  // turned away
    // a sender other than the last one: asking it need not wait for the last one's turn
    if (peer != lastSender_)
        requestRetry_.reset();
    lastSender_ = peer;
    if (clientListen_->state() != LinkState::Closed)
        clientListen_->close();
    listReader_.reset();
    setSenderRemote(false);
    clientListen_->accept(requestId);
    if (clientListen_->state() == LinkState::Connected)
        c_.ConnectStatus.setText(tr("Client verbunden"));
    showSender();
}

void ReceivingEnd::Winsock_ClientListen_DataArrival(qint64)
{
    listReader_.feed(clientListen_->getData());
}

void ReceivingEnd::handleListMessage(const QByteArray& message)
{
    // the remote control's short messages, read whole
    if (message.size() <= 64 && message.startsWith("1113")) {
        const linkmsg::Parsed whole = linkmsg::Parse(codec::decodeFromLink(message));
        if (handleRemoteMessage(whole.body)) {
            c_.ConnectStatus.setText(tr("Verbunden.."));
            return;
        }
    }
    // only the head is read as text here: a list is split straight from its bytes
    const linkmsg::Parsed m = linkmsg::Parse(codec::decodeFromLink(
        QByteArrayView(message).first(std::min<qsizetype>(message.size(), 4 + linkmsg::kTrackList.size()))));
    if (m.typeCode == linkmsg::kNotice) {
        c_.ConnectStatus.setText(tr("Verbunden"));
    } else if (m.typeCode == linkmsg::kBroken) {
        c_.ConnectStatus.setText(tr("Verbindung Abgebrochen"));
    } else if (m.typeCode == linkmsg::kCommand) {
        c_.ConnectStatus.setText(tr("Verbunden.."));
        if (m.body.startsWith(linkmsg::kTrackList)) {
            FillRemoteList(message);
            showSender();
            emit listReceived();
        }
    }
}

void ReceivingEnd::FillRemoteList(QByteArrayView message)
{
    // the old entries go first, so a large list is never held twice
    c_.FilmRemoteList.clear();
    c_.FilmRemoteList.setItems(linkmsg::TrackListEntries(message));
    remoteListWaiting_ = false;
    // what plays stays marked until the sender says otherwise
    if (senderRemote_)
        c_.FilmRemoteList.setMarkedIndex(playing_.index);
}

bool ReceivingEnd::handleRemoteMessage(const QString& body)
{
    if (remotemsg::isHello(body)) {
        setSenderRemote(true);
        return true;
    }
    if (const auto now = remotemsg::nowPlayingIn(body)) {
        if (!senderRemote_)
            return true;  // the greeting comes first; anything else is no sender of ours
        setPlaying(*now);
        return true;
    }
    return false;
}

void ReceivingEnd::setSenderRemote(bool on)
{
    if (senderRemote_ == on)
        return;
    senderRemote_ = on;
    if (!on)
        setPlaying({});
}

void ReceivingEnd::setPlaying(const remotemsg::NowPlaying& now)
{
    const bool steerableBefore = senderSteerable();
    playing_ = now;
    c_.FilmRemoteList.setMarkedIndex(remoteListWaiting_ ? -1 : now.index);
    if (senderSteerable() != steerableBefore)
        emit senderSteerableChanged(senderSteerable());
    emit senderPlaying(now.index, now.paused);
}

void ReceivingEnd::steer(remotemsg::Command command)
{
    if (!senderRemote_ || clientSend_->state() != LinkState::Connected)
        return;
    helloInFlight_ = false;
    clientSend_->sendData(remotemsg::command(command));
}

void ReceivingEnd::Winsock_ClientListen_Close()
{
    // a list that came just before the close is still a message
    listReader_.finish(clientListen_->getData());
    setSenderRemote(false);
    showWaiting();
    clientListen_->close();
    if (c_.EmpfangenFrame.visible())
        listen();
}

// A list with more entries than fit, or more data than a list may hold: the first entries stay
// shown, the rest goes with the connection, and the sender may connect again.
void ReceivingEnd::dropListChannel()
{
    setSenderRemote(false);
    clientListen_->close();
    listReader_.reset();
    if (c_.EmpfangenFrame.visible())
        listen();
}

void ReceivingEnd::Winsock_ClientSend_Connect()
{
    requestRetry_.connected();
    c_.ConnectStatusServer.setText(tr("Verbunden.."));
    // the sender says in return whether it takes the remote control; one that does not know the
    // greeting drops it as any command it does not know
    helloInFlight_ = true;
    clientSend_->sendData(remotemsg::hello());
}

void ReceivingEnd::Winsock_ClientSend_SendComplete()
{
    // the greeting alone leaves the status as it is; what the user sent clears it
    if (helloInFlight_) {
        helloInFlight_ = false;
        return;
    }
    c_.ConnectStatusServer.setText(QString());
}

// A sender that closes at once (it has no room, or turns this host away) is not asked again at
// once: the next attempt waits its turn.
void ReceivingEnd::Winsock_ClientSend_Close()
{
    clientSend_->close();
    if (c_.EmpfangenFrame.visible())
        requestRetry_.closed();
}

void ReceivingEnd::requestSelected()
{
    const int i = c_.FilmRemoteList.listIndex();
    if (i < 0 || i >= c_.FilmRemoteList.count() || remoteListWaiting_)
        return;  // nothing chosen, or no list yet: nothing to ask for
    const QString request = linkmsg::BuildTrackRequest(c_.FilmRemoteList.item(i));
    const LinkState st = clientSend_->state();
    if (st != LinkState::Connected && st != LinkState::Connecting)
        listen();
    helloInFlight_ = false;  // one completion may come for both
    clientSend_->sendData(codec::encodeForLink(request));
    c_.FilmRemoteList.clear();
}

void ReceivingEnd::closeRequestChannel()
{
    clientSend_->close();
    requestRetry_.reset();  // somewhere new: no reason to wait
}

void ReceivingEnd::showSender()
{
    const QString address = clientListen_->remoteHostIP();
    if (address.isEmpty())
        return;  // no sender yet: the label says so already
    const QString name = names_.nameOf(address);
    c_.SenderLabel.setText(senderText(name.isEmpty() ? address : name));
}
