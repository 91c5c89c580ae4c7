#include "platform/qt/TcpLinkSocket.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

TcpLinkSocket::TcpLinkSocket(QObject* parent) : ILinkSocket(parent)
{
}

TcpLinkSocket::~TcpLinkSocket()
{
    blockSignals(true);  // what the sockets report while they go is nobody's business now
    if (server_) {
        server_->disconnect(this);
        delete server_;
    }
    for (auto& [id, s] : pending_)
        if (s) {
            s->disconnect(this);
            s->abort();
            delete s;
        }
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        delete socket_;
    }
}

QString TcpLinkSocket::dotted(const QHostAddress& a)
{
    bool v4 = false;
    const quint32 ip4 = a.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip4).toString() : a.toString();
}

quint16 TcpLinkSocket::localPort() const
{
    if (server_ && server_->isListening())
        return server_->serverPort();
    if (socket_)
        return socket_->localPort();
    return 0;
}

void TcpLinkSocket::listen(quint16 port)
{
    if (state_ != LinkState::Closed)
        return;
    auto* server = new QTcpServer(this);
    if (!server->listen(QHostAddress::Any, port)) {
        delete server;  // the port is taken: stay closed, a later call tries again
        return;
    }
    server_ = server;
    connect(server, &QTcpServer::newConnection, this, &TcpLinkSocket::onNewConnections);
    remoteIp_.clear();
    state_ = LinkState::Listening;
}

void TcpLinkSocket::onNewConnections()
{
    QTcpServer* server = server_;
    if (!server)
        return;
    std::vector<qint64> ids;
    while (server->hasPendingConnections()) {
        QTcpSocket* s = server->nextPendingConnection();
        s->setParent(this);
        s->setReadBufferSize(kReadBuffer);
        const qint64 id = nextRequest_++;
        pending_[id] = s;
        ids.push_back(id);
    }
    for (qint64 id : ids) {
        if (pending_.count(id))
            emit connectionRequest(id);
    }
    // one socket serves one peer: requests not accepted are turned away
    for (qint64 id : ids) {
        auto it = pending_.find(id);
        if (it == pending_.end())
            continue;
        if (it->second)
            release(it->second);
        pending_.erase(it);
    }
}

void TcpLinkSocket::accept(qint64 requestId)
{
    auto it = pending_.find(requestId);
    if (it == pending_.end() || !it->second)
        return;
    QTcpSocket* s = it->second;
    pending_.erase(it);
    if (server_) {
        server_->disconnect(this);
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    if (socket_)
        release(socket_);
    adopt(s);
}

std::unique_ptr<ILinkSocket> TcpLinkSocket::acceptAside(qint64 requestId)
{
    auto it = pending_.find(requestId);
    if (it == pending_.end() || !it->second)
        return nullptr;
    QTcpSocket* s = it->second;
    pending_.erase(it);
    auto link = std::make_unique<TcpLinkSocket>();
    s->setParent(link.get());
    link->adopt(s);
    return link;
}

// An accepted connection becomes this socket's; one the peer has already closed reports that
// from the event loop, as it would have done had it stayed open a moment longer.
void TcpLinkSocket::adopt(QTcpSocket* s)
{
    attach(s);
    remoteIp_ = dotted(s->peerAddress());
    if (s->state() == QAbstractSocket::ConnectedState) {
        state_ = LinkState::Connected;
        watchPeer(s);
        if (s->bytesAvailable() > 0)
            QMetaObject::invokeMethod(s, "readyRead", Qt::QueuedConnection);
    } else {
        state_ = LinkState::Closing;
        QMetaObject::invokeMethod(
            this,
            [this, s] {
                if (socket_ == s)
                    emit closed();
            },
            Qt::QueuedConnection);
    }
}

// A peer that vanishes without a close (asleep, out of reach) is given up after about 30 s:
// probes after 10 quiet seconds, and data nobody acknowledges for 30 s.
void TcpLinkSocket::watchPeer(QTcpSocket* s)
{
    const int fd = int(s->socketDescriptor());
    if (fd < 0)
        return;
    const int on = 1, idle = 10, interval = 5, probes = 4;
    const unsigned int unacknowledgedMs = 30000;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledgedMs, sizeof unacknowledgedMs);
}

QString TcpLinkSocket::requestPeerIP(qint64 requestId) const
{
    const auto it = pending_.find(requestId);
    return it != pending_.end() && it->second ? dotted(it->second->peerAddress()) : QString();
}

void TcpLinkSocket::attach(QTcpSocket* s)
{
    socket_ = s;
    connect(s, &QTcpSocket::connected, this, [this, s] {
        if (socket_ != s)
            return;
        state_ = LinkState::Connected;
        remoteIp_ = dotted(s->peerAddress());
        watchPeer(s);
        emit connected();
    });
    connect(s, &QTcpSocket::readyRead, this, [this, s] {
        if (socket_ == s)
            emit dataArrival(s->bytesAvailable());
    });
    connect(s, &QTcpSocket::bytesWritten, this, [this, s] {
        if (socket_ == s && s->bytesToWrite() == 0)
            emit sendComplete();
    });
    connect(s, &QTcpSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError) {
        if (socket_ != s)
            return;
        if (state_ == LinkState::Connecting) {
            state_ = LinkState::Error;
            emit connectFailed();
        } else if (state_ == LinkState::Connected)
            peerGone();
    });
    connect(s, &QTcpSocket::disconnected, this, [this, s] {
        if (socket_ == s && state_ == LinkState::Connected)
            peerGone();
    });
}

// The peer closed or the connection broke: either way the other end is gone.
void TcpLinkSocket::peerGone()
{
    state_ = LinkState::Closing;
    emit closed();
}

void TcpLinkSocket::connectTo(const QString& host, quint16 port)
{
    if (state_ != LinkState::Closed)
        return;
    auto* s = new QTcpSocket(this);
    s->setReadBufferSize(kReadBuffer);
    attach(s);
    state_ = LinkState::Connecting;
    remoteIp_.clear();
    s->connectToHost(host.trimmed(), port);
}

bool TcpLinkSocket::sendData(const QByteArray& bytes)
{
    if (state_ != LinkState::Connected || !socket_ || socket_->bytesToWrite() + bytes.size() > kMaxQueued)
        return false;
    return socket_->write(bytes) == bytes.size();
}

QByteArray TcpLinkSocket::getData()
{
    return socket_ ? socket_->readAll() : QByteArray();
}

void TcpLinkSocket::release(QTcpSocket* s)
{
    s->disconnect();
    s->disconnectFromHost();  // writes what is still queued, then closes
    if (s->state() == QAbstractSocket::UnconnectedState)
        s->deleteLater();
    else
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
}

void TcpLinkSocket::close()
{
    if (server_) {
        server_->disconnect(this);
        server_->close();
        server_->deleteLater();
        server_ = nullptr;
    }
    if (socket_) {
        QTcpSocket* s = socket_;
        socket_ = nullptr;
        release(s);
    }
    remoteIp_.clear();
    state_ = LinkState::Closed;
}
