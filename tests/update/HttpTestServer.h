#pragma once

#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <map>

// A small HTTP/1.1 server on loopback, port chosen by the system, answering from a route table.
class HttpTestServer {
public:
    // Stall and Truncated announce more than they send, then wait or close
    enum class Kind { Normal, Stall, Truncated, Endless };
    struct Route {
        int status = 200;
        QByteArray body, location;
        Kind kind = Kind::Normal;
    };

    // another loopback address, such as 127.0.0.2, stands for another host
    explicit HttpTestServer(const QHostAddress& address = QHostAddress::LocalHost)
    {
        server_.listen(address, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->setProperty("head", socket->property("head").toByteArray() + socket->readAll());
                    const QByteArray head = socket->property("head").toByteArray();
                    if (head.contains("\r\n\r\n")) {  // one request per connection
                        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                        answer(socket, head.left(head.indexOf("\r\n\r\n")));
                    }
                });
            }
        });
    }
    void serve(const QByteArray& at, const QByteArray& body, Kind k = {}) { routes_[at] = {200, body, {}, k}; }
    void redirect(const QByteArray& path, const QByteArray& to) { routes_[path] = {302, {}, to, Kind::Normal}; }
    QString url(const QString& path) const
    {
        return QString("http://%1:%2").arg(server_.serverAddress().toString()).arg(server_.serverPort()) + path;
    }

    QList<QByteArray> requestedPaths, requestHeads;

private:
    void answer(QTcpSocket* socket, const QByteArray& head)
    {
        requestHeads << head;
        requestedPaths << head.split('\r').value(0).split(' ').value(1);
        const auto it = routes_.find(requestedPaths.last());
        const Route r = it != routes_.end() ? it->second : Route{404, "not found", {}, Kind::Normal};
        QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nConnection: close\r\n";
        if (!r.location.isEmpty())
            out += "Location: " + r.location + "\r\n";
        if (r.kind == Kind::Endless) {  // a body without length that never ends
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                             [socket] { socket->write(QByteArray(1 << 16, 'x')); });
            socket->write(out + "\r\n");
            return;
        }
        const qsizetype announced = r.kind == Kind::Normal ? r.body.size() : r.body.size() * 10;
        socket->write(out + "Content-Length: " + QByteArray::number(announced) + "\r\n\r\n" + r.body);
        if (r.kind != Kind::Stall)
            socket->disconnectFromHost();
    }

    std::map<QByteArray, Route> routes_;
    QTcpServer server_;  // last: its sockets go before the routes
};
