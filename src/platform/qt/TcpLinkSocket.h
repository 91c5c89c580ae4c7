#pragma once

#include "platform/ILinkSocketFactory.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <map>

class QTcpServer;
class QTcpSocket;

// A link socket on Qt's TCP classes; listens on every local interface.
class TcpLinkSocket : public ILinkSocket {
    Q_OBJECT
public:
    // what one connection may hold unread before reading pauses
    static constexpr qint64 kReadBuffer = 1024 * 1024;
    // what may wait for a peer that does not read before further sends are dropped
    static constexpr qint64 kMaxQueued = 16 * 1024 * 1024;

    explicit TcpLinkSocket(QObject* parent = nullptr);
    ~TcpLinkSocket() override;

    LinkState state() const override { return state_; }
    quint16 localPort() const override;
    void listen(quint16 port) override;
    void accept(qint64 requestId) override;
    std::unique_ptr<ILinkSocket> acceptAside(qint64 requestId) override;
    QString requestPeerIP(qint64 requestId) const override;
    void connectTo(const QString& host, quint16 port) override;
    bool sendData(const QByteArray& bytes) override;
    QByteArray getData() override;
    void close() override;
    QString remoteHostIP() const override { return remoteIp_; }

private:
    void onNewConnections();
    void attach(QTcpSocket* s);
    void adopt(QTcpSocket* s);
    void peerGone();
    static void watchPeer(QTcpSocket* s);
    static void release(QTcpSocket* s);
    static QString dotted(const QHostAddress& a);

    QPointer<QTcpServer> server_;
    QPointer<QTcpSocket> socket_;
    std::map<qint64, QPointer<QTcpSocket>> pending_;
    qint64 nextRequest_ = 1;
    LinkState state_ = LinkState::Closed;
    QString remoteIp_;
};

class TcpLinkSocketFactory : public ILinkSocketFactory {
public:
    std::unique_ptr<ILinkSocket> create() override { return std::make_unique<TcpLinkSocket>(); }
};
