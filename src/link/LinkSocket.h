#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// States of a link socket, as the link procedures read them.
namespace linkstate {
constexpr int Closed = 0;
constexpr int Listening = 2;
constexpr int Connecting = 6;
constexpr int Connected = 7;
constexpr int Closing = 8;  // the peer has closed; stays until close()
constexpr int Error = 9;    // a connect failed; stays until close()
}  // namespace linkstate

// The two TCP ports of the link; tests and a second copy on one machine replace them.
struct LinkPorts {
    quint16 list = 22355;     // list channel, sender to receiver
    quint16 request = 22356;  // request channel, receiver to sender
};

// One socket of the link: listens for one peer or connects to one, and reports what happens
// through its events, on the window's event loop, one at a time.
class ILinkSocket {
public:
    struct Events {
        std::function<void(qint64 requestId)> connectionRequest;
        std::function<void()> connected;
        std::function<void(qint64 bytesTotal)> dataArrival;
        std::function<void()> closed;  // the peer closed the connection
        std::function<void()> sendComplete;
    };

    virtual ~ILinkSocket() = default;
    virtual int state() const = 0;
    virtual void setLocalPort(quint16 port) = 0;
    // The bound port while listening, else the port set.
    virtual quint16 localPort() const = 0;
    virtual void listen() = 0;
    // Inside connectionRequest: this socket becomes the connection to that peer.
    virtual void accept(qint64 requestId) = 0;
    virtual void connectTo(const QString& host, quint16 port) = 0;
    // false when not connected; the bytes are then lost.
    virtual bool sendData(const QByteArray& bytes) = 0;
    // Every byte received and not yet taken.
    virtual QByteArray getData() = 0;
    virtual void close() = 0;
    // The peer's address in dotted form, "" while no peer is known.
    virtual QString remoteHostIP() const = 0;

    void setEvents(Events events) { events_ = std::move(events); }

protected:
    Events events_;
};

class ILinkSocketFactory {
public:
    virtual ~ILinkSocketFactory() = default;
    virtual std::unique_ptr<ILinkSocket> create() = 0;
};

namespace linksocket {
// A socket that never connects: where no network is wired in, the link stays quietly down.
std::unique_ptr<ILinkSocket> makeOfflineSocket();
}  // namespace linksocket
