#include "link/SendingEnd.h"

#include "link/LanNames.h"
#include "link/LinkMessages.h"
#include "model/Control.h"
#include "platform/Codec.h"
#include "platform/ILinkSocketFactory.h"

#include <QDateTime>
#include <QHostAddress>
#include <QLoggingCategory>

#include <algorithm>

// Times of a track switch's steps, for bench/stream.sh: off unless QT_LOGGING_RULES turns on
// "mirovell.switch.debug"; seconds since the epoch, as the benchmark's other clocks.
Q_LOGGING_CATEGORY(lcSwitchLink, "mirovell.switch", QtWarningMsg)

namespace {

// Two spellings of one address ("127.0.0.1", "::ffff:127.0.0.1") are the same host.
bool sameHost(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QHostAddress x(a.trimmed()), y(b.trimmed());
    if (x.isNull() || y.isNull())
        return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
    return x.isEqual(y, QHostAddress::ConvertV4MappedToIPv4);
}

constexpr int kRestartSpacingMs = 1000;
// A request names one entry; what is held of one stays bounded.
constexpr qsizetype kMaxRequestBytes = 1024 * 1024;

}  // namespace

// One of the receivers served at once: it made itself known by its request channel, and the list
// channel goes back to the address that came from.
// Until the user lets it in, it gets no list and its requests are not heard.
struct SendingEnd::Receiver {
    Receiver(const LinkClock& clock) : budget(clock), retry(clock) {}
    std::unique_ptr<ILinkSocket> request;
    std::unique_ptr<ILinkSocket> list;
    std::unique_ptr<MessageReader> reader;
    QString address;
    PeerBudget budget;
    RetryBackoff retry;
    bool admitted = false;
    qint64 lastHeard = 0;  // when its list channel was last seen up
    bool remote = false;   // greeted with the remote control
};

SendingEnd::SendingEnd(const Controls& controls, ILinkSocketFactory& sockets, const LanNames& names, LinkPorts ports,
                       LinkClock clock, QObject* parent)
    : QObject(parent), c_(controls), sockets_(sockets), ports_(ports), clock_(std::move(clock)),
      serverListen_(sockets.create()), serverSend_(sockets.create()), requestNames_(&controls.FilmList.items()),
      requestIndex_(&controls.FilmList.items()), requestReader_(kMaxRequestBytes, &requestNames_),
      requestBudget_([this] { return clock_(); }), listRetry_([this] { return clock_(); }),
      restarts_(kRestartSpacingMs), names_(names)
{
    connect(serverListen_.get(), &ILinkSocket::connectionRequest, this,
            &SendingEnd::Winsock_ServerListen_ConnectionRequest);
    connect(serverListen_.get(), &ILinkSocket::dataArrival, this, &SendingEnd::Winsock_ServerListen_DataArrival);
    connect(serverListen_.get(), &ILinkSocket::closed, this, &SendingEnd::Winsock_ServerListen_Close);
    // no handler for the receiver closing the list channel: it stays closing until the next check
    connect(serverSend_.get(), &ILinkSocket::connected, this, &SendingEnd::Winsock_ServerSend_Connect);
    connect(serverSend_.get(), &ILinkSocket::connected, &listRetry_, &RetryBackoff::connected);
    connect(serverSend_.get(), &ILinkSocket::connectFailed, &listRetry_, &RetryBackoff::failed);
    connect(&listRetry_, &RetryBackoff::retry, this, [this] {
        if (c_.SendenFrame.visible() && !several_)
            connectToReceiver();
    });
    connect(&requestReader_, &MessageReader::message, this, [this](const QByteArray& m) {
        if (!takeMessage(m, requestBudget_, true, nullptr))
            closeRequestChannel();
    });
    connect(&requestReader_, &MessageReader::overflow, this, &SendingEnd::closeRequestChannel);
    connect(&restarts_, &RequestCoalescer::due, this, &SendingEnd::restartRequested);
    // the names a request may end with follow the list; they are sorted again only when asked for
    const auto stale = [this] {
        requestNames_.markStale();
        requestIndex_.markStale();
    };
    connect(&c_.FilmList, &Control::itemsInserted, this, stale);
    connect(&c_.FilmList, &Control::itemsRemoved, this, stale);
    connect(&c_.FilmList, &Control::itemChanged, this, stale);
    connect(&c_.FilmList, &Control::itemsReset, this, stale);
}

SendingEnd::~SendingEnd()
{
    dropAudience();
}

void SendingEnd::StartServerListen()
{
    const LinkState st = serverListen_->state();
    if (st == LinkState::Connected || st == LinkState::Listening)
        return;
    if (st != LinkState::Closed)
        serverListen_->close();
    serverListen_->listen(ports_.request);
    // a port held by another program leaves the socket closed; the timer tries again
    if (serverListen_->state() == LinkState::Listening)
        c_.ConnectStatusServer.setText(tr("Warte auf Remote.."));
}

void SendingEnd::connectToReceiver()
{
    if (several_) {
        connectToAudience();
        return;
    }
    const LinkState st = serverSend_->state();
    const bool busy = st == LinkState::Connected || st == LinkState::Connecting;
    // after a failure the next attempt waits for its turn
    if (!busy && !listRetry_.mayTry())
        return;
    if (st != LinkState::Closed && !busy)
        serverSend_->close();
    if (!busy)
        serverSend_->connectTo(targetAddress(), ports_.list);
    if (serverSend_->state() == LinkState::Connecting)
        c_.ConnectStatus.setText(tr("Suche Client.."));
}

void SendingEnd::announceList()
{
    if (several_) {
        connectToAudience();
        if (audienceConnected() > 0)
            sendToAudience(linkmsg::EncodeTrackList(c_.FilmList.items()));
        announceNowPlaying(nowPlaying_, paused_, steerable_);
        return;
    }
    const LinkState st = serverSend_->state();
    if (st != LinkState::Connected && st != LinkState::Connecting)
        connectToReceiver();
    // the socket sends only when connected: a list nobody can receive is not built at all
    if (serverSend_->state() != LinkState::Connected)
        return;
    serverSend_->sendData(linkmsg::EncodeTrackList(c_.FilmList.items()));
    if (remotePeer_)
        serverSend_->sendData(remotemsg::nowPlaying(nowPlaying_, paused_, steerable_));
}

void SendingEnd::tick()
{
    const LinkState st = serverSend_->state();
    if (several_) {
        expireAudience();
        connectToAudience();
    } else if (st != LinkState::Connected && st != LinkState::Closing)
        connectToReceiver();
    if (several_ ? audienceConnected() > 0 : serverSend_->state() == LinkState::Connected) {
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
    listRetry_.reset();  // a new target need not wait for the old one's turn
}

void SendingEnd::close()
{
    dropAudience();
    serverSend_->close();
    serverListen_->close();
    c_.ConnectStatusServer.setText(tr("Closed"));
    c_.ConnectStatus.setText(tr("Closed"));
}

void SendingEnd::Winsock_ServerListen_ConnectionRequest(qint64 requestId)
{
    if (several_) {
        welcome(requestId);
        return;
    }
    // one receiver: only the host the list goes to is heard; anybody else is turned away
    if (!isTargetHost(serverListen_->requestPeerIP(requestId)))
        return;
    if (serverListen_->state() != LinkState::Closed)
        serverListen_->close();
    requestReader_.reset();
    requestBudget_.reset();
    remotePeer_ = false;
    serverListen_->accept(requestId);
    c_.ConnectStatusServer.setText(tr("Client (Remote) verbunden.."));
}

void SendingEnd::Winsock_ServerListen_DataArrival(qint64)
{
    requestReader_.feed(serverListen_->getData());
}

bool SendingEnd::takeMessage(const QByteArray& message, PeerBudget& budget, bool heard, Receiver* from)
{
    switch (budget.charge()) {
    case PeerBudget::Verdict::Disconnect: return false;
    case PeerBudget::Verdict::Drop: return true;
    case PeerBudget::Verdict::Take: break;
    }
    if (heard) {
        handleRequestMessage(message, from);
    } else if (from) {
        // a receiver still waiting to be let in is not heard, but its greeting counts once it is
        const linkmsg::Parsed m = linkmsg::Parse(codec::decodeFromLink(message));
        if (m.typeCode == linkmsg::kCommand && remotemsg::isHello(m.body))
            from->remote = true;
    }
    return true;
}

void SendingEnd::handleRequestMessage(const QByteArray& message, Receiver* from)
{
    const linkmsg::Parsed m = linkmsg::Parse(codec::decodeFromLink(message));
    if (m.typeCode == linkmsg::kCommand && handleSteering(m.body, from))
        return;
    if (m.typeCode == linkmsg::kNotice) {
        c_.ConnectStatusServer.setText(tr("Verbindung hergestellt"));
    } else if (m.typeCode == linkmsg::kBroken) {
        c_.ConnectStatusServer.setText(tr("Verbindung Abgebrochen"));
    } else if (m.typeCode == linkmsg::kCommand) {
        if (m.body.startsWith(linkmsg::kStartTrack)) {
            // of the requests read in one go only the last counts: it is served once they are read
            pendingRequest_ = m.body.mid(linkmsg::kStartTrack.size());
            qCDebug(lcSwitchLink, "switch read %.4f", QDateTime::currentMSecsSinceEpoch() / 1000.0);
            if (!requestQueued_) {
                requestQueued_ = true;
                QMetaObject::invokeMethod(this, &SendingEnd::serveRequest, Qt::QueuedConnection);
            }
        } else if (m.body.startsWith(linkmsg::kResetPlaylist)) {
            restarts_.request();
        }
    }
}

void SendingEnd::serveRequest()
{
    requestQueued_ = false;
    const QString name = std::exchange(pendingRequest_, QString());
    // only an entry the user put in the list moves; text from the peer is never inserted
    const int i = requestIndex_.find(name);
    if (i < 0)
        return;
    c_.ConnectStatusServer.setText(tr("Playing:") + name);
    emit trackRequested(name);
}

bool SendingEnd::handleSteering(const QString& body, Receiver* from)
{
    if (remotemsg::isHello(body)) {
        if (from) {
            from->remote = true;
            if (from->list->state() == LinkState::Connected)
                greetBack(*from->list);
        } else {
            remotePeer_ = true;
            if (serverSend_->state() == LinkState::Connected)
                greetBack(*serverSend_);
        }
        return true;
    }
    if (const auto command = remotemsg::commandIn(body)) {
        emit steerRequested(*command);
        return true;
    }
    return false;
}

void SendingEnd::greetBack(ILinkSocket& list)
{
    list.sendData(remotemsg::hello());
    list.sendData(remotemsg::nowPlaying(nowPlaying_, paused_, steerable_));
}

void SendingEnd::announceNowPlaying(int index, bool paused, bool steerable)
{
    nowPlaying_ = index;
    paused_ = paused;
    steerable_ = steerable;
    const QByteArray m = remotemsg::nowPlaying(index, paused, steerable);
    if (remotePeer_ && !several_ && serverSend_->state() == LinkState::Connected)
        serverSend_->sendData(m);
    for (const auto& r : audience_)
        if (r->remote && r->list->state() == LinkState::Connected)
            r->list->sendData(m);
}

void SendingEnd::Winsock_ServerListen_Close()
{
    // a request that came just before the close is still a request
    requestReader_.finish(serverListen_->getData());
    closeRequestChannel();
}

void SendingEnd::closeRequestChannel()
{
    remotePeer_ = false;
    serverListen_->close();
    requestReader_.reset();
    if (c_.SendenFrame.visible())
        StartServerListen();
    else
        c_.ConnectStatusServer.setText(tr("Closed"));
}

void SendingEnd::Winsock_ServerSend_Connect()
{
    c_.ConnectStatus.setText(tr("Client gefunden"));
    if (remotePeer_ && !several_)
        greetBack(*serverSend_);
}

QString SendingEnd::targetAddress() const
{
    return names_.addressOf(c_.TargetText.text());
}

// The receiver typed in TargetText, by its address or by where the list channel went.
bool SendingEnd::isTargetHost(const QString& address) const
{
    return sameHost(address, targetAddress()) || sameHost(address, serverSend_->remoteHostIP());
}

void SendingEnd::setSeveral(bool several)
{
    if (several == several_)
        return;
    several_ = several;
    if (several) {
        // the one receiver's request channel is closed, so that it connects again and is welcomed
        // among the others; the list channel to the typed host is no longer wanted
        serverSend_->close();
        if (serverListen_->state() == LinkState::Connected) {
            serverListen_->close();
            requestReader_.reset();
            remotePeer_ = false;
            StartServerListen();
        }
    } else {
        dropAudience();
    }
}

int SendingEnd::audienceSize() const
{
    return int(std::count_if(audience_.begin(), audience_.end(), [](const auto& r) { return r->admitted; }));
}

int SendingEnd::audienceConnected() const
{
    return int(std::count_if(audience_.begin(), audience_.end(),
                             [](const auto& r) { return r->list->state() == LinkState::Connected; }));
}

void SendingEnd::welcome(qint64 requestId)
{
    const QString address = serverListen_->requestPeerIP(requestId);
    if (denied_.contains(address))
        return;  // the user said no: the listener turns it away
    const bool allowed = allowed_.contains(address);
    // a receiver that connects again from its address has left its old channel behind, and
    // takes its old place even when every place is taken
    const auto before =
        std::find_if(audience_.begin(), audience_.end(), [&](const auto& r) { return r->address == address; });
    const bool returning = before != audience_.end();
    if (!returning && (allowed ? audienceSize() >= kMaxAudience : waitingSize() >= kMaxWaiting))
        return;
    std::unique_ptr<ILinkSocket> request = serverListen_->acceptAside(requestId);
    if (!request)
        return;
    if (returning)
        dropReceiver(before->get());
    auto r = std::make_unique<Receiver>([this] { return clock_(); });
    Receiver* raw = r.get();
    r->address = address.isEmpty() ? request->remoteHostIP() : address;
    r->admitted = allowed;
    r->lastHeard = clock_();
    r->request = std::move(request);
    r->list = sockets_.create();
    r->reader = std::make_unique<MessageReader>(kMaxRequestBytes, &requestNames_);
    connect(raw->request.get(), &ILinkSocket::dataArrival, this,
            [raw](qint64) { raw->reader->feed(raw->request->getData()); });
    connect(raw->request.get(), &ILinkSocket::closed, this, [this, raw] {
        // a request that came just before the close is still a request
        raw->reader->finish(raw->request->getData());
        dropReceiver(raw);
    });
    connect(raw->reader.get(), &MessageReader::message, this, [this, raw](const QByteArray& m) {
        if (!takeMessage(m, raw->budget, raw->admitted, raw)) {
            raw->reader->reset();
            dropReceiver(raw);
        }
    });
    connect(raw->reader.get(), &MessageReader::overflow, this, [this, raw] { dropReceiver(raw); });
    // each receiver gets the list as soon as its list channel is up
    connect(raw->list.get(), &ILinkSocket::connected, this, [this, raw] {
        raw->retry.connected();
        raw->lastHeard = clock_();
        Winsock_ServerSend_Connect();
        raw->list->sendData(linkmsg::EncodeTrackList(c_.FilmList.items()));
        if (raw->remote)
            greetBack(*raw->list);
    });
    connect(raw->list.get(), &ILinkSocket::connectFailed, &raw->retry, &RetryBackoff::failed);
    connect(raw->list.get(), &ILinkSocket::closed, &raw->retry, &RetryBackoff::closed);
    connect(&raw->retry, &RetryBackoff::retry, this, &SendingEnd::connectToAudience);
    audience_.push_back(std::move(r));
    if (!allowed) {
        emit admissionAsked(raw->address);
        return;
    }
    c_.ConnectStatusServer.setText(tr("Client (Remote) verbunden.."));
    connectToAudience();
}

void SendingEnd::setAnswers(const QStringList& allowed, const QStringList& denied)
{
    allowed_ = allowed;
    denied_ = denied;
}

void SendingEnd::answer(const QString& address, bool allow)
{
    allowed_.removeAll(address);
    denied_.removeAll(address);
    (allow ? allowed_ : denied_).append(address);
    emit answersChanged();
    admitWaiting(address, allow);
}

void SendingEnd::forgetAnswers()
{
    allowed_.clear();
    denied_.clear();
    emit answersChanged();
    // those let in so far are asked again when they come back
    std::vector<Receiver*> admitted;
    for (const auto& r : audience_)
        if (r->admitted)
            admitted.push_back(r.get());
    for (Receiver* r : admitted)
        dropReceiver(r);
}

void SendingEnd::admitWaiting(const QString& address, bool allow)
{
    std::vector<Receiver*> asking;
    for (const auto& r : audience_)
        if (!r->admitted && r->address == address)
            asking.push_back(r.get());
    for (Receiver* r : asking) {
        if (!allow || audienceSize() >= kMaxAudience) {
            dropReceiver(r);
            continue;
        }
        r->admitted = true;
        r->lastHeard = clock_();
        c_.ConnectStatusServer.setText(tr("Client (Remote) verbunden.."));
    }
    if (allow)
        connectToAudience();
}

// A member whose list channel has been down for too long (asleep, gone) leaves the audience.
void SendingEnd::expireAudience()
{
    const qint64 now = clock_();
    std::vector<Receiver*> gone;
    for (const auto& r : audience_) {
        if (!r->admitted)
            continue;
        if (r->list->state() == LinkState::Connected)
            r->lastHeard = now;
        else if (now - r->lastHeard > kMemberTimeoutMs)
            gone.push_back(r.get());
    }
    for (Receiver* r : gone)
        dropReceiver(r);
}

void SendingEnd::connectToAudience()
{
    bool searching = false;
    for (const auto& r : audience_) {
        const LinkState st = r->list->state();
        if (!r->admitted || st == LinkState::Connected || st == LinkState::Connecting || !r->retry.mayTry())
            continue;
        if (st != LinkState::Closed)
            r->list->close();
        r->list->connectTo(r->address, ports_.list);
        searching = searching || r->list->state() == LinkState::Connecting;
    }
    if (searching && audienceConnected() == 0)
        c_.ConnectStatus.setText(tr("Suche Client.."));
}

void SendingEnd::sendToAudience(const QByteArray& bytes)
{
    for (const auto& r : audience_)
        if (r->admitted)
            r->list->sendData(bytes);
}

// A receiver that has gone: its sockets may be in the middle of their own events, so they are
// deleted once those have returned.
void SendingEnd::dropReceiver(Receiver* gone)
{
    const auto it = std::find_if(audience_.begin(), audience_.end(), [gone](const auto& r) { return r.get() == gone; });
    if (it == audience_.end())
        return;
    std::unique_ptr<Receiver> r = std::move(*it);
    audience_.erase(it);
    for (QObject* o : {static_cast<QObject*>(r->request.get()), static_cast<QObject*>(r->list.get()),
                       static_cast<QObject*>(r->reader.get()), static_cast<QObject*>(&r->retry)})
        o->disconnect(this);
    r->list->disconnect(&r->retry);
    r->request->close();
    r->list->close();
    r->request.release()->deleteLater();
    r->list.release()->deleteLater();
    r->reader.release()->deleteLater();
    // the rest (budget, retry timer) goes now: nothing of it is on the stack
}

void SendingEnd::dropAudience()
{
    while (!audience_.empty())
        dropReceiver(audience_.back().get());
}
