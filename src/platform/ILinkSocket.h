#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

enum class LinkState {
    Closed,
    Listening,
    Connecting,
    Connected,
    Closing,  // the peer has closed; stays until close()
    Error,    // a connect failed; stays until close()
};

// One socket of the link: listens for one peer or connects to one, and reports what happens
// through its signals, on the window's event loop, one at a time.
class ILinkSocket : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual LinkState state() const = 0;
    // The bound port while listening, the connection's own while connected, else 0.
    virtual quint16 localPort() const = 0;
    // Listens on a port of every address; 0 takes any free one. A port held by another program
    // leaves the socket closed.
    virtual void listen(quint16 port) = 0;
    // Inside connectionRequest: this socket becomes the connection to that peer.
    virtual void accept(qint64 requestId) = 0;
    // Inside connectionRequest: a new socket becomes the connection to that peer while this one
    // goes on listening, for a listener that serves several peers. nullptr when the peer has gone.
    virtual std::unique_ptr<ILinkSocket> acceptAside(qint64 requestId) = 0;
    // Inside connectionRequest: the address that peer connects from, before it is taken.
    virtual QString requestPeerIP(qint64 requestId) const
    {
        Q_UNUSED(requestId);
        return {};
    }
    virtual void connectTo(const QString& host, quint16 port) = 0;
    // false when not connected; the bytes are then lost.
    virtual bool sendData(const QByteArray& bytes) = 0;
    // Every byte received and not yet taken.
    virtual QByteArray getData() = 0;
    virtual void close() = 0;
    // The peer's address in dotted form, "" while no peer is known.
    virtual QString remoteHostIP() const = 0;

signals:
    void connectionRequest(qint64 requestId);
    void connected();
    void dataArrival(qint64 bytesTotal);
    void closed();         // the peer closed the connection
    void connectFailed();  // a connect was refused or found nobody; the state is Error
    void sendComplete();
};
